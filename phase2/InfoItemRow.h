#pragma once

#include "phase2/RowTexts.h"

#include <QLabel>

// The row of an item shown for information only: the information mark and
// the item's texts (RowTexts), drawn by one widget instead of four labels.
// It is a label, read as one and coloured as the page colours its labels.
class InfoItemRow : public QLabel
{
    Q_OBJECT

public:
    explicit InfoItemRow(const OptItem& item, QWidget* parent = nullptr);

    const RowTexts& texts() const { return m_texts; }
    void setTheme(int theme)
    {
        m_texts.setTheme(theme);
        update();
    }
    // Where the mark and each text stand now.
    RowTexts::Places places() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    RowTexts m_texts;
};

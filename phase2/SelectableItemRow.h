#pragma once

#include "phase2/RowTexts.h"

#include <QCheckBox>

// The row of an item that can be selected. The row is the item's check box,
// drawn at the row's start as a box of its own, with the item's texts
// beside it: one widget for the row instead of a box and three labels. As
// the box alone did, only the box takes a click; the keyboard ticks it
// wherever the row has the focus.
class SelectableItemRow : public QCheckBox
{
    Q_OBJECT

public:
    explicit SelectableItemRow(const OptItem& item, QWidget* parent = nullptr);

    const RowTexts& texts() const { return m_texts; }
    void setTheme(int theme)
    {
        m_texts.setTheme(theme);
        update();
    }
    // Where the box and each text stand now.
    RowTexts::Places places() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The box as a check box without text asks for it.
    QSize boxSize() const { return QCheckBox::sizeHint(); }
    void paintFocusRing(QPainter& painter) const;

    RowTexts m_texts;
};

#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// A frameless modal box that shows one picture (the service card, the
// customer-service or the remote-help picture) on a rounded, themed panel.
class ImageDialog : public QDialog
{
    Q_OBJECT

public:
    ImageDialog(QWidget* parent, int theme);

    // A picture that does not load leaves the one shown before.
    void setImage(const QString& path);
    void setTheme(int theme);

private:
    QWidget* contentWidget = nullptr;
    QLabel* imageLabel = nullptr;
    QPushButton* imageCloseBtn = nullptr;
};

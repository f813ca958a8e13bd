#pragma once

#include <QDialog>

// A small frameless contact box: the promise of free remote help, a place for
// a messenger QR code, and one button that closes it.
class QrCodeDialog : public QDialog
{
    Q_OBJECT

public:
    QrCodeDialog(QWidget* parent, int theme);

    // Themes 0, 1 and 2; any other value keeps the sheet set before.
    void setTheme(int theme);
};

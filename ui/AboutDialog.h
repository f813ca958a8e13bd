#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class AboutDialog; }
class QFrame;

// The About box of the footer's "关于" button: logo, name, version, a line on
// what the program is for, the agreement and privacy texts, in the theme of
// the window. One rounded frame on a transparent, frameless window.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    AboutDialog(QWidget* parent, int theme);
    ~AboutDialog() override;

    void setTheme(int theme);

private slots:
    void onCloseClicked();

private:
    void wrapInContainer();
    void loadLogo();
    void connectButtons();

    std::unique_ptr<Ui::AboutDialog> ui;
    QFrame* container = nullptr;
};

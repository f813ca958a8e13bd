#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The small modal window over the main window while the deep optimisation
// runs: a heading, the status line, a thin bar and a close button. Closing it
// only hides it; the run goes on.
class Phase2ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    explicit Phase2ProgressDialog(QWidget* parent = nullptr);

    void setTheme(int theme);

public slots:
    void onProgress(int percent, const QString& status);
    void onFinished(const QString& summary);

private:
    QLabel* statusLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* closeButton = nullptr;
};

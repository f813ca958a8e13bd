#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class EulaDialog; }

// The user agreement that gates the first optimisation. Accepting it leaves a
// flag file behind, so the agreement is asked for only once per drive.
class EulaDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EulaDialog(QWidget* parent = nullptr);
    ~EulaDialog() override;

    static QString flagFilePath();
    static bool isAccepted();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void onAgreeClicked();
    void onExitClicked();

private:
    void showFocus();

    std::unique_ptr<Ui::EulaDialog> ui;
};

#include "ModalAnswer.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

ModalAnswer::ModalAnswer(std::function<void(QWidget*)> answer, const char* dialogClassName)
    : m_answer(std::move(answer))
{
    connect(&m_poll, &QTimer::timeout, this, [this, dialogClassName] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || (dialogClassName && !modal->inherits(dialogClassName)))
            return;
        m_poll.stop();
        answered = true;
        dialogClass = modal->metaObject()->className();
        windowTitle = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            text = box->text();
        else if (auto* input = qobject_cast<QInputDialog*>(modal))
            text = input->labelText();
        m_answer(modal);
    });
    m_poll.start(20);
}

void clickChild(QWidget* dialog, const char* button)
{
    dialog->findChild<QPushButton*>(button)->click();
}

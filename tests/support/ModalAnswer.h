#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal dialog from a timer, as a person would, and keeps
// what it saw. Header only: it needs the widgets library, which the
// support library itself does not link.
class ModalAnswer : public QObject
{
public:
    explicit ModalAnswer(std::function<void(QWidget*)> answer)
        : m_answer(std::move(answer))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_poll.stop();
                answered = true;
                dialogClass = modal->metaObject()->className();
                windowTitle = modal->windowTitle();
                m_answer(modal);
            }
        });
        m_poll.start(20);
    }
    bool answered = false;
    QString dialogClass;
    QString windowTitle;

private:
    QTimer m_poll;
    std::function<void(QWidget*)> m_answer;
};

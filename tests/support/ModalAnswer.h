#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// Answers the next modal dialog from a timer, as a person would, and keeps
// what it saw. Several in a row answer several dialogs: each one answers the
// first modal dialog it finds, once; given a class name, only a dialog of
// that class (a modal window that stays open, such as a progress dialog, is
// then passed over).
class ModalAnswer : public QObject
{
public:
    explicit ModalAnswer(std::function<void(QWidget*)> answer, const char* dialogClassName = nullptr);

    bool answered = false;
    QString dialogClass;
    QString windowTitle;
    QString text;  // a message box's text or an input dialog's label

private:
    QTimer m_poll;
    std::function<void(QWidget*)> m_answer;
};

// Clicks the named child button of a dialog.
void clickChild(QWidget* dialog, const char* button);

#pragma once

#include <QMessageBox>
#include <QString>

// Message boxes whose text quotes the machine (printer names, startup
// entries) or the update server show it as it is, never read as markup.
QMessageBox::StandardButton plainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                         const QString& text, QMessageBox::StandardButtons buttons,
                                         const QString& details = QString());

// A list from the machine (its printers, the result of each item of a run)
// or a release note may run to hundreds of lines, and a box that tall puts
// its buttons below the screen; one line of thousands of characters (a
// startup entry's name) wraps into as many. Past this many lines the box's
// text keeps the first ones, past this many characters a line is cut, and
// the whole list then lies behind the box's details button.
constexpr int kBoxListLines = 15;
constexpr int kBoxLineChars = 60;

struct BoxList
{
    QString shown;
    QString details;  // empty when the list is shown whole
};

BoxList boxList(const QString& list);

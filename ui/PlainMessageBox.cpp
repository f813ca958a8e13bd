#include "ui/PlainMessageBox.h"

#include "common/DisplayText.h"

#include <QStringList>

QMessageBox::StandardButton plainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                         const QString& text, QMessageBox::StandardButtons buttons,
                                         const QString& details)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(details);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

BoxList boxList(const QString& list)
{
    const QStringList lines = list.split('\n');
    QStringList shown;
    for (const QString& line : lines.mid(0, kBoxListLines))
        shown << shortLine(line, kBoxLineChars);
    if (lines.size() > kBoxListLines)
        shown << QStringLiteral("……");
    const QString text = shown.join('\n');
    return {text, text == list ? QString() : list};
}

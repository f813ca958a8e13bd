#include "common/DisplayText.h"

QString leftWhole(const QString& text, int count)
{
    QString shown = text.left(count);
    if (shown.size() < text.size() && !shown.isEmpty() && shown.at(shown.size() - 1).isHighSurrogate())
        shown.chop(1);
    return shown;
}

QString oneLine(QString text)
{
    for (QChar& c : text) {
        if (c == '\r' || c == '\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = ' ';
    }
    return text;
}

QString shortLine(const QString& text, int count)
{
    const QString line = oneLine(text);
    return line.size() > count ? leftWhole(line, count) + QStringLiteral("…") : line;
}

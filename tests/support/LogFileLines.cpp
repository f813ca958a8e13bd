#include "LogFileLines.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

LogFileLines::LogFileLines(const QString& path)
    : m_path(path)
    , m_offset(currentSize())
{
}

qint64 LogFileLines::currentSize() const
{
    return QFileInfo(m_path).size();
}

void LogFileLines::mark()
{
    m_offset = currentSize();
}

QStringList LogFileLines::lines() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_offset))
        return {};
    static const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        lines << QString(line).remove(stamp);
    return lines;
}

#pragma once

#include <QString>
#include <QStringList>

// The lines a log file gained since this object was made (or last marked),
// without their "[HH:mm:ss] " time stamps. Tests of components that write
// through the one process-wide logger read their lines with it.
class LogFileLines
{
public:
    explicit LogFileLines(const QString& path);

    QStringList lines() const;
    bool contains(const QString& line) const { return lines().contains(line); }
    // Forgets the lines written so far.
    void mark();

private:
    qint64 currentSize() const;

    QString m_path;
    qint64 m_offset = 0;
};

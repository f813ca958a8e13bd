#pragma once

#include "common/FileLogger.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

// The lines the program's log received from the moment the object was made,
// without their time stamps. The process's one log file is opened on first
// use in a folder that lives as long as the test.
class ManagerLog
{
public:
    ManagerLog() { m_start = fileSize(); }

    QStringList lines() const
    {
        QFile file(logger()->logFilePath());
        if (!file.open(QIODevice::ReadOnly) || !file.seek(m_start))
            return {};
        static const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
        QStringList lines;
        for (QString line : QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            lines << line.remove(stamp);
        return lines;
    }
    bool contains(const QString& line) const { return lines().contains(line); }
    void clear() { m_start = fileSize(); }

private:
    static FileLogger* logger()
    {
        static QTemporaryDir folder;
        FileLogger* log = FileLogger::instance();
        log->init(folder.path());
        return log;
    }
    static qint64 fileSize() { return QFile(logger()->logFilePath()).size(); }

    qint64 m_start = 0;
};

#pragma once

#include "LogFileLines.h"
#include "common/FileLogger.h"

#include <QTemporaryDir>

// The lines the program's log received from the moment the object was made,
// without their time stamps. The process's one log file is opened on first
// use in a folder that lives as long as the test.
class ManagerLog : public LogFileLines
{
public:
    ManagerLog() : LogFileLines(logFile()) {}
    void clear() { mark(); }

private:
    static QString logFile()
    {
        static QTemporaryDir folder;
        FileLogger::instance()->init(folder.path());
        return FileLogger::instance()->logFilePath();
    }
};

#pragma once

#include <QMutex>
#include <QString>

class QFile;

// The process-wide log: one file per program start, opened by a header block,
// one time-stamped line per call, the ten newest files kept. It also owns the
// persistent device identifier that names the files.
class FileLogger
{
public:
    static FileLogger* instance();

    void init(const QString& logDir);
    void log(const QString& message);
    void error(const QString& message);
    void result(const QString& name, const QString& value);

    QString logFilePath() const { return m_logFilePath; }
    QString deviceId() const { return m_deviceId; }

private:
    FileLogger() = default;
    ~FileLogger();
    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    void ensureLogDir();
    QString loadOrCreateDeviceId();
    void openLogFile();
    void pruneOldLogs();
    void writeLine(const QString& line);

    QString m_logDir;
    QString m_logFilePath;
    QString m_deviceId;
    QFile* m_file = nullptr;
    bool m_initialized = false;

    static FileLogger* s_instance;
    static QMutex s_mutex;
};

#include "common/FileLogger.h"

#include "common/LocalTimeOfDay.h"
#include "common/SystemInfo.h"
#include "platform/WholeFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QUuid>

FileLogger* FileLogger::s_instance = nullptr;
QMutex FileLogger::s_mutex;

namespace {

constexpr int KeptLogFiles = 10;
// An identifier file is a few bytes; anything bigger is not ours.
constexpr qint64 DeviceIdFileLimit = 256;
const char* const LineEnd = "\r\n";

QString deviceIdPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../config/device.id");
}

// The identifier names the log files, so only a plain token is accepted.
bool isPlainIdentifier(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    return plain.match(text).hasMatch();
}

// Only a regular file of its own counts: a link, a FIFO or a folder in its
// place is a missing identifier, and is never read through or waited on.
QString readDeviceIdFile(const QString& path)
{
    QByteArray content;
    return win::readRegularFile(path, DeviceIdFileLimit, &content) ? QString::fromUtf8(content).trimmed() : QString();
}

bool isBidiControl(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Texts from the machine reach the log inside lines: a line break in them
// would forge a line of its own, a terminal escape or a direction override
// would change what the reader sees. Breaks become blanks; every other
// control character is written as its code point.
QString printableLine(const QString& message)
{
    QString line;
    line.reserve(message.size());
    for (const QChar c : message) {
        const char16_t code = c.unicode();
        if (code == '\r' || code == '\n' || code == 0x2028 || code == 0x2029)
            line.append(' ');
        else if (c.category() == QChar::Other_Control || isBidiControl(code))
            line.append(QStringLiteral("<U+%1>").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper());
        else
            line.append(c);
    }
    return line;
}

QString newDeviceId()
{
    const QString text = processorId() + '|' + baseboardSerial() + '|' + systemDiskTag() + '|'
                         + QUuid::createUuid().toString();
    const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex().left(16));
}

} // namespace

FileLogger* FileLogger::instance()
{
    QMutexLocker lock(&s_mutex);
    if (!s_instance)
        s_instance = new FileLogger;
    return s_instance;
}

FileLogger::~FileLogger()
{
    delete m_file;
}

void FileLogger::init(const QString& logDir)
{
    if (m_initialized)
        return;
    m_logDir = logDir;
    ensureLogDir();
    m_deviceId = loadOrCreateDeviceId();
    openLogFile();
    pruneOldLogs();
    m_initialized = true;
}

void FileLogger::ensureLogDir()
{
    if (!QDir(m_logDir).exists())
        QDir().mkpath(m_logDir);
}

QString FileLogger::loadOrCreateDeviceId()
{
    const QString path = deviceIdPath();
    const QString existing = readDeviceIdFile(path);
    if (isPlainIdentifier(existing))
        return existing;
    const QString id = newDeviceId();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Replaces whatever stood there as a whole; a failure leaves the
    // identifier to this run, and the next start makes a new one.
    QString ignored;
    win::writeWholeFile(path, id.toUtf8(), &ignored);
    return id;
}

void FileLogger::openLogFile()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString name = QStringLiteral("log_%1_%2.txt").arg(m_deviceId, now.toString(QStringLiteral("yyyyMMdd_HHmmss")));
    m_logFilePath = m_logDir + '/' + name;
    m_file = new QFile(m_logFilePath);
    // Binary append: the line ends are written as CR LF by writeLine itself.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    m_file->write("\xEF\xBB\xBF");
    const QString rule(40, '=');
    writeLine(rule);
    writeLine(QStringLiteral("系统优化工具日志"));
    writeLine(QStringLiteral("设备ID: ") + m_deviceId);
    writeLine(QStringLiteral("程序版本: ") + QCoreApplication::applicationVersion());
    writeLine(QStringLiteral("系统版本: ") + windowsVersionText());
    writeLine(QStringLiteral("开始时间: ") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    writeLine(rule);
    writeLine(QString());
}

void FileLogger::pruneOldLogs()
{
    const QFileInfoList logs = QDir(m_logDir).entryInfoList({QStringLiteral("log_*.txt")}, QDir::Files, QDir::Time);
    const QString own = QFileInfo(m_logFilePath).absoluteFilePath();
    int kept = 0;
    for (const QFileInfo& log : logs) {
        // This run's file always stays, whatever the other files' times say.
        if (log.absoluteFilePath() == own)
            continue;
        if (++kept >= KeptLogFiles)
            QFile::remove(log.absoluteFilePath());
    }
}

void FileLogger::log(const QString& message)
{
    if (!m_initialized || !m_file || !m_file->isOpen())
        return;
    QMutexLocker lock(&s_mutex);
    static LocalTimeOfDay clock;   // guarded by s_mutex
    writeLine('[' + clock.at(QDateTime::currentMSecsSinceEpoch()) + QStringLiteral("] ") + printableLine(message));
}

void FileLogger::error(const QString& message)
{
    log(QStringLiteral("[错误] ") + message);
}

void FileLogger::result(const QString& name, const QString& value)
{
    log(QStringLiteral("[结果] %1: %2").arg(name, value));
}

void FileLogger::writeLine(const QString& line)
{
    if (!m_file || !m_file->isOpen())
        return;
    m_file->write(line.toUtf8());
    m_file->write(LineEnd);
    m_file->flush();
}

#include "TestMachine.h"
#include "common/FileLogger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

// The logger is one per process and initialised once, so every scenario runs
// in a fresh child process of this test binary: "lines" writes a few lines,
// any other only starts the logger. The child prints its log file and device id.
namespace {

int runScenario(const QStringList& args)
{
    TestMachine machine;
    FileLogger* logger = FileLogger::instance();
    if (args.value(0) == QLatin1String("lines")) {
        logger->log(QStringLiteral("before init"));
        logger->init(args.value(1));
        logger->init(args.value(2));
        logger->log(QStringLiteral("一行"));
        logger->error(QStringLiteral("坏了"));
        logger->result(QStringLiteral("清理"), QStringLiteral("12 MB"));
        // A value from the registry with breaks, a terminal escape, NEL and
        // a direction override.
        logger->log(QString::fromUtf8("名\r\n字\x01\x1b[31m\u0085\u202e尾"));
    } else {
        logger->init(args.value(1));
    }
    QTextStream(stdout) << logger->logFilePath() << '\n' << logger->deviceId() << '\n';
    return 0;
}

const QString DeviceIdPath = QStringLiteral("/../config/device.id");
const QByteArray Bom = "\xEF\xBB\xBF";
const QRegularExpression NewId(QStringLiteral("^[0-9a-f]{16}$"));

QString deviceIdPath()
{
    return QCoreApplication::applicationDirPath() + DeviceIdPath;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& content, const QDateTime& modified = QDateTime())
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(content);
    file.flush();
    if (modified.isValid())
        file.setFileTime(modified, QFileDevice::FileModificationTime);
}

// Whatever stands where the identifier belongs goes: a file, link, FIFO or folder.
void clearDeviceId()
{
    const QFileInfo entry(deviceIdPath());
    if (entry.isDir() && !entry.isSymLink())
        QDir(deviceIdPath()).removeRecursively();
    else
        QFile::remove(deviceIdPath());
}

// Runs a scenario in a child; answers its log file path and device id.
QStringList child(const QStringList& args)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--scenario")} + args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class FileLoggerTest : public QObject
{
    Q_OBJECT

    QByteArray m_savedDeviceId;
    bool m_hadDeviceId = false;

private slots:
    void initTestCase()
    {
        m_hadDeviceId = QFile::exists(deviceIdPath());
        m_savedDeviceId = readAll(deviceIdPath());
    }

    void cleanupTestCase()
    {
        clearDeviceId();
        if (m_hadDeviceId)
            writeFile(deviceIdPath(), m_savedDeviceId);
    }

    // A second start in the same second continues the first one's file: it
    // keeps what is there and adds its own byte-order mark and header. The
    // files of the next seconds stand ready, whichever second the child opens.
    void headerAndLinesEndInCrLf()
    {
        writeFile(deviceIdPath(), "0123456789abcdef");
        QTemporaryDir first;
        QTemporaryDir second;
        const QString logDir = first.filePath(QStringLiteral("logs"));
        const QByteArray earlier = Bom + "[09:00:00] 上一次启动\r\n";
        for (int later = 0; later < 9; ++later) {
            const QString stamp = QDateTime::currentDateTime().addSecs(later).toString(QStringLiteral("yyyyMMdd_HHmmss"));
            writeFile(logDir + QStringLiteral("/log_0123456789abcdef_%1.txt").arg(stamp), earlier);
        }
        const QStringList out = child({QStringLiteral("lines"), logDir, second.filePath(QStringLiteral("other"))});
        QCOMPARE(out.size(), 2);
        QVERIFY(!QFileInfo::exists(second.filePath(QStringLiteral("other"))));
        QVERIFY(out[0].startsWith(logDir + QStringLiteral("/log_0123456789abcdef_")));
        const QByteArray content = readAll(out[0]);
        QVERIFY(content.startsWith(earlier + Bom));
        QStringList lines = QString::fromUtf8(content.mid(earlier.size() + 3)).split(QStringLiteral("\r\n"));
        QVERIFY(lines.value(5).startsWith(QStringLiteral("开始时间: ")));
        const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
        for (int i = 8; i < 12; ++i)
            QVERIFY(lines[i].contains(stamp) && !lines[i].remove(stamp).contains(stamp));
        const QString rule(40, '=');
        QCOMPARE(lines, QStringList({rule, "系统优化工具日志", "设备ID: 0123456789abcdef", "程序版本: 2.0.0",
                                     "系统版本: Win10 (Build 19045)", lines[5], rule, "", "一行", "[错误] 坏了",
                                     "[结果] 清理: 12 MB", "名  字<U+0001><U+001B>[31m<U+0085><U+202E>尾", ""}));
        QVERIFY(!QString::fromUtf8(content).remove(QStringLiteral("\r\n")).contains('\n'));
    }

    // Only the ten newest logs stay, this run's own among them whatever the
    // other files' times say; other files stay.
    void onlyTheTenNewestLogsStay()
    {
        writeFile(deviceIdPath(), "0123456789abcdef");
        QTemporaryDir dir;
        const QDateTime future = QDateTime::currentDateTime().addDays(30);
        for (int i = 0; i < 11; ++i)
            writeFile(dir.filePath(QStringLiteral("log_future_%1.txt").arg(i)), "x", future.addSecs(-i));
        writeFile(dir.filePath(QStringLiteral("notes.txt")), "keep", future.addDays(-100));
        const QStringList out = child({QStringLiteral("plain"), dir.path()});
        QCOMPARE(out.size(), 2);
        QStringList expected = {QFileInfo(out.value(0)).fileName()};
        for (int i = 0; i < 9; ++i)
            expected << QStringLiteral("log_future_%1.txt").arg(i);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("log_*.txt")}, QDir::Files, QDir::Time),
                 expected.mid(1) + expected.mid(0, 1));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("notes.txt"))));
    }

    // A missing or unusable identifier is replaced by a new one, which the
    // next start reads back. Something other than a regular file in its
    // place counts as missing, is never read, written through or waited on,
    // and a regular file takes its place where it can.
    void deviceIdFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");  // empty: a new identifier
        QTest::newRow("blanks and line end") << "file" << QByteArray("  office-pc_7 \r\n") << QStringLiteral("office-pc_7");
        QTest::newRow("missing") << "none" << QByteArray() << QString();
        QTest::newRow("blank") << "file" << QByteArray(" \n\t ") << QString();
        QTest::newRow("path") << "file" << QByteArray("../../evil") << QString();
        QTest::newRow("too long") << "file" << QByteArray(65, 'a') << QString();
        QTest::newRow("link to a user's file") << "link" << QByteArray("userletter") << QString();
        QTest::newRow("link to nothing") << "link" << QByteArray() << QString();
        QTest::newRow("FIFO") << "fifo" << QByteArray() << QString();
        QTest::newRow("folder holding a file") << "folder" << QByteArray() << QString();
    }

    void deviceIdFile()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        clearDeviceId();
        QTemporaryDir user;
        const QString usersFile = user.filePath(QStringLiteral("letter.txt"));
        const QString path = deviceIdPath();
        if (kind == QLatin1String("file"))
            writeFile(path, content);
        else if (kind == QLatin1String("link") && !content.isEmpty())
            writeFile(usersFile, content);
        if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(usersFile, path));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        else if (kind == QLatin1String("folder"))
            writeFile(path + QStringLiteral("/kept.txt"), "kept");
        QTemporaryDir dir;
        const QStringList out = child({QStringLiteral("plain"), dir.path()});
        QCOMPARE(out.size(), 2);
        QCOMPARE(readAll(usersFile), kind == QLatin1String("link") ? content : QByteArray());
        QCOMPARE(QFile::exists(usersFile), kind == QLatin1String("link") && !content.isEmpty());
        if (!expected.isEmpty()) {
            QCOMPARE(out[1], expected);
            return;
        }
        QVERIFY(NewId.match(out[1]).hasMatch());
        if (kind == QLatin1String("folder"))
            QCOMPARE(readAll(path + QStringLiteral("/kept.txt")), QByteArray("kept"));
        else
            QCOMPARE(child({QStringLiteral("plain"), dir.path()}).value(1), out[1]);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    if (argc > 1 && QByteArray(argv[1]) == "--scenario")
        return runScenario(app.arguments().mid(2));
    FileLoggerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filelogger.moc"

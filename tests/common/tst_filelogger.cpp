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
// in a fresh child process of this test binary.
namespace {

int runScenario(const QStringList& args)
{
    TestMachine machine;
    FileLogger* logger = FileLogger::instance();
    const QString scenario = args.value(0);
    if (scenario == QLatin1String("lines")) {
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

QString deviceIdPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../config/device.id");
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

} // namespace

class FileLoggerTest : public QObject
{
    Q_OBJECT

    QByteArray m_savedDeviceId;
    bool m_hadDeviceId = false;

    // Runs a scenario in a child; answers its log file path and device id.
    QStringList child(const QStringList& args)
    {
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--scenario")} + args);
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return {};
        return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

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

    void headerAndLinesEndInCrLf()
    {
        writeFile(deviceIdPath(), "0123456789abcdef");
        QTemporaryDir first;
        QTemporaryDir second;
        const QString logDir = first.filePath(QStringLiteral("logs"));
        const QString ignoredDir = second.filePath(QStringLiteral("other"));
        const QStringList out = child({QStringLiteral("lines"), logDir, ignoredDir});
        QCOMPARE(out.size(), 2);
        QVERIFY(!QFileInfo::exists(ignoredDir));
        QVERIFY(out[0].startsWith(logDir + QStringLiteral("/log_0123456789abcdef_")));
        const QByteArray content = readAll(out[0]);
        QVERIFY(content.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(content.mid(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.value(0), QString(40, '='));
        QCOMPARE(lines.value(1), QStringLiteral("系统优化工具日志"));
        QCOMPARE(lines.value(2), QStringLiteral("设备ID: 0123456789abcdef"));
        QCOMPARE(lines.value(3), QStringLiteral("程序版本: 2.0.0"));
        QCOMPARE(lines.value(4), QStringLiteral("系统版本: Win10 (Build 19045)"));
        QVERIFY(lines.value(5).startsWith(QStringLiteral("开始时间: ")));
        QCOMPARE(lines.value(6), QString(40, '='));
        QCOMPARE(lines.value(7), QString());
        const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
        QVERIFY(stamp.match(lines.value(8)).hasMatch());
        QCOMPARE(lines.value(8).mid(11), QStringLiteral("一行"));
        QCOMPARE(lines.value(9).mid(11), QStringLiteral("[错误] 坏了"));
        QCOMPARE(lines.value(10).mid(11), QStringLiteral("[结果] 清理: 12 MB"));
        QCOMPARE(lines.value(11).mid(11), QStringLiteral("名  字<U+0001><U+001B>[31m<U+0085><U+202E>尾"));
        QCOMPARE(lines.value(12), QString());  // the file ends with a line end
        QVERIFY(!content.contains("before init"));
        QVERIFY(!QString::fromUtf8(content).remove(QStringLiteral("\r\n")).contains('\n'));
    }

    // A second start in the same second continues the first one's file: it
    // keeps what is there and adds its own byte-order mark and header. The
    // files of the next seconds stand ready, whichever second the child opens.
    void secondStartInTheSameSecondAppendsItsHeader()
    {
        writeFile(deviceIdPath(), "0123456789abcdef");
        QTemporaryDir dir;
        const QByteArray earlier = QByteArray("\xEF\xBB\xBF") + QString(40, '=').toUtf8() + "\r\n[09:00:00] 上一次启动\r\n";
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = 0; second < 10; ++second) {
            const QString stamp = now.addSecs(second).toString(QStringLiteral("yyyyMMdd_HHmmss"));
            writeFile(dir.filePath(QStringLiteral("log_0123456789abcdef_%1.txt").arg(stamp)), earlier);
        }
        const QStringList out = child({QStringLiteral("plain"), dir.path()});
        QCOMPARE(out.size(), 2);
        const QByteArray content = readAll(out[0]);
        QVERIFY2(content.startsWith(earlier), "the earlier start's lines stay");
        const QByteArray added = content.mid(earlier.size());
        QVERIFY(added.startsWith(QByteArray("\xEF\xBB\xBF") + QString(40, '=').toUtf8() + "\r\n"));
        QCOMPARE(QString::fromUtf8(added.mid(3)).split(QStringLiteral("\r\n")).value(1), QStringLiteral("系统优化工具日志"));
    }

    void onlyTheTenNewestLogsStay()
    {
        writeFile(deviceIdPath(), "0123456789abcdef");
        QTemporaryDir dir;
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i < 12; ++i)
            writeFile(dir.filePath(QStringLiteral("log_old_%1.txt").arg(i)), "x", now.addDays(-1 - i));
        writeFile(dir.filePath(QStringLiteral("notes.txt")), "keep", now.addDays(-100));
        const QStringList out = child({QStringLiteral("plain"), dir.path()});
        QCOMPARE(out.size(), 2);
        const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("log_*.txt")}, QDir::Files);
        QCOMPARE(logs.size(), 10);
        QVERIFY(QFile::exists(out[0]));
        for (int i = 0; i < 9; ++i)
            QVERIFY(logs.contains(QStringLiteral("log_old_%1.txt").arg(i)));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("notes.txt"))));
    }

    void ownLogStaysWhateverTheOtherTimes()
    {
        writeFile(deviceIdPath(), "0123456789abcdef");
        QTemporaryDir dir;
        const QDateTime future = QDateTime::currentDateTime().addDays(30);
        for (int i = 0; i < 11; ++i)
            writeFile(dir.filePath(QStringLiteral("log_future_%1.txt").arg(i)), "x", future.addSecs(i));
        const QStringList out = child({QStringLiteral("plain"), dir.path()});
        QCOMPARE(out.size(), 2);
        QVERIFY(QFile::exists(out[0]));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("log_*.txt")}, QDir::Files).size(), 10);
    }

    void deviceIdFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");  // empty: a new identifier
        QTest::newRow("blanks and line end") << QByteArray("  a1b2c3d4e5f60718 \r\n") << QStringLiteral("a1b2c3d4e5f60718");
        QTest::newRow("user token") << QByteArray("office-pc_7") << QStringLiteral("office-pc_7");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("blank") << QByteArray(" \n\t ") << QString();
        QTest::newRow("path") << QByteArray("../../evil") << QString();
        QTest::newRow("too long") << QByteArray(65, 'a') << QString();
        QTest::newRow("huge") << QByteArray(1 << 20, 'a') << QString();
    }

    void deviceIdFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        writeFile(deviceIdPath(), content);
        QTemporaryDir dir;
        const QStringList out = child({QStringLiteral("plain"), dir.path()});
        QCOMPARE(out.size(), 2);
        if (!expected.isEmpty()) {
            QCOMPARE(out[1], expected);
            return;
        }
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{16}$")).match(out[1]).hasMatch());
        QCOMPARE(readAll(deviceIdPath()), out[1].toUtf8());
    }

    // Something other than a regular file stands where the identifier
    // belongs: it counts as missing, is never read, written through or
    // waited on, and a regular file with a new identifier takes its place.
    void deviceIdThatIsNoFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("link to a user's file") << "link" << true;
        QTest::newRow("link to nothing") << "dangling link" << true;
        QTest::newRow("FIFO") << "fifo" << true;
        QTest::newRow("empty folder") << "folder" << true;
        QTest::newRow("folder holding a file") << "full folder" << false;
    }

    void deviceIdThatIsNoFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, replaced);
        clearDeviceId();
        QTemporaryDir user;
        const QString usersFile = user.filePath(QStringLiteral("letter.txt"));
        const QString path = deviceIdPath();
        if (kind == QLatin1String("link")) {
            writeFile(usersFile, "userletter");
            QVERIFY(QFile::link(usersFile, path));
        } else if (kind == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(usersFile, path));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        } else {
            QVERIFY(QDir().mkpath(path));
            if (kind == QLatin1String("full folder"))
                writeFile(path + QStringLiteral("/kept.txt"), "kept");
        }
        QTemporaryDir logs;
        const QStringList out = child({QStringLiteral("plain"), logs.path()});
        QCOMPARE(out.size(), 2);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{16}$")).match(out[1]).hasMatch());
        const QFileInfo now(path);
        QCOMPARE(now.isFile() && !now.isSymLink(), replaced);
        if (replaced)
            QCOMPARE(readAll(path), out[1].toUtf8());
        else
            QCOMPARE(readAll(path + QStringLiteral("/kept.txt")), QByteArray("kept"));
        QCOMPARE(readAll(usersFile), QByteArray(kind == QLatin1String("link") ? "userletter" : ""));
        QCOMPARE(QFile::exists(usersFile), kind == QLatin1String("link"));
        clearDeviceId();
    }

    void missingIdentifierFileIsMadeOnce()
    {
        QFile::remove(deviceIdPath());
        QTemporaryDir dir;
        const QStringList first = child({QStringLiteral("plain"), dir.path()});
        const QStringList second = child({QStringLiteral("plain"), dir.path()});
        QCOMPARE(first.size(), 2);
        QCOMPARE(second.value(1), first[1]);
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

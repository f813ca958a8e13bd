#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"
#include "platform/FileSystem.h"
#include "platform/SystemFacts.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int MB = 1048576;
const QString Temp = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp");

void age(const QString& hostPath, qint64 seconds)
{
    QFile file(hostPath);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime);
}

bool journalHas(TestMachine& machine, const QString& kind, const QString& program, const QStringList& arguments)
{
    for (const auto& entry : machine->journal()) {
        if (entry.kind == kind && entry.program == program && entry.arguments == arguments)
            return true;
    }
    return false;
}

} // namespace

class EngineCacheTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;

    OptimizeCore* runEngine(OptimizeCore& core)
    {
        m_log->clear();
        core.startOptimize();
        return &core;
    }

private slots:
    void initTestCase() { m_log = std::make_unique<EngineLog>(); }

    void errorReportsOlderThanADay()
    {
        TestMachine machine;
        const QString archive = QStringLiteral("C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportArchive\\");
        age(machine.addFile(archive + QStringLiteral("old\\crash.dmp"), "d"), 24 * 3600 + 60);
        age(machine.addFile(archive + QStringLiteral("young.wer"), "w"), 23 * 3600);
        age(machine.addFile(archive + QStringLiteral("notes.txt"), "t"), 48 * 3600);
        OptimizeCore core;
        runEngine(core);
        QVERIFY(!win::pathExists(archive + QStringLiteral("old\\crash.dmp")));
        QVERIFY(win::isDirectory(archive + QStringLiteral("old")));
        QVERIFY(win::pathExists(archive + QStringLiteral("young.wer")));
        QVERIFY(win::pathExists(archive + QStringLiteral("notes.txt")));
        QVERIFY(m_log->contains(QStringLiteral("    清理目录(限时24h) %1: 释放 0 MB，删除 1 个文件").arg(archive)));
        QVERIFY(m_log->contains(QStringLiteral("  清理 [A1 WER错误报告]: +0 MB")));
    }

    // Only what is really gone counts: a locked file stays and frees nothing,
    // a linked folder is not entered and a linked file goes as a link.
    void linksAndLockedFiles()
    {
        TestMachine machine;
        const QString documents = machine.addFolder(QStringLiteral("C:\\Users\\Tester\\Documents"));
        const QString letter = machine.addFile(QStringLiteral("C:\\Users\\Tester\\Documents\\letter.docx"), QByteArray(MB, 'l'));
        machine.addFolder(Temp);
        QVERIFY(QFile::link(documents, machine.hostPath(Temp + QStringLiteral("\\docs-link"))));
        QVERIFY(QFile::link(letter, machine.hostPath(Temp + QStringLiteral("\\letter-link.tmp"))));
        machine.addFile(Temp + QStringLiteral("\\locked.tmp"), QByteArray(2 * MB, 'x'));
        machine->files().setLocked(Temp + QStringLiteral("\\locked.tmp"), true);
        machine.addFile(Temp + QStringLiteral("\\junk.tmp"), QByteArray(MB, 'j'));
        OptimizeCore core;
        runEngine(core);
        QVERIFY(QFile::exists(letter));
        QVERIFY(win::pathExists(Temp + QStringLiteral("\\docs-link")));
        QVERIFY(!win::pathExists(Temp + QStringLiteral("\\letter-link.tmp")));
        QVERIFY(win::pathExists(Temp + QStringLiteral("\\locked.tmp")));
        QVERIFY(!win::pathExists(Temp + QStringLiteral("\\junk.tmp")));
        QCOMPARE(core.junkFilesCount(), 2);
        QCOMPARE(core.cleanedMB(), 1);
        QVERIFY(m_log->contains(QStringLiteral("  清理 [V1.4 浏览器/TEMP/缩略图]: +1 MB")));
    }

    void lockedFilesAloneGiveNoFolderLine()
    {
        TestMachine machine;
        machine.addFile(Temp + QStringLiteral("\\a.tmp"), QByteArray(MB, 'a'));
        machine->files().setLocked(Temp + QStringLiteral("\\a.tmp"), true);
        OptimizeCore core;
        runEngine(core);
        QVERIFY(m_log->startingWith(QStringLiteral("    清理目录 ") + Temp).isEmpty());
        QCOMPARE(core.cleanedMB(), 0);
    }

    // TEMP names a folder that must never be emptied: the whole run deletes
    // nothing of the machine's system, programs or users. Every spelling
    // Windows accepts is the protected folders' own test's to try.
    void foldersThatMustNeverBeEmptied_data()
    {
        QTest::addColumn<QString>("temp");
        QTest::newRow("drive root") << QStringLiteral("C:\\");
        QTest::newRow("unexpanded variable") << QStringLiteral("%NOPE%\\Temp");
        QTest::newRow("relative") << QStringLiteral("Users");
        QTest::newRow("climbing out") << QStringLiteral("C:\\Windows\\Temp\\..\\..\\Users");
        QTest::newRow("Windows, trailing dot") << QStringLiteral("C:\\Windows.");
        QTest::newRow("Program Files (x86)") << QStringLiteral("C:\\Program Files (x86)");
        QTest::newRow("profile") << QStringLiteral("C:\\Users\\Tester");
        QTest::newRow("Documents") << QStringLiteral("C:\\Users\\Tester\\Documents");
        QTest::newRow("AppData\\Local") << QStringLiteral("C:\\Users\\Tester\\AppData\\Local");
    }

    void foldersThatMustNeverBeEmptied()
    {
        QFETCH(QString, temp);
        TestMachine machine;
        machine->system().environment.insert(QStringLiteral("TEMP"), temp);
        const QStringList precious = {
            "C:\\bootmgr", "C:\\Windows\\win.ini", "C:\\Windows\\System32\\kernel32.dll",
            "C:\\Windows\\SysWOW64\\user32.dll", "C:\\Program Files\\App\\app.exe",
            "C:\\Program Files (x86)\\App\\app.exe", "C:\\ProgramData\\App\\data.db",
            "C:\\Users\\Tester\\photo.jpg", "C:\\Users\\Other\\photo.jpg",
            "C:\\Users\\Tester\\Desktop\\note.txt", "C:\\Users\\Tester\\Documents\\letter.docx",
            "C:\\Users\\Tester\\Downloads\\setup.exe", "C:\\Users\\Tester\\Pictures\\a.jpg",
            "C:\\Users\\Tester\\Music\\a.mp3", "C:\\Users\\Tester\\Videos\\a.mp4",
            "C:\\Users\\Tester\\AppData\\state.dat", "C:\\Users\\Tester\\AppData\\Local\\IconCache.db",
            "C:\\Users\\Tester\\AppData\\Roaming\\App\\settings.ini",
            "C:\\Users\\Tester\\AppData\\LocalLow\\App\\state.dat"};
        for (const QString& file : precious)
            machine.addFile(file, "p");
        OptimizeCore core;
        runEngine(core);
        // Where the files really lie: this program sees System32 redirected.
        for (const QString& file : precious)
            QVERIFY2(QFileInfo::exists(machine.hostPath(file)), qPrintable(file));
    }

    // Windows Update's downloads go only when drive C is at least 85 % used,
    // its size is known and Windows Update is not at work; a running service
    // is stopped for it and started again.
    void updateDownloads_data()
    {
        QTest::addColumn<qint64>("freeMB");   // of 1000 MB
        QTest::addColumn<QString>("process");
        QTest::addColumn<quint32>("serviceState");
        QTest::addColumn<bool>("deleted");
        const quint32 none = 0;
        QTest::newRow("84.9%") << qint64(151) << QString() << none << false;
        QTest::newRow("85.0%") << qint64(150) << QString() << none << true;
        QTest::newRow("no total") << qint64(-1) << QString() << none << false;
        QTest::newRow("update client running") << qint64(100) << QStringLiteral("WUAUCLT.EXE") << win::ServiceStopped << false;
        QTest::newRow("installer running") << qint64(100) << QStringLiteral("TrustedInstaller.exe") << win::ServiceRunning << false;
        QTest::newRow("service starting") << qint64(100) << QString() << win::ServiceStartPending << false;
        QTest::newRow("service running") << qint64(100) << QString() << win::ServiceRunning << true;
    }

    void updateDownloads()
    {
        QFETCH(qint64, freeMB);
        QFETCH(QString, process);
        QFETCH(quint32, serviceState);
        QFETCH(bool, deleted);
        TestMachine machine;
        machine->files().drive('C')->totalBytes = freeMB < 0 ? 0 : 1000ull * MB;
        machine->files().drive('C')->freeBytes = freeMB < 0 ? 0 : quint64(freeMB) * MB;
        if (serviceState != 0) {
            auto& updates = machine.addService(QStringLiteral("wuauserv"), serviceState);
            updates.startDelayMs = deleted ? 0 : 60000;   // a start takes its time
            updates.stopDelayMs = 600;
        }
        if (!process.isEmpty())
            machine.addProcess(900, process);
        const QString download = QStringLiteral("C:\\Windows\\SoftwareDistribution\\Download\\update.cab");
        machine.addFile(download, "u");
        OptimizeCore core;
        QSignalSpy progress(&core, &OptimizeCore::progressUpdated);
        runEngine(core);
        QCOMPARE(win::pathExists(download), !deleted);
        const bool deep = freeMB >= 0 && freeMB <= 150;
        QCOMPARE(progress.contains({1, 20, QStringLiteral("磁盘使用率较高，正在深度清理系统缓存...")}), deep);
        QCOMPARE(m_log->contains(QStringLiteral("B1 跳过：Windows Update 正在运行，暂不深度清理系统缓存")), deep && !deleted);
        QVERIFY(m_log->contains(QStringLiteral("  清理 [B1 系统文件缓存(≥85%)]: +0 MB")));
        if (serviceState == win::ServiceRunning)
            QCOMPARE(machine->findService(QStringLiteral("wuauserv"))->state, win::ServiceRunning);
    }

    void fontCacheAndDeliveryOptimisation()
    {
        TestMachine machine;
        machine->system().joinStatus = win::NetSetupDomainName;  // the settings step then keeps DoSvc
        machine.addService(QStringLiteral("FontCache"), win::ServiceStopped);
        machine.addService(QStringLiteral("DoSvc"));
        machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Microsoft\\Windows\\Fonts\\FontCache.dat"), QByteArray(MB, 'f'));
        machine.addFile(QStringLiteral("C:\\Windows\\SoftwareDistribution\\DeliveryOptimization\\Cache\\piece.bin"), QByteArray(MB, 'd'));
        OptimizeCore core;
        runEngine(core);
        QVERIFY(!win::pathExists(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Microsoft\\Windows\\Fonts\\FontCache.dat")));
        QVERIFY(!win::pathExists(QStringLiteral("C:\\Windows\\SoftwareDistribution\\DeliveryOptimization\\Cache\\piece.bin")));
        QCOMPARE(machine->findService(QStringLiteral("FontCache"))->state, win::ServiceRunning);
        QCOMPARE(machine->findService(QStringLiteral("DoSvc"))->state, win::ServiceRunning);
        QVERIFY(m_log->contains(QStringLiteral("  清理 [A6 字体缓存]: +1 MB")));
        QVERIFY(m_log->contains(QStringLiteral("  清理 [A4 传递优化缓存]: +1 MB")));
    }

    // Windows 7 keeps its font cache in the real system folder, which this
    // 32-bit program sees as SysWOW64, and has OpenGL caches to empty; neither
    // Windows 7 nor 8.1 knows delivery optimisation.
    void olderSystems_data()
    {
        QTest::addColumn<quint32>("minor");
        QTest::newRow("Windows 7") << 1u;
        QTest::newRow("Windows 8.1") << 3u;
    }

    void olderSystems()
    {
        QFETCH(quint32, minor);
        TestMachine machine;
        machine.setWindowsVersion(6, minor, minor == 1 ? 7601 : 9600);
        const QString fontCache = machine.addFile(QStringLiteral("C:\\Windows\\System32\\FNTCACHE.DAT"), "f");
        machine.addFolder(QStringLiteral("C:\\Windows\\SysWOW64"));
        const QString glCache = machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\NVIDIA\\GLCache\\a.bin"), "g");
        OptimizeCore core;
        QSignalSpy progress(&core, &OptimizeCore::progressUpdated);
        runEngine(core);
        QCOMPARE(QFileInfo::exists(fontCache), minor != 1);
        QCOMPARE(QFileInfo::exists(glCache), minor != 1);
        QVERIFY(m_log->startingWith(QStringLiteral("  清理 [A4")).isEmpty());
        QVERIFY(!progress.contains({1, 25, QStringLiteral("正在清理传递优化缓存...")}));
    }

    // Only the framework version folders (their names start with a small
    // "v") hold ASP.NET's temporary files; other folders are left alone.
    void dotNetTemporaryFilesOfVersionFoldersOnly()
    {
        TestMachine machine;
        const QString net = QStringLiteral("C:\\Windows\\Microsoft.NET\\");
        const QString asp = QStringLiteral("\\Temporary ASP.NET Files\\root\\a1\\App_Web.dll");
        const QStringList cleaned = {net + "Framework\\v2.0.50727" + asp, net + "Framework64\\v4.0.30319" + asp};
        const QStringList kept = {net + "Framework\\V9.9" + asp, net + "Framework64\\Custom" + asp,
                                  net + "Framework64\\v4.0.30319\\Config\\machine.config"};
        for (const QString& file : cleaned + kept)
            machine.addFile(file, "n");
        OptimizeCore core;
        runEngine(core);
        for (const QString& file : cleaned)
            QVERIFY2(!win::pathExists(file), qPrintable(file));
        for (const QString& file : kept)
            QVERIFY2(win::pathExists(file), qPrintable(file));
        QCOMPARE(core.junkFilesCount(), 2);
    }

    void dnsFlushAndDiskCleanupAreAsked()
    {
        TestMachine machine;
        OptimizeCore core;
        runEngine(core);
        QVERIFY(journalHas(machine, QStringLiteral("run"), QStringLiteral("ipconfig"), {QStringLiteral("/flushdns")}));
        QVERIFY(journalHas(machine, QStringLiteral("detached"), QStringLiteral("cleanmgr.exe"), {QStringLiteral("/sagerun:99")}));
        QVERIFY(m_log->contains(QStringLiteral("  已执行 A7：DNS缓存刷新（ipconfig /flushdns）")));
    }

    void dnsFlushThatFailsIsNotReportedDone()
    {
        TestMachine machine;
        machine.addService(QStringLiteral("Dnscache"), win::ServiceStopped);
        machine->programs().setDnsCacheEntries(12);
        OptimizeCore core;
        runEngine(core);
        QCOMPARE(machine->programs().dnsCacheEntries(), 12);
        QCOMPARE(m_log->startingWith(QStringLiteral("  ")).filter(QStringLiteral("A7")),
                 QStringList{QStringLiteral("  A7 未完成：DNS缓存刷新失败（ipconfig /flushdns）")});
    }

    void browserCachesAndThumbnails()
    {
        TestMachine machine;
        const QString local = QStringLiteral("C:\\Users\\Tester\\AppData\\Local");
        machine.addFile(local + QStringLiteral("\\Google\\Chrome\\User Data\\Default\\Cache\\Cache_Data\\f_000001"), "c");
        machine.addFile(local + QStringLiteral("\\Microsoft\\Edge\\User Data\\Default\\Code Cache\\js\\index"), "e");
        machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\ab12.default\\cache2\\entries\\E1"), "m");
        machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\ab12.default\\places.sqlite"), "p");
        machine.addFile(local + QStringLiteral("\\Microsoft\\Windows\\Explorer\\thumbcache_256.db"), "t");
        machine.addFile(local + QStringLiteral("\\Microsoft\\Windows\\Explorer\\iconcache_16.db"), "i");
        OptimizeCore core;
        runEngine(core);
        QCOMPARE(core.junkFilesCount(), 4);
        QVERIFY(win::pathExists(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\ab12.default\\places.sqlite")));
        QVERIFY(win::pathExists(local + QStringLiteral("\\Microsoft\\Windows\\Explorer\\iconcache_16.db")));
    }
};

QTEST_GUILESS_MAIN(EngineCacheTest)
#include "tst_engine_cache.moc"

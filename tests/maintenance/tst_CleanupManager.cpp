#include "ManagerLog.h"
#include "TestMachine.h"
#include "maintenance/CleanupManager.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr quint64 MiB = 1048576;
const QString Profile = QStringLiteral("C:\\Users\\Tester");
const QString Temp = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp");
const QString WindowsTemp = QStringLiteral("C:\\Windows\\Temp");
const QString ChromeCache = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache");
const QString QQBrowserCodeCache =
    QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\Tencent\\QQBrowser\\User Data\\Default\\Code Cache");
const QString FirefoxCache =
    QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\k3x9.default-release\\cache2");
const QString Explorer = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Microsoft\\Windows\\Explorer");
const QString Keep = QStringLiteral("C:\\Users\\Tester\\Documents\\Keep");
const QString VolumeCaches = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches");

// A file of `size` bytes as the machine reports it.
void addSized(TestMachine& machine, const QString& path, quint64 size)
{
    machine.addFile(path, "x");
    machine->files().setVirtualSize(path, size);
}

quint64 freeBytes(TestMachine& machine)
{
    return machine->files().drive('C')->freeBytes;
}

QStringList percents(const QSignalSpy& spy)
{
    QStringList values;
    for (const QList<QVariant>& signal : spy)
        values << QStringLiteral("%1 %2").arg(signal.at(0).toInt()).arg(signal.at(1).toString());
    return values;
}

bool link(TestMachine& machine, const QString& target, const QString& linkPath)
{
    machine.addFolder(win::parentPathOf(linkPath));
    return QFile::link(machine.hostPath(target), machine.hostPath(linkPath));
}

int journalRuns(TestMachine& machine, const QString& program)
{
    int runs = 0;
    for (const auto& entry : machine->journal()) {
        if (entry.kind == QLatin1String("run") && entry.program == program
            && entry.arguments == QStringList({"/sagerun:99"}) && entry.waitMs == win::WaitForever)
            ++runs;
    }
    return runs;
}

} // namespace

class CleanupManagerTest : public QObject
{
    Q_OBJECT

private slots:
    // The scan measures without changing anything. The cleanup reports what
    // the drive gained: the system cleanup tool's share, the folders
    // emptied, many small files together; what could not go counts nothing.
    void scanThenCleanup()
    {
        TestMachine machine;
        machine.setDword(VolumeCaches + QStringLiteral("\\Thumbnail Cache"), QStringLiteral("StateFlags0099"), 2);
        addSized(machine, Explorer + QStringLiteral("\\thumbcache_256.db"), 4 * MiB);
        addSized(machine, Explorer + QStringLiteral("\\iconcache_32.db"), 1 * MiB);
        addSized(machine, Temp + QStringLiteral("\\setup\\payload.bin"), 3 * MiB);
        addSized(machine, Temp + QStringLiteral("\\busy\\in-use.log"), 2 * MiB);
        machine->files().setLocked(Temp + QStringLiteral("\\busy\\in-use.log"), true);
        for (int i = 0; i < 100; ++i)
            addSized(machine, Temp + QStringLiteral("\\logs\\log%1.txt").arg(i), 512 * 1024);
        addSized(machine, WindowsTemp + QStringLiteral("\\old.tmp"), 1 * MiB);
        addSized(machine, WindowsTemp + QStringLiteral("\\setup.ini"), 1 * MiB);
        machine->files().setAttributes(WindowsTemp + QStringLiteral("\\setup.ini"), win::FileAttributeReadOnly,
                                       win::FileAttributeReadOnly);
        addSized(machine, ChromeCache + QStringLiteral("\\Cache_Data\\data_0"), 2 * MiB);
        addSized(machine, QQBrowserCodeCache + QStringLiteral("\\js\\index"), 1 * MiB);
        addSized(machine, FirefoxCache + QStringLiteral("\\entries\\A1"), 1 * MiB);
        const quint64 before = freeBytes(machine);
        ManagerLog log;
        CleanupManager cleanup;
        QSignalSpy progress(&cleanup, &CleanupManager::progressUpdated);
        QSignalSpy scanned(&cleanup, &CleanupManager::scanCompleted);
        QSignalSpy cleaned(&cleanup, &CleanupManager::cleanupCompleted);

        QCOMPARE(cleanup.scanCleanableSpace(), 55 + 4 + 5ull);

        QCOMPARE(freeBytes(machine), before);
        QCOMPARE(percents(progress), QStringList({"10 扫描系统垃圾...", "30 扫描浏览器缓存...", "60 扫描缩略图缓存...", "100 扫描完成"}));
        QCOMPARE(scanned.size(), 1);
        QCOMPARE(scanned.at(0).at(0).toULongLong(), 64ull);
        QCOMPARE(log.lines(), QStringList({"开始扫描可清理空间...", "临时目录可清理: 55 MB", "浏览器缓存可清理: 4 MB",
                                           "缩略图缓存可清理: 5 MB", "扫描完成，总计可清理: 64 MB"}));
        progress.clear();
        log.clear();
        const quint64 startedAt = machine->clock().nowMs();

        QCOMPARE(cleanup.performCleanup(), 4 + 4 + 54 + 0ull);

        QCOMPARE((freeBytes(machine) - before) / MiB, 62ull);
        for (const QString& gone : {Temp + "\\setup", Temp + "\\logs", WindowsTemp + "\\old.tmp", ChromeCache + "\\Cache_Data",
                                    QQBrowserCodeCache + "\\js", FirefoxCache + "\\entries", Explorer + "\\thumbcache_256.db"})
            QVERIFY2(!win::pathExists(gone), qPrintable(gone));
        for (const QString& kept : {Temp, Temp + "\\busy\\in-use.log", WindowsTemp + "\\setup.ini", ChromeCache,
                                    Explorer + "\\iconcache_32.db"})
            QVERIFY2(win::pathExists(kept), qPrintable(kept));
        QCOMPARE(journalRuns(machine, QStringLiteral("cleanmgr.exe")), 1);
        QVERIFY(machine->clock().nowMs() - startedAt >= 3000);
        QCOMPARE(percents(progress), QStringList({"10 执行系统清理...", "40 清理浏览器缓存...", "60 清理临时文件...",
                                                  "80 清理缩略图缓存...", "100 清理完成"}));
        QCOMPARE(cleaned.size(), 1);
        QCOMPARE(cleaned.at(0).at(0).toULongLong(), 62ull);
        QCOMPARE(log.lines(), QStringList({"开始执行系统垃圾清理...", "配置系统清理预设...", "运行系统磁盘清理工具...",
                                           "系统清理完成，清理: 4 MB", "浏览器缓存清理完成，清理: 4 MB",
                                           "临时文件清理完成，清理: 54 MB", "缩略图缓存清理完成，清理: 0 MB",
                                           "垃圾清理完成，总计清理: 62 MB"}));

        log.clear();
        QCOMPARE(cleanup.performCleanup(), 0ull);
        QVERIFY(!log.contains(QStringLiteral("配置系统清理预设...")));
    }

    // A link in a cleaned folder goes as a link: its target, outside, stays
    // whole, is never counted, and a link back up the tree is no loop. Nor
    // is a link's own size counted: deleting it frees nothing (a cloud
    // placeholder is a reparse point that reports its file's size).
    void linksInEveryCleanedFolderAreNeverFollowed_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("junk");
        QTest::newRow("temporary folder") << Temp << "junk.tmp";
        QTest::newRow("Firefox profile cache") << FirefoxCache << "junk.tmp";
        QTest::newRow("thumbnail cache") << Explorer << "thumbcache_96.db";
    }

    void linksInEveryCleanedFolderAreNeverFollowed()
    {
        QFETCH(QString, folder);
        QFETCH(QString, junk);
        TestMachine machine;
        addSized(machine, folder + '\\' + junk, 1 * MiB);
        addSized(machine, Keep + QStringLiteral("\\precious.doc"), 5 * MiB);
        QVERIFY(link(machine, Keep, folder + QStringLiteral("\\docs-link")));
        QVERIFY(link(machine, Keep + QStringLiteral("\\precious.doc"), folder + QStringLiteral("\\thumbcache_link.db")));
        machine->files().setVirtualSize(folder + QStringLiteral("\\thumbcache_link.db"), 5 * MiB);
        QVERIFY(link(machine, Profile, folder + QStringLiteral("\\sub\\loop")));
        CleanupManager cleanup;

        QCOMPARE(cleanup.scanCleanableSpace(), 1ull);
        QCOMPARE(cleanup.performCleanup(), 1ull);

        QVERIFY(win::pathExists(Keep + QStringLiteral("\\precious.doc")));
        QVERIFY(!win::pathExists(folder + '\\' + junk));
        QVERIFY(!win::pathExists(folder + QStringLiteral("\\thumbcache_link.db")));
        QVERIFY(win::isDirectory(folder));
    }

    // A cache folder that is itself a link, or lies behind one, is not a
    // cache of this machine's user: nothing behind it is touched.
    void aCacheReachedThroughALinkIsLeftAlone_data()
    {
        QTest::addColumn<QString>("linkPath");
        QTest::newRow("the cache folder") << ChromeCache;
        QTest::newRow("a Firefox profile") << win::parentPathOf(FirefoxCache);
    }

    void aCacheReachedThroughALinkIsLeftAlone()
    {
        QFETCH(QString, linkPath);
        TestMachine machine;
        addSized(machine, Keep + QStringLiteral("\\Cache\\precious.doc"), 5 * MiB);
        addSized(machine, Keep + QStringLiteral("\\cache2\\precious.doc"), 5 * MiB);
        QVERIFY(link(machine, Keep, linkPath));
        CleanupManager cleanup;
        QCOMPARE(cleanup.scanCleanableSpace(), 0ull);
        QCOMPARE(cleanup.performCleanup(), 0ull);
        QVERIFY(win::pathExists(Keep + QStringLiteral("\\Cache\\precious.doc")));
        QVERIFY(win::pathExists(Keep + QStringLiteral("\\cache2\\precious.doc")));
    }

    // Whatever TMP, TEMP or windir name, a folder the program must never
    // empty is refused as Windows would resolve it, and what lies in it
    // survives, also when the profile's own variable is spelled oddly; the
    // rest of the cleanup goes on.
    void foldersFromTheEnvironmentThatMustNotBeEmptied_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("victim");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<qulonglong>("scanned");   // a folder the rule refuses measures nothing
        const QString rule = QStringLiteral("[错误] 安全拦截：受保护的文件夹 - ");
        const QString blacklist = QStringLiteral("[错误] 安全拦截：路径在黑名单内 - ");
        QTest::newRow("TMP: drive root") << "TMP" << "C:\\" << "C:\\Data\\victim.txt" << rule << qulonglong(0);
        QTest::newRow("TEMP: the profile through dots") << "TEMP" << "C:\\Users\\Tester\\AppData\\Local\\Temp\\..\\..\\.."
                                                        << "C:\\Users\\Tester\\victim.txt" << rule << qulonglong(0);
        QTest::newRow("TEMP: a folder in the documents") << "TEMP" << "C:\\Users\\Tester\\Documents\\Temp."
                                                         << "C:\\Users\\Tester\\Documents\\Temp\\victim.docx" << blacklist
                                                         << qulonglong(1);
        QTest::newRow("TMP: desktop in capitals") << "TMP" << "C:\\USERS\\TESTER\\DESKTOP"
                                                  << "C:\\Users\\Tester\\Desktop\\victim.lnk" << blacklist
                                                  << qulonglong(0);
        QTest::newRow("TMP: a name beginning like the installer folder") << "TMP" << "C:\\Windows\\Installer1"
                                                                         << "C:\\Windows\\Installer1\\victim.msi" << blacklist
                                                                         << qulonglong(1);
        QTest::newRow("TMP: the component store through a trailing dot") << "TMP" << "C:\\Windows.\\WinSxS"
                                                                         << "C:\\Windows\\WinSxS\\x86_core\\victim.dll" << blacklist
                                                                         << qulonglong(1);
        QTest::newRow("TEMP: below the installer folder through a trailing blank")
            << "TEMP" << "C:\\Windows \\Installer\\{7A1B}" << "C:\\Windows\\Installer\\{7A1B}\\victim.msi" << blacklist
            << qulonglong(1);
        QTest::newRow("windir: documents") << "windir" << "C:\\Users\\Tester\\Documents"
                                           << "C:\\Users\\Tester\\Documents\\Temp\\victim.docx" << blacklist
                                           << qulonglong(0);
        QTest::newRow("windir: through dots") << "windir" << "C:\\Users\\Tester\\AppData\\Local\\Temp\\..\\.."
                                              << "C:\\Users\\Tester\\AppData\\Temp\\victim.txt" << QString()
                                              << qulonglong(0);
        QTest::newRow("windir: not set") << "windir" << QString() << "C:\\Windows\\Temp\\survivor.log" << QString()
                                         << qulonglong(0);
    }

    void foldersFromTheEnvironmentThatMustNotBeEmptied()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QFETCH(QString, victim);
        QFETCH(QString, refusal);
        QFETCH(qulonglong, scanned);
        TestMachine machine;
        auto& environment = machine->system().environment;
        environment.insert(QStringLiteral("USERPROFILE"), QStringLiteral("c:/users/./tester."));
        if (value.isEmpty())
            environment.remove(variable);
        else
            environment.insert(variable, value);
        if (variable == QLatin1String("TEMP"))
            environment.remove(QStringLiteral("TMP"));
        addSized(machine, victim, 1 * MiB);
        addSized(machine, WindowsTemp + QStringLiteral("\\junk.tmp"), 2 * MiB);
        ManagerLog log;
        CleanupManager cleanup;

        QCOMPARE(cleanup.scanCleanableSpace(), scanned);
        const bool windowsTempCleaned = variable != QLatin1String("windir");
        QCOMPARE(cleanup.performCleanup(), windowsTempCleaned ? 2ull : 0ull);

        QVERIFY(win::pathExists(victim));
        QCOMPARE(win::pathExists(WindowsTemp + QStringLiteral("\\junk.tmp")), !windowsTempCleaned);
        if (!refusal.isEmpty())
            QVERIFY2(!log.lines().filter(QRegularExpression("^" + QRegularExpression::escape(refusal))).isEmpty(),
                     qPrintable(log.lines().join('\n')));
    }
};

QTEST_GUILESS_MAIN(CleanupManagerTest)
#include "tst_CleanupManager.moc"

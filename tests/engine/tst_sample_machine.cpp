#include "ShippedMachineRun.h"
#include "engine/OptimizeCore.h"
#include "platform/FileSystem.h"
#include "platform/sim/SimMachine.h"
#include "scanners/JunkwareDetector.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <iterator>

using win::sim::SimMachine;

namespace {

constexpr quint64 MB = 1048576;

using Dimensions = QMap<QString, QString>;   // junkware id -> the kind of trace that found it

const QString Profile = QStringLiteral("C:\\Users\\zhangwei");
const QString Local = Profile + QStringLiteral("\\AppData\\Local");
const QString Roaming = Profile + QStringLiteral("\\AppData\\Roaming");
const QString Temp = Local + QStringLiteral("\\Temp");
const QString Hklm = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\");
const QString Hkcu = QStringLiteral("HKEY_CURRENT_USER\\");
const QString CurrentVersion = QStringLiteral("Microsoft\\Windows\\CurrentVersion\\");
QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Makes a machine current for a scope and then gives the place back.
class CurrentMachine
{
public:
    explicit CurrentMachine(SimMachine* machine) : m_previous(SimMachine::current()) { SimMachine::makeCurrent(machine); }
    ~CurrentMachine() { SimMachine::makeCurrent(m_previous); }

private:
    SimMachine* m_previous;
};

} // namespace

// The shipped sample machine, copied and run through the one-click engine
// once; each test then checks one side of what the run found and changed.
class SampleMachineTest : public QObject
{
    Q_OBJECT

    ShippedMachineRun m_run;

    QMap<QString, QStringList> startupNamesByLocation() const
    {
        QMap<QString, QStringList> names;
        for (const StartupFinding& finding : m_run.report.startupItems)
            names[finding.location] << finding.name;
        for (QStringList& list : names)
            list.sort();
        return names;
    }

    const StartupFinding* startupItem(const QString& location, const QString& name) const
    {
        for (const StartupFinding& finding : m_run.report.startupItems) {
            if (finding.location == location && finding.name == name)
                return &finding;
        }
        return nullptr;
    }

    const ConflictFinding* conflict(const QString& title) const
    {
        for (const ConflictFinding& finding : m_run.report.conflicts) {
            if (finding.title == title)
                return &finding;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        const QString error = m_run.run(QStringLiteral("sample"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void runFinishesWithEverythingCounted()
    {
        QCOMPARE(m_run.errors, 0);
        QCOMPARE(m_run.finishedSignals, 1);
        const int cleanedMB = m_run.counts.at(0).toInt();
        const int freedMemoryMB = m_run.counts.at(1).toInt();
        const int junkFiles = m_run.counts.at(2).toInt();
        const int startupItems = m_run.counts.at(4).toInt();
        QVERIFY(cleanedMB > 1000);   // update downloads, crash dumps, shader and browser caches
        QVERIFY(junkFiles > 100);
        QVERIFY(startupItems > 40);
        QCOMPARE(m_run.counts.at(3).toInt(), 6 * startupItems);

        // What the engine counts is what left the disk, beside what the
        // cleanup manager took (the boot store backup took a few bytes).
        const qint64 freedOnDisk = qint64(m_run.machine->files().drive('C')->freeBytes - m_run.freeBefore)
                                   - qint64(m_run.machine->programs().cleanup().freedBytes);
        QVERIFY2(qAbs(freedOnDisk - qint64(cleanedMB) * qint64(MB)) < qint64(2 * MB),
                 qPrintable(QStringLiteral("%1 bytes freed, %2 MB counted").arg(freedOnDisk).arg(cleanedMB)));
        const quint64 available = m_run.machine->system().memory.availableBytes;
        QVERIFY(freedMemoryMB > 1000);
        QCOMPARE(quint64(freedMemoryMB), available / MB - m_run.availableBefore / MB);
        QCOMPARE(m_run.report.uninstallResidueCount, 1);   // Flash中心's folder is gone
        QCOMPARE(m_run.machine->openHandleCount(), 0);
    }

    void startupScanListsEveryLocation()
    {
        QMap<QString, QStringList> expected;
        expected["HKLM Run"] = QStringList{"NvBackend", "RtkAudUService", "SecurityHealth"};
        expected["HKCU Run"] = QStringList{"BaiduYunGuanjia", "MicrosoftEdgeAutoLaunch_2C5D8F1B6E3A4079B1D2C3E4F5A6B7C8",
                                           "OneDrive", "WeChat", "热点资讯"};
        expected["HKLM RunOnce"] = QStringList{"Delete Cached Standalone Update Binary"};
        expected["HKCU RunOnce"] = QStringList{"Uninstall 23.246.1127.0002"};
        expected["WOW64 Run"] = QStringList{"360Safetray", "HaoZip", "QQPCTray", "SearchProtect"};
        expected["Policies Run(HKLM)"] = QStringList{"FlashHelper"};
        expected["Policies Run(HKCU)"] = QStringList{"HotNewsPop"};
        expected["Winlogon"] = QStringList{"Userinit"};
        expected["AppInit_DLLs"] = QStringList{"AppInit_DLLs"};
        expected["Shell Extensions Approved"] = QStringList{"Shell Extensions"};
        expected["Common Startup"] = QStringList{"HP LaserJet Toolbox.lnk"};
        expected["User Startup"] = QStringList{"sync.vbs", "腾讯QQ.lnk"};
        // Enabled tasks that start at boot or logon, the hidden one included.
        expected["计划任务"] = sorted({"360Safe Auto Update", "FlashHelper",
                                   "GoogleUpdateTaskMachineCore{8E5B4C3A-2D1F-4E6A-9B7C-0D1E2F3A4B5C}",
                                   "HaoZipUpdate", "HotNewsDaemon", "MicrosoftEdgeUpdateTaskMachineCore"});
        QCOMPARE(startupNamesByLocation(), expected);
        // Scores, hijacks and commands are the scanner's own tests' to check.
        QVERIFY(startupItem("Winlogon", "Userinit")->hijacked);
        QCOMPARE(startupItem("Shell Extensions Approved", "Shell Extensions")->command, QStringLiteral("共 72 个"));
        // The machine keeps the switched-off state of each entry where Windows reads it.
        QStringList disabled;
        for (const StartupFinding& finding : m_run.report.startupItems) {
            if (finding.disabled)
                disabled << finding.name;
        }
        QCOMPARE(disabled, QStringList({"BaiduYunGuanjia", "MicrosoftEdgeAutoLaunch_2C5D8F1B6E3A4079B1D2C3E4F5A6B7C8",
                                        "HaoZip", "HP LaserJet Toolbox.lnk"}));
    }

    void junkwareIsFoundWithItsLeftovers()
    {
        QMap<QString, JunkwareFinding> found;
        for (const JunkwareFinding& finding : m_run.report.junkware)
            found.insert(finding.id, finding);
        QCOMPARE(found.keys(), sorted({"cn_2345_haozip", "cn_flash_china", "cn_popup_news", "search_protect"}));
        for (const JunkwareFinding& finding : found)
            QCOMPARE(finding.dimension, QStringLiteral("已安装程序"));
        QCOMPARE(sorted(found["search_protect"].evidence),
                 sorted({"C:\\Program Files (x86)\\SearchProtect", Roaming + "\\SearchProtect"}));
        QCOMPARE(found["cn_2345_haozip"].evidence, QStringList{"C:\\Program Files (x86)\\2345Soft\\HaoZip"});
        // The uninstaller took the folder and left its entry behind.
        QCOMPARE(found["cn_flash_china"].evidence, QStringList{"C:\\Program Files (x86)\\FlashCenter"});
        QVERIFY(found["cn_popup_news"].evidence.isEmpty());
    }

    // Each junk program leaves more than one trace: without the traces found
    // first, the next kind still finds it.
    void junkwareIsTracedThroughEveryKindOfTrace_data()
    {
        QTest::addColumn<int>("removedKinds");
        QTest::addColumn<Dimensions>("expected");
        QTest::newRow("no uninstall entries")
            << 1 << Dimensions{{"search_protect", "运行中进程"}, {"cn_2345_haozip", "运行中进程"},
                                           {"cn_flash_china", "开机自启"}, {"cn_popup_news", "开机自启"}};
        QTest::newRow("no processes either")
            << 2 << Dimensions{{"search_protect", "开机自启"}, {"cn_2345_haozip", "开机自启"},
                                           {"cn_flash_china", "开机自启"}, {"cn_popup_news", "开机自启"}};
        QTest::newRow("no Run values either")
            << 3 << Dimensions{{"search_protect", "服务"}, {"cn_2345_haozip", "文件路径"},
                                           {"cn_flash_china", "服务"}};
    }

    void junkwareIsTracedThroughEveryKindOfTrace()
    {
        QFETCH(int, removedKinds);
        QFETCH(Dimensions, expected);
        SimMachine pristine;   // only read: the shipped folder itself
        QString error;
        QVERIFY2(pristine.load(QStringLiteral(TESSARO_SOURCE_DIR "/machines/sample"), &error), qPrintable(error));
        for (const QString& root : {Hklm + CurrentVersion + "Uninstall", Hklm + "WOW6432Node\\" + CurrentVersion + "Uninstall",
                                    Hkcu + "Software\\" + CurrentVersion + "Uninstall"})
            QVERIFY(pristine.registry().removeKey(root));
        if (removedKinds >= 2)
            pristine.system().processes.clear();
        if (removedKinds >= 3) {
            for (const QString& run : {Hklm + CurrentVersion + "Run", Hklm + "WOW6432Node\\" + CurrentVersion + "Run",
                                       Hklm + CurrentVersion + "Policies\\Explorer\\Run",
                                       Hkcu + "Software\\" + CurrentVersion + "Run",
                                       Hkcu + "Software\\" + CurrentVersion + "Policies\\Explorer\\Run"})
                QVERIFY(pristine.registry().removeKey(run));
        }
        ScanReportBundle report;
        {
            CurrentMachine current(&pristine);
            JunkwareDetector().scanJunkware(report);
        }
        Dimensions found;
        for (const JunkwareFinding& finding : report.junkware)
            found.insert(finding.id, finding.dimension);
        QCOMPARE(found, expected);
    }

    void browserHijacksAreFound()
    {
        struct Row
        {
            const char* browser;
            const char* item;
            QString value;
            bool abnormal;
        };
        const Row expected[] = {
            {"Chrome", "首页", "http://www.trovi.com/?n=7F2A1C&ptid=cnt&sr=0&a=spt", true},
            {"Chrome", "搜索引擎", "trovi.com", true},
            {"Chrome", "组策略-首页", "https://www.hao123.com/?tn=93153557_hao_pg", true},
            {"Edge", "首页", "https://www.bing.com/?pc=U531", false},
            {"Edge", "搜索引擎", "bing.com", false},
            {"Firefox", "首页", "https://www.baidu.com/", false},
            {"系统级", "代理设置", "127.0.0.1:8087", true},
            {"系统级", "Hosts文件", "2 条常见站点被重定向", true},
            {"Chrome", "扩展数量", "18 个", true}};
        QCOMPARE(m_run.report.browserHijacks.size(), int(std::size(expected)));
        for (int i = 0; i < m_run.report.browserHijacks.size(); ++i) {
            const BrowserFinding& finding = m_run.report.browserHijacks.at(i);
            QCOMPARE(finding.browser, QString::fromUtf8(expected[i].browser));
            QCOMPARE(finding.item, QString::fromUtf8(expected[i].item));
            QCOMPARE(finding.currentValue, expected[i].value);
            QCOMPARE(finding.abnormal, expected[i].abnormal);
        }
    }

    // Only the unsigned advertising window is reported: not the shell's
    // windows, the signed browser, tool windows or hidden ones.
    void onlyTheAdvertisingPopupIsReported()
    {
        QCOMPARE(m_run.report.popups.size(), 1);
        const PopupFinding& popup = m_run.report.popups.first();
        QCOMPARE(popup.processName, QStringLiteral("newspop.exe"));
        QCOMPARE(popup.pid, 7344);
        QCOMPARE(popup.windowTitle, QStringLiteral("热点资讯 - 今日推广：点击领红包"));
        QCOMPARE(popup.reason, QStringLiteral("无有效数字签名"));
        QVERIFY(!popup.signatureValid);
    }

    void conflictsAndOverlapsAreAdvised()
    {
        QCOMPARE(m_run.report.conflicts.size(), 5);
        const ConflictFinding* antivirus = conflict("检测到多个杀毒软件同时运行");
        QVERIFY(antivirus);
        QCOMPARE(antivirus->category, QStringLiteral("antivirus"));
        QCOMPARE(antivirus->detail, QStringLiteral("360杀毒、腾讯电脑管家"));   // Windows Defender is off
        const QPair<const char*, QStringList> families[] = {
            {"检测到 4 个同类软件：安全卫士", {"360安全卫士", "360杀毒", "腾讯电脑管家", "360安全浏览器"}},
            {"检测到 6 个同类软件：浏览器", {"Google Chrome", "Microsoft Edge", "Microsoft Edge WebView2 Runtime",
                                           "Mozilla Firefox (x64 zh-CN)", "QQ浏览器", "360安全浏览器"}},
            {"检测到 3 个同类软件：压缩软件", {"7-Zip 22.01 (x64)", "WinRAR 6.22 (64 位)", "2345好压"}}};
        for (const auto& family : families) {
            const ConflictFinding* overlap = conflict(QString::fromUtf8(family.first));
            QVERIFY2(overlap, family.first);
            QCOMPARE(overlap->category, QStringLiteral("overlap"));
            QCOMPARE(sorted(overlap->detail.split(QStringLiteral("、"))), sorted(family.second));
        }
        const ConflictFinding* pup = conflict("检测到低质量软件：2345好压");
        QVERIFY(pup);
        QCOMPARE(pup->category, QStringLiteral("pup"));
    }

    void cachesAreEmptiedButWhatMustStayStays()
    {
        // The caches no unit test empties (the others, and links, are theirs to check).
        const QStringList emptied = {
            "C:\\Windows\\ServiceProfiles\\NetworkService\\AppData\\Local\\Microsoft\\Windows\\DeliveryOptimization",
            Local + "\\Microsoft\\DirectX Shader Cache", Local + "\\NVIDIA\\DXCache", Local + "\\AMD\\DxCache",
            Local + "\\Google\\Chrome\\User Data\\Default\\Cache", Local + "\\Google\\Chrome\\User Data\\Default\\Code Cache",
            Local + "\\Microsoft\\Edge\\User Data\\Default\\Cache", Local + "\\Microsoft\\Edge\\User Data\\Default\\Code Cache",
            Roaming + "\\Mozilla\\Firefox\\Profiles\\x4k2p9qz.default-release\\cache2"};
        for (const QString& folder : emptied)
            QVERIFY2(filesBelow(folder).isEmpty(), qPrintable(folder + ": " + filesBelow(folder).join(", ")));

        // Files in use and read-only files stay.
        QCOMPARE(filesBelow(Temp), sorted({"HotNews\\newspop.exe", "~DF8E2D4B6A1C3F57.TMP"}));
        QCOMPARE(filesBelow("C:\\Windows\\Temp"), QStringList{"dd_setup_readonly.log"});
        QCOMPARE(filesBelow(Local + "\\Microsoft\\Windows\\INetCache"), QStringList{"IE\\container.dat"});
        QCOMPARE(filesBelow(Local + "\\Microsoft\\Windows\\Explorer"),
                 sorted({"ExplorerStartupLog.etl", "iconcache_16.db", "iconcache_256.db", "iconcache_32.db",
                         "iconcache_48.db", "thumbcache_idx.db"}));
        QCOMPARE(filesBelow(Local + "\\Microsoft\\Windows\\Fonts"), QStringList{"汉仪旗黑-55S.ttf"});

        // Error reports of the last day stay, as does what is not a report.
        QCOMPARE(filesBelow("C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportArchive"),
                 QStringList{"AppCrash_chrome.exe_8f2e1b6d4a0c9e7f1d3b5a7c9e1f3d5_b4c7e2a1_1a2b3c4d\\WERInternalMetadata.xml"});
        QCOMPARE(filesBelow("C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportQueue"),
                 sorted({"AppHang_newspop.exe_6b2c4f19d8e7a1c3_0e5d_d4f1c2b3\\Report.wer",
                         "AppHang_newspop.exe_6b2c4f19d8e7a1c3_0e5d_d4f1c2b3\\triagedump.dmp"}));
        QCOMPARE(filesBelow(Local + "\\Microsoft\\Windows\\WER"),
                 sorted({"ReportArchive\\AppCrash_WeChat.exe_3e1f5a7c9b2d4f6e_8a0c2e4f_0b1c2d3e\\memory.hdmp",
                         "ReportQueue\\AppCrash_hotnews.exe_77aa1b2c3d4e5f60_0a1b2c3d_5e6f7081\\Report.wer"}));

        // Caches that only later cleanups or Windows 7 runs take are left alone.
        QCOMPARE(filesBelow(Local + "\\NVIDIA\\GLCache").size(), 2);
        QCOMPARE(filesBelow(Local + "\\Google\\Chrome\\User Data\\Default\\Service Worker").size(), 2);
        QCOMPARE(filesBelow(Local + "\\Mozilla\\Firefox\\Profiles\\x4k2p9qz.default-release\\cache2").size(), 7);
        QCOMPARE(filesBelow(Roaming + "\\360se6\\User Data\\Default").size(), 7);
        QCOMPARE(filesBelow(Roaming + "\\Tencent\\QQBrowser\\User Data\\Default").size(), 7);
    }

    void servicesTasksAndWorkingSets()
    {
        for (const char* name : {"Fax", "AJRouter", "PhoneSvc", "DoSvc", "TabletInputService", "stisvc", "wisvc",
                                 "RetailDemo", "RemoteRegistry", "lfsvc", "MapsBroker", "dmwappushservice", "WpcMonSvc",
                                 "SCardSvr", "ScDeviceEnum", "seclogon", "SharedAccess"}) {
            const win::sim::SimService* service = m_run.machine->findService(QLatin1String(name));
            QVERIFY2(service, name);
            QVERIFY2(service->startType == win::ServiceDisabled && service->state == win::ServiceStopped, name);
        }
        QVERIFY(!m_run.machine->findService("sshd"));
        // A virtual printer keeps the print workflow; a desktop has no fingerprint reader to spare.
        QCOMPARE(m_run.machine->findService("PrintWorkflow")->startType, quint32(win::ServiceDemandStart));
        QCOMPARE(m_run.machine->findService("WbioSrvc")->startType, quint32(win::ServiceDemandStart));
        // Stopped for the cleanup (Windows Update takes two seconds) and started again.
        for (const char* name : {"wuauserv", "FontCache", "Spooler", "WSearch", "TrkWks"})
            QVERIFY2(m_run.machine->findService(QLatin1String(name))->state == win::ServiceRunning, name);
        QCOMPARE(m_run.machine->findService("wuauserv")->startType, quint32(win::ServiceDemandStart));

        // Telemetry tasks go, and only they.
        const QString telemetry[] = {
            "\\Microsoft\\Windows\\Application Experience\\Microsoft Compatibility Appraiser",
            "\\Microsoft\\Windows\\Application Experience\\ProgramDataUpdater",
            "\\Microsoft\\Windows\\Customer Experience Improvement Program\\Consolidator",
            "\\Microsoft\\Windows\\Customer Experience Improvement Program\\UsbCeip",
            "\\Microsoft\\Windows\\DiskDiagnostic\\Microsoft-Windows-DiskDiagnosticDataCollector"};
        for (const QString& path : telemetry)
            QVERIFY2(!m_run.machine->findTask(path)->enabled, qPrintable(path));
        QVERIFY(m_run.machine->findTask("\\Microsoft\\Windows\\Application Experience\\StartupAppTask")->enabled);
        QVERIFY(m_run.machine->findTask("\\Microsoft\\Windows\\DiskDiagnostic\\Microsoft-Windows-DiskDiagnosticResolver")->enabled);
        QVERIFY(m_run.machine->findTask("\\HotNewsDaemon")->enabled);

        // Working sets are emptied, but not those of protected processes or the program's own.
        QCOMPARE(m_run.machine->findProcess(5876)->workingSetBytes, quint64(200 * 1024));
        QVERIFY(m_run.machine->findProcess(3960)->workingSetBytes > 30 * MB);
        QVERIFY(m_run.machine->findProcess(9120)->workingSetBytes > 30 * MB);
    }

    void savedMachineLoadsToTheSameState()
    {
        QString error;
        QVERIFY2(m_run.machine->save(&error), qPrintable(error));
        SimMachine reloaded;
        QVERIFY2(reloaded.load(m_run.folder(), &error), qPrintable(error));
        const QString again = m_run.dir.filePath(QStringLiteral("saved-again"));
        QVERIFY2(reloaded.saveTo(again, &error), qPrintable(error));
        const QStringList names = {"machine.json", "registry/HKEY_LOCAL_MACHINE.reg", "registry/HKEY_CURRENT_USER.reg"};
        QCOMPARE(sorted(QDir(again + "/registry").entryList(QDir::Files)),
                 sorted(QDir(m_run.folder() + "/registry").entryList(QDir::Files)));
        for (const QString& name : names) {
            QFile first(m_run.folder() + '/' + name);
            QFile second(again + '/' + name);
            QVERIFY2(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly), qPrintable(name));
            QVERIFY2(first.readAll() == second.readAll(), qPrintable(name));
        }
        const auto document = reloaded.files().facts(Profile + "\\Documents\\2024年家庭账本.xlsx");
        QVERIFY(document);
        QCOMPARE(document->modified, QDateTime(QDate(2024, 3, 10), QTime(21, 14, 5), Qt::LocalTime));
    }
};

QTEST_GUILESS_MAIN(SampleMachineTest)
#include "tst_sample_machine.moc"

#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"
#include "platform/ComApartment.h"
#include "platform/FileSystem.h"

#include <QSignalSpy>
#include <QtTest>

using win::sim::SimTask;

namespace {

constexpr quint64 GB = 1073741824;
const QString Machine = QStringLiteral("HKEY_LOCAL_MACHINE\\");
const QString User = QStringLiteral("HKEY_CURRENT_USER\\");

const QStringList TelemetryTasks = {
    QStringLiteral("\\Microsoft\\Windows\\Application Experience\\Microsoft Compatibility Appraiser"),
    QStringLiteral("\\Microsoft\\Windows\\Application Experience\\ProgramDataUpdater"),
    QStringLiteral("\\Microsoft\\Windows\\Customer Experience Improvement Program\\Consolidator"),
    QStringLiteral("\\Microsoft\\Windows\\DiskDiagnostic\\Microsoft-Windows-DiskDiagnosticDataCollector")};

void addTasks(TestMachine& machine)
{
    for (const QString& path : TelemetryTasks) {
        SimTask task;
        task.path = path;
        machine->system().tasks << task;
    }
}

bool taskEnabled(TestMachine& machine, const QString& path)
{
    return machine->findTask(path)->enabled;
}

struct Storage
{
    int ramGB = 8;
    int diskGB = 256;
    int freeGB = 100;
    bool battery = false;
    bool onBattery = false;
};

void shape(TestMachine& machine, const Storage& s)
{
    machine->system().memory.totalBytes = quint64(s.ramGB) * GB;
    machine->system().memory.availableBytes = GB;
    machine->files().drive('C')->totalBytes = quint64(s.diskGB) * GB;
    machine->files().drive('C')->freeBytes = quint64(s.freeGB) * GB;
    machine->system().power = {false, quint8(s.onBattery ? 0 : 1), quint8(s.battery ? 1 : 128), 80};
}

} // namespace

Q_DECLARE_METATYPE(Storage)

class EnginePrivacyStorageTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;

    StorageDecision run()
    {
        m_log->clear();
        OptimizeCore core;
        core.startOptimize();
        return core.scanReport().storage;
    }

private slots:
    void initTestCase() { m_log = std::make_unique<EngineLog>(); }

    void telemetryTasksAndPolicies()
    {
        TestMachine machine;
        addTasks(machine);  // "UsbCeip" is missing on this edition
        run();
        for (const QString& path : TelemetryTasks)
            QVERIFY(!taskEnabled(machine, path));
        QCOMPARE(machine.dword(Machine + QStringLiteral("SOFTWARE\\Microsoft\\SQMClient\\Windows"), QStringLiteral("CEIPEnable")), 0u);
        QCOMPARE(machine.dword(Machine + QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection"), QStringLiteral("AllowTelemetry")), 0u);
        QCOMPARE(machine.dword(User + QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo"), QStringLiteral("Enabled")), 0u);
        QCOMPARE(machine.dword(Machine + QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search"), QStringLiteral("AllowCortana")), 0u);
        QCOMPARE(machine.dword(Machine + QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\System"), QStringLiteral("EnableActivityFeed")), 0u);
        QCOMPARE(machine.text(Machine + QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\userAccountInformation"),
                              QStringLiteral("Value")), QStringLiteral("Deny"));
        // The engine writes the native branch, not the 32-bit program's own view.
        QVERIFY(!machine.hasValue(Machine + QStringLiteral("SOFTWARE\\WOW6432Node\\Microsoft\\SQMClient\\Windows"), QStringLiteral("CEIPEnable")));
    }

    void windows7KeepsTasksAndTelemetryPolicy()
    {
        TestMachine machine;
        machine.setWindowsVersion(6, 1, 7601);
        addTasks(machine);
        run();
        for (const QString& path : TelemetryTasks)
            QVERIFY(taskEnabled(machine, path));
        QVERIFY(!machine.hasValue(Machine + QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection"), QStringLiteral("AllowTelemetry")));
        QVERIFY(machine.hasValue(Machine + QStringLiteral("SOFTWARE\\Microsoft\\SQMClient\\Windows"), QStringLiteral("CEIPEnable")));
        QVERIFY(machine.hasValue(Machine + QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\System"), QStringLiteral("EnableActivityFeed")));
    }

    void windows81HasNoCortanaPolicy()
    {
        TestMachine machine;
        machine.setWindowsVersion(6, 3, 9600);
        run();
        QVERIFY(machine.hasValue(Machine + QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection"), QStringLiteral("AllowTelemetry")));
        QVERIFY(!machine.hasValue(Machine + QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search"), QStringLiteral("AllowCortana")));
    }

    void comAlreadyInAnotherModeIsLeftAsItWas()
    {
        TestMachine machine;
        addTasks(machine);
        const win::ComApartment singleThreaded(win::ComApartment::Model::ApartmentThreaded);
        run();
        QVERIFY(!taskEnabled(machine, TelemetryTasks.first()));
        const win::ComApartment probe(win::ComApartment::Model::Multithreaded);
        QCOMPARE(probe.result(), win::RPC_E_ChangedMode);
    }

    void schedulerThatWillNotConnect()
    {
        TestMachine machine;
        addTasks(machine);
        machine->system().taskConnectResult = win::E_AccessDenied;
        run();
        QVERIFY(taskEnabled(machine, TelemetryTasks.first()));
        QVERIFY(!win::ComApartment::isInitializedOnThisThread());
    }

    void storageDecisions_data()
    {
        QTest::addColumn<Storage>("storage");
        QTest::addColumn<bool>("dualBoot");
        QTest::addColumn<QString>("fastStartupReason");
        QTest::addColumn<QString>("hibernationReason");
        QTest::addColumn<QString>("pagefile");
        QTest::addColumn<QString>("restore");
        QTest::newRow("16 GB, 19 GB free: fast startup wins")
            << Storage{16, 256, 19} << false << QStringLiteral("空间充裕，建议启用快速启动")
            << QStringLiteral("快速启动依赖休眠文件，必须保持休眠") << QStringLiteral("建议将虚拟内存减小至 2-4GB")
            << QStringLiteral("建议减小还原点配额至 3-5%");
        QTest::newRow("small disk, tight space") << Storage{16, 30, 10} << false
            << QStringLiteral("系统盘容量不足32GB，不建议启用")
            << QStringLiteral("内存≥16GB且空间不足20GB，建议关闭休眠（约释放 12 GB）")
            << QStringLiteral("建议将虚拟内存减小至 2-4GB") << QStringLiteral("建议减小还原点配额至 3-5%");
        QTest::newRow("15 GB is not 16") << Storage{15, 30, 10} << false << QStringLiteral("系统盘容量不足32GB，不建议启用")
            << QStringLiteral("空间充裕，建议保持休眠") << QStringLiteral("保持系统自动管理")
            << QStringLiteral("建议减小还原点配额至 3-5%");
        QTest::newRow("under 5 GB free") << Storage{8, 128, 4} << false << QStringLiteral("可用空间不足5GB，无法创建休眠文件")
            << QStringLiteral("空间充裕，建议保持休眠") << QStringLiteral("保持系统自动管理")
            << QStringLiteral("建议减小还原点配额至 3-5%");
        QTest::newRow("dual-boot laptop on battery") << Storage{16, 256, 10, true, true} << true
            << QStringLiteral("双系统环境，不建议启用快速启动（安全风险）")
            << QStringLiteral("笔记本电池供电，建议保持休眠（防断电丢工作）") << QStringLiteral("建议将虚拟内存减小至 2-4GB")
            << QStringLiteral("建议减小还原点配额至 3-5%");
        QTest::newRow("30 GB free") << Storage{8, 256, 30} << false << QStringLiteral("空间充裕，建议启用快速启动")
            << QStringLiteral("快速启动依赖休眠文件，必须保持休眠") << QStringLiteral("保持系统自动管理") << QStringLiteral("保持系统还原");
        QTest::newRow("50 GB free") << Storage{8, 256, 50} << false << QStringLiteral("空间充裕，建议启用快速启动")
            << QStringLiteral("快速启动依赖休眠文件，必须保持休眠") << QStringLiteral("保持系统自动管理") << QStringLiteral("保持系统还原");
        QTest::newRow("51 GB free") << Storage{8, 256, 51} << false << QStringLiteral("空间充裕，建议启用快速启动")
            << QStringLiteral("快速启动依赖休眠文件，必须保持休眠") << QStringLiteral("保持系统自动管理")
            << QStringLiteral("空间充裕，保持系统还原");
    }

    void storageDecisions()
    {
        QFETCH(Storage, storage);
        QFETCH(bool, dualBoot);
        TestMachine machine;
        shape(machine, storage);
        if (dualBoot) {
            machine.addFolder(QStringLiteral("C:\\Windows"));
            machine.addFolder(QStringLiteral("C:\\Windows.old"));
        }
        const StorageDecision decision = run();
        QTEST(decision.fastStartupReason, "fastStartupReason");
        QTEST(decision.hibernationReason, "hibernationReason");
        QTEST(decision.pagefileAdvice, "pagefile");
        QTEST(decision.restoreAdvice, "restore");
        QCOMPARE(decision.fastStartupRecommended, decision.fastStartupReason == QStringLiteral("空间充裕，建议启用快速启动"));
    }

    // The D1 line names what really happened: Windows 8 and 8.1 know no
    // hibernation file types, and a powercfg that never ends did nothing.
    void fastStartupTurnsHibernationOn_data()
    {
        QTest::addColumn<int>("minor");
        QTest::addColumn<bool>("powercfgHangs");
        QTest::addColumn<QString>("line");
        QTest::newRow("Windows 10") << 0 << false << QStringLiteral("    D1 已启用快速启动: powercfg /hibernate on + /h /type full");
        QTest::newRow("Windows 8.1") << 3 << false << QStringLiteral("    D1 已启用快速启动: powercfg /hibernate on");
        QTest::newRow("powercfg never ends") << 0 << true << QStringLiteral("    D1 未完成: powercfg /hibernate on");
    }

    void fastStartupTurnsHibernationOn()
    {
        QFETCH(int, minor);
        QFETCH(bool, powercfgHangs);
        QFETCH(QString, line);
        TestMachine machine;
        if (minor > 0)
            machine.setWindowsVersion(6, quint32(minor), 9600);
        if (powercfgHangs)
            machine->programs().setAvailability(QStringLiteral("powercfg"), win::sim::ProgramAvailability::Hangs);
        shape(machine, {8, 256, 100});
        run();
        QCOMPARE(m_log->startingWith(QStringLiteral("    D1")), QStringList{line});
        QCOMPARE(machine->programs().power().hibernation, !powercfgHangs);
        QCOMPARE(win::pathExists(QStringLiteral("C:\\hiberfil.sys")), !powercfgHangs);
    }

    // Hibernation off is credited only for a hibernation file that was there
    // and is gone afterwards, in 64-bit arithmetic (32 GB of memory would
    // overflow a 32-bit byte count); a drive whose size cannot be read gets no
    // decision at all.
    void hibernationOff_data()
    {
        QTest::addColumn<int>("ramGB");
        QTest::addColumn<bool>("hiberfil");
        QTest::addColumn<bool>("powercfgHangs");
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<int>("freedMB");
        QTest::addColumn<QString>("line");
        QTest::newRow("file gone") << 32 << true << false << false << 32 * 768 << QStringLiteral("    H1 已关闭休眠: powercfg /hibernate off");
        QTest::newRow("no file") << 16 << false << false << false << 0 << QStringLiteral("    H1 已关闭休眠: powercfg /hibernate off");
        QTest::newRow("powercfg never ends") << 16 << true << true << false << 0 << QStringLiteral("    H1 未完成: powercfg /hibernate off");
        QTest::newRow("drive unreadable") << 16 << true << false << true << 0
                                          << QStringLiteral("  存储决策: 无法读取系统盘空间，不做休眠与还原决策");
    }

    void hibernationOff()
    {
        QFETCH(int, ramGB);
        QFETCH(bool, hiberfil);
        QFETCH(bool, powercfgHangs);
        QFETCH(bool, unreadable);
        QFETCH(int, freedMB);
        QFETCH(QString, line);
        TestMachine machine;
        shape(machine, {ramGB, 30, 10});
        if (unreadable)
            machine->files().drive('C')->totalBytes = 0;
        machine->programs().power().hibernation = hiberfil;
        if (hiberfil) {
            machine.addFile(QStringLiteral("C:\\hiberfil.sys"));
            machine->files().setVirtualSize(QStringLiteral("C:\\hiberfil.sys"), 12 * GB);
        }
        if (powercfgHangs)
            machine->programs().setAvailability(QStringLiteral("powercfg"), win::sim::ProgramAvailability::Hangs);
        m_log->clear();
        OptimizeCore core;
        core.startOptimize();
        const StorageDecision decision = core.scanReport().storage;
        QVERIFY(m_log->contains(line));
        QCOMPARE(m_log->startingWith(QStringLiteral("    H1")).size(), unreadable ? 0 : 1);
        QCOMPARE(decision.hibernationDisabledNow, freedMB > 0);
        QCOMPARE(decision.hibernationFreedMB, freedMB);
        QCOMPARE(core.cleanedMB(), freedMB);
        QCOMPARE(win::pathExists(QStringLiteral("C:\\hiberfil.sys")), hiberfil && freedMB == 0);
        QCOMPARE(machine->programs().power().hibernation, hiberfil && freedMB == 0);
        QCOMPARE(decision.hibernationReason.isEmpty(), unreadable);
        QCOMPARE(decision.restoreAdvice.isEmpty(), unreadable);
        if (!unreadable)
            QVERIFY(!decision.keepHibernation);
    }

    void windows7DecidesNothing()
    {
        TestMachine machine;
        machine.setWindowsVersion(6, 1, 7601);
        machine.addFile(QStringLiteral("C:\\pagefile.sys"));
        machine->files().setVirtualSize(QStringLiteral("C:\\pagefile.sys"), 4 * GB);
        run();
        QVERIFY(m_log->contains(QStringLiteral("  存储决策: 快速启动[不启用]（）| 休眠[关闭]（）| 虚拟内存[] | 系统还原[]")));
        QVERIFY(m_log->contains(QStringLiteral("虚拟内存文件大小: 4096 MB（建议：）")));
    }

    void diskMaintenanceByKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("minor");
        QTest::addColumn<QString>("switchUsed");
        QTest::addColumn<QString>("line");
        QTest::newRow("SSD") << QStringLiteral("SSD") << 0 << QStringLiteral("/L") << QStringLiteral("  磁盘维护: SSD → 执行 TRIM (/L)");
        QTest::newRow("HDD") << QStringLiteral("HDD") << 0 << QStringLiteral("/U") << QStringLiteral("  磁盘维护: HDD → 执行碎片整理 (/U)");
        // Windows 7 has no storage namespace: no disk kind can be learnt, and
        // a disk of unknown kind is never defragmented.
        QTest::newRow("SSD on Windows 7") << QStringLiteral("SSD") << 1 << QString()
                                          << QStringLiteral("  磁盘维护: 未知 → 跳过（无法识别磁盘类型）");
        QTest::newRow("HDD on Windows 7") << QStringLiteral("HDD") << 1 << QString()
                                          << QStringLiteral("  磁盘维护: 未知 → 跳过（无法识别磁盘类型）");
        QTest::newRow("unknown kind") << QStringLiteral("Unknown") << 0 << QStringLiteral("/O")
                                      << QStringLiteral("  磁盘维护: 未知 → 按磁盘类型优化 (/O)");
        // Only a run that ended with exit code 0 is reported done.
        QTest::newRow("SSD, no optimizer on the machine")
            << QStringLiteral("SSD missing") << 0 << QStringLiteral("/L")
            << QStringLiteral("  磁盘维护: SSD → 执行 TRIM (/L) 未完成（磁盘优化程序未能运行或未正常结束）");
        QTest::newRow("HDD, the optimizer still going after two minutes")
            << QStringLiteral("HDD hangs") << 0 << QStringLiteral("/U")
            << QStringLiteral("  磁盘维护: HDD → 执行碎片整理 (/U) 未完成（磁盘优化程序未能运行或未正常结束）");
    }

    void diskMaintenanceByKind()
    {
        QFETCH(QString, kind);
        QFETCH(int, minor);
        QFETCH(QString, switchUsed);
        QFETCH(QString, line);
        TestMachine machine;
        machine->files().drive('C')->kind = kind.startsWith(QLatin1String("SSD"))   ? win::sim::DriveKind::Ssd
                                            : kind.startsWith(QLatin1String("HDD")) ? win::sim::DriveKind::Hdd
                                                                                    : win::sim::DriveKind::Unknown;
        if (minor == 1)
            machine.setWindowsVersion(6, 1, 7601);
        if (kind.endsWith(QLatin1String("hangs")))
            machine->programs().setAvailability(QStringLiteral("defrag"), win::sim::ProgramAvailability::Hangs);
        if (kind.endsWith(QLatin1String("missing")))
            machine->programs().setAvailability(QStringLiteral("defrag"), win::sim::ProgramAvailability::Missing);
        run();
        QVERIFY2(m_log->contains(line), qPrintable(m_log->lines().filter(QStringLiteral("磁盘维护")).join('\n')));
        // The defragmenter has no 32-bit copy: it is started through Sysnative.
        int defragRuns = 0;
        for (const auto& entry : machine->journal()) {
            if (entry.program.endsWith(QLatin1String("defrag.exe"), Qt::CaseInsensitive)) {
                QCOMPARE(entry.program, QStringLiteral("C:\\Windows\\Sysnative\\defrag.exe"));
                ++defragRuns;
                QCOMPARE(entry.arguments, (QStringList{QStringLiteral("C:"), switchUsed}));
                QCOMPARE(entry.waitMs, 120000);
            }
        }
        QCOMPARE(defragRuns, switchUsed.isEmpty() ? 0 : 1);
    }

    void restorePointSpace()
    {
        TestMachine machine;
        machine.addFile(QStringLiteral("C:\\System Volume Information\\{3808876b}"), QByteArray(3 * 1048576, 'r'));
        run();
        QVERIFY(m_log->contains(QStringLiteral("系统还原占用: 3 MB（建议：空间充裕，保持系统还原）")));
    }
};

QTEST_GUILESS_MAIN(EnginePrivacyStorageTest)
#include "tst_engine_privacy_storage.moc"

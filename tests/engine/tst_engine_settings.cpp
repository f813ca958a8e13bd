#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"
#include "platform/FileSystem.h"
#include "platform/SystemFacts.h"

#include <QSignalSpy>
#include <QtTest>

using win::sim::SimAdapter;

namespace {

const QString UserKey = QStringLiteral("HKEY_CURRENT_USER\\");

void addServices(TestMachine& machine, const QStringList& names)
{
    for (const QString& name : names)
        machine.addService(name);
}

quint32 startTypeOf(TestMachine& machine, const QString& name)
{
    return machine->findService(name)->startType;
}

int journalCount(TestMachine& machine, const QString& argument)
{
    int count = 0;
    for (const auto& entry : machine->journal()) {
        if (entry.arguments.contains(argument))
            ++count;
    }
    return count;
}

const QStringList CServices = {QStringLiteral("Fax"), QStringLiteral("AJRouter"), QStringLiteral("PhoneSvc"),
                               QStringLiteral("PrintWorkflow"), QStringLiteral("WbioSrvc"), QStringLiteral("DoSvc")};

} // namespace

class EngineSettingsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;

    void run()
    {
        m_log->clear();
        OptimizeCore core;
        core.startOptimize();
    }

private slots:
    void initTestCase() { m_log = std::make_unique<EngineLog>(); }

    void visualEffectsAndPowerPlan()
    {
        TestMachine machine;
        run();
        QCOMPARE(machine.dword(UserKey + QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"),
                               QStringLiteral("EnableTransparency")), 0u);
        quint32 type = 0;
        QByteArray data;
        QVERIFY(machine->registry().value(UserKey + QStringLiteral("Control Panel\\Desktop"), QStringLiteral("MenuShowDelay"), &type, &data));
        QCOMPARE(type, win::RegSz);
        QCOMPARE(data, QByteArray("0\0\0\0", 4));
        QCOMPARE(machine.text(UserKey + QStringLiteral("Control Panel\\Desktop\\WindowMetrics"), QStringLiteral("MinAnimate")), QStringLiteral("0"));
        QCOMPARE(machine.dword(UserKey + QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"),
                               QStringLiteral("TaskbarAnimations")), 0u);
        QCOMPARE(machine->system().activePowerScheme, QStringLiteral("8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c"));
        QVERIFY(m_log->contains(QStringLiteral("    注册表(SZ): Control Panel\\Desktop\\MenuShowDelay = \"0\"")));
        QVERIFY(m_log->contains(QStringLiteral("    注册表(DWORD): Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\TaskbarAnimations = 0")));
    }

    // bcdedit has no 32-bit copy: a 32-bit program reaches it through
    // Sysnative, a 64-bit one in its own system folder. Without a Windows
    // folder the backup has nowhere to go, and the boot store stays as it was.
    void bootSettingsChangeOnlyAfterABackup_data()
    {
        QTest::addColumn<QString>("programArchitecture");
        QTest::addColumn<bool>("backedUp");
        QTest::newRow("32-bit program") << "x86" << true;
        QTest::newRow("64-bit program") << "x64" << true;
        QTest::newRow("no Windows folder") << "x86" << false;
    }

    void bootSettingsChangeOnlyAfterABackup()
    {
        QFETCH(QString, programArchitecture);
        QFETCH(bool, backedUp);
        QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
        system.insert("programArchitecture", programArchitecture);
        TestMachine machine(QJsonObject{{"system", system}});
        if (backedUp)
            machine.addFolder(QStringLiteral("C:\\Windows"));
        run();
        QVector<win::FileEntry> windowsFolder;
        win::listDirectory(QStringLiteral("C:\\Windows"), &windowsFolder);
        QCOMPARE(windowsFolder.size(), backedUp ? 1 : 0);
        if (backedUp) {
            QVERIFY(windowsFolder.first().name.startsWith(QLatin1String("bcd_backup_")));
            QVERIFY(windowsFolder.first().name.endsWith(QLatin1String(".bcd")));
        }
        QCOMPARE(machine->programs().boot().loaders.first().settings.value(QStringLiteral("quietboot")) == QStringLiteral("Yes"), backedUp);
        QCOMPARE(machine->programs().boot().timeout, backedUp ? 0 : 30);
        QCOMPARE(journalCount(machine, QStringLiteral("quietboot")) > 0, backedUp);
        QCOMPARE(journalCount(machine, QStringLiteral("/timeout")) > 0, backedUp);
        QVERIFY(m_log->contains(backedUp ? QStringLiteral("    D2 已执行: bcdedit /set {current} quietboot on")
                                         : QStringLiteral("    D2/D3 跳过：启动配置备份未成功，不修改启动设置")));
    }

    void secondWindowsInTheBootManagerKeepsTheMenu()
    {
        TestMachine machine;
        machine.addFolder(QStringLiteral("C:\\Windows"));
        win::sim::BootLoader first;
        first.identifier = QStringLiteral("{current}");
        first.drive = QStringLiteral("C:");
        first.description = QStringLiteral("Windows 10");
        win::sim::BootLoader second = first;
        second.identifier = QStringLiteral("{8a1c6f4e-1b0c-11ee-9f2a-806e6f6e6963}");
        second.drive = QStringLiteral("D:");
        second.description = QStringLiteral("Windows 7");
        machine->programs().boot().loaders = {first, second};
        run();
        QVERIFY(m_log->contains(QStringLiteral("    D3 已执行: bcdedit /timeout 5（双系统:是）")));
        QCOMPARE(machine->programs().boot().timeout, 5);
    }

    void servicesOnADesktopWithWindows10()
    {
        TestMachine machine;
        addServices(machine, CServices + QStringList{QStringLiteral("RemoteRegistry"), QStringLiteral("sshd")});
        run();
        for (const QString& name : {QStringLiteral("Fax"), QStringLiteral("AJRouter"), QStringLiteral("PhoneSvc"),
                                    QStringLiteral("PrintWorkflow"), QStringLiteral("DoSvc"), QStringLiteral("RemoteRegistry"),
                                    QStringLiteral("sshd")}) {
            QCOMPARE(startTypeOf(machine, name), win::ServiceDisabled);
            QCOMPARE(machine->findService(name)->state, win::ServiceStopped);
        }
        QCOMPARE(startTypeOf(machine, QStringLiteral("WbioSrvc")), win::ServiceAutoStart);
        QVERIFY(m_log->contains(QStringLiteral("C6 跳过：台式机不需要生物识别服务")));
        QVERIFY(m_log->contains(QStringLiteral("  服务禁用 [C2-C7]: Fax → 已禁用")));
        QVERIFY(m_log->contains(QStringLiteral("  服务 [V1.4]: TabletInputService → 不存在或已禁用，跳过")));
        QVERIFY(m_log->contains(QStringLiteral("服务 Fax 原始启动类型: 2 → 将设为 DISABLED")));
    }

    void laptopDomainAndVirtualPrinter()
    {
        TestMachine machine;
        addServices(machine, CServices);
        machine->system().power = {false, 1, 1, 90};
        machine->system().joinStatus = win::NetSetupDomainName;
        machine->system().printers << win::sim::SimPrinter{QStringLiteral("Microsoft Print to PDF"), false, {}, {}};
        run();
        QCOMPARE(startTypeOf(machine, QStringLiteral("WbioSrvc")), win::ServiceDisabled);
        QCOMPARE(startTypeOf(machine, QStringLiteral("PrintWorkflow")), win::ServiceAutoStart);
        QCOMPARE(startTypeOf(machine, QStringLiteral("DoSvc")), win::ServiceAutoStart);
        QVERIFY(m_log->contains(QStringLiteral("C5 跳过：检测到虚拟打印机，保留 PrintWorkflow")));
        QVERIFY(m_log->contains(QStringLiteral("C7 跳过：域环境保留传递优化")));
    }

    void windows7LooksAtFaxOnly()
    {
        TestMachine machine;
        machine.setWindowsVersion(6, 1, 7601);
        addServices(machine, CServices + QStringList{QStringLiteral("MapsBroker"), QStringLiteral("seclogon")});
        run();
        QCOMPARE(startTypeOf(machine, QStringLiteral("Fax")), win::ServiceDisabled);
        for (const QString& name : CServices.mid(1)) {
            QCOMPARE(startTypeOf(machine, name), win::ServiceAutoStart);
            QVERIFY(m_log->startingWith(QStringLiteral("  服务 [C2-C7]: ") + name).isEmpty());
        }
        QCOMPARE(startTypeOf(machine, QStringLiteral("MapsBroker")), win::ServiceAutoStart);
        QVERIFY(m_log->startingWith(QStringLiteral("  服务 [V1.4]: MapsBroker")).isEmpty());
        QCOMPARE(startTypeOf(machine, QStringLiteral("seclogon")), win::ServiceDisabled);
        QVERIFY(!machine.hasValue(UserKey + QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"),
                                  QStringLiteral("EnableTransparency")));
    }

    void serviceThatWillNotStopIsStillDisabled()
    {
        TestMachine machine;
        machine.addService(QStringLiteral("Fax")).acceptsStop = false;
        run();
        QCOMPARE(startTypeOf(machine, QStringLiteral("Fax")), win::ServiceDisabled);
        QCOMPARE(machine->findService(QStringLiteral("Fax"))->state, win::ServiceRunning);
        QVERIFY(m_log->contains(QStringLiteral("  服务禁用 [C2-C7]: Fax → 已禁用")));
    }

    // Whatever escapes the disabling of one service (here a crashing hook in
    // the service functions) is that service's line; the step goes on with
    // the next service and the run goes on to its end.
    void aServiceWhoseDisablingRaisesHasItsLine()
    {
        TestMachine machine;
        addServices(machine, {QStringLiteral("Fax"), QStringLiteral("AJRouter"), QStringLiteral("stisvc"),
                              QStringLiteral("sshd")});
        machine->findService(QStringLiteral("Fax"))->changeConfigRaises = true;
        machine->findService(QStringLiteral("stisvc"))->changeConfigRaises = true;
        OptimizeCore core;
        QSignalSpy finished(&core, &OptimizeCore::optimizationFinished);
        m_log->clear();
        core.startOptimize();
        QCOMPARE(finished.count(), 1);
        QVERIFY(m_log->contains(QStringLiteral("  服务 Fax 禁用失败")));
        QVERIFY(m_log->contains(QStringLiteral("  旧版服务 stisvc 禁用失败")));
        QVERIFY(m_log->startingWith(QStringLiteral("  服务禁用 [C2-C7]: Fax")).isEmpty());
        QCOMPARE(startTypeOf(machine, QStringLiteral("Fax")), win::ServiceAutoStart);
        QCOMPARE(startTypeOf(machine, QStringLiteral("stisvc")), win::ServiceAutoStart);
        for (const QString& name : {QStringLiteral("AJRouter"), QStringLiteral("sshd")})
            QCOMPARE(startTypeOf(machine, name), win::ServiceDisabled);
        QVERIFY(m_log->contains(QStringLiteral("  服务禁用 [C2-C7]: AJRouter → 已禁用")));
        QVERIFY(m_log->contains(QStringLiteral("  服务禁用 [V1.4]: sshd → 已禁用")));
    }

    void adapterPowerManagement_data()
    {
        QTest::addColumn<int>("acLine");
        QTest::addColumn<int>("batteryFlag");
        QTest::addColumn<bool>("changed");
        QTest::newRow("desktop") << 1 << 128 << true;
        QTest::newRow("laptop on mains") << 1 << 1 << true;
        QTest::newRow("laptop on battery") << 0 << 1 << false;
    }

    void adapterPowerManagement()
    {
        QFETCH(int, acLine);
        QFETCH(int, batteryFlag);
        QFETCH(bool, changed);
        TestMachine machine;
        machine->system().power = {false, quint8(acLine), quint8(batteryFlag), 80};
        const QString wired = QStringLiteral("PCI\\VEN_8086&DEV_15B8\\3&11583659&0&FE");
        const QString wireless = QStringLiteral("PCI\\VEN_8086&DEV_2723\\4&2E7F3A&0&00E4");
        machine->system().adapters << SimAdapter{QStringLiteral("{1D3A}"), QStringLiteral("Ethernet"), 1, wired, {}, true}
                                   << SimAdapter{QStringLiteral("{9F21}"), QStringLiteral("Wi-Fi"), 2, wireless, {}, true};
        const QString keyOf = QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\%1\\Device Parameters");
        machine.setDword(keyOf.arg(wired), QStringLiteral("SavePowerNicEnabled"), 1);
        machine.setDword(keyOf.arg(wireless), QStringLiteral("SavePowerNicEnabled"), 1);
        OptimizeCore core;
        QSignalSpy progress(&core, &OptimizeCore::progressUpdated);
        core.startOptimize();
        QVERIFY(progress.contains({3, 52, QStringLiteral("正在优化网络适配器电源管理...")}));
        for (const QString& instance : {wired, wireless})
            QCOMPARE(machine.dword(keyOf.arg(instance), QStringLiteral("PnPCapabilities")), changed ? 24u : 0xFFFFFFFFu);
    }
};

QTEST_GUILESS_MAIN(EngineSettingsTest)
#include "tst_engine_settings.moc"

#include "ManagerLog.h"
#include "TestMachine.h"
#include "maintenance/SystemSettings.h"
#include "platform/sim/ProgramState.h"

#include <QSignalSpy>
#include <QtTest>

using win::sim::SimService;

namespace {

const QString VisualEffects =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VisualEffects");
const QString Advanced = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced");
const QString Feeds = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Feeds");
const QString ContentDelivery =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ContentDeliveryManager");
const QString Search = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search");
const QString DataCollection = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection");

SimService service(const QString& name, quint32 startType, quint32 state)
{
    SimService s;
    s.name = name;
    s.startType = startType;
    s.state = state;
    s.stopDelayMs = 60000;   // a stop request leaves the service stopping
    return s;
}

// One line per privacy group written: which groups hold their values.
QStringList privacyGroupsWritten(TestMachine& machine)
{
    QStringList groups;
    if (machine.dword(Feeds, QStringLiteral("EnableFeeds")) == 0)
        groups << QStringLiteral("feeds");
    if (machine.dword(Advanced, QStringLiteral("ShowSyncProviderNotifications")) == 0)
        groups << QStringLiteral("sync");
    if (machine.dword(ContentDelivery, QStringLiteral("SystemPaneSuggestionsEnabled")) == 0
        && machine.dword(ContentDelivery, QStringLiteral("SilentInstalledAppsEnabled")) == 0
        && machine.dword(ContentDelivery, QStringLiteral("PreInstalledAppsEnabled")) == 0)
        groups << QStringLiteral("suggestions");
    if (machine.dword(Search, QStringLiteral("AllowCortana")) == 0
        && machine.dword(Search, QStringLiteral("AllowSearchToUseLocation")) == 0)
        groups << QStringLiteral("cortana");
    if (machine.dword(DataCollection, QStringLiteral("AllowTelemetry")) == 1)
        groups << QStringLiteral("telemetry");
    return groups;
}

QList<int> percents(const QSignalSpy& spy)
{
    QList<int> values;
    for (const QList<QVariant>& signal : spy)
        values << signal.at(0).toInt();
    return values;
}

} // namespace

class SystemSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void tunesAWindows10DesktopAndCountsEachChange()
    {
        TestMachine machine;
        machine->system().services = {service(QStringLiteral("Fax"), win::ServiceAutoStart, win::ServiceRunning),
                                      service(QStringLiteral("SSDPSRV"), win::ServiceAutoStart, win::ServiceStopped)};
        ManagerLog log;
        SystemSettings settings;
        QSignalSpy progress(&settings, &SystemSettings::progressUpdated);
        QSignalSpy completed(&settings, &SystemSettings::optimizeCompleted);

        QCOMPARE(settings.optimize(), 1 + 1 + 2 + 5);

        QCOMPARE(machine.dword(VisualEffects, QStringLiteral("VisualFXSetting")), 2u);
        for (const char* value : {"TaskbarAnimations", "ListviewAlphaSelect", "ListviewShadow", "ListviewWatermark",
                                  "MenuAnimation", "ComboBoxAnimation", "ToolTipAnimation", "CursorShadow", "DropShadow",
                                  "FlatMenus", "FontSmoothing"})
            QCOMPARE(machine.dword(Advanced, QLatin1String(value)), 0u);
        QCOMPARE(machine->system().settingChangeBroadcasts, 1);
        QCOMPARE(machine->system().activePowerScheme, QString::fromLatin1(win::sim::HighPerformanceSchemeGuid));
        QCOMPARE(privacyGroupsWritten(machine), QStringList({"feeds", "sync", "suggestions", "cortana", "telemetry"}));
        QCOMPARE(machine->openHandleCount(), 0);

        QCOMPARE(percents(progress), QList<int>({10, 30, 50, 70, 100}));
        QCOMPARE(QList<QVariantList>(completed), QList<QVariantList>({{9}}));
        const QStringList expected = {"开始系统设置优化...", "调整视觉效果为最佳性能...", "视觉效果优化完成",
                                      "切换电源计划为高性能...", "电源计划已切换为高性能", "电源计划优化完成",
                                      "开始优化系统服务...", "服务已设置为手动: 传真服务", "服务已设置为手动: SSDP发现",
                                      "系统服务优化完成，优化了 2 项", "开始隐私与权限优化...", "已关闭任务栏新闻和兴趣",
                                      "已关闭文件资源管理器广告通知", "已关闭设置中的推荐内容", "已关闭Cortana网络搜索",
                                      "已将诊断数据设置为基本级别", "隐私设置优化完成，优化了 5 项",
                                      "系统设置优化完成，总计优化 9 项"};
        QCOMPARE(log.lines(), expected);
    }

    // Manual start is as far as a service goes: a disabled one is never
    // raised to it, only a running one is asked to stop, once, and one that
    // cannot be opened is passed over without a line.
    void servicesAreLoweredNeverRaised_data()
    {
        QTest::addColumn<quint32>("startType");
        QTest::addColumn<quint32>("state");
        QTest::addColumn<bool>("accessDenied");
        QTest::addColumn<quint32>("startTypeAfter");
        QTest::addColumn<quint32>("stateAfter");
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("stopRequests");
        QTest::newRow("automatic, running") << win::ServiceAutoStart << win::ServiceRunning << false
                                            << win::ServiceDemandStart << win::ServiceStopPending << 1 << 1;
        QTest::newRow("automatic, stopped") << win::ServiceAutoStart << win::ServiceStopped << false
                                            << win::ServiceDemandStart << win::ServiceStopped << 1 << 0;
        QTest::newRow("manual, running") << win::ServiceDemandStart << win::ServiceRunning << false
                                         << win::ServiceDemandStart << win::ServiceStopPending << 1 << 1;
        QTest::newRow("disabled, stopped") << win::ServiceDisabled << win::ServiceStopped << false
                                           << win::ServiceDisabled << win::ServiceStopped << 0 << 0;
        QTest::newRow("disabled, still running") << win::ServiceDisabled << win::ServiceRunning << false
                                                 << win::ServiceDisabled << win::ServiceRunning << 0 << 0;
        QTest::newRow("access denied") << win::ServiceAutoStart << win::ServiceRunning << true << win::ServiceAutoStart
                                       << win::ServiceRunning << 0 << 0;
    }

    void servicesAreLoweredNeverRaised()
    {
        QFETCH(quint32, startType);
        QFETCH(quint32, state);
        QFETCH(bool, accessDenied);
        TestMachine machine;
        machine->system().services = {service(QStringLiteral("RemoteRegistry"), startType, state)};
        machine->system().services.first().accessDenied = accessDenied;
        ManagerLog log;
        SystemSettings settings;
        settings.optimize();
        const SimService* remoteRegistry = machine->findService(QStringLiteral("RemoteRegistry"));
        QTEST(remoteRegistry->startType, "startTypeAfter");
        QTEST(remoteRegistry->state, "stateAfter");
        QTEST(remoteRegistry->stopControls, "stopRequests");
        QFETCH(int, counted);
        QCOMPARE(log.contains(QStringLiteral("服务已设置为手动: 远程注册表")), counted == 1);
        QVERIFY(log.contains(QStringLiteral("系统服务优化完成，优化了 %1 项").arg(counted)));
    }

    // Manual start is set only on a service whose start type is known: one
    // whose configuration cannot be read (a command line over the 8 KB the
    // query returns) may be disabled, and is left as it is.
    void aServiceOfUnknownStartTypeIsLeftAlone()
    {
        TestMachine machine;
        SimService remote = service(QStringLiteral("RemoteRegistry"), win::ServiceDisabled, win::ServiceStopped);
        remote.binaryPath = QStringLiteral("C:\\Windows\\system32\\svchost.exe ") + QString(4100, 'x');
        machine->system().services = {remote};
        ManagerLog log;
        SystemSettings settings;
        settings.optimize();
        QCOMPARE(machine->findService(QStringLiteral("RemoteRegistry"))->startType, win::ServiceDisabled);
        QVERIFY(log.contains(QStringLiteral("系统服务优化完成，优化了 0 项")));
    }

    // A failed switch of the power plan leaves its line with the code and
    // is not counted.
    void conditionsDecideThePowerPlanAndThePrivacyGroups_data()
    {
        QTest::addColumn<bool>("highPerformance");   // the machine has the scheme
        QTest::addColumn<bool>("onBattery");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("build");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("activeScheme");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QString>("line");
        const QString balanced = QString::fromLatin1(win::sim::BalancedSchemeGuid);
        const QString high = QString::fromLatin1(win::sim::HighPerformanceSchemeGuid);
        const QStringList all = {"feeds", "sync", "suggestions", "cortana", "telemetry"};
        QTest::newRow("no High performance scheme") << false << false << QString() << 19045 << 1 + 5 << balanced << all
                                                    << QStringLiteral("[错误] 电源计划切换失败，错误码: 2");
        QTest::newRow("battery") << true << true << QString() << 19045 << 1 + 5 << balanced << all
                                 << QStringLiteral("电池模式，跳过电源计划优化");
        QTest::newRow("domain") << true << false << QStringLiteral("corp.example.com") << 19045 << 1 + 1 << high << QStringList()
                                << QStringLiteral("域环境或系统版本不支持，跳过隐私优化");
        QTest::newRow("Windows 11") << true << false << QString() << 22631 << 1 + 1 + 3 << high
                                    << QStringList({"sync", "suggestions", "telemetry"})
                                    << QStringLiteral("隐私设置优化完成，优化了 3 项");
        QTest::newRow("Windows 8.1") << true << false << QString() << 9600 << 1 + 1 << high << QStringList()
                                     << QStringLiteral("域环境或系统版本不支持，跳过隐私优化");
    }

    void conditionsDecideThePowerPlanAndThePrivacyGroups()
    {
        QFETCH(bool, highPerformance);
        QFETCH(bool, onBattery);
        QFETCH(QString, domain);
        QFETCH(int, build);
        TestMachine machine;
        if (build == 9600)
            machine.setWindowsVersion(6, 3, 9600);
        else
            machine.setWindowsVersion(10, 0, quint32(build));
        machine->system().power.acLineStatus = onBattery ? 0 : 1;
        machine->system().dnsDomain = domain;
        if (!highPerformance) {
            auto& schemes = machine->programs().power().schemes;
            schemes.erase(std::remove_if(schemes.begin(), schemes.end(), [](const win::sim::PowerScheme& s) {
                              return s.guid == QLatin1String(win::sim::HighPerformanceSchemeGuid);
                          }),
                          schemes.end());
        }
        ManagerLog log;
        SystemSettings settings;
        QSignalSpy progress(&settings, &SystemSettings::progressUpdated);
        QTEST(settings.optimize(), "count");
        QTEST(machine->system().activePowerScheme, "activeScheme");
        QTEST(privacyGroupsWritten(machine), "groups");
        QFETCH(QString, line);
        QVERIFY2(log.contains(line), qPrintable(log.lines().join('\n')));
        QCOMPARE(percents(progress), QList<int>({10, 30, 50, 70, 100}));
    }

    // A value reads back as the manager wrote it: an integer as the number
    // and a text as the text, in the view the manager writes; a value or key
    // that is not there gives the default.
    void readsOneValueBack()
    {
        TestMachine machine;
        machine.setText(Advanced, QStringLiteral("Theme"), QStringLiteral("dark"));
        ManagerLog log;
        SystemSettings settings;
        settings.optimize();
        QCOMPARE(settings.readRegistryValue(VisualEffects, QStringLiteral("VisualFXSetting"), -1).toInt(), 2);
        QCOMPARE(settings.readRegistryValue(DataCollection, QStringLiteral("AllowTelemetry"), -1).toInt(), 1);
        QCOMPARE(settings.readRegistryValue(Advanced, QStringLiteral("Theme"), QString()).toString(), QStringLiteral("dark"));
        QCOMPARE(settings.readRegistryValue(Advanced, QStringLiteral("Missing"), QStringLiteral("none")).toString(),
                 QStringLiteral("none"));
        QCOMPARE(settings.readRegistryValue(VisualEffects + QStringLiteral("\\Gone"), QStringLiteral("VisualFXSetting"), 7)
                     .toInt(),
                 7);
    }
};

QTEST_GUILESS_MAIN(SystemSettingsTest)
#include "tst_SystemSettings.moc"

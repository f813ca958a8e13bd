#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"

#include <QSignalSpy>
#include <QtTest>

using Setup = void (*)(win::sim::SimSystem&);
Q_DECLARE_METATYPE(Setup)

// Given a machine that fails one environment check, the run announces its
// first row and ends with that check's text, nothing else.
class EngineChecksTest : public QObject
{
    Q_OBJECT

private slots:
    void environmentChecks_data()
    {
        const QString admin = QStringLiteral("需要管理员权限才能运行优化。");
        const QString version = QStringLiteral("当前系统版本不支持（需Windows 7 SP1及以上）。");
        const QString battery = QStringLiteral("电池电量过低（低于20%），请连接电源后再试。");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("error");   // empty: the run passes
        QTest::newRow("not elevated") << Setup([](win::sim::SimSystem& s) { s.administrator = false; }) << admin;
        QTest::newRow("administrators group unreadable") << Setup([](win::sim::SimSystem& s) { s.adminSidFails = true; }) << admin;
        QTest::newRow("first failing check wins") << Setup([](win::sim::SimSystem& s) {
            s.administrator = false;
            s.power.queryFails = true;
            s.systemDirectoryFails = true;
        }) << admin;
        QTest::newRow("XP") << Setup([](win::sim::SimSystem& s) { s.version = {5, 1, 2600, {}}; }) << version;
        QTest::newRow("Vista") << Setup([](win::sim::SimSystem& s) { s.version = {6, 0, 6002, {}}; }) << version;
        QTest::newRow("version probe missing")
            << Setup([](win::sim::SimSystem& s) { s.missingProcedures << QStringLiteral("ntdll.dll!RtlGetVersion"); }) << version;
        QTest::newRow("power query fails before the battery is looked at")
            << Setup([](win::sim::SimSystem& s) { s.power = {true, 0, 1, 5}; }) << QStringLiteral("无法检测电源状态。");
        QTest::newRow("battery 19%") << Setup([](win::sim::SimSystem& s) { s.power = {false, 0, 1, 19}; }) << battery;
        QTest::newRow("battery 20%") << Setup([](win::sim::SimSystem& s) { s.power = {false, 0, 1, 20}; }) << QString();
        QTest::newRow("mains 5%") << Setup([](win::sim::SimSystem& s) { s.power = {false, 1, 1, 5}; }) << QString();
        QTest::newRow("battery unknown") << Setup([](win::sim::SimSystem& s) { s.power = {false, 0, 1, 255}; }) << battery;
        QTest::newRow("line unknown, 5%") << Setup([](win::sim::SimSystem& s) { s.power = {false, 255, 1, 5}; }) << QString();
        QTest::newRow("system drive unknown") << Setup([](win::sim::SimSystem& s) { s.systemDirectoryFails = true; })
                                              << QStringLiteral("无法识别系统盘。");
    }

    void environmentChecks()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, error);
        TestMachine machine;
        setup(machine->system());
        OptimizeCore core;
        QSignalSpy progress(&core, &OptimizeCore::progressUpdated);
        QSignalSpy errors(&core, &OptimizeCore::errorOccurred);
        QSignalSpy finished(&core, &OptimizeCore::optimizationFinished);
        core.startOptimize();
        QCOMPARE(errors.count(), error.isEmpty() ? 0 : 1);
        QCOMPARE(finished.count(), error.isEmpty() ? 1 : 0);
        if (error.isEmpty())
            return;
        QCOMPARE(errors.first().first().toString(), error);
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.first(), (QList<QVariant>{0, 0, QStringLiteral("正在检查系统环境...")}));
    }

    void dualBootIsWindowsOldBesideWindows_data()
    {
        QTest::addColumn<QString>("beside");
        QTest::addColumn<QString>("line");
        QTest::newRow("Windows.old") << QStringLiteral("C:\\Windows.old") << QStringLiteral("    D3 已执行: bcdedit /timeout 5（双系统:是）");
        QTest::newRow("Program Files") << QStringLiteral("C:\\Program Files") << QStringLiteral("    D3 已执行: bcdedit /timeout 0（双系统:否）");
    }

    void dualBootIsWindowsOldBesideWindows()
    {
        QFETCH(QString, beside);
        QFETCH(QString, line);
        TestMachine machine;
        machine.addFolder(QStringLiteral("C:\\Windows"));
        machine.addFolder(beside);
        EngineLog log;
        OptimizeCore().startOptimize();
        QVERIFY(log.contains(line));
    }
};

QTEST_GUILESS_MAIN(EngineChecksTest)
#include "tst_engine_checks.moc"

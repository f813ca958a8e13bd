#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"

#include <QSignalSpy>
#include <QtTest>

// Given a machine that fails one environment check, the run announces its
// first row and ends with that check's text, nothing else.
class EngineChecksTest : public QObject
{
    Q_OBJECT

private:
    struct Outcome
    {
        QList<QList<QVariant>> progress;
        QStringList errors;
        int finished = 0;
    };

    Outcome run()
    {
        OptimizeCore core;
        QSignalSpy progress(&core, &OptimizeCore::progressUpdated);
        QSignalSpy error(&core, &OptimizeCore::errorOccurred);
        QSignalSpy finished(&core, &OptimizeCore::optimizationFinished);
        core.startOptimize();
        Outcome outcome;
        for (const auto& args : progress)
            outcome.progress << args;
        for (const auto& args : error)
            outcome.errors << args.at(0).toString();
        outcome.finished = finished.count();
        return outcome;
    }

    void expectFailure(const QString& text)
    {
        const Outcome outcome = run();
        QCOMPARE(outcome.errors, QStringList{text});
        QCOMPARE(outcome.finished, 0);
        QCOMPARE(outcome.progress.size(), 1);
        QCOMPARE(outcome.progress.first(), (QList<QVariant>{0, 0, QStringLiteral("正在检查系统环境...")}));
    }

    void expectPasses()
    {
        const Outcome outcome = run();
        QVERIFY2(outcome.errors.isEmpty(), qPrintable(outcome.errors.join(';')));
        QCOMPARE(outcome.finished, 1);
    }

private slots:
    void notElevated()
    {
        TestMachine machine;
        machine->system().administrator = false;
        expectFailure(QStringLiteral("需要管理员权限才能运行优化。"));
    }

    void administratorsGroupUnreadable()
    {
        TestMachine machine;
        machine->system().adminSidFails = true;
        expectFailure(QStringLiteral("需要管理员权限才能运行优化。"));
    }

    void versionBorders_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("build");
        QTest::addColumn<bool>("supported");
        QTest::newRow("Vista") << 6 << 0 << 6002 << false;
        QTest::newRow("7") << 6 << 1 << 7601 << true;
        QTest::newRow("8.1") << 6 << 3 << 9600 << true;
        QTest::newRow("10") << 10 << 0 << 19045 << true;
        QTest::newRow("11") << 10 << 0 << 22631 << true;
        QTest::newRow("XP") << 5 << 1 << 2600 << false;
    }

    void versionBorders()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, build);
        QFETCH(bool, supported);
        TestMachine machine;
        machine->system().version = {quint32(major), quint32(minor), quint32(build), QString()};
        if (supported)
            expectPasses();
        else
            expectFailure(QStringLiteral("当前系统版本不支持（需Windows 7 SP1及以上）。"));
    }

    void versionProbeMissing()
    {
        TestMachine machine;
        machine->system().missingProcedures << QStringLiteral("ntdll.dll!RtlGetVersion");
        expectFailure(QStringLiteral("当前系统版本不支持（需Windows 7 SP1及以上）。"));
    }

    void powerQueryFailsBeforeBatteryIsLookedAt()
    {
        TestMachine machine;
        machine->system().power = {true, 0, 1, 5};
        expectFailure(QStringLiteral("无法检测电源状态。"));
    }

    void batteryLevel_data()
    {
        QTest::addColumn<int>("acLine");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("passes");
        QTest::newRow("battery 19%") << 0 << 19 << false;
        QTest::newRow("battery 20%") << 0 << 20 << true;
        QTest::newRow("mains 5%") << 1 << 5 << true;
        QTest::newRow("battery unknown") << 0 << 255 << false;
        QTest::newRow("line unknown, 5%") << 255 << 5 << true;
    }

    void batteryLevel()
    {
        QFETCH(int, acLine);
        QFETCH(int, percent);
        QFETCH(bool, passes);
        TestMachine machine;
        machine->system().power = {false, quint8(acLine), 1, quint8(percent)};
        if (passes)
            expectPasses();
        else
            expectFailure(QStringLiteral("电池电量过低（低于20%），请连接电源后再试。"));
    }

    void systemDriveUnknown()
    {
        TestMachine machine;
        machine->system().systemDirectoryFails = true;
        expectFailure(QStringLiteral("无法识别系统盘。"));
    }

    void firstFailingCheckWins()
    {
        TestMachine machine;
        machine->system().administrator = false;
        machine->system().power.queryFails = true;
        machine->system().systemDirectoryFails = true;
        expectFailure(QStringLiteral("需要管理员权限才能运行优化。"));
    }

    void windowsOldBesideWindowsIsDualBoot()
    {
        TestMachine machine;
        machine.addFolder(QStringLiteral("C:\\Windows"));
        machine.addFolder(QStringLiteral("C:\\Windows.old"));
        EngineLog log;
        expectPasses();
        QVERIFY(log.lines().contains(QStringLiteral("    D3 已执行: bcdedit /timeout 5（双系统:是）")));
    }

    void windowsAloneIsNotDualBoot()
    {
        TestMachine machine;
        machine.addFolder(QStringLiteral("C:\\Windows"));
        machine.addFolder(QStringLiteral("C:\\Program Files"));
        EngineLog log;
        expectPasses();
        QVERIFY(log.lines().contains(QStringLiteral("    D3 已执行: bcdedit /timeout 0（双系统:否）")));
    }
};

QTEST_GUILESS_MAIN(EngineChecksTest)
#include "tst_engine_checks.moc"

#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"
#include "platform/Clock.h"

#include <QFile>
#include <QtTest>

class EngineUtilitiesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;

private slots:
    void initTestCase() { m_log = std::make_unique<EngineLog>(); }
    void init() { m_log->clear(); }

    void registryWritesGoToTheNativeBranchAndLogWithoutTheHive()
    {
        TestMachine machine;
        OptimizeCore core;
        QVERIFY(core.setRegistryDword(win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Vendor\\New"), QStringLiteral("Flag"), 4000000000u));
        QCOMPARE(machine.dword(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\New"), QStringLiteral("Flag")), 4000000000u);
        QVERIFY(m_log->contains(QStringLiteral("    注册表(DWORD): SOFTWARE\\Vendor\\New\\Flag = 4000000000")));
        machine->system().administrator = false;
        QVERIFY(!core.setRegistryDword(win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Vendor\\Other"), QStringLiteral("Flag"), 1));
        QCOMPARE(m_log->lines().size(), 1);
    }

    void disablingAnAlreadyDisabledServiceSendsNoStop()
    {
        TestMachine machine;
        machine.addService(QStringLiteral("Fax"), win::ServiceStopped, win::ServiceDisabled);
        OptimizeCore core;
        QVERIFY(core.disableService(QStringLiteral("fax")));
        QCOMPARE(machine->findService(QStringLiteral("Fax"))->stopControls, 0);
        machine.addService(QStringLiteral("Guarded")).accessDenied = true;
        QVERIFY(!core.disableService(QStringLiteral("Guarded")));
        QCOMPARE(machine->findService(QStringLiteral("Guarded"))->startType, win::ServiceAutoStart);
    }

    // Disabling never raises a start type, so a service is disabled and
    // stopped even when its configuration cannot be read (a command line
    // over the 8 KB the query returns); only its start-type line is missing.
    void disablesAServiceWhoseConfigurationCannotBeRead()
    {
        TestMachine machine;
        machine.addService(QStringLiteral("Long")).binaryPath = QStringLiteral("C:\\Tools\\svc.exe ") + QString(4100, 'x');
        OptimizeCore core;
        QVERIFY(core.disableService(QStringLiteral("Long")));
        QCOMPARE(machine->findService(QStringLiteral("Long"))->startType, win::ServiceDisabled);
        QCOMPARE(machine->findService(QStringLiteral("Long"))->state, win::ServiceStopped);
        QVERIFY(m_log->startingWith(QStringLiteral("服务 Long 原始启动类型")).isEmpty());
    }

    void disableWaitsForASlowStopAboutTwoSeconds()
    {
        TestMachine machine;
        machine.addService(QStringLiteral("Slow")).stopDelayMs = 10000;
        OptimizeCore core;
        const quint64 start = win::tickCountMs();
        QVERIFY(core.disableService(QStringLiteral("Slow")));
        const quint64 waited = win::tickCountMs() - start;
        QVERIFY2(waited >= 2000 && waited < 2500, qPrintable(QString::number(waited)));
        QCOMPARE(machine->findService(QStringLiteral("Slow"))->startType, win::ServiceDisabled);
        QCOMPARE(machine->findService(QStringLiteral("Slow"))->stopControls, 1);
    }

    void stopAndWait_data()
    {
        QTest::addColumn<int>("stopDelayMs");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("at once") << 0 << true;
        QTest::newRow("after a few polls") << 1000 << true;
        QTest::newRow("takes five seconds") << 5000 << false;
    }

    void stopAndWait()
    {
        QFETCH(int, stopDelayMs);
        QFETCH(bool, stopped);
        TestMachine machine;
        machine.addService(QStringLiteral("FontCache")).stopDelayMs = stopDelayMs;
        OptimizeCore core;
        const quint64 start = win::tickCountMs();
        QCOMPARE(core.stopServiceAndWait(QStringLiteral("FontCache")), stopped);
        if (!stopped)
            QVERIFY(win::tickCountMs() - start >= 3000 && win::tickCountMs() - start < 3500);
        QVERIFY(core.startServiceByName(QStringLiteral("FontCache")) == stopped);
    }

    void stopAndWaitRefusals()
    {
        TestMachine machine;
        machine.addService(QStringLiteral("Stubborn")).acceptsStop = false;
        machine.addService(QStringLiteral("Idle"), win::ServiceStopped, win::ServiceDemandStart);
        OptimizeCore core;
        QVERIFY(!core.stopServiceAndWait(QStringLiteral("Stubborn")));
        QVERIFY(!core.stopServiceAndWait(QStringLiteral("Idle")));
        QVERIFY(!core.stopServiceAndWait(QStringLiteral("Missing")));
        QVERIFY(!core.startServiceByName(QStringLiteral("Stubborn")));  // already running
        machine->findService(QStringLiteral("Idle"))->startType = win::ServiceDisabled;
        QVERIFY(!core.startServiceByName(QStringLiteral("Idle")));
    }

    void processTestNeedsTheWholeName()
    {
        TestMachine machine;
        machine.addProcess(1200, QStringLiteral("Explorer.EXE"));
        OptimizeCore core;
        QVERIFY(core.isProcessRunning(QStringLiteral("explorer.exe")));
        QVERIFY(core.isProcessRunning(QStringLiteral("EXPLORER.exe")));
        QVERIFY(!core.isProcessRunning(QStringLiteral("explorer")));
        machine->system().processSnapshotFails = true;
        QVERIFY(!core.isProcessRunning(QStringLiteral("explorer.exe")));
    }

    void folderSizeDoesNotFollowLinks()
    {
        TestMachine machine;
        OptimizeCore core;
        QCOMPARE(core.directorySize(QStringLiteral("C:\\Nowhere")), qint64(0));
        machine.addFile(QStringLiteral("C:\\Data\\a.bin"), QByteArray(1000, 'a'));
        machine.addFile(QStringLiteral("C:\\Data\\sub\\b.bin"), QByteArray(24, 'b'));
        const QString big = machine.addFile(QStringLiteral("C:\\Big\\c.bin"), QByteArray(5000, 'c'));
        QVERIFY(QFile::link(QFileInfo(big).absolutePath(), machine.hostPath(QStringLiteral("C:\\Data\\big-link"))));
        QCOMPARE(core.directorySize(QStringLiteral("c:\\data\\")), qint64(1024));
    }

    void virtualPrinters_data()
    {
        QTest::addColumn<QStringList>("printers");
        QTest::addColumn<bool>("virtualFound");
        QTest::newRow("none") << QStringList() << false;
        QTest::newRow("real printers") << QStringList{QStringLiteral("HP LaserJet M110"), QStringLiteral("Canon G3800")} << false;
        QTest::newRow("PDF in capitals") << QStringList{QStringLiteral("HP LaserJet"), QStringLiteral("Foxit PDF Printer")} << true;
        QTest::newRow("OneNote") << QStringList{QStringLiteral("Send To OneNote 2016")} << true;
        QTest::newRow("XPS") << QStringList{QStringLiteral("Microsoft XPS Document Writer")} << true;
    }

    void virtualPrinters()
    {
        QFETCH(QStringList, printers);
        TestMachine machine;
        for (const QString& name : printers)
            machine->system().printers << win::sim::SimPrinter{name, false, {}, {}};
        QTEST(OptimizeCore().hasVirtualPrinter(), "virtualFound");
    }

    void ssdTest()
    {
        TestMachine machine;
        OptimizeCore core;
        const quint64 start = machine->clock().nowMs();
        QVERIFY(core.isSystemDiskSsd(QStringLiteral("C:")));
        QVERIFY(machine->clock().nowMs() - start < 1000);   // wmic's input was closed: no wait ran out (the clock runs on in real time)
        machine->files().drive('C')->kind = win::sim::DriveKind::Hdd;
        QVERIFY(!core.isSystemDiskSsd(QStringLiteral("c:")));
        machine->files().drive('C')->kind = win::sim::DriveKind::Ssd;
        machine->programs().setAvailability(QStringLiteral("wmic"), win::sim::ProgramAvailability::Hangs);
        QVERIFY(!core.isSystemDiskSsd(QStringLiteral("C:")));
    }
};

QTEST_GUILESS_MAIN(EngineUtilitiesTest)
#include "tst_engine_utilities.moc"

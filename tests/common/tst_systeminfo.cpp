#include "TestMachine.h"
#include "common/EnvironmentPath.h"
#include "common/SystemInfo.h"

#include <QtTest>

class SystemInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void versionTable_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("build");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("11 at its border") << 10 << 0 << 22000 << 4 << QStringLiteral("Win11 (Build 22000)");
        QTest::newRow("10 below the border") << 10 << 0 << 21999 << 3 << QStringLiteral("Win10 (Build 21999)");
        QTest::newRow("8.1 keeps no DWORDs") << 6 << 3 << 9600 << 2 << QStringLiteral("Win8.1 (Build 9600)");
        QTest::newRow("8") << 6 << 2 << 9200 << 2 << QStringLiteral("Win8 (Build 9200)");
        QTest::newRow("7") << 6 << 1 << 7601 << 1 << QStringLiteral("Win7 (Build 7601)");
        QTest::newRow("Vista") << 6 << 0 << 6002 << 0 << QStringLiteral("Unknown (6.0 Build 6002)");
    }

    void versionTable()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, build);
        QFETCH(int, code);
        QFETCH(QString, text);
        TestMachine machine;
        machine.setWindowsVersion(quint32(major), quint32(minor), quint32(build));
        QCOMPARE(windowsVersion(), code);
        QCOMPARE(windowsVersionText(), text);
        QCOMPARE(isSupportedWindows(), code >= 1);
    }

    void versionKeyMissing()
    {
        TestMachine machine;
        machine->registry().removeKey(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion"));
        QCOMPARE(windowsVersion(), 0);
        QCOMPARE(windowsVersionText(), QStringLiteral("Unknown OS"));
    }

    void versionIsReadInTheProgramsOwnView()
    {
        // A 32-bit program reads the redirected branch; the native one is not looked at.
        TestMachine machine;
        machine.setDword(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                         QStringLiteral("CurrentMajorVersionNumber"), 5);
        QCOMPARE(windowsVersion(), 3);
    }

    void power_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<int>("acLine");
        QTest::addColumn<int>("flag");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("battery");
        QTest::addColumn<bool>("onBattery");
        QTest::addColumn<int>("reported");
        QTest::newRow("desktop") << false << 1 << 128 << 255 << false << false << 255;
        QTest::newRow("unknown flag") << false << 1 << 255 << 255 << false << false << 255;
        QTest::newRow("laptop on battery") << false << 0 << 0 << 57 << true << true << 57;
        QTest::newRow("laptop charging") << false << 1 << 8 << 90 << true << false << 90;
        QTest::newRow("line unknown") << false << 255 << 1 << 80 << true << false << 80;
        QTest::newRow("query fails") << true << 0 << 0 << 10 << false << false << 100;
    }

    void power()
    {
        QFETCH(bool, fails);
        QFETCH(int, acLine);
        QFETCH(int, flag);
        QFETCH(int, percent);
        TestMachine machine;
        machine->system().power = {fails, quint8(acLine), quint8(flag), quint8(percent)};
        QTEST(hasBattery(), "battery");
        QTEST(isOnBatteryPower(), "onBattery");
        QTEST(batteryPercent(), "reported");
    }

    void memoryAndDriveInWholeMegabytes()
    {
        TestMachine machine;
        machine->system().memory = {quint64(8) * 1073741824 + 1048575, quint64(3) * 1048576 + 17};
        QCOMPARE(totalPhysicalMemoryMB(), quint64(8192));
        QCOMPARE(availablePhysicalMemoryMB(), quint64(3));
        QCOMPARE(systemDriveTotalMB(), quint64(256 * 1024));
        QCOMPARE(systemDriveFreeMB(), quint64(100 * 1024));
        QVERIFY(is64BitWindows());
        QVERIFY(isRunningAsAdmin());
    }

    void systemOnDriveD()
    {
        TestMachine machine;
        machine->system().systemDirectory = QStringLiteral("D:\\Windows\\system32");
        QCOMPARE(systemDriveLetter(), QStringLiteral("D"));
        QCOMPARE(systemDiskTag(), QStringLiteral("SYS_DISK_D"));
        QCOMPARE(systemDriveFreeMB(), quint64(0));  // no drive D on this machine
    }

    void domainJoin()
    {
        TestMachine machine;
        QVERIFY(!isDomainJoined());
        machine->system().dnsDomain = QStringLiteral("corp.example");
        QVERIFY(isDomainJoined());
        // Without the name call the TCP/IP parameters tell.
        machine->system().computerNameFails = true;
        QVERIFY(!isDomainJoined());
        machine.setText(QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"),
                        QStringLiteral("Domain"), QStringLiteral("corp.example"));
        QVERIFY(isDomainJoined());
    }

    void hardwareIdentifiersThroughWmic()
    {
        TestMachine machine;
        const quint64 start = machine->clock().nowMs();
        QCOMPARE(processorId(), QStringLiteral("BFEBFBFF000906EA"));
        QCOMPARE(baseboardSerial(), QStringLiteral("PF2ABCDE"));
        QVERIFY(machine->clock().nowMs() - start < 1000);   // wmic's input was closed: no wait ran out (the clock runs on in real time)
        QCOMPARE(wmicValues(QStringLiteral("Win32_Processor"), {QStringLiteral("ProcessorId"), QStringLiteral("Name")}).value(0),
                 QStringLiteral("BFEBFBFF000906EA"));
        // The property is matched as written in the output.
        QCOMPARE(wmicValue(QStringLiteral("Win32_Processor"), QStringLiteral("processorid")), QString());
        machine->programs().setAvailability(QStringLiteral("wmic"), win::sim::ProgramAvailability::Missing);
        QCOMPARE(processorId(), QString());
    }

    void collectedRecord()
    {
        TestMachine machine;
        machine->system().power = {false, 0, 0, 42};
        const SystemInfo info = collectSystemInfo();
        QCOMPARE(info.osVersion, 3);
        QCOMPARE(info.osVersionText, QStringLiteral("Win10 (Build 19045)"));
        QVERIFY(info.is64Bit);
        QVERIFY(info.hasBattery);
        QVERIFY(info.onBatteryPower);
        QCOMPARE(info.batteryPercent, 42);
        QCOMPARE(info.systemDrive, QStringLiteral("C"));
        QCOMPARE(info.totalMemoryMB, quint64(8192));
    }

    void environmentPaths()
    {
        TestMachine machine;
        QCOMPARE(expandEnvironmentPath(QString()), QString());
        QCOMPARE(expandEnvironmentPath(QStringLiteral("%temp%\\x")), QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\x"));
        QCOMPARE(expandEnvironmentPath(QStringLiteral("%NOPE%\\%windir%")), QStringLiteral("%NOPE%\\C:\\Windows"));
        // Never cut: a long expansion comes back whole.
        const QString longValue(700, 'x');
        machine->system().environment.insert(QStringLiteral("LONGVAR"), longValue);
        QCOMPARE(expandEnvironmentPath(QStringLiteral("C:\\%LONGVAR%\\end")), QStringLiteral("C:\\") + longValue + QStringLiteral("\\end"));
    }
};

QTEST_GUILESS_MAIN(SystemInfoTest)
#include "tst_systeminfo.moc"

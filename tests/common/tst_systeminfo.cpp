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
        QTest::newRow("no version key") << 0 << 0 << 0 << 0 << QStringLiteral("Unknown OS");
    }

    void versionTable()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, build);
        QFETCH(int, code);
        TestMachine machine;
        machine.setWindowsVersion(quint32(major), quint32(minor), quint32(build));
        if (major == 0)
            machine->registry().removeKey(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion"));
        // A 32-bit program reads the redirected branch; the native one is not looked at.
        machine.setDword(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                         QStringLiteral("CurrentMajorVersionNumber"), 5);
        QCOMPARE(windowsVersion(), code);
        QTEST(windowsVersionText(), "text");
        QCOMPARE(isSupportedWindows(), code >= 1);
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

    // Whole megabytes, rounded down; the system drive is the one Windows
    // names, and the record holds each fact in its own field.
    void memoryDriveAndRecord()
    {
        TestMachine machine;
        machine->system().memory = {quint64(8) * 1073741824 + 1048575, quint64(3) * 1048576 + 17};
        machine->system().power = {false, 1, 8, 42};
        QCOMPARE(systemDriveTotalMB(), quint64(256 * 1024));
        QCOMPARE(systemDriveFreeMB(), quint64(100 * 1024));
        const SystemInfo info = collectSystemInfo();
        QCOMPARE(QStringList({QString::number(info.osVersion), info.osVersionText, info.systemDrive}),
                 QStringList({"3", "Win10 (Build 19045)", "C"}));
        QCOMPARE(QList<quint64>({info.totalMemoryMB, info.availableMemoryMB, quint64(info.batteryPercent)}),
                 QList<quint64>({8192, 3, 42}));
        QCOMPARE(QList<bool>({info.is64Bit, info.hasBattery, info.onBatteryPower, info.isDomainJoined, isRunningAsAdmin()}),
                 QList<bool>({true, true, false, false, true}));
        machine->system().systemDirectory = QStringLiteral("D:\\Windows\\system32");
        QCOMPARE(systemDiskTag(), QStringLiteral("SYS_DISK_D"));
        QCOMPARE(systemDriveFreeMB(), quint64(0));  // no drive D on this machine
    }

    // Solid state only when the one detection knows it: a hard disk, a disk
    // of unknown kind and a Windows 7 without the storage namespace are not.
    void systemDriveSsd_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("windows7");
        QTest::addColumn<bool>("ssd");
        using win::sim::DriveKind;
        QTest::newRow("solid state") << int(DriveKind::Ssd) << false << true;
        QTest::newRow("hard disk") << int(DriveKind::Hdd) << false << false;
        QTest::newRow("unknown kind") << int(DriveKind::Unknown) << false << false;
        QTest::newRow("solid state on Windows 7") << int(DriveKind::Ssd) << true << false;
    }

    void systemDriveSsd()
    {
        QFETCH(int, kind);
        QFETCH(bool, windows7);
        TestMachine machine;
        machine->files().drive('C')->kind = win::sim::DriveKind(kind);
        if (windows7)
            machine.setWindowsVersion(6, 1, 7601);
        QTEST(isSystemDriveSsd(), "ssd");
    }

    void domainJoin()
    {
        TestMachine machine;
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
        // The property is matched as written in the output.
        QCOMPARE(QStringList({processorId(), baseboardSerial()}) + wmicValues(QStringLiteral("Win32_Processor"), {QStringLiteral("processorid")}),
                 QStringList({"BFEBFBFF000906EA", "PF2ABCDE", ""}));
        QVERIFY(machine->clock().nowMs() - start < 3000);   // wmic's input was closed: no wait ran out (the clock runs on in real time)
        machine->programs().setAvailability(QStringLiteral("wmic"), win::sim::ProgramAvailability::Missing);
        QCOMPARE(processorId(), QString());
    }

    void environmentPaths()
    {
        TestMachine machine;
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

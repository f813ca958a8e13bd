#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

// The whole one-click run and its report step on two small machines beside
// the sample machine: a 64-bit Windows 7 SP1 PC with an SSD, and a Windows 11
// 24H2 PC that, as a fresh install, has no wmic. Each test states what must
// hold there: an SSD is never defragmented, nothing is reported as done that
// did not happen, and no step waits for a program that is not there.

namespace {

const double Gib = 1024.0 * 1024.0 * 1024.0;
const QString Run64 = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString Winlogon = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
const QString Local = QStringLiteral("C:\\Users\\Tester\\AppData\\Local");

QJsonObject service(const char* name, const char* state, const char* startType = "auto")
{
    return QJsonObject{{"name", name}, {"state", state}, {"startType", startType}};
}

QJsonObject system(int major, int minor, int build, const char* csd, double memoryGib)
{
    QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
    system.insert("version", QJsonObject{{"major", major}, {"minor", minor}, {"build", build}, {"csd", csd}});
    system.insert("memory", QJsonObject{{"totalBytes", memoryGib * Gib}, {"availableBytes", memoryGib / 2 * Gib}});
    return system;
}

QJsonObject ssdDrive(double totalGib, double freeGib)
{
    return QJsonObject{{"C", QJsonObject{{"folder", "drives/C"}, {"totalBytes", totalGib * Gib},
                                         {"freeBytes", freeGib * Gib}, {"kind", "SSD"}, {"diskNumber", 0}}}};
}

QJsonObject trusted(const QStringList& paths)
{
    QJsonObject trust;
    for (const QString& path : paths)
        trust.insert(path, "valid");
    return trust;
}

// Windows 7 SP1, 64-bit, on a SATA SSD; Windows' own tray programs start
// from the real System32, which this 32-bit program sees as SysWOW64.
QJsonObject windows7Json()
{
    return QJsonObject{
        {"system", system(6, 1, 7601, "Service Pack 1", 8)},
        {"drives", ssdDrive(240, 90)},
        {"disks", QJsonArray{QJsonObject{{"number", 0}, {"model", "Samsung SSD 850 EVO 250GB"}, {"busType", "SATA"}}}},
        {"services", QJsonArray{service("FontCache", "running"), service("wuauserv", "running"),
                                service("Dnscache", "running"), service("Fax", "stopped", "demand"),
                                service("TabletInputService", "running"), service("RemoteRegistry", "stopped", "demand")}},
        {"securityCenter", QJsonObject{{"antivirus", QJsonArray{QJsonObject{{"displayName", "Microsoft Security Essentials"},
                                                                            {"productState", 397312}}}}}},
        {"trust", trusted({"C:\\Windows\\System32\\igfxtray.exe", "C:\\Windows\\System32\\hkcmd.exe",
                           "C:\\Windows\\explorer.exe",
                           "C:\\Program Files\\Realtek\\Audio\\HDA\\RAVCpl64.exe",
                           "C:\\Program Files\\Windows Defender\\MSASCui.exe"})}};
}

// Windows 11 24H2 on an NVMe SSD, freshly installed: wmic is not there.
QJsonObject windows11Json()
{
    return QJsonObject{
        {"system", system(10, 0, 26100, "", 16)},
        {"drives", ssdDrive(476, 300)},
        {"disks", QJsonArray{QJsonObject{{"number", 0}, {"model", "SAMSUNG MZVL2512HCJQ"}, {"busType", "NVMe"}}}},
        {"services", QJsonArray{service("FontCache", "running"), service("wuauserv", "running"), service("DoSvc", "running"),
                                service("Dnscache", "running"), service("WSearch", "running")}},
        {"securityCenter", QJsonObject{{"antivirus", QJsonArray{QJsonObject{{"displayName", "Microsoft Defender Antivirus"},
                                                                            {"productState", 397568}}}}}}};
}

void addWindowsFiles(TestMachine& machine)
{
    machine.addFile("C:\\Windows\\explorer.exe", "MZ");
    machine.addFile("C:\\Windows\\System32\\userinit.exe", "MZ");
    machine.addFile("C:\\Windows\\SysWOW64\\userinit.exe", "MZ");
    machine.addFile("C:\\Windows\\System32\\drivers\\etc\\hosts", "127.0.0.1 localhost\r\n");
    machine.addFile("C:\\Windows\\Temp\\setup.log", QByteArray(1024, 'l'));
    machine.addFile(Local + "\\Temp\\download.tmp", QByteArray(2048, 't'));
    machine.setText(Winlogon, "Shell", "explorer.exe");
    machine.setText(Winlogon, "Userinit", "C:\\Windows\\system32\\userinit.exe,");
}

} // namespace

class OtherWindowsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;
    ScanReportBundle m_report;
    quint64 m_clockMs = 0;   // machine time the run took

    void run(TestMachine& machine)
    {
        m_log->clear();
        OptimizeCore core;
        QSignalSpy finished(&core, &OptimizeCore::optimizationFinished);
        QSignalSpy failed(&core, &OptimizeCore::errorOccurred);
        const quint64 start = machine->clock().nowMs();
        core.startOptimize();
        m_clockMs = machine->clock().nowMs() - start;
        QCOMPARE(failed.count(), 0);
        QCOMPARE(finished.count(), 1);
        m_report = core.scanReport();
    }

    const StartupFinding* startupItem(const QString& name) const
    {
        for (const StartupFinding& finding : m_report.startupItems) {
            if (finding.name == name)
                return &finding;
        }
        return nullptr;
    }

    static int runsOf(TestMachine& machine, const QString& program)
    {
        int runs = 0;
        for (const auto& entry : machine->journal())
            runs += entry.program.contains(program, Qt::CaseInsensitive) ? 1 : 0;
        return runs;
    }

private slots:
    void initTestCase() { m_log = std::make_unique<EngineLog>(); }

    void windows7WithAnSsd()
    {
        TestMachine machine(windows7Json());
        machine.setWindowsVersion(6, 1, 7601);
        addWindowsFiles(machine);
        for (const char* tray : {"igfxtray.exe", "hkcmd.exe"})
            machine.addFile(QStringLiteral("C:\\Windows\\System32\\") + QLatin1String(tray), "MZ");
        machine.addFile("C:\\Program Files\\Realtek\\Audio\\HDA\\RAVCpl64.exe", "MZ");
        machine.addFile("C:\\Program Files\\Windows Defender\\MSASCui.exe", "MZ");
        machine.setText(Run64, "IgfxTray", "C:\\Windows\\system32\\igfxtray.exe");
        machine.setText(Run64, "HotKeysCmds", "C:\\Windows\\system32\\hkcmd.exe");
        machine.setText(Run64, "RtHDVCpl", "C:\\Program Files\\Realtek\\Audio\\HDA\\RAVCpl64.exe -s");
        machine.setText(Run64, "Windows Defender", "%ProgramFiles%\\Windows Defender\\MSASCui.exe -hide", win::RegExpandSz);

        run(machine);

        // The SSD is never defragmented: without the storage namespace its kind
        // cannot be learnt, and Windows 7's defragmenter has no choice by media.
        QCOMPARE(runsOf(machine, "defrag"), 0);
        QCOMPARE(machine->programs().boot().loaders.value(0).settings.value("quietboot"), QStringLiteral("Yes"));
        // No wait ran out: every program was there and had its input closed.
        QVERIFY2(m_clockMs < 5000, qPrintable(QString::number(m_clockMs)));

        // Windows' own startup programs are found where they lie and signed.
        for (const char* name : {"IgfxTray", "HotKeysCmds", "RtHDVCpl", "Windows Defender"}) {
            const StartupFinding* item = startupItem(QLatin1String(name));
            QVERIFY2(item && item->score == 100, name);
        }
        QCOMPARE(m_report.conflicts.size(), 1);
        QCOMPARE(m_report.conflicts.first().detail, QStringLiteral("Microsoft Security Essentials"));
    }

    void windows11WithoutWmic()
    {
        TestMachine machine(windows11Json());
        machine.setWindowsVersion(10, 0, 26100);
        addWindowsFiles(machine);
        run(machine);

        // wmic was asked for, never found, never waited for.
        QVERIFY(runsOf(machine, "wmic") > 0);
        QVERIFY2(m_clockMs < 5000, qPrintable(QString::number(m_clockMs)));
        // The disk's kind cannot be learnt: the optimizer chooses, and retrims the SSD.
        QCOMPARE(machine->programs().optimization('C').defragmentations, 0);
        QCOMPARE(machine->programs().optimization('C').retrims, 1);
        // What is reported as done happened: a full hibernation file, an empty DNS cache.
        QVERIFY(machine->programs().power().hibernation);
        QVERIFY(!machine->programs().power().reducedHiberfile);
        QCOMPARE(machine->programs().dnsCacheEntries(), 0);
        // Without wmic no antivirus product can be learnt, and none is claimed.
        QVERIFY(m_report.conflicts.isEmpty());
    }
};

QTEST_GUILESS_MAIN(OtherWindowsTest)
#include "tst_other_windows.moc"

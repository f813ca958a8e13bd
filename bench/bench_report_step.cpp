// The report step's five scanners on a busy machine: 2,000 installed
// programs, 500 services, 300 processes, 2,000 startup entries and the
// shipped signatures. Goal (release build): all five under 200 ms. The
// antivirus query runs in the simulation, so it costs no real wait.
#include "../tests/scanners/ScannerTestSupport.h"
#include "scanners/BrowserHijackScanner.h"
#include "scanners/ConflictScanner.h"
#include "scanners/JunkwareDetector.h"
#include "scanners/PopupScanner.h"
#include "scanners/StartupLocationScanner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <functional>

using namespace scannertest;

namespace {

constexpr int InstalledPrograms = 2000;
constexpr int Services = 500;
constexpr int Processes = 300;
constexpr int StartupEntries = 2000;
constexpr int StartupFolderEntries = 200;  // of the startup entries
constexpr int Windows = 150;
constexpr int JunkTraces = 20;  // programs, processes and Run values named by the first signatures
constexpr qint64 GoalMs = 200;

const QString UninstallRoots[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
const QString RunKeys[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"};

void buildMachine(TestMachine& machine)
{
    for (int i = 0; i < InstalledPrograms; ++i) {
        const QString key = UninstallRoots[i % 3] + QString("\\{PROGRAM-%1}").arg(i, 5, 10, QChar('0'));
        const QString folder = QString("C:\\Program Files\\Vendor %1\\Product %2").arg(i % 40).arg(i);
        machine.setText(key, "DisplayName", QString("Product %1 by Vendor %2").arg(i).arg(i % 40));
        machine.setText(key, "InstallLocation", folder, win::RegExpandSz);
        machine.setText(key, "Publisher", QString("Vendor %1").arg(i % 40));
        if (i % 10 == 0)
            machine.addFolder(folder);
    }
    for (int i = 0; i < Services; ++i)
        addService(machine, QString("Service%1").arg(i), i % 2 ? win::ServiceWin32OwnProcess : win::ServiceWin32ShareProcess);
    for (int i = 0; i < Processes; ++i)
        addProcess(machine, 1000 + quint32(i) * 4, QString("C:\\Program Files\\Vendor %1\\proc%2.exe").arg(i % 40).arg(i));
    for (int i = 0; i < StartupEntries - StartupFolderEntries; ++i) {
        const QString program = QString("C:\\Program Files\\Vendor %1\\Product %2\\start%2.exe").arg(i % 40).arg(i);
        if (i % 10 == 0)
            machine.addFile(program);
        if (i % 20 == 0)
            trustFile(machine, program);
        machine.setText(RunKeys[i % 4], QString("Startup%1").arg(i), program + " /background /minimized");
    }
    const QString startupFolder = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
    for (int i = 0; i < StartupFolderEntries; ++i)
        machine.addFile(startupFolder + QString("Shortcut %1.lnk").arg(i), "C:\\Tools\\x.exe\n");
    for (int i = 0; i < Windows; ++i)
        addWindow(machine, 1000 + quint32(i % Processes) * 4, QString("Window %1").arg(i));
    win::sim::AntivirusProduct defender;
    defender.displayName = "Windows Defender";
    defender.productState = 393472;
    machine->programs().antivirusProducts().append(defender);
}

void addJunkTraces(TestMachine& machine)
{
    const QVector<AdwareSignature>& signatures = SignatureStore::instance().signatures();
    for (int i = 0; i < JunkTraces && i < signatures.size(); ++i) {
        const AdwareSignature& sig = signatures.at(i);
        if (!sig.uninstallKeys.isEmpty())
            machine.setText(UninstallRoots[0] + "\\JUNK-" + sig.id, "DisplayName", sig.uninstallKeys.first());
        if (!sig.processNames.isEmpty())
            addProcess(machine, 90000 + quint32(i) * 4, "C:\\Users\\Tester\\AppData\\Local\\Temp\\" + sig.processNames.first());
        if (!sig.startupNames.isEmpty())
            machine.setText(RunKeys[1], sig.startupNames.first(), "C:\\Users\\Tester\\AppData\\Roaming\\x.exe");
    }
}

qint64 timed(const char* name, const std::function<void()>& run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    const qint64 ms = timer.elapsed();
    std::printf("  %-26s %5lld ms\n", name, static_cast<long long>(ms));
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestMachine machine;
    if (!machine.loaded()) {
        std::fprintf(stderr, "bench_report_step: %s\n", qPrintable(machine.loadError()));
        return 1;
    }
    if (!SignatureStore::instance().load(shippedSignatureFolder()) || !SignatureStore::instance().isLoaded()) {
        std::fprintf(stderr, "bench_report_step: the shipped signatures did not load\n");
        return 1;
    }
    buildMachine(machine);
    addJunkTraces(machine);

    ScanReportBundle report;
    std::printf("bench_report_step: %d programs, %d services, %d processes, %d startup entries, %d signatures\n",
                InstalledPrograms, Services, Processes, StartupEntries, SignatureStore::instance().signatures().size());
    qint64 total = 0;
    total += timed("startup locations", [&] { StartupLocationScanner().scanStartupLocations(report); });
    total += timed("junkware", [&] { JunkwareDetector().scanJunkware(report); });
    total += timed("browser hijacks", [&] { BrowserHijackScanner().scanBrowserHijack(report); });
    total += timed("pop-up windows", [&] { PopupScanner().scanPopups(report); });
    total += timed("software conflicts", [&] { ConflictScanner().scanConflicts(report); });
    std::printf("  %-26s %5lld ms (goal < %lld ms)\n", "all five scanners", static_cast<long long>(total),
                static_cast<long long>(GoalMs));
    std::printf("  records: %d startup, %d junkware, %d browser, %d pop-ups, %d conflicts\n",
                report.startupItems.size(), report.junkware.size(), report.browserHijacks.size(),
                report.popups.size(), report.conflicts.size());
    if (report.startupItems.size() < StartupEntries) {
        std::fprintf(stderr, "bench_report_step: only %d startup records\n", report.startupItems.size());
        return 1;
    }
    return 0;
}

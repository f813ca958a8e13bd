// The report step's five scanners on a busy machine and on the same machine
// grown four and sixteen times: at 1× 2,000 installed programs, 500
// services, 300 processes, 2,000 startup entries, 150 windows and the shipped
// signatures. Each size runs five times on a freshly built machine; the
// medians are printed with the exponent of the growth from 1× to 16×
// (time ∝ size^exponent).
// Goals (release build): the step grows linearly (exponent at most 1.05) and
// 16× takes under 1 s; 1× under 200 ms.
// The antivirus query runs in the simulation, so it costs no real wait.
//
//   bench_report_step            1×, 4× and 16×, five rounds each
//   bench_report_step SCALE [ROUNDS]   one size only (for a profiler)
#include "../tests/scanners/ScannerTestSupport.h"
#include "scanners/BrowserHijackScanner.h"
#include "scanners/ConflictScanner.h"
#include "scanners/JunkwareDetector.h"
#include "scanners/PopupScanner.h"
#include "scanners/StartupLocationScanner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace scannertest;

namespace {

// At 1×.
constexpr int InstalledPrograms = 2000;
constexpr int Services = 500;
constexpr int Processes = 300;
constexpr int StartupEntries = 2000;
constexpr int StartupFolderEntries = 200;  // of the startup entries
constexpr int Windows = 150;
constexpr int Vendors = 40;
constexpr int JunkTraces = 20;  // programs, processes and Run values named by the first signatures
constexpr qint64 GoalMs = 200;
constexpr qint64 Goal16Ms = 1000;
constexpr double GoalExponent = 1.05;
constexpr int Rounds = 5;

const QString UninstallRoots[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
const QString RunKeys[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"};

const char* const ScannerNames[] = {"startup locations", "junkware", "browser hijacks", "pop-up windows",
                                    "software conflicts"};
constexpr int ScannerCount = 5;

// A machine `scale` times the size of the 1× one; the vendors stay forty, so
// their folders hold `scale` times as many products.
void buildMachine(TestMachine& machine, int scale)
{
    for (int i = 0; i < InstalledPrograms * scale; ++i) {
        const QString key = UninstallRoots[i % 3] + QString("\\{PROGRAM-%1}").arg(i, 5, 10, QChar('0'));
        const QString folder = QString("C:\\Program Files\\Vendor %1\\Product %2").arg(i % Vendors).arg(i);
        machine.setText(key, "DisplayName", QString("Product %1 by Vendor %2").arg(i).arg(i % Vendors));
        machine.setText(key, "InstallLocation", folder, win::RegExpandSz);
        machine.setText(key, "Publisher", QString("Vendor %1").arg(i % Vendors));
        if (i % 10 == 0)
            machine.addFolder(folder);
    }
    for (int i = 0; i < Services * scale; ++i)
        addService(machine, QString("Service%1").arg(i), i % 2 ? win::ServiceWin32OwnProcess : win::ServiceWin32ShareProcess);
    for (int i = 0; i < Processes * scale; ++i)
        addProcess(machine, 1000 + quint32(i) * 4, QString("C:\\Program Files\\Vendor %1\\proc%2.exe").arg(i % Vendors).arg(i));
    for (int i = 0; i < (StartupEntries - StartupFolderEntries) * scale; ++i) {
        const QString program = QString("C:\\Program Files\\Vendor %1\\Product %2\\start%2.exe").arg(i % Vendors).arg(i);
        if (i % 10 == 0)
            machine.addFile(program);
        if (i % 20 == 0)
            trustFile(machine, program);
        machine.setText(RunKeys[i % 4], QString("Startup%1").arg(i), program + " /background /minimized");
    }
    const QString startupFolder = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
    for (int i = 0; i < StartupFolderEntries * scale; ++i)
        machine.addFile(startupFolder + QString("Shortcut %1.lnk").arg(i), "C:\\Tools\\x.exe\n");
    for (int i = 0; i < Windows * scale; ++i)
        addWindow(machine, 1000 + quint32(i % (Processes * scale)) * 4, QString("Window %1").arg(i));
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

struct Round
{
    double ms[ScannerCount] = {};
    double total = 0;
    int startupRecords = 0;
};

double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// One report step on a machine built for it, timed scanner by scanner.
Round runRound(int scale)
{
    TestMachine machine;
    if (!machine.loaded()) {
        std::fprintf(stderr, "bench_report_step: %s\n", qPrintable(machine.loadError()));
        std::exit(1);
    }
    buildMachine(machine, scale);
    addJunkTraces(machine);
    ScanReportBundle report;
    const std::function<void()> scanners[ScannerCount] = {
        [&] { StartupLocationScanner().scanStartupLocations(report); },
        [&] { JunkwareDetector().scanJunkware(report); },
        [&] { BrowserHijackScanner().scanBrowserHijack(report); },
        [&] { PopupScanner().scanPopups(report); },
        [&] { ConflictScanner().scanConflicts(report); }};
    Round round;
    for (int i = 0; i < ScannerCount; ++i) {
        QElapsedTimer timer;
        timer.start();
        scanners[i]();
        round.ms[i] = elapsedMs(timer);
        round.total += round.ms[i];
    }
    round.startupRecords = report.startupItems.size();
    if (round.startupRecords < StartupEntries * scale) {
        std::fprintf(stderr, "bench_report_step: only %d startup records at %d×\n", round.startupRecords, scale);
        std::exit(1);
    }
    return round;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The medians of each scanner and of the whole step over `rounds` rounds.
struct Medians
{
    double ms[ScannerCount] = {};
    double total = 0;
};

Medians measure(int scale, int rounds)
{
    std::vector<double> perScanner[ScannerCount];
    std::vector<double> totals;
    for (int r = 0; r < rounds; ++r) {
        const Round round = runRound(scale);
        for (int i = 0; i < ScannerCount; ++i)
            perScanner[i].push_back(round.ms[i]);
        totals.push_back(round.total);
    }
    Medians result;
    for (int i = 0; i < ScannerCount; ++i)
        result.ms[i] = median(perScanner[i]);
    result.total = median(totals);
    return result;
}

// Growth exponent between two sizes: time ∝ size^exponent.
double exponentOf(double smallMs, double largeMs, int sizeRatio)
{
    if (smallMs <= 0 || largeMs <= 0)
        return 0;
    return std::log(largeMs / smallMs) / std::log(double(sizeRatio));
}

void printScale(int scale, const Medians& m)
{
    std::printf("  %2d×: ", scale);
    for (int i = 0; i < ScannerCount; ++i)
        std::printf(" %s %.1f ms,", ScannerNames[i], m.ms[i]);
    std::printf(" all five %.1f ms\n", m.total);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!SignatureStore::instance().load(shippedSignatureFolder()) || !SignatureStore::instance().isLoaded()) {
        std::fprintf(stderr, "bench_report_step: the shipped signatures did not load\n");
        return 1;
    }
    if (argc > 1) {
        const int scale = std::max(1, std::atoi(argv[1]));
        const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
        printScale(scale, measure(scale, rounds));
        return 0;
    }
    std::printf("bench_report_step: at 1× %d programs, %d services, %d processes, %d startup entries, %d windows, "
                "%d signatures; medians of %d rounds\n",
                InstalledPrograms, Services, Processes, StartupEntries, Windows,
                SignatureStore::instance().signatures().size(), Rounds);
    const int scales[] = {1, 4, 16};
    Medians medians[3];
    for (int s = 0; s < 3; ++s) {
        medians[s] = measure(scales[s], Rounds);
        printScale(scales[s], medians[s]);
    }
    std::printf("  exponent 1× to 16×:");
    for (int i = 0; i < ScannerCount; ++i)
        std::printf(" %s %.2f,", ScannerNames[i], exponentOf(medians[0].ms[i], medians[2].ms[i], 16));
    const double exponent = exponentOf(medians[0].total, medians[2].total, 16);
    std::printf(" all five %.2f\n", exponent);
    std::printf("report step: %.0f ms, %.0f ms, %.0f ms at 1×, 4×, 16×; exponent %.2f (goal <= %.2f); "
                "1× goal < %lld ms, 16× goal < %lld ms\n",
                medians[0].total, medians[1].total, medians[2].total, exponent, GoalExponent,
                static_cast<long long>(GoalMs), static_cast<long long>(Goal16Ms));
    return 0;
}

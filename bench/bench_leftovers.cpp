// The deep optimisation's leftover items at growing sizes: a report of N
// junkware findings, each with one leftover folder of two files, and one
// "RES:" item per finding, run by the phase-2 executor on a machine that also
// lists 500 installed programs and 100 running processes. Each size runs
// three times on a fresh machine; the medians are printed with the exponent
// of the growth from the smallest to the largest size (time ∝ size^exponent).
// Goal (release build): linear in the evidence, exponent at most 1.1.
//
//   bench_leftovers              1,000, 4,000 and 16,000 items
//   bench_leftovers N [N N]      other sizes (the first is the base)
#include "TestMachine.h"
#include "phase2/Phase2Executor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int Rounds = 3;
constexpr int InstalledPrograms = 500;
constexpr int RunningProcesses = 100;
constexpr double GoalExponent = 1.1;

void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

// The programs a leftover is weighed against: none of them owns one.
void addInstalledAndRunningPrograms(TestMachine& machine)
{
    const QString uninstall = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\"
                                             "CurrentVersion\\Uninstall\\Program%1");
    for (int i = 0; i < InstalledPrograms; ++i) {
        const QString folder = QStringLiteral("C:\\Program Files (x86)\\Vendor%1\\Program").arg(i);
        machine.setText(uninstall.arg(i), QStringLiteral("DisplayName"), QStringLiteral("Program %1").arg(i));
        machine.setText(uninstall.arg(i), QStringLiteral("InstallLocation"), folder);
        machine.setText(uninstall.arg(i), QStringLiteral("UninstallString"), '"' + folder + QStringLiteral("\\uninst.exe\" /S"));
    }
    for (int i = 0; i < RunningProcesses; ++i)
        machine.addProcess(quint32(1000 + i), QStringLiteral("C:\\Program Files\\Tool%1\\tool%1.exe").arg(i));
}

double measure(int findings)
{
    TestMachine machine;
    machine->clock().setRealSleep(false);
    addInstalledAndRunningPrograms(machine);
    ScanReportBundle report;
    QVector<OptItem> items;
    for (int i = 0; i < findings; ++i) {
        const QString folder = QStringLiteral("C:\\ProgramData\\Junk%1").arg(i);
        machine.addFile(folder + QStringLiteral("\\cache.dat"), "x");
        machine.addFile(folder + QStringLiteral("\\logs\\run.log"), "x");
        JunkwareFinding finding;
        finding.id = QStringLiteral("junk-%1").arg(i);
        finding.name = finding.id;
        finding.evidence = QStringList{folder};
        report.junkware << finding;
        OptItem item;
        item.id = QStringLiteral("RES:") + finding.id;
        item.name = finding.id;
        items << item;
    }
    Phase2Executor executor;
    QString summary;
    QObject::connect(&executor, &Phase2Executor::finished, [&summary](const QString& text) { summary = text; });
    QElapsedTimer timer;
    timer.start();
    executor.execute(items, report, 1, 256);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const int removed = int(summary.count(QStringLiteral("删除 1 个残留项")));
    if (removed != findings) {
        std::fprintf(stderr, "bench_leftovers: %d of %d leftovers removed\n", removed, findings);
        std::exit(1);
    }
    return ms;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silence);
    QVector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {1000, 4000, 16000};
    QVector<double> medians;
    for (int size : sizes) {
        QVector<double> rounds;
        for (int round = 0; round < Rounds; ++round)
            rounds << measure(size);
        medians << median(rounds);
        std::printf("  %6d leftover items: %8.1f ms (median of %d)\n", size, medians.last(), Rounds);
    }
    if (sizes.size() < 2)
        return 0;
    const double exponent = std::log(medians.last() / medians.first()) / std::log(double(sizes.last()) / sizes.first());
    std::printf("leftover items: exponent %.2f from %d to %d (goal <= %.1f)\n", exponent, sizes.first(), sizes.last(),
                GoalExponent);
    return 0;
}

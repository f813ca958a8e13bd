// The deep optimisation's figure: every fixed item plus 200 startup items,
// run by the phase-2 executor on a generated machine with the waiting seam
// set not to sleep (goal: under 1 s). Build in release and run by hand.
#include "MachineGenerator.h"
#include "maintenance/StartupManager.h"
#include "phase2/Phase2Executor.h"
#include "platform/sim/SimMachine.h"
#include "scanners/StartupLocationScanner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const int StartupEntries = 200;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_phase2: %s\n", qPrintable(what));
    std::exit(1);
}

void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

// What the fixed items act on: their services, the disk-diagnostic tasks and
// a few restore points.
void addFixedItemTargets(win::sim::SimMachine& machine)
{
    for (const char* name : {"TrkWks", "WwanSvc", "SensrSvc", "FrameServer", "BthServ", "WSearch", "wlidsvc", "Spooler"}) {
        win::sim::SimService service;
        service.name = QLatin1String(name);
        service.startType = win::ServiceAutoStart;
        machine.system().services << service;
    }
    for (const char* task : {"Microsoft-Windows-DiskDiagnosticDataCollector", "Microsoft-Windows-DiskDiagnosticResolver"}) {
        win::sim::SimTask simTask;
        simTask.path = QStringLiteral("\\Microsoft\\Windows\\DiskDiagnostic\\") + QLatin1String(task);
        machine.system().tasks << simTask;
    }
    for (quint32 sequence = 1; sequence <= 6; ++sequence)
        machine.programs().restorePoints().append({sequence, QStringLiteral("Windows Update"),
                                                   QStringLiteral("20261101093012.123456-000"), 0, 100});
}

QVector<OptItem> fixedItems()
{
    QVector<OptItem> items;
    for (const char* id : {"C13", "C10", "C11", "C14", "C8", "C1", "C12", "C9", "F3", "A2", "E1", "H3", "H2"}) {
        OptItem item;
        item.id = item.name = QLatin1String(id);
        items << item;
    }
    return items;
}

// One item for every startup entry the report step finds that can be switched off.
QVector<OptItem> startupItems(ScanReportBundle* report)
{
    StartupLocationScanner().scanStartupLocations(*report);
    QVector<OptItem> items;
    for (const StartupFinding& finding : report->startupItems) {
        if (!finding.canDisable)
            continue;
        OptItem item;
        item.id = QStringLiteral("ST:%1:%2").arg(finding.type).arg(finding.name);
        item.name = finding.name;
        items << item;
    }
    return items;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silence);
    QTemporaryDir folder;
    MachineGenerator::Counts counts;
    counts.registryValues = 10000;
    counts.files = 2000;
    counts.startupEntries = StartupEntries;
    QString error;
    win::sim::SimMachine machine;
    if (!MachineGenerator(counts).write(folder.path(), &error) || !machine.load(folder.path(), &error))
        fail(error);
    machine.clock().setRealSleep(false);
    win::sim::SimMachine::makeCurrent(&machine);
    addFixedItemTargets(machine);

    ScanReportBundle report;
    const QVector<OptItem> startup = startupItems(&report);
    if (startup.size() != StartupEntries)
        fail(QStringLiteral("the report step offers %1 startup items, not %2").arg(startup.size()).arg(StartupEntries));
    QElapsedTimer timer;
    timer.start();
    StartupManager().scanItems();
    const qint64 scanMs = timer.elapsed();

    Phase2Executor executor;
    QString summary;
    QObject::connect(&executor, &Phase2Executor::finished, [&summary](const QString& text) { summary = text; });
    timer.restart();
    executor.execute(fixedItems() + startup, report, 1, 256);
    const qint64 runMs = timer.elapsed();
    int disabled = 0;
    for (const QString& line : summary.split('\n'))
        disabled += line.startsWith(QStringLiteral("已禁用")) && !line.endsWith(QStringLiteral("（未找到）"));
    if (disabled != StartupEntries)
        fail(QStringLiteral("only %1 startup entries were switched off").arg(disabled));
    win::sim::SimMachine::makeCurrent(nullptr);

    std::printf("phase-2 run of 13 fixed and %d startup items: %lld ms, %d entries switched off (goal < 1000 ms)\n",
                StartupEntries, static_cast<long long>(runMs), disabled);
    std::printf("one startup scan of the same machine: %lld ms\n", static_cast<long long>(scanMs));
    return 0;
}

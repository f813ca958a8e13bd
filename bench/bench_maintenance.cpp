// The maintenance managers' figures:
//  - the cleanup manager's scan and clean of 100,000 small files in 1,000
//    folders in the user's temporary folder, next to `find DIR -type f
//    -delete` on an identical tree in the same run, the two taking turns
//    over several rounds (goal: median ratio at most 1.5);
//  - the maintenance pipeline on the sample machine with the waiting seam
//    set not to sleep (goal: under 1 s).
// Build in release (-DCMAKE_BUILD_TYPE=Release) and run by hand, with
// TMPDIR on a RAM disk (/dev/shm) for steady file-system figures.
#include "MachineFolder.h"
#include "MachineGenerator.h"
#include "TestMachine.h"
#include "maintenance/CleanupManager.h"
#include "maintenance/OptimizeWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

const int Files = 100000;
const int FilesPerFolder = 100;
const int Rounds = 5;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_maintenance: %s\n", qPrintable(what));
    std::exit(1);
}

void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

void writeTree(const QString& folder)
{
    QString error;
    if (!MachineGenerator::writeFileTree(folder, Files, FilesPerFolder, &error))
        fail(error);
    sync();
}

qint64 timeFind()
{
    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("Temp"));
    writeTree(tree);
    QElapsedTimer timer;
    timer.start();
    QProcess find;
    find.start(QStringLiteral("find"), {tree, QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-delete")});
    if (!find.waitForFinished(600000) || find.exitCode() != 0)
        fail(QStringLiteral("find failed"));
    return timer.elapsed();
}

qint64 timeCleanup(qint64* scanMs)
{
    TestMachine machine;
    const QString temp = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp");
    writeTree(machine.hostPath(temp));
    CleanupManager cleanup;
    QElapsedTimer timer;
    timer.start();
    if (cleanup.scanCleanableSpace() == 0)
        fail(QStringLiteral("the scan found nothing"));
    *scanMs = timer.elapsed();
    cleanup.performCleanup();
    const qint64 elapsed = timer.elapsed();
    QDir left(machine.hostPath(temp));
    if (!left.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        fail(QStringLiteral("the cleanup left files behind"));
    return elapsed;
}

qint64 timeSamplePipeline()
{
    const QString sample = QStringLiteral(TESSARO_SOURCE_DIR "/machines/sample");
    QTemporaryDir copy;
    win::sim::SimMachine machine;
    QString error;
    if (!loadMachineCopy(sample, copy.filePath(QStringLiteral("machine")), machine, &error))
        fail(error);
    win::sim::SimMachine::makeCurrent(&machine);
    OptimizeWorker worker;
    bool finished = false;
    QObject::connect(&worker, &OptimizeWorker::optimizeFinished, [&finished](bool success) { finished = success; });
    QElapsedTimer timer;
    timer.start();
    worker.startOptimize();
    const qint64 elapsed = timer.elapsed();
    win::sim::SimMachine::makeCurrent(nullptr);
    if (!finished)
        fail(QStringLiteral("the pipeline did not finish on the sample machine"));
    std::printf("  sample pipeline: %llu MB cleaned, %llu MB memory freed, %d settings\n",
                static_cast<unsigned long long>(worker.stats().cleanedMB),
                static_cast<unsigned long long>(worker.stats().freedMemoryMB), worker.stats().settingsCount);
    return elapsed;
}

template <typename T>
T median(QVector<T> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silence);
    QVector<double> ratios;
    QVector<qint64> cleanupTimes;
    QVector<qint64> findTimes;
    for (int round = 0; round < Rounds; ++round) {
        qint64 scanMs = 0;
        const qint64 findMs = timeFind();
        const qint64 cleanupMs = timeCleanup(&scanMs);
        ratios << double(cleanupMs) / double(findMs);
        cleanupTimes << cleanupMs;
        findTimes << findMs;
        std::printf("round %d: cleanup manager %lld ms (scan %lld ms, clean %lld ms), find -delete %lld ms, ratio %.2f\n",
                    round + 1, static_cast<long long>(cleanupMs), static_cast<long long>(scanMs),
                    static_cast<long long>(cleanupMs - scanMs), static_cast<long long>(findMs), ratios.last());
    }
    std::printf("cleanup of %d files: median %lld ms against find's %lld ms; median ratio %.2f (goal <= 1.5)\n", Files,
                static_cast<long long>(median(cleanupTimes)), static_cast<long long>(median(findTimes)), median(ratios));
    QVector<qint64> pipelineTimes;
    for (int round = 0; round < 3; ++round)
        pipelineTimes << timeSamplePipeline();
    std::printf("maintenance pipeline on the sample machine: median %lld ms (goal < 1000 ms)\n",
                static_cast<long long>(median(pipelineTimes)));
    return 0;
}

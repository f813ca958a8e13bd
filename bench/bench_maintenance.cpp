// The maintenance managers' figures:
//  - the cleanup manager's scan and clean of 100,000 small files in 1,000
//    folders in the user's temporary folder, next to `find DIR -type f
//    -delete` on an identical tree in the same run, the two taking turns
//    over several rounds (goal: median ratio at most 1.5);
//  - the same for 10,000, 30,000 and 100,000 files of which machine.json
//    holds a fact each (a last write time, as the machine generator gives
//    them), with the growth exponent of the cleanup's time (goals: ratio at
//    most 1.5, exponent at most 1.1);
//  - the maintenance pipeline on the sample machine with the waiting seam
//    set not to sleep (goal: under 1 s).
// Build in release (-DCMAKE_BUILD_TYPE=Release) and run by hand, with
// TMPDIR on a RAM disk (/dev/shm) for steady file-system figures.
#include "BenchFigures.h"
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
const QString Temp = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp");
const int FilesPerFolder = 100;
const int Rounds = 5;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_maintenance: %s\n", qPrintable(what));
    std::exit(1);
}

void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

void writeTree(const QString& folder, int files)
{
    QString error;
    if (!MachineGenerator::writeFileTree(folder, files, FilesPerFolder, &error))
        fail(error);
    sync();
}

qint64 timeFind(int files)
{
    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("Temp"));
    writeTree(tree, files);
    QElapsedTimer timer;
    timer.start();
    QProcess find;
    find.start(QStringLiteral("find"), {tree, QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-delete")});
    if (!find.waitForFinished(600000) || find.exitCode() != 0)
        fail(QStringLiteral("find failed"));
    return timer.elapsed();
}

// The tree stands where the machine generator puts its files, so that the
// facts name them.
qint64 timeCleanup(int files, bool withFacts, qint64* scanMs)
{
    TestMachine machine(withFacts ? QJsonObject{{"files", MachineGenerator::fileFacts(files)}} : QJsonObject());
    writeTree(machine.hostPath(Temp + QStringLiteral("\\Generated")), files);
    CleanupManager cleanup;
    QElapsedTimer timer;
    timer.start();
    cleanup.scanCleanableSpace();   // whole megabytes: a small tree may count none
    *scanMs = timer.elapsed();
    cleanup.performCleanup();
    const qint64 elapsed = timer.elapsed();
    QDir left(machine.hostPath(Temp));
    if (!left.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        fail(QStringLiteral("the cleanup left files behind"));
    if (withFacts && machine->files().facts(MachineGenerator::filePath(files - 1)))
        fail(QStringLiteral("the cleanup left facts behind"));
    return elapsed;
}

struct Figures
{
    double cleanup = 0;
    double find = 0;
    double ratio = 0;
};

// The two take turns, the other one first in every other round.
Figures measureCleanup(int files, bool withFacts, bool printRounds)
{
    QVector<double> ratios;
    QVector<double> cleanupTimes;
    QVector<double> findTimes;
    for (int round = 0; round < Rounds; ++round) {
        qint64 scanMs = 0;
        qint64 findMs = 0;
        qint64 cleanupMs = 0;
        if (round % 2 == 0) {
            findMs = timeFind(files);
            cleanupMs = timeCleanup(files, withFacts, &scanMs);
        } else {
            cleanupMs = timeCleanup(files, withFacts, &scanMs);
            findMs = timeFind(files);
        }
        ratios << double(cleanupMs) / double(findMs);
        cleanupTimes << double(cleanupMs);
        findTimes << double(findMs);
        if (printRounds)
            std::printf("round %d: cleanup manager %lld ms (scan %lld ms, clean %lld ms), find -delete %lld ms, ratio %.2f\n",
                        round + 1, static_cast<long long>(cleanupMs), static_cast<long long>(scanMs),
                        static_cast<long long>(cleanupMs - scanMs), static_cast<long long>(findMs), ratios.last());
    }
    return {medianOf(cleanupTimes), medianOf(findTimes), medianOf(ratios)};
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silence);
    const Figures plain = measureCleanup(Files, false, true);
    std::printf("cleanup of %d files: median %.0f ms against find's %.0f ms; median ratio %.2f (goal <= 1.5)\n", Files,
                plain.cleanup, plain.find, plain.ratio);

    QVector<double> sizes;
    QVector<double> times;
    for (int files : {10000, 30000, 100000}) {
        const Figures withFacts = measureCleanup(files, true, false);
        sizes << files;
        times << withFacts.cleanup;
        std::printf("cleanup of %d files with facts: median %.0f ms against find's %.0f ms; median ratio %.2f (goal <= 1.5)\n",
                    files, withFacts.cleanup, withFacts.find, withFacts.ratio);
        std::fflush(stdout);
    }
    std::printf("cleanup of files with facts, growth exponent: %.2f (goal <= 1.1)\n", growthExponent(sizes, times));

    QVector<double> pipelineTimes;
    for (int round = 0; round < 3; ++round)
        pipelineTimes << double(timeSamplePipeline());
    std::printf("maintenance pipeline on the sample machine: median %.0f ms (goal < 1000 ms)\n", medianOf(pipelineTimes));
    return 0;
}

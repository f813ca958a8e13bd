// The one-click engine's figures:
//  - the cache step on a tree of 100,000 small files in 1,000 folders in the
//    user's temporary folder, next to `find DIR -type f -delete` on an
//    identical tree in the same run (goal: at most 1.5 × find);
//  - a whole one-click run on the sample machine with the waiting seam set
//    not to sleep (goal: under 1 s).
// Build in release (-DCMAKE_BUILD_TYPE=Release) and run by hand.
#include "MachineGenerator.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

namespace {

const int Files = 100000;
const int FilesPerFolder = 100;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_engine: %s\n", qPrintable(what));
    std::exit(1);
}

void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

qint64 timeFind(const QString& folder)
{
    sync();
    QElapsedTimer timer;
    timer.start();
    QProcess find;
    find.start(QStringLiteral("find"), {folder, QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-delete")});
    if (!find.waitForFinished(600000) || find.exitCode() != 0)
        fail(QStringLiteral("find failed"));
    return timer.elapsed();
}

// The cache step's own time: from its announcement to the memory step's.
qint64 timeCacheStep(int* removedFiles)
{
    TestMachine machine;
    const QString temp = machine.hostPath(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp"));
    QString error;
    if (!MachineGenerator::writeFileTree(temp, Files, FilesPerFolder, &error))
        fail(error);
    sync();
    OptimizeCore core;
    QElapsedTimer clock;
    qint64 started = -1;
    qint64 ended = -1;
    QObject::connect(&core, &OptimizeCore::progressUpdated, [&](int step, int percent) {
        if (step == 1 && percent == 10)
            started = clock.elapsed();
        if (step == 2 && percent == 30)
            ended = clock.elapsed();
    });
    clock.start();
    core.startOptimize();
    *removedFiles = core.junkFilesCount();
    return ended - started;
}

qint64 timeFindOnTheSameTree()
{
    QTemporaryDir dir;
    QString error;
    if (!MachineGenerator::writeFileTree(dir.filePath(QStringLiteral("Temp")), Files, FilesPerFolder, &error))
        fail(error);
    return timeFind(dir.filePath(QStringLiteral("Temp")));
}

qint64 timeSampleRun(int* cleanedMB)
{
    const QString sample = QStringLiteral(TESSARO_SOURCE_DIR "/machines/sample");
    QTemporaryDir copy;
    QProcess cp;
    cp.start(QStringLiteral("cp"), {QStringLiteral("-a"), sample + QStringLiteral("/."), copy.path()});
    if (!cp.waitForFinished() || cp.exitCode() != 0)
        fail(QStringLiteral("cannot copy the sample machine"));
    win::sim::SimMachine machine;
    QString error;
    if (!machine.load(copy.path(), &error))
        fail(error);
    machine.clock().setRealSleep(false);
    win::sim::SimMachine::makeCurrent(&machine);
    OptimizeCore core;
    QElapsedTimer timer;
    timer.start();
    core.startOptimize();
    const qint64 elapsed = timer.elapsed();
    *cleanedMB = core.cleanedMB();
    win::sim::SimMachine::makeCurrent(nullptr);
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silence);
    int removed = 0;
    const qint64 findMs = timeFindOnTheSameTree();
    const qint64 cacheMs = timeCacheStep(&removed);
    if (removed < Files)
        fail(QStringLiteral("the cache step removed only %1 files").arg(removed));
    std::printf("cache step: %lld ms for %d files; find -delete: %lld ms; ratio %.2f (goal <= 1.5)\n",
                static_cast<long long>(cacheMs), removed, static_cast<long long>(findMs), double(cacheMs) / double(findMs));
    int cleaned = 0;
    const qint64 runMs = timeSampleRun(&cleaned);
    std::printf("one-click run on the sample machine: %lld ms, %d MB cleaned (goal < 1000 ms)\n",
                static_cast<long long>(runMs), cleaned);
    return 0;
}

// Loading and saving a full machine, and deleting a large cache tree through
// FileWalker next to `find -type f -delete` on an identical tree.
// Goals (release build): load < 1 s, save < 1 s, walker ≤ 1.5 × find.
#include "MachineGenerator.h"
#include "platform/FileSystem.h"
#include "platform/sim/SimMachine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

const int RegistryValues = 100000;
const int Files = 100000;
const int FilesPerFolder = 100;
const int Rounds = 3;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_machine_io: %s\n", qPrintable(what));
    std::exit(1);
}

// The load is only worth timing when the machine came back whole.
void checkLoaded(win::sim::SimMachine& machine)
{
    for (int index : {0, RegistryValues / 2, RegistryValues - 1}) {
        const MachineGenerator::RegistryValue expected = MachineGenerator::registryValue(index);
        quint32 type = 0;
        QByteArray data;
        if (!machine.registry().value(expected.keyPath, expected.name, &type, &data) || type != expected.type
            || data != expected.data)
            fail(QStringLiteral("value %1 of the generated registry did not load").arg(index));
    }
}

qint64 median(std::vector<qint64> times)
{
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

qint64 timeFindDelete(const QString& hostFolder)
{
    QElapsedTimer timer;
    timer.start();
    QProcess find;
    find.start(QStringLiteral("find"), {hostFolder, QStringLiteral("-type"), QStringLiteral("f"),
                                       QStringLiteral("-delete")});
    if (!find.waitForFinished(600000) || find.exitCode() != 0)
        fail(QStringLiteral("find failed: ") + QString::fromLocal8Bit(find.readAllStandardError()));
    return timer.elapsed();
}

qint64 timeWalkerDelete(const QString& windowsFolder, int* deleted)
{
    QElapsedTimer timer;
    timer.start();
    win::FileWalker walker(windowsFolder);
    while (walker.next()) {
        if (walker.deleteCurrentFile() == win::ErrorSuccess)
            ++*deleted;
    }
    return timer.elapsed();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString machineFolder = work.filePath(QStringLiteral("machine"));
    QString error;

    QElapsedTimer timer;
    timer.start();
    MachineGenerator::Counts counts;
    counts.registryValues = RegistryValues;
    counts.files = Files;
    if (!MachineGenerator(counts).write(machineFolder, &error))
        fail(error);
    std::printf("generate %d values, %d files: %lld ms\n", RegistryValues, Files, timer.elapsed());

    win::sim::SimMachine machine;
    timer.restart();
    if (!machine.load(machineFolder, &error))
        fail(error);
    const qint64 loadMs = timer.elapsed();
    checkLoaded(machine);
    timer.restart();
    if (!machine.save(&error))
        fail(error);
    const qint64 saveMs = timer.elapsed();
    std::printf("SimMachine::load: %lld ms (goal < 1000)\n", loadMs);
    std::printf("SimMachine::save: %lld ms (goal < 1000)\n", saveMs);

    // Identical trees on the machine's drive and beside it, deleted in turns;
    // the disk is synced first so that neither pays for writing the trees.
    const QString findTree = work.filePath(QStringLiteral("find-tree"));
    const QString walkTree = machine.files().drive('C')->hostFolder + QStringLiteral("/BenchTree");
    win::sim::SimMachine::makeCurrent(&machine);
    std::vector<qint64> findTimes;
    std::vector<qint64> walkerTimes;
    for (int round = 0; round < Rounds; ++round) {
        if (!MachineGenerator::writeFileTree(findTree, Files, FilesPerFolder, &error)
            || !MachineGenerator::writeFileTree(walkTree, Files, FilesPerFolder, &error))
            fail(error);
        int deleted = 0;
        for (int turn = 0; turn < 2; ++turn) {
            sync();
            if ((turn + round) % 2 == 0)
                findTimes.push_back(timeFindDelete(findTree));
            else
                walkerTimes.push_back(timeWalkerDelete(QStringLiteral("C:\\BenchTree"), &deleted));
        }
        if (deleted != Files)
            fail(QStringLiteral("the walker deleted %1 of %2 files").arg(deleted).arg(Files));
        std::printf("round %d: find %lld ms, walker %lld ms\n", round + 1, findTimes.back(), walkerTimes.back());
    }
    win::sim::SimMachine::makeCurrent(nullptr);
    const qint64 findMs = median(findTimes);
    const qint64 walkerMs = median(walkerTimes);
    std::printf("find -type f -delete (median of %d): %lld ms\n", Rounds, findMs);
    std::printf("FileWalker walk + delete (median of %d): %lld ms\n", Rounds, walkerMs);
    std::printf("ratio walker / find: %.2f (goal <= 1.5)\n", findMs > 0 ? double(walkerMs) / double(findMs) : 0.0);
    return 0;
}

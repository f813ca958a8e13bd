// Loading and saving a full machine, and deleting a large cache tree through
// FileWalker next to `find -type f -delete` on an identical tree.
// The machine holds 1,000,000 registry values and 100,000 temporary files with
// a last write time each. Load and save read and write machine.json (whose
// file facts are the files' share of the work) and the .reg files; neither
// opens the drive's files themselves. `bench_machine_io 0` makes the machine
// without files, so that load and save are the registry's and little else.
// Goals (release build): load ≤ 350 ms, save ≤ 250 ms, walker ≤ 1.5 × find.
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

const int RegistryValues = 1000000;
const int Files = 100000;
int g_machineFiles = Files;   // the files of the generated machine
const int FilesPerFolder = 100;
const int Rounds = 3;
const int LoadSaveRounds = 5;

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
    for (int index : {0, g_machineFiles - 1}) {
        if (g_machineFiles == 0)
            break;
        const auto facts = machine.files().facts(MachineGenerator::filePath(index));
        if (!facts || !facts->modified.isValid())
            fail(QStringLiteral("the facts of generated file %1 did not load").arg(index));
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
    if (argc > 1)
        g_machineFiles = QByteArray(argv[1]).toInt();
    counts.files = g_machineFiles;
    if (!MachineGenerator(counts).write(machineFolder, &error))
        fail(error);
    std::printf("generate %d values, %d files with facts: %lld ms\n", RegistryValues, g_machineFiles, timer.elapsed());

    // Each round loads the folder the previous round saved.
    std::vector<qint64> loadTimes;
    std::vector<qint64> saveTimes;
    for (int round = 0; round < LoadSaveRounds; ++round) {
        win::sim::SimMachine loaded;
        timer.restart();
        if (!loaded.load(machineFolder, &error))
            fail(error);
        loadTimes.push_back(timer.elapsed());
        checkLoaded(loaded);
        timer.restart();
        if (!loaded.save(&error))
            fail(error);
        saveTimes.push_back(timer.elapsed());
    }
    std::printf("SimMachine::load (median of %d): %lld ms (goal <= 350)\n", LoadSaveRounds, median(loadTimes));
    std::printf("SimMachine::save (median of %d): %lld ms (goal <= 250)\n", LoadSaveRounds, median(saveTimes));

    win::sim::SimMachine machine;
    if (!machine.load(machineFolder, &error))
        fail(error);

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

// The file facts of machine.json (attributes, locks, sizes and last write
// times of files) at 250,000, 500,000 and 1,000,000 facts (or the counts
// given), one for each file, 100 files to a folder, as the machine generator
// makes them. Each figure is the median of three rounds:
//  - loading the machine, and the memory its facts then take, beside the
//    size of their text in machine.json;
//  - the facts of every file asked for in turn, folder by folder, as a walk
//    asks them;
//  - the facts removed folder by folder, as the cleanup empties its folders;
//  - saving the machine after one fact changed.
// Each row ends with the growth exponent over the counts (goal: at most 1.1).
// Build in release and run by hand, with TMPDIR on a RAM disk.
#include "BenchFigures.h"
#include "MachineGenerator.h"
#include "TestMachine.h"
#include "platform/sim/SimMachine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <cstdio>
#include <malloc.h>

namespace {

const int Rounds = 3;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_file_facts: %s\n", qPrintable(what));
    std::exit(1);
}

double elapsedMs(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Bytes the program holds on its heap now.
double heapBytes()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

QString folderPath(int folder)
{
    const QString file = MachineGenerator::filePath(folder * MachineGenerator::FilesPerFolder);
    return file.left(file.lastIndexOf('\\'));
}

struct Figures
{
    double load = 0;
    double megabytes = 0;
    double lookups = 0;
    double removals = 0;
    double save = 0;
};

Figures measure(const QString& folder, const QJsonObject& section, int facts)
{
    QVector<double> load, megabytes, lookups, removals, save;
    for (int round = 0; round < Rounds; ++round) {
        QString error;
        const double heapBefore = heapBytes();
        auto machine = std::make_unique<win::sim::SimMachine>();
        QElapsedTimer timer;
        timer.start();
        if (!machine->load(folder, &error))
            fail(error);
        load << elapsedMs(timer);
        megabytes << (heapBytes() - heapBefore) / 1048576.0;

        win::sim::SimFileSystem& files = machine->files();
        files.setLocked(MachineGenerator::filePath(facts / 2), true);
        timer.restart();
        if (!machine->save(&error))
            fail(error);
        save << elapsedMs(timer);
        files.setLocked(MachineGenerator::filePath(facts / 2), false);
        if (!machine->save(&error))   // as it came, for the next round
            fail(error);
        machine.reset();

        // The table alone, as the file calls ask it with paths they composed.
        win::sim::FileFactsTable table;
        if (!table.load(section, &error))
            fail(error);
        QStringList paths;
        paths.reserve(facts);
        for (int i = 0; i < facts; ++i)
            paths << MachineGenerator::filePath(i);
        int found = 0;
        timer.restart();
        for (const QString& path : qAsConst(paths))
            found += table.find(path) != nullptr;
        lookups << elapsedMs(timer);
        if (found != facts)
            fail(QStringLiteral("only %1 of %2 facts were found").arg(found).arg(facts));
        const int folders = (facts + MachineGenerator::FilesPerFolder - 1) / MachineGenerator::FilesPerFolder;
        timer.restart();
        for (int f = 0; f < folders; ++f)
            table.removeTree(folderPath(f));
        removals << elapsedMs(timer);
        if (!table.isEmpty())
            fail(QStringLiteral("the facts were not removed"));
    }
    return {medianOf(load), medianOf(megabytes), medianOf(lookups), medianOf(removals), medianOf(save)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QVector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << qMax(1, atoi(argv[i]));
    if (counts.isEmpty())
        counts = {250000, 500000, 1000000};
    std::printf("bench_file_facts: medians of %d rounds\n", Rounds);
    QVector<double> x;
    QVector<Figures> rows;
    for (int facts : counts) {
        const QJsonObject section = MachineGenerator::fileFacts(facts);
        TestMachine machine(QJsonObject{{"files", section}});
        if (!machine.loaded())
            fail(machine.loadError());
        win::sim::SimMachine::makeCurrent(nullptr);
        QString error;
        if (!machine->save(&error))   // as the program writes it
            fail(error);
        const double textMB = QFileInfo(machine.folder() + QStringLiteral("/machine.json")).size() / 1048576.0;
        x << facts;
        rows << measure(machine.folder(), section, facts);
        const Figures& f = rows.last();
        std::printf("%d facts (%.0f MB of machine.json): load %.0f ms, %.0f MB held; every file's facts %.0f ms; "
                    "removed folder by folder %.0f ms; save after one change %.0f ms\n",
                    facts, textMB, f.load, f.megabytes, f.lookups, f.removals, f.save);
        std::fflush(stdout);
    }
    const auto exponent = [&](double Figures::*field) {
        QVector<double> y;
        for (const Figures& f : rows)
            y << f.*field;
        return growthExponent(x, y);
    };
    std::printf("growth exponent: load %.2f, memory %.2f, lookups %.2f, removals %.2f, save %.2f (goal <= 1.1)\n",
                exponent(&Figures::load), exponent(&Figures::megabytes), exponent(&Figures::lookups),
                exponent(&Figures::removals), exponent(&Figures::save));
    return 0;
}

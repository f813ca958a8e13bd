// The one-click engine's figures, medians of five rounds:
//  - the cache step emptying a tree of 10,000, 100,000 and 1,000,000 small
//    files (100 to a folder) in the user's temporary folder, against
//    `find DIR -type f -delete` on an identical tree. Each round builds both
//    trees afresh and times the two in turn, the other one first in every
//    other round; the median of the rounds' ratios is printed (goal: at most
//    1.15 × find at 100,000 and 1,000,000 files);
//  - the folder size the storage step measures, on a tree of 100,000 and
//    1,000,000 files, against `du -sb` on the same tree, in turn as above
//    (goal: at most 1.15 × du);
//  - both again on a machine whose machine.json holds a fact for every file
//    (a last write time, as the machine generator gives them), at 100,000
//    and 1,000,000 files (goals as above);
//  - a whole one-click run on the sample machine with the waiting seam set
//    not to sleep (goal: under 1 s).
// Build in release (-DCMAKE_BUILD_TYPE=Release) and run by hand, with TMPDIR
// on a RAM disk so that the disk's own swings stay out of the figures:
//   bench_engine                   every size
//   bench_engine 10000 100000      the cache step and the folder size at these sizes only
#include "MachineFolder.h"
#include "MachineGenerator.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

const int FilesPerFolder = 100;
const int Rounds = 5;
const double GoalRatio = 1.15;
const QString TempFolder = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp");
// Where the machine generator puts its files, so that its facts name them.
const QString TreeFolder = TempFolder + QStringLiteral("\\Generated");

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_engine: %s\n", qPrintable(what));
    std::exit(1);
}

void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void writeTree(const QString& hostFolder, int files)
{
    QString error;
    if (!MachineGenerator::writeFileTree(hostFolder, files, FilesPerFolder, &error))
        fail(error);
    sync();
}

// Runs a command line tool to its end and answers its time.
double timeTool(const QString& program, const QStringList& arguments)
{
    QElapsedTimer timer;
    timer.start();
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        fail(QStringLiteral("%1 failed").arg(program));
    return elapsedMs(timer);
}

struct Pair
{
    double ours = 0;
    double theirs = 0;
};

// The median times and the median of the rounds' ratios.
struct Result
{
    double ours = 0;
    double theirs = 0;
    double ratio = 0;
};

// Runs `rounds` rounds of the two, in turn, the other one first in every other round.
Result alternate(int rounds, const std::function<Pair(bool oursFirst)>& round)
{
    std::vector<double> ours;
    std::vector<double> theirs;
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        const Pair pair = round(r % 2 == 1);
        ours.push_back(pair.ours);
        theirs.push_back(pair.theirs);
        ratios.push_back(pair.ours / pair.theirs);
    }
    return {median(ours), median(theirs), median(ratios)};
}

// The cache step's own time, on a machine whose temporary folder holds a
// tree of `files` files: from its announcement to the memory step's.
double timeCacheStep(int files)
{
    OptimizeCore core;
    QElapsedTimer clock;
    qint64 started = -1;
    qint64 ended = -1;
    QObject::connect(&core, &OptimizeCore::progressUpdated, [&](int step, int percent) {
        if (step == 1 && percent == 10)
            started = clock.nsecsElapsed();
        if (step == 2 && percent == 30)
            ended = clock.nsecsElapsed();
    });
    clock.start();
    core.startOptimize();
    if (core.junkFilesCount() < files)
        fail(QStringLiteral("the cache step removed only %1 of %2 files").arg(core.junkFilesCount()).arg(files));
    return double(ended - started) / 1e6;
}

QJsonObject machineWith(const QJsonObject& facts)
{
    return facts.isEmpty() ? QJsonObject() : QJsonObject{{"files", facts}};
}

Pair cacheStepRound(int files, const QJsonObject& facts, bool oursFirst)
{
    TestMachine machine(machineWith(facts));
    writeTree(machine.hostPath(TreeFolder), files);
    QTemporaryDir other;
    const QString tree = other.filePath(QStringLiteral("Temp"));
    writeTree(tree, files);
    const auto find = [&tree] {
        return timeTool(QStringLiteral("find"), {tree, QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-delete")});
    };
    Pair pair;
    if (oursFirst) {
        pair.ours = timeCacheStep(files);
        pair.theirs = find();
    } else {
        pair.theirs = find();
        pair.ours = timeCacheStep(files);
    }
    return pair;
}

Pair folderSizeRound(TestMachine& machine, int files, bool oursFirst)
{
    const auto ours = [&machine, files] {
        OptimizeCore core;
        QElapsedTimer timer;
        timer.start();
        const qint64 bytes = core.directorySize(TempFolder);
        const double ms = elapsedMs(timer);
        if (bytes < files)
            fail(QStringLiteral("the folder size counted only %1 bytes").arg(bytes));
        return ms;
    };
    const auto du = [&machine] { return timeTool(QStringLiteral("du"), {QStringLiteral("-sb"), machine.hostPath(TempFolder)}); };
    Pair pair;
    if (oursFirst) {
        pair.ours = ours();
        pair.theirs = du();
    } else {
        pair.theirs = du();
        pair.ours = ours();
    }
    return pair;
}

void printLine(const char* what, int files, bool withFacts, const char* tool, const Result& result, bool goal)
{
    std::printf("%s, %d files%s: %.0f ms; %s: %.0f ms; ratio %.2f%s\n", what, files, withFacts ? " with facts" : "",
                result.ours, tool, result.theirs, result.ratio, goal ? " (goal <= 1.15)" : "");
    std::fflush(stdout);
}

double timeSampleRun(int* cleanedMB)
{
    const QString sample = QStringLiteral(TESSARO_SOURCE_DIR "/machines/sample");
    QTemporaryDir copy;
    win::sim::SimMachine machine;
    QString error;
    if (!loadMachineCopy(sample, copy.filePath(QStringLiteral("machine")), machine, &error))
        fail(error);
    win::sim::SimMachine::makeCurrent(&machine);
    OptimizeCore core;
    QElapsedTimer timer;
    timer.start();
    core.startOptimize();
    const double elapsed = elapsedMs(timer);
    *cleanedMB = core.cleanedMB();
    win::sim::SimMachine::makeCurrent(nullptr);
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silence);
    QVector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << std::max(1, std::atoi(argv[i]));
    const bool everything = sizes.isEmpty();
    const QVector<int> cacheSizes = everything ? QVector<int>{10000, 100000, 1000000} : sizes;
    const QVector<int> folderSizes = everything ? QVector<int>{100000, 1000000} : sizes;
    std::printf("bench_engine: medians of %d rounds, %d files to a folder, TMPDIR=%s\n", Rounds, FilesPerFolder,
                qPrintable(QDir::tempPath()));

    for (bool withFacts : {false, true}) {
        for (int files : cacheSizes) {
            if (withFacts && everything && files < 100000)
                continue;
            const QJsonObject facts = withFacts ? MachineGenerator::fileFacts(files) : QJsonObject();
            const Result result = alternate(Rounds, [files, &facts](bool oursFirst) {
                return cacheStepRound(files, facts, oursFirst);
            });
            printLine("cache step", files, withFacts, "find -type f -delete", result, files >= 100000);
        }
        for (int files : folderSizes) {
            TestMachine machine(machineWith(withFacts ? MachineGenerator::fileFacts(files) : QJsonObject()));
            writeTree(machine.hostPath(TreeFolder), files);
            const Result result =
                alternate(Rounds, [&machine, files](bool oursFirst) { return folderSizeRound(machine, files, oursFirst); });
            printLine("folder size", files, withFacts, "du -sb", result, true);
        }
    }
    if (everything) {
        int cleaned = 0;
        std::vector<double> runs;
        for (int r = 0; r < Rounds; ++r)
            runs.push_back(timeSampleRun(&cleaned));
        std::printf("one-click run on the sample machine: %.0f ms, %d MB cleaned (goal < 1000 ms)\n", median(runs), cleaned);
    }
    return 0;
}

// Switching startup entries off, in the startup manager and through the
// deep-optimisation executor.
//
// 1. 200 rounds of a fresh manager scanning 200 entries and disabling one
//    (the way each startup item once used the manager). The entries carry
//    version resources and the folder entries are shortcuts, so every scan
//    reads descriptions and approval states. Goal: under 1 s.
// 2. The manager switching every entry off in one call, and the executor
//    running one "ST:" item per entry (approval values: Windows 10, the Run
//    keys of both hives and the 32-bit machine Run key), at three sizes; the
//    growth exponent between the smallest and the largest (time ∝
//    size^exponent). Goals: exponent at most 1.1 for both; 8,000 entries
//    switched off under 0.5 s.
//
//   bench_startup_manager                 everything, medians of three rounds
//   bench_startup_manager SIZE [ROUNDS]   part 2 at one size (for a profiler)
#include "TestMachine.h"
#include "common/FileLogger.h"
#include "maintenance/StartupManager.h"
#include "phase2/Phase2Executor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int RunEntries = 180;
constexpr int FolderEntries = 20;
constexpr qint64 RoundsGoalMs = 1000;
constexpr int Sizes[] = {2000, 8000, 32000};
constexpr int GoalSize = 8000;
constexpr qint64 SwitchGoalMs = 500;
constexpr double GoalExponent = 1.1;

struct RunKey
{
    QString path;
    QString label;
    int type;   // the report's location number
};

const RunKey RunKeys[] = {
    {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "HKCU_Run", 2},
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "HKLM_Run", 1},
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "HKLM_Run32", 5}};
const QString UserStartup = "C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";

QString addProgram(TestMachine& machine, int i)
{
    const QString program = QString("C:\\Program Files\\Vendor %1\\app%2.exe").arg(i % 30).arg(i);
    machine.addFile(program, "MZ");
    win::sim::SimVersionResource resource;
    resource.strings.insert("FileDescription", QString("Application %1").arg(i));
    machine->system().versionResources.insert(program, resource);
    return program;
}

QStringList buildRoundsMachine(TestMachine& machine)
{
    QStringList names;
    for (int i = 0; i < RunEntries; ++i) {
        const QString name = QString("Startup%1").arg(i);
        machine.setText(RunKeys[i % 3].path, name, '"' + addProgram(machine, i) + "\" /background");
        names << name;
    }
    for (int i = 0; i < FolderEntries; ++i) {
        const QString name = QString("Shortcut %1.lnk").arg(i);
        machine.addFile(UserStartup + name, addProgram(machine, RunEntries + i).toUtf8());
        names << name;
    }
    return names;
}

qint64 scanRounds()
{
    TestMachine machine;
    const QStringList names = buildRoundsMachine(machine);
    QElapsedTimer timer;
    timer.start();
    int disabled = 0;
    for (const QString& name : names) {
        StartupManager manager;
        manager.scanItems();
        disabled += manager.disableItems({name});
    }
    const qint64 ms = timer.elapsed();
    if (disabled != names.size())
        std::printf("only %d of %d entries were switched off\n", disabled, int(names.size()));
    return ms;
}

// `size` Run entries spread over the three Run keys, without program files:
// what is measured is the switching, not the description lookup.
QVector<OptItem> addRunEntries(TestMachine& machine, int size)
{
    QVector<OptItem> items;
    for (int i = 0; i < size; ++i) {
        const RunKey& key = RunKeys[i % 3];
        const QString name = QString("Startup%1").arg(i);
        machine.setText(key.path, name, QString("C:\\Tools\\app%1.exe /background").arg(i));
        OptItem item;
        item.id = QString("ST:%1:%2").arg(key.type).arg(name);
        item.name = name;
        items << item;
    }
    return items;
}

struct Measure
{
    double managerMs = 0;
    double executorMs = 0;
};

Measure measureOnce(int size)
{
    Measure measure;
    {
        TestMachine machine;
        const QVector<OptItem> items = addRunEntries(machine, size);
        QStringList names;
        for (const OptItem& item : items)
            names << item.name;
        StartupManager manager;
        manager.scanItems();
        QElapsedTimer timer;
        timer.start();
        const int switched = manager.disableItems(names);
        measure.managerMs = double(timer.nsecsElapsed()) / 1e6;
        if (switched != size)
            std::printf("the manager switched %d of %d entries off\n", switched, size);
    }
    {
        TestMachine machine;
        const QVector<OptItem> items = addRunEntries(machine, size);
        Phase2Executor executor;
        QString summary;
        QObject::connect(&executor, &Phase2Executor::finished, [&summary](const QString& text) { summary = text; });
        QElapsedTimer timer;
        timer.start();
        executor.execute(items, ScanReportBundle(), 1, 256);
        measure.executorMs = double(timer.nsecsElapsed()) / 1e6;
        const int switched = int(summary.count(QStringLiteral("已禁用开机自启：")));
        if (switched != size)
            std::printf("the executor switched %d of %d entries off\n", switched, size);
    }
    return measure;
}

Measure medianOf(int size, int rounds)
{
    std::vector<double> manager;
    std::vector<double> executor;
    for (int round = 0; round < rounds; ++round) {
        const Measure once = measureOnce(size);
        manager.push_back(once.managerMs);
        executor.push_back(once.executorMs);
    }
    std::sort(manager.begin(), manager.end());
    std::sort(executor.begin(), executor.end());
    return {manager[manager.size() / 2], executor[executor.size() / 2]};
}

double exponentOf(double smallMs, double largeMs, double sizeRatio)
{
    return std::log(largeMs / smallMs) / std::log(sizeRatio);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir logDir;
    FileLogger::instance()->init(logDir.path());

    if (argc > 1) {
        const int size = QString::fromLocal8Bit(argv[1]).toInt();
        const int rounds = qMax(1, argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1);
        const Measure measure = medianOf(size, rounds);
        std::printf("%d entries: manager %.1f ms, executor %.1f ms\n", size, measure.managerMs, measure.executorMs);
        return 0;
    }

    const qint64 roundsMs = scanRounds();
    std::printf("%d scans of %d entries, each disabling one: %lld ms (goal < %lld ms)\n", RunEntries + FolderEntries,
                RunEntries + FolderEntries, static_cast<long long>(roundsMs), static_cast<long long>(RoundsGoalMs));

    std::vector<Measure> medians;
    for (int size : Sizes) {
        medians.push_back(medianOf(size, 3));
        std::printf("%6d entries: manager switching all off %.1f ms, executor's ST: items %.1f ms\n", size,
                    medians.back().managerMs, medians.back().executorMs);
    }
    const double ratio = double(Sizes[2]) / double(Sizes[0]);
    const double managerExponent = exponentOf(medians[0].managerMs, medians[2].managerMs, ratio);
    const double executorExponent = exponentOf(medians[0].executorMs, medians[2].executorMs, ratio);
    const Measure& atGoal = medians[1];
    std::printf("exponent %d to %d: manager %.2f, executor %.2f (goal <= %.1f)\n", Sizes[0], Sizes[2], managerExponent,
                executorExponent, GoalExponent);
    std::printf("%d entries switched off: manager %.0f ms, executor %.0f ms (goal < %lld ms)\n", GoalSize,
                atGoal.managerMs, atGoal.executorMs, static_cast<long long>(SwitchGoalMs));
    const bool met = roundsMs < RoundsGoalMs && managerExponent <= GoalExponent && executorExponent <= GoalExponent
                     && atGoal.managerMs < SwitchGoalMs && atGoal.executorMs < SwitchGoalMs;
    return met ? 0 : 1;
}

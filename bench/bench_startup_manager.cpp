// The way the deep-optimisation run uses the startup manager: for each of 200
// startup entries a fresh manager scans every location and disables that one
// entry. The entries carry version resources and the folder entries are
// shortcuts, so every scan reads descriptions and approval states.
// Goal (release build): the 200 rounds under the 1 s that a whole phase-2 run
// of 200 startup items may take.
#include "TestMachine.h"
#include "common/FileLogger.h"
#include "maintenance/StartupManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int RunEntries = 180;
constexpr int FolderEntries = 20;
constexpr qint64 GoalMs = 1000;

const QString RunKeys[] = {
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"};
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

QStringList buildMachine(TestMachine& machine)
{
    QStringList names;
    for (int i = 0; i < RunEntries; ++i) {
        const QString name = QString("Startup%1").arg(i);
        machine.setText(RunKeys[i % 3], name, '"' + addProgram(machine, i) + "\" /background");
        names << name;
    }
    for (int i = 0; i < FolderEntries; ++i) {
        const QString name = QString("Shortcut %1").arg(i);
        machine.addFile(UserStartup + name + ".lnk", addProgram(machine, RunEntries + i).toUtf8());
        names << name;
    }
    return names;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir logDir;
    FileLogger::instance()->init(logDir.path());
    TestMachine machine;
    const QStringList names = buildMachine(machine);

    QElapsedTimer timer;
    timer.start();
    int disabled = 0;
    for (const QString& name : names) {
        StartupManager manager;
        manager.scanItems();
        disabled += manager.disableItems({name});
    }
    const qint64 ms = timer.elapsed();
    std::printf("%d scans of %d entries, %d disabled: %lld ms (goal < %lld ms)\n", int(names.size()),
                int(names.size()), disabled, static_cast<long long>(ms), static_cast<long long>(GoalMs));
    return disabled == names.size() && ms < GoalMs ? 0 : 1;
}

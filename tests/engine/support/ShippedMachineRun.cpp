#include "ShippedMachineRun.h"

#include "MachineFolder.h"
#include "platform/FileSystem.h"
#include "scanners/SignatureStore.h"

#include <QCoreApplication>
#include <QSignalSpy>

using win::sim::SimMachine;

ShippedMachineRun::~ShippedMachineRun()
{
    if (machine && SimMachine::current() == machine.get())
        SimMachine::makeCurrent(nullptr);
}

QString ShippedMachineRun::run(const QString& name)
{
    if (!SignatureStore::instance().load(QCoreApplication::applicationDirPath() + QStringLiteral("/signatures"))
        || !SignatureStore::instance().isLoaded())
        return QStringLiteral("the shipped signatures must lie beside the test");
    log = std::make_unique<EngineLog>();
    machine = std::make_unique<SimMachine>();
    QString error;
    if (!dir.isValid() || !loadMachineCopy(QStringLiteral(TESSARO_SOURCE_DIR "/machines/") + name, folder(), *machine, &error))
        return error;
    SimMachine::makeCurrent(machine.get());
    freeBefore = machine->files().drive('C')->freeBytes;
    availableBefore = machine->system().memory.availableBytes;

    OptimizeCore core;
    QSignalSpy finished(&core, &OptimizeCore::optimizationFinished);
    QSignalSpy failed(&core, &OptimizeCore::errorOccurred);
    core.startOptimize();
    finishedSignals = finished.count();
    errors = failed.count();
    if (!finished.isEmpty())
        counts = finished.first();
    report = core.scanReport();
    return QString();
}

QStringList filesBelow(const QString& folder)
{
    QStringList names;
    win::FileWalker walker(folder);
    while (walker.next()) {
        if (!walker.entry().isDirectory())
            names << walker.entry().path.mid(folder.size() + 1);
    }
    names.sort();
    return names;
}

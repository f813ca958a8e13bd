#pragma once

#include "EngineLog.h"
#include "engine/OptimizeCore.h"
#include "platform/sim/SimMachine.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

// A copy of a shipped machine folder (machines/NAME) run once through the
// one-click engine, with what the run reported and what the machine held
// before it. The machine is current from the run until this goes.
struct ShippedMachineRun
{
    ~ShippedMachineRun();

    // Empty on success, else what went wrong before or during the run.
    QString run(const QString& name);
    QString folder() const { return dir.filePath(QStringLiteral("machine")); }

    QTemporaryDir dir;
    std::unique_ptr<EngineLog> log;   // keeps the engine's step lines out of the test output
    std::unique_ptr<win::sim::SimMachine> machine;
    QList<QVariant> counts;           // the arguments of optimizationFinished
    int finishedSignals = 0;
    int errors = 0;
    ScanReportBundle report;
    quint64 freeBefore = 0;           // of drive C
    quint64 availableBefore = 0;      // memory
};

// The files below a folder of the current machine, relative to it, sorted;
// links to folders are neither listed nor entered.
QStringList filesBelow(const QString& folder);

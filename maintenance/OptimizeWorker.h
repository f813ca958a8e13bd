#pragma once

#include "maintenance/OptimizeStats.h"

#include <QObject>
#include <QStringList>
#include <atomic>

class CleanupManager;
class DiskMaintainer;
class MemoryVelantrix;
class StartupManager;
class SystemSettings;

// Runs the maintenance managers as one blocking pipeline of seven steps
// (environment check, scan, cleanup, memory, settings, disk, startup scan),
// announcing each with its index, a percentage, a status and a tip. It can
// be cancelled between steps and reports only through signals and the log.
class OptimizeWorker : public QObject
{
    Q_OBJECT

public:
    explicit OptimizeWorker(QObject* parent = nullptr);

    OptimizeStats stats() const { return m_stats; }
    StartupManager* startupManager() const { return m_startup; }

public slots:
    void startOptimize();
    // Safe to call from any thread while a run is in progress: the run stops
    // before its next step.
    void cancelOptimize();

signals:
    void progressChanged(int percent, QString status, QString tip);
    void stepChanged(int stepIndex, QString stepName);
    void optimizeFinished(bool success);
    void optimizeError(QString errorMsg);

private:
    bool runSteps();
    void announce(int index, const QString& name, int percent, const QString& status);
    bool checkEnvironment();
    void scanStep();
    void cleanStep();
    void memoryStep();
    void settingsStep();
    void diskStep();
    void startupStep();
    QString randomTip() const;

    CleanupManager* m_cleanup;
    MemoryVelantrix* m_memory;
    SystemSettings* m_settings;
    DiskMaintainer* m_disk;
    StartupManager* m_startup;
    OptimizeStats m_stats;
    std::atomic<bool> m_cancelled{false};
    quint64 m_startTickMs = 0;
    QStringList m_tips;
};

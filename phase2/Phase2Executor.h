#pragma once

#include "common/ServiceStartChange.h"
#include "common/ScanReportBundle.h"
#include "phase2/OptItem.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class LeftoverCleaner;
class StartupManager;
struct StartupLocation;

// Carries out the ticked deep-optimisation items one after another on the
// phase-2 worker thread: one result line per item, a progress report after
// each, and one summary at the end. It never touches the user interface and
// cannot be cancelled; a failed item only shows in its own line.
class Phase2Executor : public QObject
{
    Q_OBJECT

public:
    explicit Phase2Executor(QObject* parent = nullptr);
    ~Phase2Executor() override;

signals:
    void progressUpdated(int percent, QString status);
    void finished(QString summary);
    void errorOccurred(QString msg);

public slots:
    // Blocks its thread until every item has run.
    void execute(QVector<OptItem> items, ScanReportBundle report, int h2KeepN, int a2SizeMB);

private:
    void runItem(const OptItem& item, const ScanReportBundle& report, int h2KeepN, int a2SizeMB,
                 QStringList& lines);

    void setServiceManual(const OptItem& item, QStringList& lines);
    ServiceStartChange::Outcome setServiceStartType(const QString& service, int startType);
    void restoreTcpAutoTuning(QStringList& lines);
    void disableDiskDiagnostics(QStringList& lines);
    bool disableTaskFolder(const QString& folderPath);
    void limitEventLogs(int sizeMB, QStringList& lines);
    void pruneRestorePoints(int keepN, QStringList& lines);
    void scanLargeFiles(QStringList& lines);
    void disableStartupItem(const OptItem& item, const ScanReportBundle& report, QStringList& lines);
    void disableListedStartupItem(const StartupLocation& location, const QString& name, QStringList& lines);
    void disablePolicyStartupItem(const QVector<const StartupLocation*>& locations, const QString& name,
                                  QStringList& lines);
    void cleanResidue(const QString& junkwareId, const ScanReportBundle& report, QStringList& lines);

    // The startup entries as a fresh scan would find them now. A scan switches
    // legacy backups off under their plain names, which only the next scan
    // lists; from the second scan on, a rescan finds what the last one found
    // but for the entries the manager switched itself, which its list already
    // holds. So consecutive startup items share the second scan, and any
    // other item, which may change what a scan finds, drops it.
    StartupManager& scannedStartupManager();
    void forgetStartupScan();

    int m_done = 0;
    int m_total = 0;
    std::unique_ptr<StartupManager> m_startupScan;
    int m_startupScans = 0;
    // The leftover items of the run in progress share one look at the machine.
    std::unique_ptr<LeftoverCleaner> m_leftovers;
};

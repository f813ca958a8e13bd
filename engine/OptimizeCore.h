#pragma once

#include "common/DiskType.h"
#include "common/ScanReportBundle.h"
#include "platform/RegistryKey.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

struct UninstallRoot;

// The one-click optimisation engine. One instance serves one run: the main
// window moves it to a worker thread and starts startOptimize() from the
// thread's started signal. Every effect goes through the platform layer.
class OptimizeCore : public QObject
{
    Q_OBJECT

public:
    explicit OptimizeCore(QObject* parent = nullptr);
    ~OptimizeCore() override;

    int cleanedMB() const { return m_cleanedMB; }
    int freedMemoryMB() const { return m_freedMemoryMB; }
    int junkFilesCount() const { return m_junkFilesCount; }
    int startupFasterSeconds() const { return m_startupFasterSeconds; }
    int startupItemsCount() const { return m_startupItemsCount; }
    const ScanReportBundle& scanReport() const { return m_report; }

    // The engine's only logging call: every step line, not only errors.
    void logError(const QString& message);
    void emitProgress(int step, int percent, const QString& text);

    bool isWin7() const;
    bool isWin8OrLater() const;
    bool isWin10OrLater() const;

    // Engine system utilities shared by the work steps; each stands on its own
    // (OptimizeCoreUtilities.cpp).
    bool setRegistryDword(win::Hive root, const QString& subKey, const QString& valueName, quint32 value);
    bool setRegistryString(win::Hive root, const QString& subKey, const QString& valueName, const QString& value);
    bool disableService(const QString& serviceName);
    bool startServiceByName(const QString& serviceName);
    bool stopServiceAndWait(const QString& serviceName);
    bool isProcessRunning(const QString& exeName);
    qint64 directorySize(const QString& path);
    bool hasVirtualPrinter();
    bool isSystemDiskSsd(const QString& drive);
    QString expandEnvironmentPath(const QString& path);

signals:
    void progressUpdated(int step, int percent, QString statusText);
    void optimizationFinished(int cleanedMB, int freedMemoryMB, int junkFilesCount,
                              int startupFasterSeconds, int startupItemsCount);
    void errorOccurred(QString errorMsg);

public slots:
    void startOptimize();

private:
    struct WorkStep
    {
        int step;
        int percent;
        QString text;
        std::function<void()> run;
    };

    // OptimizeCoreChecks.cpp
    bool checkAdminRights();
    bool checkOsVersion();
    void detectDomainMembership();
    bool queryPowerStatus(bool& hasBattery, bool& onBatteryPower, int& batteryPercent);
    bool detectSystemDrive(QString& drive);
    bool detectDualBoot(const QString& drive);
    bool bootManagerListsSeveralWindows();

    // The run (OptimizeCore.cpp).
    bool interruptionRequested() const;
    bool runWorkSteps(const QString& drive);
    void finishRun();

    // Work steps, in run order, each in a source named after it.
    int cleanSystemCaches(const QString& drive);
    int optimizeMemory();
    void applySystemSettings();
    void applyPrivacySettings();
    void optimizeStorage(const QString& drive);
    int scanStartupItems();
    int scanUninstallResidue();
    void runPhase1Scan();

    // Step 1: caches (OptimizeCoreCacheStep.cpp).
    qint64 cleanDirectory(const QString& path, const QStringList& patterns);
    qint64 cleanDirectoryOlderThan(const QString& path, int hours, const QStringList& patterns);
    qint64 cleanFolder(const QString& path, const QStringList& patterns, const QDateTime& modifiedBefore, int hours);
    qint64 cleanDotNetTemporaryFiles(const QString& windowsDir, const QString& localAppData);
    qint64 cleanSystemFileCaches(const QString& drive);
    qint64 cleanFontCache();
    qint64 cleanDeliveryOptimisation(const QString& drive);
    qint64 cleanLegacyCaches(const QString& windowsDir, const QString& localAppData);
    bool systemDriveUsage(const QString& drive, double* usagePercent, quint64* totalBytes, quint64* freeBytes);
    void queryServiceState(const QString& serviceName, bool* running, bool* pending);

    // Step 2: memory (OptimizeCoreMemoryStep.cpp).
    void trimWorkingSets();

    // Step 3: settings (OptimizeCoreSettingsStep.cpp).
    void applyBootConfiguration();
    void applyAdapterPowerManagement();
    void disableRarelyUsedServices();

    // Step 4: privacy (OptimizeCorePrivacyStep.cpp).
    void disableTelemetryTasks();

    // Step 5: storage (OptimizeCoreStorageStep.cpp).
    void decideStorage(int ramGB, int diskGB, int freeGB);
    void applyStorageDecision(const QString& drive, int ramGB);
    void applyFastStartup(int waitMs);
    void maintainDisk(const QString& drive, DiskType kind);

    // Step 6: startup entries and leftovers (OptimizeCoreStartupResidueSteps.cpp),
    // and the report (OptimizeCoreReportStep.cpp).
    int countTextValues(win::Hive root, const QString& subKey);
    void countShellAndAppInitHijacks();
    void countStartupFolderEntries(const QString& folder);
    int countBootAndLogonTasks();
    static bool isResidue(const UninstallRoot& root, const win::RegistryKey& entry);
    void logReportRecords();


    int m_cleanedMB = 0;
    int m_freedMemoryMB = 0;
    int m_junkFilesCount = 0;
    int m_startupFasterSeconds = 0;
    int m_startupItemsCount = 0;
    int m_uninstallResidueCount = 0;
    StorageDecision m_storage;
    ScanReportBundle m_report;
    int m_osMajor = 0;
    int m_osMinor = 0;
    int m_osBuild = 0;
    bool m_hasBattery = false;
    bool m_onBatteryPower = false;
    int m_batteryPercent = -1;
    bool m_isDomainJoined = false;
    QString m_systemDrive;
    bool m_isDualBoot = false;
    int m_startupCount = 0;
};

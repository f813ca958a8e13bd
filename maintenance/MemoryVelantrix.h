#pragma once

#include <QObject>
#include <QStringList>

// Frees physical memory in one blocking call: purges the standby list,
// empties the working sets of the processes that may be trimmed and sets the
// system file cache's maximum to half of physical memory while the run lasts.
class MemoryVelantrix : public QObject
{
    Q_OBJECT

public:
    explicit MemoryVelantrix(QObject* parent = nullptr);

    // Answers the megabytes freed, also sent as optimizeCompleted.
    qulonglong optimize();
    qulonglong availableBeforeMB() const { return availBeforeMB; }
    qulonglong availableAfterMB() const { return availAfterMB; }

signals:
    void progressUpdated(int percent, QString status);
    void optimizeCompleted(qulonglong freedMB);

private:
    // The file-cache limits in force before the cap, to be put back after it.
    struct FileCacheLimits
    {
        bool capped = false;
        quint32 minimumBytes = 0;
        quint32 maximumBytes = 0;
        quint32 flags = 0;
    };

    bool purgeStandbyList();
    qulonglong trimWorkingSets();
    bool limitSystemFileCache();
    void releaseSystemFileCacheLimit();
    quint32 foregroundProcessId() const;
    bool isExcludedProcess(const QString& name) const;

    qulonglong availBeforeMB = 0;
    qulonglong availAfterMB = 0;
    QStringList m_excludedProcesses;
    FileCacheLimits m_fileCacheBefore;
};

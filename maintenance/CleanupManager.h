#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Measures and removes junk files of the current user and of Windows: the
// system cleanup tool with its stored preset, the caches of common browsers,
// the user's and the Windows temporary folders and Explorer's thumbnail
// cache. Sizes are reported in whole megabytes of what is really gone.
class CleanupManager : public QObject
{
    Q_OBJECT

public:
    explicit CleanupManager(QObject* parent = nullptr);

    // Measures without changing anything; also sent as scanCompleted.
    qulonglong scanCleanableSpace();
    // Cleans; answers the megabytes freed, also sent as cleanupCompleted.
    qulonglong performCleanup();

signals:
    void progressUpdated(int percent, QString currentItem);
    void scanCompleted(qulonglong totalSizeMB);
    void cleanupCompleted(qulonglong cleanedSizeMB);

private:
    // Sizes below are in bytes; they become megabytes only where reported,
    // so that many small files add up to what they free together.
    quint64 calculateDirectorySize(const QString& path) const;
    quint64 deleteDirectoryContents(const QString& path) const;
    quint64 cleanBrowserCache() const;
    quint64 cleanTempFiles() const;
    quint64 cleanThumbnailCache() const;
    quint64 runSystemCleanup() const;
    QStringList browserCachePaths() const;
    bool isSafePath(const QString& path) const;
    void configureCleanupPreset();

    QString homeFolder() const;
    QString temporaryFolder() const;
    QString thumbnailFolder() const;

    bool m_presetConfigured = false;
};

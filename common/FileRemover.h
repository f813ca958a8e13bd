#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// What a removal really took away: only files that are gone are counted.
struct RemovalTally
{
    qint64 bytes = 0;
    int files = 0;
};

// The one way the program deletes files. It looks at each entry itself before
// anything else: a link is removed as a link and never entered, the folders
// that must never be emptied are refused, nothing below the program's own
// folder is touched, and folders are never removed.
class FileRemover
{
public:
    // `programFolder` is the running program's folder on the machine (empty
    // when the program does not lie on one of its drives).
    explicit FileRemover(const QString& programFolder);
    FileRemover();

    // A folder path that must not be emptied: empty, relative, still holding a
    // '%' (an unexpanded variable), a drive root or the Windows folder itself.
    bool isRefusedFolder(const QString& folder) const;
    bool isInsideProgramFolder(const QString& path) const;

    // Removes the files below `folder` whose names match one of the wildcard
    // patterns (every file when the list is empty) and, when `modifiedBefore`
    // is valid, whose last change lies before it.
    RemovalTally removeFiles(const QString& folder, const QStringList& patterns,
                             const QDateTime& modifiedBefore = QDateTime()) const;
    // Removes one file; `bytes` receives its size when it is gone.
    bool removeFile(const QString& path, qint64* bytes) const;

private:
    QString m_windowsFolder;
    QString m_programFolder;
};

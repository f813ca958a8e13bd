#pragma once

#include "common/ProtectedFolders.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// What a removal really took away: only what is gone is counted.
struct RemovalTally
{
    qint64 bytes = 0;   // sizes of the removed files (a link frees nothing: 0)
    int files = 0;      // files and links removed
    int folders = 0;    // folders removed
};

// What removePath did with one path.
struct PathRemoval
{
    bool refused = false;   // the path is protected (or unusable): nothing was touched
    bool gone = false;      // the path no longer exists (also when it never did)
    RemovalTally removed;
};

// The one way the program deletes files and folders. Every call first asks
// the protection rule (ProtectedFolders) about the path it is given, walks
// link-safely (the walk opens each folder once and never through a link), and
// looks at each entry itself before touching it: a link is removed as a
// link, never followed, never entered. Nothing inside the program's portable
// layout is ever touched, and a walk never touches a protected folder it
// meets below the folder it was given, nor anything below that.
class FileRemover
{
public:
    // Called once for each file or link removed, with its size (0 for a link).
    using RemovedFile = std::function<void(const QString& path, qint64 bytes)>;

    // The rule of the running machine and program.
    FileRemover();
    explicit FileRemover(const ProtectedFolders& rule);

    // Deletes the files below `folder` whose names match one of the wildcard
    // patterns (every file when the list is empty) and, when `modifiedBefore`
    // is valid, whose last change lies before it; folders stay, and so do
    // links to folders. Refuses (deletes nothing) when the rule refuses to
    // empty `folder` (ProtectedFolders::refusesEmptying): an unusable path, a
    // drive root, a system or profile folder, the portable layout.
    RemovalTally removeFiles(const QString& folder, const QStringList& patterns,
                             const QDateTime& modifiedBefore = QDateTime()) const;

    // Empties `folder`: deletes every file and link below it and removes
    // every subfolder that is then empty, bottom-up; `folder` itself stays.
    // A link to a folder goes as a link. `removedFile` hears of each file or
    // link that is gone, with its size. Refuses what removeFiles refuses.
    RemovalTally emptyFolder(const QString& folder, const RemovedFile& removedFile = RemovedFile()) const;

    // Removes one path whole: a file; a link, as a link; or a folder with
    // everything below it, bottom-up. Refuses (touches nothing) when the rule
    // refuses to remove the path (ProtectedFolders::refusesRemoving): an
    // unusable path, a protected folder, any folder holding one, anything in
    // the portable layout. What cannot be deleted (locked, read-only) stays,
    // and with it the folders that hold it.
    PathRemoval removePath(const QString& path) const;

    // Deletes one file (or a link to a file); `bytes` receives its size when
    // it is gone. Refuses a folder and what removePath refuses.
    bool removeFile(const QString& path, qint64* bytes) const;

    const ProtectedFolders& rule() const { return m_rule; }

private:
    struct Walk;
    RemovalTally walkAndRemove(const QString& folder, const Walk& walk) const;

    ProtectedFolders m_rule;
};

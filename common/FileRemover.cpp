#include "common/FileRemover.h"

#include "platform/FileSystem.h"

#include <algorithm>

// What one walk deletes.
struct FileRemover::Walk
{
    QStringList patterns;          // empty: every file
    QDateTime modifiedBefore;      // invalid: any age
    bool removeFolders = false;    // emptied subfolders and links to folders go too
    const RemovedFile* removedFile = nullptr;
};

namespace {

// `folders` are resolved; an entry's path is compared in the same form, so a
// name with trailing dots cannot slip past them.
bool isInsideAny(const QString& path, const QStringList& folders)
{
    QString resolved = path;
    win::fullPathName(path, &resolved);
    return std::any_of(folders.begin(), folders.end(),
                       [&resolved](const QString& folder) { return ProtectedFolders::isSameOrBelow(resolved, folder); });
}

bool isWanted(const win::FileEntry& entry, const QStringList& patterns, const QDateTime& modifiedBefore)
{
    return (patterns.isEmpty() || win::matchesAnyWildcard(entry.name, patterns))
           && (!modifiedBefore.isValid() || entry.lastWriteTime < modifiedBefore);
}

} // namespace

FileRemover::FileRemover() = default;

FileRemover::FileRemover(const ProtectedFolders& rule) : m_rule(rule) {}

RemovalTally FileRemover::removeFiles(const QString& folder, const QStringList& patterns,
                                      const QDateTime& modifiedBefore) const
{
    Walk walk;
    walk.patterns = patterns;
    walk.modifiedBefore = modifiedBefore;
    return walkAndRemove(folder, walk);
}

RemovalTally FileRemover::emptyFolder(const QString& folder, const RemovedFile& removedFile) const
{
    Walk walk;
    walk.removeFolders = true;
    walk.removedFile = removedFile ? &removedFile : nullptr;
    return walkAndRemove(folder, walk);
}

RemovalTally FileRemover::walkAndRemove(const QString& folder, const Walk& walk) const
{
    RemovalTally tally;
    if (m_rule.refusesEmptying(folder))
        return tally;
    const QStringList fenced = m_rule.protectedInside(folder);
    win::FileWalker walker(folder, walk.removeFolders ? win::FileWalker::FoldersAfterContents
                                                      : win::FileWalker::FilesOnly);
    while (walker.next()) {
        const win::FileEntry& entry = walker.entry();   // stays as it is until the next step
        if (!fenced.isEmpty() && isInsideAny(entry.path, fenced))
            continue;
        if (entry.isDirectory() && !entry.isReparsePoint()) {
            if (walker.isFolderDone() && walker.removeCurrentFolder() == win::ErrorSuccess)
                ++tally.folders;
            continue;
        }
        if (entry.isDirectory() && !walk.removeFolders)
            continue;   // a link to a folder
        if (!isWanted(entry, walk.patterns, walk.modifiedBefore))
            continue;
        // A link frees nothing but its own entry; its target is not ours.
        const qint64 size = entry.isReparsePoint() ? 0 : qint64(entry.size);
        const win::Error result = entry.isDirectory() ? walker.removeCurrentFolder() : walker.deleteCurrentFile();
        if (result != win::ErrorSuccess)
            continue;
        tally.bytes += size;
        ++tally.files;
        if (walk.removedFile)
            (*walk.removedFile)(entry.path, size);
    }
    return tally;
}

// A path whose last removal succeeded is gone; only one that stayed is
// looked up again (asking after a name that is gone costs a look through its
// whole folder).
PathRemoval FileRemover::removePath(const QString& path) const
{
    PathRemoval result;
    result.refused = m_rule.refusesRemoving(path);
    if (result.refused)
        return result;
    win::FileEntry entry;
    const win::Error info = win::fileInfo(path, &entry);
    if (info != win::ErrorSuccess) {
        result.gone = !win::pathExists(path);
        return result;
    }
    bool removed = false;
    if (!entry.isDirectory()) {
        qint64 bytes = 0;
        removed = removeFile(path, &bytes);
        if (removed) {
            result.removed.bytes = bytes;
            result.removed.files = 1;
        }
    } else if (entry.isReparsePoint()) {
        removed = win::removeDirectory(path) == win::ErrorSuccess;
        result.removed.files = removed ? 1 : 0;
    } else {
        Walk walk;
        walk.removeFolders = true;
        result.removed = walkAndRemove(path, walk);
        removed = win::removeDirectory(path) == win::ErrorSuccess;
        if (removed)
            ++result.removed.folders;
    }
    result.gone = removed || !win::pathExists(path);
    return result;
}

bool FileRemover::removeFile(const QString& path, qint64* bytes) const
{
    win::FileEntry entry;
    if (m_rule.refusesRemoving(path) || win::fileInfo(path, &entry) != win::ErrorSuccess || entry.isDirectory())
        return false;
    if (win::deleteFile(path) != win::ErrorSuccess)
        return false;
    *bytes = entry.isReparsePoint() ? 0 : qint64(entry.size);
    return true;
}

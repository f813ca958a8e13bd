#include "common/FileRemover.h"

#include "common/EnvironmentPath.h"
#include "platform/FileSystem.h"

namespace {

bool isAbsoluteWindowsPath(const QString& path)
{
    return path.size() >= 3 && path.at(0).isLetter() && path.at(1) == ':'
           && (path.at(2) == '\\' || path.at(2) == '/');
}

bool isDriveRoot(const QString& path)
{
    return win::normalizedPath(path).size() <= 3;
}

} // namespace

FileRemover::FileRemover(const QString& programFolder)
    : m_windowsFolder(win::normalizedPath(expandEnvironmentPath(QStringLiteral("%SystemRoot%"))))
    , m_programFolder(programFolder)
{
}

FileRemover::FileRemover() : FileRemover(win::programFolder()) {}

bool FileRemover::isRefusedFolder(const QString& folder) const
{
    if (folder.trimmed().isEmpty() || !isAbsoluteWindowsPath(folder) || folder.contains('%')
        || win::normalizedPath(folder).split('\\').contains(QStringLiteral("..")))
        return true;
    if (isDriveRoot(folder))
        return true;
    return !m_windowsFolder.contains('%')
           && win::normalizedPath(folder).compare(m_windowsFolder, Qt::CaseInsensitive) == 0;
}

bool FileRemover::isInsideProgramFolder(const QString& path) const
{
    return !m_programFolder.isEmpty() && win::isSameOrInside(path, m_programFolder);
}

RemovalTally FileRemover::removeFiles(const QString& folder, const QStringList& patterns,
                                      const QDateTime& modifiedBefore) const
{
    RemovalTally tally;
    if (isRefusedFolder(folder) || !win::isDirectory(folder))
        return tally;
    win::FileWalker walker(folder);
    while (walker.next()) {
        const win::FileEntry& entry = walker.entry();
        if (entry.isDirectory())
            continue;
        if (!patterns.isEmpty() && !win::matchesAnyWildcard(entry.name, patterns))
            continue;
        if (modifiedBefore.isValid() && entry.lastWriteTime >= modifiedBefore)
            continue;
        if (isInsideProgramFolder(entry.path))
            continue;
        // A link frees nothing but its own entry; its target is not ours.
        const qint64 size = entry.isReparsePoint() ? 0 : qint64(entry.size);
        if (walker.deleteCurrentFile() == win::ErrorSuccess) {
            tally.bytes += size;
            ++tally.files;
        }
    }
    return tally;
}

bool FileRemover::removeFile(const QString& path, qint64* bytes) const
{
    win::FileEntry entry;
    if (isInsideProgramFolder(path) || win::fileInfo(path, &entry) != win::ErrorSuccess || entry.isDirectory())
        return false;
    if (win::deleteFile(path) != win::ErrorSuccess)
        return false;
    *bytes = entry.isReparsePoint() ? 0 : qint64(entry.size);
    return true;
}

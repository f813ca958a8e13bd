#include "platform/sim/SimFileWalker.h"

#include "platform/sim/SimFileSystem.h"

#include <QFile>

namespace win::sim {

SimFileWalker::SimFileWalker(const SimFileSystem& files, const QString& folder, bool reportFolders)
    : m_reportFolders(reportFolders)
{
    const DriveMapper::Resolved root = files.mapper().resolve(folder);
    if (!root.exists() || !root.entry.directory)
        return;
    HostFolder host = files.mapper().openFolder(root);
    const QString prefix = root.windowsPath.endsWith('\\') ? root.windowsPath : root.windowsPath + '\\';
    if (host.isOpen())
        m_levels.push_back({std::move(host), prefix, FileEntry(), QByteArray()});
}

bool SimFileWalker::next(const SimFileSystem& files)
{
    m_hasCurrent = false;
    m_folderDone = false;
    while (!m_levels.empty()) {
        Level& level = m_levels.back();
        const char* name = level.folder.nextName();
        if (!name) {
            if (finishLevel())
                return true;
            continue;
        }
        const HostEntry host = HostEntry::in(level.folder.fd(), name);
        if (!host.exists)
            continue;   // gone since the folder was read
        const QString windowsName = QFile::decodeName(name);
        const QString windowsPath = level.windowsPrefix + windowsName;
        if (host.directory) {
            // Opened without following a link: a folder swapped for one
            // since it was looked at stays closed and is passed over.
            HostFolder child(level.folder.fd(), name);
            if (child.isOpen())
                m_levels.push_back({std::move(child), windowsPath + '\\', files.describe(windowsPath, windowsName, host),
                                    QByteArray(name)});
            continue;
        }
        m_entry = files.describe(windowsPath, windowsName, host);
        m_currentName = name;
        m_hasCurrent = true;
        return true;
    }
    return false;
}

// Closes the level whose entries are all read; a folder below the first
// level then becomes the current entry when folders are reported.
bool SimFileWalker::finishLevel()
{
    Level done = std::move(m_levels.back());
    m_levels.pop_back();
    if (!m_reportFolders || m_levels.empty())
        return false;
    m_entry = done.self;
    m_currentName = done.hostName;
    m_hasCurrent = true;
    m_folderDone = true;
    return true;
}

Error SimFileWalker::deleteCurrentFile(SimFileSystem& files)
{
    if (!m_hasCurrent || m_folderDone)
        return m_hasCurrent ? ErrorAccessDenied : ErrorFileNotFound;
    const Error result = files.deleteFileAt(m_levels.back().folder.fd(), m_currentName.constData(), m_entry);
    if (result == ErrorSuccess)
        m_hasCurrent = false;
    return result;
}

Error SimFileWalker::removeCurrentFolder(SimFileSystem& files)
{
    if (!m_hasCurrent)
        return ErrorFileNotFound;
    const Error result = files.removeDirectoryAt(m_levels.back().folder.fd(), m_currentName.constData(), m_entry);
    if (result == ErrorSuccess)
        m_hasCurrent = false;
    return result;
}

} // namespace win::sim

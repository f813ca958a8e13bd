#include "platform/sim/SimFileWalker.h"

#include "platform/sim/SimFileSystem.h"

#include <algorithm>
#include <cstring>

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
        if (host.directory) {
            const QString windowsName = HostFolder::decodeName(name);
            const QString windowsPath = level.windowsPrefix + windowsName;
            // Opened without following a link: a folder swapped for one
            // since it was looked at stays closed and is passed over.
            HostFolder child(level.folder.fd(), name);
            if (child.isOpen())
                m_levels.push_back({std::move(child), windowsPath + '\\', files.describe(windowsPath, windowsName, host),
                                    QByteArray(name)});
            continue;
        }
        setNames(level.windowsPrefix, name);
        files.describe(&m_entry, host);
        m_currentName = name;
        m_hasCurrent = true;
        return true;
    }
    return false;
}

// The current entry's name and path, written into the buffers of the last
// entry's: a walk through a large tree then makes no copy of either.
void SimFileWalker::setNames(const QString& folderPrefix, const char* hostName)
{
    const int length = int(std::strlen(hostName));
    if (std::any_of(hostName, hostName + length, [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        m_entry.name = HostFolder::decodeName(hostName);
        m_entry.path = folderPrefix + m_entry.name;
        return;
    }
    m_entry.name.resize(length);
    m_entry.path.resize(folderPrefix.size() + length);
    QChar* name = m_entry.name.data();
    QChar* path = m_entry.path.data();
    std::memcpy(path, folderPrefix.constData(), size_t(folderPrefix.size()) * sizeof(QChar));
    for (int i = 0; i < length; ++i)
        name[i] = QLatin1Char(hostName[i]);
    std::memcpy(path + folderPrefix.size(), name, size_t(length) * sizeof(QChar));
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

#include "platform/sim/SimFileWalker.h"

#include "platform/sim/SimFileSystem.h"

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

namespace {

// Eight bytes at a time: a walk asks this of every name it meets.
bool isAscii(const char* text, int length)
{
    constexpr quint64 HighBits = 0x8080808080808080ULL;
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        quint64 word;
        std::memcpy(&word, text + i, sizeof word);
        if (word & HighBits)
            return false;
    }
    for (; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) & 0x80)
            return false;
    }
    return true;
}

} // namespace

// The current entry's name and path, written into the buffers of the last
// entry's: a walk through a large tree then makes no copy of either.
void SimFileWalker::setNames(const QString& folderPrefix, const char* hostName)
{
    const int length = int(std::strlen(hostName));
    if (!isAscii(hostName, length))
        m_entry.name = HostFolder::decodeName(hostName);
    else
        m_entry.name = QLatin1String(hostName, length);   // into the buffer the last name left
    const int nameLength = m_entry.name.size();
    m_entry.path.resize(folderPrefix.size() + nameLength);
    QChar* path = m_entry.path.data();
    std::memcpy(path, folderPrefix.constData(), size_t(folderPrefix.size()) * sizeof(QChar));
    std::memcpy(path + folderPrefix.size(), m_entry.name.constData(), size_t(nameLength) * sizeof(QChar));
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
    m_doneFolderName = std::move(done.hostName);
    m_currentName = m_doneFolderName.constData();
    m_hasCurrent = true;
    m_folderDone = true;
    return true;
}

Error SimFileWalker::deleteCurrentFile(SimFileSystem& files)
{
    if (!m_hasCurrent || m_folderDone)
        return m_hasCurrent ? ErrorAccessDenied : ErrorFileNotFound;
    const Error result = files.deleteFileAt(m_levels.back().folder.fd(), m_currentName, m_entry);
    if (result == ErrorSuccess)
        m_hasCurrent = false;
    return result;
}

Error SimFileWalker::removeCurrentFolder(SimFileSystem& files)
{
    if (!m_hasCurrent)
        return ErrorFileNotFound;
    const Error result = files.removeDirectoryAt(m_levels.back().folder.fd(), m_currentName, m_entry);
    if (result == ErrorSuccess)
        m_hasCurrent = false;
    return result;
}

} // namespace win::sim

#include "platform/sim/SimFileWalker.h"

#include "platform/sim/SimFileSystem.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace win::sim {

SimFileWalker::SimFileWalker(const SimFileSystem& files, const QString& folder)
{
    const DriveMapper::Resolved root = files.mapper().resolve(folder);
    if (!root.exists() || !root.entry.directory)
        return;
    HostFolder host(QFile::encodeName(root.hostPath));
    const QString prefix = root.windowsPath.endsWith('\\') ? root.windowsPath : root.windowsPath + '\\';
    if (host.isOpen())
        m_levels.push_back({std::move(host), prefix});
}

bool SimFileWalker::next(const SimFileSystem& files)
{
    m_hasCurrent = false;
    while (!m_levels.empty()) {
        Level& level = m_levels.back();
        const char* name = level.folder.nextName();
        if (!name) {
            m_levels.pop_back();
            continue;
        }
        const HostEntry host = HostEntry::in(level.folder.fd(), name);
        if (!host.exists)
            continue;   // gone since the folder was read
        const QString windowsName = QFile::decodeName(name);
        const QString windowsPath = level.windowsPrefix + windowsName;
        if (host.directory) {
            HostFolder child(level.folder.fd(), name);
            if (child.isOpen())
                m_levels.push_back({std::move(child), windowsPath + '\\'});
            continue;
        }
        m_entry = files.describe(windowsPath, windowsName, host);
        m_currentName = name;
        m_hasCurrent = true;
        return true;
    }
    return false;
}

Error SimFileWalker::deleteCurrentFile(SimFileSystem& files)
{
    if (!m_hasCurrent)
        return ErrorFileNotFound;
    if (const Error refusal = files.deletionRefusal(m_entry))
        return refusal;
    if (unlinkat(m_levels.back().folder.fd(), m_currentName.constData(), 0) != 0)
        return errorFromErrno(errno);
    files.noteDeleted(m_entry);
    m_hasCurrent = false;
    return ErrorSuccess;
}

} // namespace win::sim

#pragma once

#include "platform/FileSystem.h"
#include "platform/sim/HostFolder.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace win::sim {

class SimFileSystem;

// The host side of FileWalker: keeps one open folder per level and reads the
// entries through them, so no entry's path is resolved again, nothing is
// matched case-insensitively and a link is never entered. The caller holds
// the machine's lock around each call.
class SimFileWalker
{
public:
    SimFileWalker(const SimFileSystem& files, const QString& folder);

    bool next(const SimFileSystem& files);
    const FileEntry& entry() const { return m_entry; }
    Error deleteCurrentFile(SimFileSystem& files);

private:
    struct Level
    {
        HostFolder folder;
        QString windowsPrefix;   // the folder's Windows path with a trailing separator
    };

    std::vector<Level> m_levels;
    FileEntry m_entry;
    QByteArray m_currentName;    // host name of the current entry in m_levels.back()
    bool m_hasCurrent = false;
};

} // namespace win::sim

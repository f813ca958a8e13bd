#pragma once

#include "platform/FileSystem.h"
#include "platform/sim/HostFolder.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace win::sim {

class SimFileSystem;

// The host side of FileWalker: opens the folder it starts in once, from the
// drive's folder and never through a link, and holds one open folder per
// level; entries are read and deleted through those handles, so no entry's
// path is resolved again, nothing is matched case-insensitively and a folder
// swapped for a link during the walk is never entered. The caller holds the
// machine's lock around each call.
class SimFileWalker
{
public:
    SimFileWalker(const SimFileSystem& files, const QString& folder, bool reportFolders);

    bool next(const SimFileSystem& files);
    const FileEntry& entry() const { return m_entry; }
    bool isFolderDone() const { return m_hasCurrent && m_folderDone; }
    Error deleteCurrentFile(SimFileSystem& files);
    Error removeCurrentFolder(SimFileSystem& files);

private:
    struct Level
    {
        HostFolder folder;
        QString windowsPrefix;   // the folder's Windows path with a trailing separator
        FileEntry self;          // the folder as its parent lists it (not for the first level)
        QByteArray hostName;     // its name in the parent
    };

    bool finishLevel();
    void setNames(const QString& folderPrefix, const char* hostName);

    std::vector<Level> m_levels;
    bool m_reportFolders = false;
    FileEntry m_entry;
    // Host name of the current entry in m_levels.back(): a file's points into
    // its folder's read buffer, which stays as it is until that folder is
    // read again, at the next step; a finished folder's into m_doneFolderName.
    const char* m_currentName = nullptr;
    QByteArray m_doneFolderName;
    bool m_hasCurrent = false;
    bool m_folderDone = false;   // the current entry is a folder whose entries were all reported
};

} // namespace win::sim

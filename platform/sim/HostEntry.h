#pragma once

#include "platform/WinTypes.h"

#include <QByteArray>
#include <QtGlobal>

namespace win::sim {

// What the host's lstat tells about one entry of a drive folder. A link is
// looked at as itself; its target is only asked whether it is a folder.
struct HostEntry
{
    bool exists = false;
    bool directory = false;     // a real folder, not a link to one
    bool link = false;
    bool linkToFolder = false;
    quint64 size = 0;           // bytes of a regular file, else 0
    qint64 lastWriteMs = 0;     // since the epoch, UTC

    static HostEntry of(const QByteArray& hostPath);
    // The entry at `hostPath` when no component of the path is a link, asked
    // in one call (HostFolder::openWithoutLinks); `exists` is false when the
    // host cannot answer so: the entry or a folder on the way is missing, a
    // link or a file, or the host lacks the call. The caller then walks.
    static HostEntry withoutLinks(const QByteArray& hostPath);
    // The entry `name` of an open folder, without resolving its path again.
    static HostEntry in(int folderFd, const char* name);
};

// The Windows error code that stands for a failed host call's errno.
Error errorFromErrno(int errnoValue);

} // namespace win::sim

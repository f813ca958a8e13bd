#pragma once

#include <QByteArray>
#include <QString>
#include <dirent.h>

namespace win::sim {

// An open folder of the host, read entry by entry ("." and ".." skipped).
// It is never opened through a link as its last component, so a folder
// opened by name inside an open parent cannot lead a walk out of the folder
// it started in. An open that fails leaves it closed.
class HostFolder
{
public:
    HostFolder() = default;
    explicit HostFolder(const QByteArray& hostPath);
    HostFolder(int parentFd, const char* name);
    // The folder at `hostPath` when no component of the path is a link: the
    // host walks it in one call and refuses to pass a link anywhere on it.
    // Closed when the host cannot open it so (a link, a missing folder or a
    // host without the call); a caller then opens it one name at a time.
    static HostFolder withoutLinks(const QByteArray& hostPath);
    ~HostFolder();
    HostFolder(HostFolder&& other) noexcept;
    HostFolder& operator=(HostFolder&& other) noexcept;
    HostFolder(const HostFolder&) = delete;
    HostFolder& operator=(const HostFolder&) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    int fd() const;
    // The next entry's name, or null at the end.
    const char* nextName();

    // openat(2) of a whole host path that fails on a link at any component
    // (ELOOP, also on the last one unless `flags` hold O_PATH | O_NOFOLLOW,
    // which opens that link itself); -1 with errno ENOSYS on a host without it.
    static int openWithoutLinks(const QByteArray& hostPath, int flags);

    // A host name as a Windows name (QFile::decodeName); names of plain ASCII,
    // the most of any drive, skip the locale's codec.
    static QString decodeName(const char* name);

private:
    DIR* m_dir = nullptr;
};

} // namespace win::sim

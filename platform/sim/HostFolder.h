#pragma once

#include <QByteArray>
#include <dirent.h>

namespace win::sim {

// An open folder of the host, read entry by entry ("." and ".." skipped).
// Opened by name inside an open parent it never follows a link, so a walk
// cannot be led out of the folder it started in.
class HostFolder
{
public:
    explicit HostFolder(const QByteArray& hostPath);
    HostFolder(int parentFd, const char* name);
    ~HostFolder();
    HostFolder(HostFolder&& other) noexcept;
    HostFolder& operator=(HostFolder&& other) noexcept;
    HostFolder(const HostFolder&) = delete;
    HostFolder& operator=(const HostFolder&) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    int fd() const;
    // The next entry's name, or null at the end.
    const char* nextName();

private:
    DIR* m_dir = nullptr;
};

} // namespace win::sim

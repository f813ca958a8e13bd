#pragma once

#include <QByteArray>
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

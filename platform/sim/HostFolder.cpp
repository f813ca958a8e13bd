#include "platform/sim/HostFolder.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

#ifdef SYS_openat2
#include <linux/openat2.h>
#endif

namespace win::sim {

HostFolder::HostFolder(const QByteArray& hostPath)
    : HostFolder(AT_FDCWD, hostPath.constData())
{
}

HostFolder::HostFolder(int parentFd, const char* name)
{
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    m_dir = fdopendir(fd);
    if (!m_dir)
        close(fd);
}

HostFolder HostFolder::withoutLinks(const QByteArray& hostPath)
{
    HostFolder folder;
    const int fd = openWithoutLinks(hostPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0)
        return folder;
    folder.m_dir = fdopendir(fd);
    if (!folder.m_dir)
        close(fd);
    return folder;
}

int HostFolder::openWithoutLinks(const QByteArray& hostPath, int flags)
{
#ifdef SYS_openat2
    open_how how{};
    how.flags = quint64(flags | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS;
    return int(syscall(SYS_openat2, AT_FDCWD, hostPath.constData(), &how, sizeof how));
#else
    Q_UNUSED(hostPath);
    Q_UNUSED(flags);
    errno = ENOSYS;
    return -1;
#endif
}

HostFolder::~HostFolder()
{
    if (m_dir)
        closedir(m_dir);
}

HostFolder::HostFolder(HostFolder&& other) noexcept
    : m_dir(std::exchange(other.m_dir, nullptr))
{
}

HostFolder& HostFolder::operator=(HostFolder&& other) noexcept
{
    if (this != &other) {
        if (m_dir)
            closedir(m_dir);
        m_dir = std::exchange(other.m_dir, nullptr);
    }
    return *this;
}

int HostFolder::fd() const
{
    return m_dir ? dirfd(m_dir) : -1;
}

QString HostFolder::decodeName(const char* name)
{
    const size_t length = std::strlen(name);
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(name[i]) >= 0x80)
            return QFile::decodeName(name);
    }
    return QString::fromLatin1(name, int(length));
}

const char* HostFolder::nextName()
{
    if (!m_dir)
        return nullptr;
    while (const dirent* item = readdir(m_dir)) {
        const char* name = item->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            return name;
    }
    return nullptr;
}

} // namespace win::sim

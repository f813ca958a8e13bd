#include "platform/sim/HostFolder.h"

#include <QFile>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

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

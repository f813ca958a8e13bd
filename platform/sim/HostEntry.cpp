#include "platform/sim/HostEntry.h"

#include "platform/sim/HostFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win::sim {

namespace {

HostEntry described(const struct stat& st)
{
    HostEntry entry;
    entry.exists = true;
    entry.lastWriteMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    if (S_ISLNK(st.st_mode))
        entry.link = true;
    else if (S_ISDIR(st.st_mode))
        entry.directory = true;
    else
        entry.size = quint64(st.st_size);
    return entry;
}

} // namespace

HostEntry HostEntry::of(const QByteArray& hostPath)
{
    return in(AT_FDCWD, hostPath.constData());
}

HostEntry HostEntry::in(int folderFd, const char* name)
{
    struct stat st;
    if (fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return HostEntry();
    HostEntry entry = described(st);
    if (entry.link) {
        struct stat target;
        entry.linkToFolder = fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    }
    return entry;
}

// A link at the end is left to the walk, which asks where it leads.
HostEntry HostEntry::withoutLinks(const QByteArray& hostPath)
{
    const int fd = HostFolder::openWithoutLinks(hostPath, O_PATH | O_NOFOLLOW);
    if (fd < 0)
        return HostEntry();
    struct stat st;
    const bool answered = fstat(fd, &st) == 0 && !S_ISLNK(st.st_mode);
    close(fd);
    return answered ? described(st) : HostEntry();
}

Error errorFromErrno(int errnoValue)
{
    switch (errnoValue) {
    case 0:
        return ErrorSuccess;
    case ENOENT:
        return ErrorFileNotFound;
    case ENOTDIR:
    case ELOOP:
        return ErrorPathNotFound;
    case ENOTEMPTY:
        return ErrorDirNotEmpty;
    case EEXIST:
        return ErrorAlreadyExists;
    case EBUSY:
    case ETXTBSY:
        return ErrorSharingViolation;
    case ENAMETOOLONG:
        return ErrorInvalidName;
    case ENOMEM:
        return ErrorNotEnoughMemory;
    default:
        return ErrorAccessDenied;
    }
}

} // namespace win::sim

#include "platform/sim/HostEntry.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace win::sim {

HostEntry HostEntry::of(const QByteArray& hostPath)
{
    return in(AT_FDCWD, hostPath.constData());
}

HostEntry HostEntry::in(int folderFd, const char* name)
{
    HostEntry entry;
    struct stat st;
    if (fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return entry;
    entry.exists = true;
    entry.lastWriteMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    if (S_ISLNK(st.st_mode)) {
        entry.link = true;
        struct stat target;
        entry.linkToFolder = fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    } else if (S_ISDIR(st.st_mode)) {
        entry.directory = true;
    } else {
        entry.size = quint64(st.st_size);
    }
    return entry;
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

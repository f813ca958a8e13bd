#include "platform/sim/FolderNameIndex.h"

#include "platform/CaseFold.h"
#include "platform/sim/HostFolder.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace win::sim {

namespace {

constexpr qint64 NanosecondsPerSecond = 1000000000;

qint64 nanoseconds(const timespec& time)
{
    return qint64(time.tv_sec) * NanosecondsPerSecond + time.tv_nsec;
}

// The host stamps a change with its coarse clock cut to the file system's
// granularity. A stamp that shows digits below the microsecond comes from a
// fine one; any other is allowed two seconds (FAT keeps change times in
// steps of two).
qint64 granularityOf(const timespec& stamp)
{
    return stamp.tv_nsec % 1000 != 0 ? 1 : 2 * NanosecondsPerSecond;
}

// Whether every change after `now` is bound to stamp the folder with a time
// later than `changed`.
bool isSettled(const timespec& changed, const timespec& now)
{
    return nanoseconds(changed) + granularityOf(changed) <= nanoseconds(now);
}

} // namespace

bool FolderNameIndex::Stamp::operator==(const Stamp& other) const
{
    return device == other.device && inode == other.inode && changed.tv_sec == other.changed.tv_sec
           && changed.tv_nsec == other.changed.tv_nsec;
}

QString FolderNameIndex::find(const QByteArray& hostFolder, const QString& name)
{
    struct stat now;
    if (fstatat(AT_FDCWD, hostFolder.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(now.st_mode)) {
        m_folders.remove(hostFolder);
        return QString();
    }
    const QString folded = foldCase(name);
    const auto known = m_folders.constFind(hostFolder);
    if (known != m_folders.constEnd() && known->stamp == Stamp{now.st_dev, now.st_ino, now.st_ctim})
        return known->names.value(folded);

    // The clock is read before the folder, so that a change made while it is
    // read stamps it with this time or later.
    timespec clock{};
    clock_gettime(CLOCK_REALTIME_COARSE, &clock);
    HostFolder folder(hostFolder);
    struct stat read;
    if (!folder.isOpen() || fstat(folder.fd(), &read) != 0) {
        m_folders.remove(hostFolder);
        return QString();
    }
    Listing listing;
    listing.stamp = Stamp{read.st_dev, read.st_ino, read.st_ctim};
    while (const char* item = folder.nextName()) {
        const QString stored = HostFolder::decodeName(item);
        const QString key = foldCase(stored);
        if (!listing.names.contains(key))
            listing.names.insert(key, stored);
    }
    const QString found = listing.names.value(folded);
    if (isSettled(read.st_ctim, clock))
        m_folders.insert(hostFolder, listing);
    else
        m_folders.remove(hostFolder);
    return found;
}

} // namespace win::sim

#include "platform/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win {

namespace {

bool fail(QString* error, const QString& path, const QString& reason)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(path, reason);
    return false;
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A folder in the file's place cannot be renamed over; an empty one goes.
bool clearFolderInPlace(const QByteArray& path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return true;
    return rmdir(path.constData()) == 0;
}

} // namespace

bool readRegularFile(const QString& path, qint64 maxBytes, QByteArray* data)
{
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    QByteArray content;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maxBytes;
    if (ok) {
        content.resize(int(st.st_size));
        qint64 done = 0;
        while (ok && done < content.size()) {
            const ssize_t got = read(fd, content.data() + done, size_t(content.size() - done));
            ok = got > 0 || (got < 0 && errno == EINTR);
            done += got > 0 ? got : 0;
        }
    }
    close(fd);
    if (ok)
        *data = content;
    return ok;
}

bool writeWholeFile(const QString& path, const QByteArray& data, QString* error)
{
    return writeWholeFile(path, QByteArrayList{data}, error);
}

bool writeWholeFile(const QString& path, const QByteArrayList& pieces, QString* error)
{
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return fail(error, path, temporary.errorString());
    for (const QByteArray& piece : pieces) {
        if (temporary.write(piece) != piece.size())
            return fail(error, path, temporary.errorString());
    }
    if (!temporary.flush() || fsync(temporary.handle()) != 0)
        return fail(error, path, temporary.errorString());
    fchmod(temporary.handle(), 0644);
    const QByteArray hostPath = QFile::encodeName(path);
    if (!clearFolderInPlace(hostPath))
        return fail(error, path, QStringLiteral("a folder that is not empty stands in its place"));
    if (rename(QFile::encodeName(temporary.fileName()).constData(), hostPath.constData()) != 0)
        return fail(error, path, errnoText());
    temporary.setAutoRemove(false);
    return true;
}

} // namespace win

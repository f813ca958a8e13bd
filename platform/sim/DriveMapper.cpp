#include "platform/sim/DriveMapper.h"

#include "platform/FileSystem.h"
#include "platform/sim/HostFolder.h"
#include "platform/sim/ShortNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace win::sim {

Error DriveMapper::Resolved::notFoundError() const
{
    if (error != ErrorSuccess)
        return error;
    return missingNames.size() > 1 ? ErrorPathNotFound : ErrorFileNotFound;
}

void DriveMapper::setDrive(QChar letter, const QString& hostFolder)
{
    m_hostFolders.insert(letter.toUpper(), QDir::cleanPath(QDir(hostFolder).absolutePath()));
}

namespace {

// True when fullPathName would answer the path unchanged: "X:\" and names
// without empty, "." or ".." components, trailing dots or spaces, forward
// slashes or characters a name cannot hold. Machine folders list many
// thousand paths in this form, and taking them as they are saves the
// splitting and joining.
bool isNormalized(const QString& path)
{
    const int size = path.size();
    if (size < 3 || path.at(0) < QLatin1Char('A') || path.at(0) > QLatin1Char('Z') || path.at(1) != QLatin1Char(':')
        || path.at(2) != QLatin1Char('\\'))
        return false;
    const QChar* c = path.constData();
    int componentStart = 3;
    for (int i = 3; i <= size; ++i) {
        if (i < size && c[i] != QLatin1Char('\\')) {
            if (c[i] == QLatin1Char('/') || isForbiddenInName(c[i]))
                return false;
            continue;
        }
        const int length = i - componentStart;
        if (length == 0)
            return size == 3;   // only the root ends in a separator
        const QChar last = c[i - 1];
        if (last == QLatin1Char('.') || last == QLatin1Char(' '))
            return false;       // also "." and ".."
        componentStart = i + 1;
    }
    return true;
}

// The path as fullPathName resolves it, with the drive letter in upper case.
Error normalizeInFull(const QString& windowsPath, QString* normalized)
{
    QString full;
    if (const Error error = fullPathName(windowsPath, &full))
        return error;
    if (std::any_of(full.cbegin() + 3, full.cend(), isForbiddenInName))
        return ErrorInvalidName;
    full[0] = full.at(0).toUpper();
    *normalized = full;
    return ErrorSuccess;
}

} // namespace

Error DriveMapper::normalize(const QString& windowsPath, QString* normalized)
{
    if (isNormalized(windowsPath)) {
#ifndef QT_NO_DEBUG
        // Tests run with this check, so the quick test never parts from the rule.
        QString full;
        Q_ASSERT(normalizeInFull(windowsPath, &full) == ErrorSuccess && full == windowsPath);
#endif
        *normalized = windowsPath;
        return ErrorSuccess;
    }
    return normalizeInFull(windowsPath, normalized);
}

Error DriveMapper::parse(const QString& windowsPath, QChar* letter, QStringList* components)
{
    QString full;
    if (const Error error = normalize(windowsPath, &full))
        return error;
    *letter = full.at(0);
    *components = full.mid(3).split('\\', Qt::SkipEmptyParts);
    return ErrorSuccess;
}

QString DriveMapper::compose(QChar letter, const QStringList& components)
{
    return QString(letter) + QStringLiteral(":\\") + components.join('\\');
}

QString DriveMapper::findName(const QByteArray& hostFolder, const QString& name) const
{
    return m_names.find(hostFolder, name);
}

// Asked only for a name with a "~" that no entry bears: the aliases are
// worked out from the folder's names as they are now.
QString DriveMapper::findShortName(const QByteArray& hostFolder, const QString& alias)
{
    HostFolder folder(hostFolder);
    QStringList names;
    while (const char* item = folder.nextName())
        names << HostFolder::decodeName(item);
    return ShortNames::aliasesOf(names).value(alias.toUpper());
}

bool DriveMapper::locate(const QString& windowsPath, Resolved* result, QString* host, QStringList* components) const
{
    result->error = parse(windowsPath, &result->letter, components);
    if (result->error != ErrorSuccess)
        return false;
    *host = m_hostFolders.value(result->letter);
    if (host->isEmpty())
        result->error = ErrorPathNotFound;
    return result->error == ErrorSuccess;
}

DriveMapper::Resolved DriveMapper::resolve(const QString& windowsPath) const
{
    Resolved result;
    QString host;
    QStringList components;
    if (!locate(windowsPath, &result, &host, &components))
        return result;
    if (components.isEmpty()) {
        result.entry = HostEntry::of(QFile::encodeName(host));
        result.existingHostPath = host;
    } else if (!resolveAsSpelt(host, components, &result)) {
        walk(host, components, &result);
    }
    if (result.error != ErrorSuccess)
        return result;
    result.hostPath = result.missingNames.isEmpty() ? result.existingHostPath
                                                    : result.existingHostPath + '/' + result.missingNames.join('/');
    result.windowsPath = compose(result.letter, result.names + result.missingNames);
    return result;
}

// A link at the end of the path is an entry that exists, as it is for the walk.
bool DriveMapper::exists(const QString& windowsPath) const
{
    Resolved result;
    QString host;
    QStringList components;
    if (!locate(windowsPath, &result, &host, &components))
        return false;
    if (!components.isEmpty()) {
        const int fd = HostFolder::openWithoutLinks(QFile::encodeName(hostPathAsSpelt(host, components)), O_PATH | O_NOFOLLOW);
        if (fd >= 0) {
            close(fd);
            return true;
        }
    }
    return resolve(windowsPath).exists();
}

QString DriveMapper::hostPathAsSpelt(const QString& host, const QStringList& components)
{
    return host + '/' + components.join('/');
}

// Most paths a program asks for exist as they are spelt: the host then
// answers for the whole path in one call, and a link anywhere on it sends
// the path to the walk.
bool DriveMapper::resolveAsSpelt(const QString& host, const QStringList& components, Resolved* result)
{
    const QString hostPath = hostPathAsSpelt(host, components);
    const HostEntry entry = HostEntry::withoutLinks(QFile::encodeName(hostPath));
    if (!entry.exists)
        return false;
    result->names = components;
    result->existingHostPath = hostPath;
    result->entry = entry;
    return true;
}

// Looks at each component in turn, below a folder the walk has seen to be
// a real folder; a name not spelt as stored is found in its folder's index.
void DriveMapper::walk(const QString& host, const QStringList& components, Resolved* result) const
{
    QByteArray hostBytes = QFile::encodeName(host);
    QString existing = host;
    QStringList names;
    for (int i = 0; i < components.size(); ++i) {
        const QString& wanted = components.at(i);
        QString name = wanted;
        const int folderBytes = hostBytes.size();
        hostBytes += '/' + QFile::encodeName(name);
        HostEntry entry = HostEntry::of(hostBytes);
        if (!entry.exists) {
            name = findName(hostBytes.left(folderBytes), wanted);
            if (name.isEmpty() && wanted.contains('~') && m_shortNameDrives.contains(result->letter))
                name = findShortName(hostBytes.left(folderBytes), wanted);
            if (!name.isEmpty()) {
                hostBytes.truncate(folderBytes);
                hostBytes += '/' + QFile::encodeName(name);
                entry = HostEntry::of(hostBytes);
            }
        }
        if (!entry.exists) {
            result->missingNames = components.mid(i);
            result->entry = HostEntry();
            break;
        }
        const bool last = i == components.size() - 1;
        if (!last && !entry.directory) {
            result->error = ErrorPathNotFound;   // through a link or a file
            return;
        }
        names << name;
        existing += '/' + name;
        result->entry = entry;
    }
    result->names = names;
    result->existingHostPath = existing;
}

HostFolder DriveMapper::openFolder(const Resolved& resolved) const
{
    return openComponents(resolved, resolved.names.size());
}

HostFolder DriveMapper::openParent(const Resolved& resolved) const
{
    return resolved.names.isEmpty() ? HostFolder() : openComponents(resolved, resolved.names.size() - 1);
}

HostFolder DriveMapper::openContainer(const Resolved& resolved, QByteArray* name) const
{
    if (resolved.exists() && !resolved.names.isEmpty()) {
        *name = QFile::encodeName(resolved.names.last());
        return openParent(resolved);
    }
    if (resolved.error == ErrorSuccess && resolved.missingNames.size() == 1) {
        *name = QFile::encodeName(resolved.missingNames.first());
        return openFolder(resolved);
    }
    return HostFolder();
}

int DriveMapper::openFile(const Resolved& resolved, int flags) const
{
    if (!resolved.exists() || resolved.names.isEmpty())
        return -1;
    if (m_beforeOpen)
        m_beforeOpen();
    const int fd = HostFolder::openWithoutLinks(QFile::encodeName(resolved.hostPath), flags | O_NOFOLLOW);
    if (fd >= 0)
        return fd;
    const HostFolder folder = openPath(resolved, resolved.names.size() - 1);
    const QByteArray name = QFile::encodeName(resolved.names.last());
    return folder.isOpen() ? openat(folder.fd(), name.constData(), flags | O_NOFOLLOW | O_CLOEXEC) : -1;
}

HostFolder DriveMapper::openComponents(const Resolved& resolved, int count) const
{
    if (resolved.error != ErrorSuccess)
        return HostFolder();
    if (m_beforeOpen)
        m_beforeOpen();
    return openPath(resolved, count);
}

HostFolder DriveMapper::openPath(const Resolved& resolved, int count) const
{
    const QString root = hostFolder(resolved.letter);
    if (count > 0) {
        HostFolder folder = HostFolder::withoutLinks(QFile::encodeName(hostPathAsSpelt(root, resolved.names.mid(0, count))));
        if (folder.isOpen())
            return folder;
    }
    HostFolder folder(QFile::encodeName(root));
    for (int i = 0; i < count && folder.isOpen(); ++i)
        folder = HostFolder(folder.fd(), QFile::encodeName(resolved.names.at(i)).constData());
    return folder;
}

QString DriveMapper::windowsPathOf(const QString& hostPath) const
{
    const QString absolute = QDir::cleanPath(QDir(hostPath).absolutePath());
    const QString canonical = QFileInfo(absolute).canonicalFilePath();
    for (auto it = m_hostFolders.constBegin(); it != m_hostFolders.constEnd(); ++it) {
        QString found = windowsPathBelow(it.key(), it.value(), absolute);
        if (found.isEmpty())
            found = windowsPathBelow(it.key(), QFileInfo(it.value()).canonicalFilePath(), canonical);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QString DriveMapper::windowsPathBelow(QChar letter, const QString& root, const QString& hostPath)
{
    if (root.isEmpty() || hostPath.isEmpty() || (hostPath != root && !hostPath.startsWith(root + '/')))
        return QString();
    return compose(letter, hostPath.mid(root.size()).split('/', Qt::SkipEmptyParts));
}

} // namespace win::sim

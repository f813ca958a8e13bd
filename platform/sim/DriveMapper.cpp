#include "platform/sim/DriveMapper.h"

#include "platform/FileSystem.h"
#include "platform/sim/HostFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace win::sim {

namespace {

bool isForbiddenInName(QChar c)
{
    static const QString forbidden = QStringLiteral("<>:\"|?*");
    return c.unicode() < 32 || forbidden.contains(c);
}

} // namespace

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

Error DriveMapper::parse(const QString& windowsPath, QChar* letter, QStringList* components)
{
    QString full;
    if (const Error error = fullPathName(windowsPath, &full))
        return error;
    const QStringList parts = full.mid(3).split('\\', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (std::any_of(part.begin(), part.end(), isForbiddenInName))
            return ErrorInvalidName;
    }
    *letter = full.at(0).toUpper();
    *components = parts;
    return ErrorSuccess;
}

QString DriveMapper::compose(QChar letter, const QStringList& components)
{
    return QString(letter) + QStringLiteral(":\\") + components.join('\\');
}

QString DriveMapper::findName(const QString& hostFolder, const QString& name)
{
    HostFolder folder(QFile::encodeName(hostFolder));
    while (const char* item = folder.nextName()) {
        const QString candidate = QFile::decodeName(item);
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return QString();
}

DriveMapper::Resolved DriveMapper::resolve(const QString& windowsPath) const
{
    Resolved result;
    QStringList components;
    result.error = parse(windowsPath, &result.letter, &components);
    if (result.error != ErrorSuccess)
        return result;
    QString host = m_hostFolders.value(result.letter);
    if (host.isEmpty()) {
        result.error = ErrorPathNotFound;
        return result;
    }
    result.entry = HostEntry::of(QFile::encodeName(host));
    QStringList spelled;
    for (int i = 0; i < components.size(); ++i) {
        const QString& wanted = components.at(i);
        QString name = wanted;
        HostEntry entry = HostEntry::of(QFile::encodeName(host + '/' + name));
        if (!entry.exists) {
            name = findName(host, wanted);
            if (!name.isEmpty())
                entry = HostEntry::of(QFile::encodeName(host + '/' + name));
        }
        if (!entry.exists) {
            result.missingNames = components.mid(i);
            result.entry = HostEntry();
            break;
        }
        const bool last = i == components.size() - 1;
        if (!last && !entry.directory) {
            result.error = ErrorPathNotFound;   // through a link or a file
            return result;
        }
        host += '/' + name;
        spelled << name;
        result.entry = entry;
    }
    result.names = spelled;
    result.existingHostPath = host;
    result.hostPath = result.missingNames.isEmpty() ? host : host + '/' + result.missingNames.join('/');
    result.windowsPath = compose(result.letter, spelled + result.missingNames);
    return result;
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

HostFolder DriveMapper::openComponents(const Resolved& resolved, int count) const
{
    if (resolved.error != ErrorSuccess)
        return HostFolder();
    if (m_beforeOpen)
        m_beforeOpen();
    HostFolder folder(QFile::encodeName(hostFolder(resolved.letter)));
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

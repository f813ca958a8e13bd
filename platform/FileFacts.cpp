#include "platform/FileFacts.h"

#include "platform/ComApartment.h"
#include "platform/FileSystem.h"
#include "platform/sim/MachineAccess.h"

using win::sim::MachineAccess;
using win::sim::SimVersionResource;

namespace win {

namespace {

template <typename Value>
const Value* lookupByPath(const QMap<QString, Value>& table, const QString& path)
{
    const QString wanted = normalizedPath(path);
    for (auto it = table.begin(); it != table.end(); ++it) {
        if (normalizedPath(it.key()).compare(wanted, Qt::CaseInsensitive) == 0)
            return &it.value();
    }
    return nullptr;
}

bool versionResourceOf(const QString& path, SimVersionResource* resource)
{
    if (!pathExists(path))
        return false;
    MachineAccess access;
    const SimVersionResource* found = access ? lookupByPath(access->system().versionResources, path) : nullptr;
    if (!found)
        return false;
    *resource = *found;
    return true;
}

QString stringBlockName(const SimVersionResource& resource)
{
    return QStringLiteral("%1%2").arg(resource.language, 4, 16, QLatin1Char('0'))
        .arg(resource.codePage, 4, 16, QLatin1Char('0'));
}

} // namespace

HResult winVerifyTrust(const QString& path)
{
    if (!pathExists(path))
        return E_FileNotFound;
    MachineAccess access;
    if (!access)
        return E_Fail;
    const HResult* answer = lookupByPath(access->system().trust, path);
    return answer ? *answer : TRUST_E_NoSignature;
}

quint32 FileVersionInfo::size(const QString& path)
{
    SimVersionResource resource;
    if (!versionResourceOf(path, &resource))
        return 0;
    quint32 bytes = 92;  // VS_VERSIONINFO header and fixed file info
    for (auto it = resource.strings.begin(); it != resource.strings.end(); ++it)
        bytes += quint32(it.key().size() + it.value().size() + 2) * 2 + 8;
    return bytes;
}

bool FileVersionInfo::load(const QString& path, quint32 bufferBytes)
{
    m_loaded = bufferBytes >= size(path) && bufferBytes > 0;
    m_path = m_loaded ? path : QString();
    return m_loaded;
}

bool FileVersionInfo::translations(QVector<QPair<quint16, quint16>>* pairs) const
{
    SimVersionResource resource;
    if (!m_loaded || !versionResourceOf(m_path, &resource))
        return false;
    *pairs = {qMakePair(resource.language, resource.codePage)};
    return true;
}

bool FileVersionInfo::queryString(const QString& subBlock, QString* value, quint32* lengthChars) const
{
    SimVersionResource resource;
    if (!m_loaded || !versionResourceOf(m_path, &resource))
        return false;
    const QString prefix = QStringLiteral("\\StringFileInfo\\") + stringBlockName(resource) + '\\';
    if (!subBlock.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    const QString name = subBlock.mid(prefix.size());
    for (auto it = resource.strings.begin(); it != resource.strings.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            *value = it.value();
            *lengthChars = quint32(it.value().size()) + 1;
            return true;
        }
    }
    return false;
}

HResult ShellLink::create()
{
    if (!ComApartment::isInitializedOnThisThread())
        return CO_E_NotInitialized;
    m_created = true;
    return S_Ok;
}

// A shortcut of the simulated machine holds its target path as UTF-8 text on
// its first line; anything else does not load, as a damaged .lnk would not.
HResult ShellLink::load(const QString& path)
{
    if (!m_created)
        return E_Pointer;
    QByteArray content;
    if (const Error e = readFile(path, &content, 64 * 1024))
        return hresultFromWin32(e);
    const QString target = QString::fromUtf8(content).section('\n', 0, 0).trimmed();
    if (target.size() < 3 || target.at(1) != ':')
        return E_Fail;
    m_target = target;
    m_loaded = true;
    return S_Ok;
}

HResult ShellLink::getPath(QString* target, int bufferChars) const
{
    if (!m_loaded)
        return E_Fail;
    if (bufferChars <= 0)
        return E_InvalidArg;
    *target = m_target.left(bufferChars - 1);
    return S_Ok;
}

} // namespace win

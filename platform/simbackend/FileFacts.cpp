#include "platform/FileFacts.h"

#include "platform/ComApartment.h"
#include "platform/FileSystem.h"
#include "platform/sim/MachineAccess.h"
#include "platform/sim/Wow64FileRedirector.h"

#include <QHash>

using win::sim::MachineAccess;
using win::sim::SimVersionResource;

namespace win {

namespace {

// The path-keyed tables of machine.json, indexed by normalized lower-case
// path: the startup manager asks them for every entry of every scan. The
// index keeps a shared copy of the table it was built from; any change to the
// table detaches the table from that copy, which tells the index to rebuild.
template <typename Value>
class PathIndex
{
public:
    // The first entry of the table (in key order) whose path names `path`.
    const Value* find(const QMap<QString, Value>& table, const QString& path)
    {
        if (!m_source.isSharedWith(table) || !m_built)
            rebuild(table);
        const auto it = m_index.constFind(keyOf(path));
        return it == m_index.constEnd() ? nullptr : &it.value().value();
    }

private:
    static QString keyOf(const QString& path) { return normalizedPath(path).toLower(); }

    void rebuild(const QMap<QString, Value>& table)
    {
        m_source = table;
        m_index.clear();
        for (auto it = m_source.constBegin(); it != m_source.constEnd(); ++it) {
            const QString key = keyOf(it.key());
            if (!m_index.contains(key))
                m_index.insert(key, it);
        }
        m_built = true;
    }

    QMap<QString, Value> m_source;
    QHash<QString, typename QMap<QString, Value>::const_iterator> m_index;
    bool m_built = false;
};

// Called with the machine's lock held (MachineAccess), which also guards the
// indexes. The tables name files where they lie; the program's path first
// passes through WOW64's redirector.
template <typename Value>
const Value* lookupByTarget(const QMap<QString, Value>& table, const QString& target)
{
    static PathIndex<Value> index;
    return index.find(table, target);
}

template <typename Value>
const Value* lookupByPath(const MachineAccess& access, const QMap<QString, Value>& table, const QString& path)
{
    return lookupByTarget(table, sim::Wow64FileRedirector(*access.machine()).target(path));
}

// The file is looked for where the redirector sends the program's path, once.
bool versionResourceOf(const QString& path, SimVersionResource* resource)
{
    MachineAccess access;
    if (!access)
        return false;
    const QString target = sim::Wow64FileRedirector(*access.machine()).target(path);
    const SimVersionResource* found = lookupByTarget(access->system().versionResources, target);
    if (!found || !access->files().exists(target))
        return false;
    *resource = *found;
    return true;
}

quint32 resourceBytes(const SimVersionResource& resource)
{
    quint32 bytes = 92;  // VS_VERSIONINFO header and fixed file info
    for (auto it = resource.strings.begin(); it != resource.strings.end(); ++it)
        bytes += quint32(it.key().size() + it.value().size() + 2) * 2 + 8;
    return bytes;
}

} // namespace

HResult winVerifyTrust(const QString& path)
{
    if (!pathExists(path))
        return E_FileNotFound;
    MachineAccess access;
    if (!access)
        return E_Fail;
    const HResult* answer = lookupByPath(access, access->system().trust, path);
    return answer ? *answer : TRUST_E_NoSignature;
}

quint32 FileVersionInfo::size(const QString& path)
{
    SimVersionResource resource;
    return versionResourceOf(path, &resource) ? resourceBytes(resource) : 0;
}

bool FileVersionInfo::load(const QString& path, quint32 bufferBytes)
{
    SimVersionResource resource;
    m_loaded = versionResourceOf(path, &resource) && bufferBytes >= resourceBytes(resource);
    m_language = m_loaded ? resource.language : 0;
    m_codePage = m_loaded ? resource.codePage : 0;
    m_strings = m_loaded ? resource.strings : QMap<QString, QString>();
    return m_loaded;
}

bool FileVersionInfo::translations(QVector<QPair<quint16, quint16>>* pairs) const
{
    if (!m_loaded)
        return false;
    *pairs = {qMakePair(m_language, m_codePage)};
    return true;
}

bool FileVersionInfo::queryString(const QString& subBlock, QString* value, quint32* lengthChars) const
{
    if (!m_loaded)
        return false;
    const QString prefix = QStringLiteral("\\StringFileInfo\\") + versionStringBlock(m_language, m_codePage) + '\\';
    if (!subBlock.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    const QString name = subBlock.mid(prefix.size());
    for (auto it = m_strings.begin(); it != m_strings.end(); ++it) {
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

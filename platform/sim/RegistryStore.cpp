#include "platform/sim/RegistryStore.h"

#include "platform/sim/RegFileReader.h"
#include "platform/sim/RegFileWriter.h"
#include "platform/sim/WholeFile.h"

#include <QDir>
#include <QFile>
#include <atomic>

namespace win::sim {

namespace {

constexpr quint32 ViewFlags = KeyWow64_64Key | KeyWow64_32Key;
// Every right that changes the key or its security; the standard user holds
// none of them below HKEY_LOCAL_MACHINE.
constexpr quint32 WriteRights = KeySetValue | KeyCreateSubKey | KeyCreateLink | KeyDelete
                                | 0x00040000u /* WRITE_DAC */ | 0x00080000u /* WRITE_OWNER */;

const QString RedirectedFolder = QStringLiteral("WOW6432Node");
const QString RedirectedBranch = QStringLiteral("SOFTWARE");

// Handle numbers are unique across machines, so a key that outlives its
// machine can never close a handle of the next one.
std::atomic<quintptr> g_nextHandle{0x80000};

bool sameName(const QString& a, const QString& b)
{
    return RegistryNode::sameName(a, b);
}

// HKEY_CURRENT_CONFIG is a view of HKEY_LOCAL_MACHINE's hardware profile and
// shares its protection.
bool needsAdministrator(Hive hive)
{
    return hive == Hive::LocalMachine || hive == Hive::CurrentConfig;
}

} // namespace

QString RegistryStore::hiveFileName(Hive hive)
{
    return registryHiveName(hive) + QStringLiteral(".reg");
}

RegistryStore::RegistryStore() = default;
RegistryStore::~RegistryStore() = default;

bool RegistryStore::loadFolder(const QString& folder, QString* error)
{
    RegistryTree tree;
    const QDir dir(folder);
    const QStringList names = dir.exists() ? dir.entryList({QStringLiteral("*.reg")}, QDir::Files, QDir::Name)
                                           : QStringList();
    bool asSaved = true;
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        RegFileReader reader(tree);
        if (!reader.apply(contentOf(file), file.fileName(), error))
            return false;
        asSaved = asSaved && isHiveFileOf(name, reader.hivesNamed());
    }
    m_tree = std::move(tree);
    m_folderAsSaved = asSaved;
    for (quint64& changes : m_changes)
        ++changes;
    return true;
}

// A file a save would write: named for a hive, and naming no other.
bool RegistryStore::isHiveFileOf(const QString& fileName, quint32 hivesNamed)
{
    for (Hive hive : RegistryTree::hives()) {
        if (fileName == hiveFileName(hive))
            return (hivesNamed & ~(1u << unsigned(hive))) == 0;
    }
    return false;
}

bool RegistryStore::saveFolder(const QString& folder, QString* error) const
{
    QVector<HiveFile> files;
    for (Hive hive : RegistryTree::hives())
        files << hiveFile(hive);
    return writeHiveFiles(folder, files, true, error);
}

RegistryStore::HiveFile RegistryStore::hiveFile(Hive hive) const
{
    const RegistryNode& root = *m_tree.root(hive);
    return {hiveFileName(hive), root.isEmpty() ? QByteArray() : RegFileWriter::hiveText(hive, root)};
}

// A hive without keys has no file. Written whole, the folder keeps no other
// *.reg file: its content is now part of the hive files and must not be
// applied again on the next load.
bool RegistryStore::writeHiveFiles(const QString& folder, const QVector<HiveFile>& files, bool whole, QString* error)
{
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        *error = QStringLiteral("%1: cannot create the folder").arg(folder);
        return false;
    }
    QStringList kept;
    for (const HiveFile& file : files) {
        if (!file.text.isEmpty()) {
            if (!writeWholeFile(dir.filePath(file.name), file.text, error))
                return false;
            kept << file.name;
        } else if (dir.exists(file.name) && !dir.remove(file.name)) {
            *error = QStringLiteral("%1: cannot remove the registry file of an empty hive").arg(dir.filePath(file.name));
            return false;
        }
    }
    if (!whole)
        return true;
    for (const QString& name : dir.entryList({QStringLiteral("*.reg")}, QDir::Files)) {
        if (!kept.contains(name) && !dir.remove(name)) {
            *error = QStringLiteral("%1: cannot remove the old registry file").arg(dir.filePath(name));
            return false;
        }
    }
    return true;
}

// Keys below HKLM\SOFTWARE that both views share on Windows 7 and later.
static bool isSharedBetweenViews(const QStringList& path)
{
    static const char* const Shared[] = {
        "Policies",
        "RegisteredApplications",
        "Microsoft\\Windows\\CurrentVersion\\Policies",
        "Microsoft\\Windows\\CurrentVersion\\App Paths",
        "Microsoft\\Windows\\CurrentVersion\\Group Policy",
        "Microsoft\\Windows\\CurrentVersion\\Setup",
        "Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
        "Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
        "Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
        "Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
        "Microsoft\\Windows NT\\CurrentVersion\\Console",
        "Microsoft\\Windows NT\\CurrentVersion\\FontLink",
        "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
        "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
        "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
        "Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
        "Microsoft\\Windows NT\\CurrentVersion\\Perflib",
        "Microsoft\\Windows NT\\CurrentVersion\\Ports",
        "Microsoft\\Windows NT\\CurrentVersion\\Print",
        "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
        "Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
        "Microsoft\\Cryptography\\Calais",
        "Microsoft\\SystemCertificates",
        "Microsoft\\RPC",
        "Microsoft\\OLE",
        "Microsoft\\COM3",
        "Microsoft\\EventSystem"};
    for (const char* shared : Shared) {
        const QStringList prefix = QString::fromLatin1(shared).split('\\');
        if (path.size() <= prefix.size())
            continue;
        bool matches = true;
        for (int i = 0; i < prefix.size() && matches; ++i)
            matches = sameName(path.at(i + 1), prefix.at(i));
        if (matches)
            return true;
    }
    return false;
}

QStringList RegistryStore::storagePath(Hive hive, const QStringList& path, bool view64) const
{
    if (!m_native64Bit || view64 || hive != Hive::LocalMachine || path.isEmpty()
        || !sameName(path.first(), RedirectedBranch) || isSharedBetweenViews(path))
        return path;
    // A path that already names the redirected folder reaches it as it is.
    if (path.size() > 1 && sameName(path.at(1), RedirectedFolder))
        return path;
    QStringList redirected = path;
    redirected.insert(1, RedirectedFolder);
    return redirected;
}

// Without a view flag the caller's own view applies.
bool RegistryStore::viewIs64(quint32 access) const
{
    return (access & KeyWow64_64Key) || (!m_wow64Caller && !(access & KeyWow64_32Key));
}

Error RegistryStore::open(Hive hive, const QStringList& path, bool view64, quint32 access, bool create,
                          bool administrator, quintptr* handle)
{
    const QStringList storage = storagePath(hive, path, view64);
    const bool localMachineLocked = needsAdministrator(hive) && !administrator;
    std::shared_ptr<RegistryNode> node = m_tree.find(hive, storage);
    if (!node) {
        if (!create)
            return ErrorFileNotFound;
        if (localMachineLocked)
            return ErrorAccessDenied;
        node = m_tree.ensure(hive, storage);
        if (!node)
            return ErrorInvalidParameter;   // deeper than the registry nests keys
        touch(hive);
    } else if (localMachineLocked && (access & WriteRights)) {
        return ErrorAccessDenied;
    }
    const quintptr number = g_nextHandle.fetch_add(4);
    m_handles.insert(number, KeyHandle{hive, path, view64, access & ~ViewFlags, std::move(node)});
    *handle = number;
    return ErrorSuccess;
}

Error RegistryStore::openKey(Hive hive, const QString& subKey, quint32 access, bool administrator, quintptr* handle)
{
    if ((access & ViewFlags) == ViewFlags)
        return ErrorInvalidParameter;
    return open(hive, RegistryTree::splitPath(subKey), viewIs64(access), access, false, administrator, handle);
}

Error RegistryStore::createKey(Hive hive, const QString& subKey, quint32 access, bool administrator,
                               quintptr* handle)
{
    if ((access & ViewFlags) == ViewFlags)
        return ErrorInvalidParameter;
    return open(hive, RegistryTree::splitPath(subKey), viewIs64(access), access, true, administrator, handle);
}

Error RegistryStore::openSubKey(quintptr parent, const QString& subKey, quint32 access, bool administrator,
                                quintptr* handle)
{
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(parent, 0, &key))
        return error;
    const Hive hive = key->hive;
    const bool view64 = key->view64;
    return open(hive, key->path + RegistryTree::splitPath(subKey), view64, access, false, administrator, handle);
}

Error RegistryStore::closeKey(quintptr handle)
{
    return m_handles.remove(handle) ? ErrorSuccess : ErrorInvalidHandle;
}

Error RegistryStore::handleFor(quintptr handle, quint32 rights, const KeyHandle** key) const
{
    const auto it = m_handles.constFind(handle);
    if (it == m_handles.constEnd())
        return ErrorInvalidHandle;
    if ((it->access & rights) != rights)
        return ErrorAccessDenied;
    if (it->node->isDeleted())
        return ErrorKeyDeleted;
    *key = &*it;
    return ErrorSuccess;
}

Error RegistryStore::queryValue(quintptr handle, const QString& name, const RegistryValue** value) const
{
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(handle, KeyQueryValue, &key))
        return error;
    *value = key->node->findValue(name);
    return *value ? ErrorSuccess : ErrorFileNotFound;
}

Error RegistryStore::setValue(quintptr handle, const QString& name, quint32 type, const QByteArray& data,
                              const QStringList& ignoredIn)
{
    // Windows refuses a value name longer than 16,383 characters.
    constexpr int MaxValueNameChars = 16383;
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(handle, KeySetValue, &key))
        return error;
    if (name.size() > MaxValueNameChars)
        return ErrorInvalidParameter;
    for (const QString& keyPath : ignoredIn) {
        Hive hive;
        QStringList path;
        if (locate(keyPath, &hive, &path) && m_tree.find(hive, path) == key->node)
            return ErrorSuccess;
    }
    key->node->setValue(name, type, data);
    touch(key->hive);
    return ErrorSuccess;
}

Error RegistryStore::deleteValue(quintptr handle, const QString& name)
{
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(handle, KeySetValue, &key))
        return error;
    if (!key->node->removeValue(name))
        return ErrorFileNotFound;
    touch(key->hive);
    return ErrorSuccess;
}

Error RegistryStore::enumValue(quintptr handle, quint32 index, const RegistryValue** value) const
{
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(handle, KeyQueryValue, &key))
        return error;
    if (index >= quint32(key->node->valueCount()))
        return ErrorNoMoreItems;
    *value = &key->node->valueAt(int(index));
    return ErrorSuccess;
}

Error RegistryStore::enumKey(quintptr handle, quint32 index, QString* name) const
{
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(handle, KeyEnumerateSubKeys, &key))
        return error;
    if (index >= quint32(key->node->subKeyCount()))
        return ErrorNoMoreItems;
    *name = key->node->subKeyAt(int(index))->name();
    return ErrorSuccess;
}

Error RegistryStore::queryInfoKey(quintptr handle, RegistryKeyInfo* info) const
{
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(handle, KeyQueryValue, &key))
        return error;
    const RegistryNode& node = *key->node;
    RegistryKeyInfo result;
    result.subKeyCount = quint32(node.subKeyCount());
    for (int i = 0; i < node.subKeyCount(); ++i)
        result.maxSubKeyNameChars = qMax(result.maxSubKeyNameChars, quint32(node.subKeyAt(i)->name().size()));
    result.valueCount = quint32(node.valueCount());
    for (int i = 0; i < node.valueCount(); ++i) {
        result.maxValueNameChars = qMax(result.maxValueNameChars, quint32(node.valueAt(i).name.size()));
        result.maxValueDataBytes = qMax(result.maxValueDataBytes, quint32(node.valueAt(i).data.size()));
    }
    *info = result;
    return ErrorSuccess;
}

Error RegistryStore::deleteKey(quintptr handle, const QString& subKey, bool administrator)
{
    const QStringList relative = RegistryTree::splitPath(subKey);
    const KeyHandle* key = nullptr;
    if (const Error error = handleFor(handle, relative.isEmpty() ? KeyDelete : 0, &key))
        return error;
    const Hive hive = key->hive;
    const QStringList storage = storagePath(hive, key->path + relative, key->view64);
    const std::shared_ptr<RegistryNode> node = m_tree.find(hive, storage);
    if (!node)
        return ErrorFileNotFound;
    // Windows refuses to delete a key that still has subkeys, and a hive root.
    if (storage.isEmpty() || (needsAdministrator(hive) && !administrator) || node->subKeyCount() > 0)
        return ErrorAccessDenied;
    m_tree.remove(hive, storage);
    touch(hive);
    return ErrorSuccess;
}

Error RegistryStore::deleteTree(quintptr handle, const QString& subKey, bool administrator)
{
    const QStringList relative = RegistryTree::splitPath(subKey);
    const KeyHandle* key = nullptr;
    if (relative.isEmpty()) {
        if (const Error error = handleFor(handle, KeyDelete | KeyEnumerateSubKeys | KeyQueryValue, &key))
            return error;
        key->node->removeAllSubKeys();
        key->node->removeAllValues();
        touch(key->hive);
        return ErrorSuccess;
    }
    if (const Error error = handleFor(handle, 0, &key))
        return error;
    const Hive hive = key->hive;
    const QStringList storage = storagePath(hive, key->path + relative, key->view64);
    if (!m_tree.find(hive, storage))
        return ErrorFileNotFound;
    if (needsAdministrator(hive) && !administrator)
        return ErrorAccessDenied;
    m_tree.remove(hive, storage);
    touch(hive);
    return ErrorSuccess;
}

bool RegistryStore::locate(const QString& keyPath, Hive* hive, QStringList* path)
{
    QString subKey;
    if (!parseRegistryPath(keyPath, hive, &subKey))
        return false;
    *path = RegistryTree::splitPath(subKey);
    return true;
}

bool RegistryStore::setValue(const QString& keyPath, const QString& name, quint32 type, const QByteArray& data)
{
    Hive hive;
    QStringList path;
    if (!locate(keyPath, &hive, &path))
        return false;
    const std::shared_ptr<RegistryNode> node = m_tree.ensure(hive, path);
    if (!node)
        return false;
    node->setValue(name, type, data);
    touch(hive);
    return true;
}

bool RegistryStore::value(const QString& keyPath, const QString& name, quint32* type, QByteArray* data) const
{
    Hive hive;
    QStringList path;
    if (!locate(keyPath, &hive, &path))
        return false;
    const std::shared_ptr<RegistryNode> node = m_tree.find(hive, path);
    const RegistryValue* found = node ? node->findValue(name) : nullptr;
    if (!found)
        return false;
    if (type)
        *type = found->type;
    if (data)
        *data = found->data;
    return true;
}

bool RegistryStore::hasKey(const QString& keyPath) const
{
    Hive hive;
    QStringList path;
    return locate(keyPath, &hive, &path) && m_tree.find(hive, path);
}

bool RegistryStore::removeKey(const QString& keyPath)
{
    Hive hive;
    QStringList path;
    if (!locate(keyPath, &hive, &path) || !m_tree.remove(hive, path))
        return false;
    touch(hive);
    return true;
}

} // namespace win::sim

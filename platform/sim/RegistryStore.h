#pragma once

#include "platform/RegistryKey.h"
#include "platform/sim/RegistryTree.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <memory>

namespace win::sim {

// The registry of a simulated machine: the hives, the table of open key
// handles and the calls of the Win32 registry API, answered as Windows
// answers them. A 32-bit program on a 64-bit machine (a WOW64 caller) has
// SOFTWARE\WOW6432Node as its default view of HKEY_LOCAL_MACHINE\SOFTWARE; a
// 64-bit program reaches that view only with KeyWow64_32Key.
// `administrator` says whether the calling user may write below
// HKEY_LOCAL_MACHINE. The façade holds the machine's lock around every call.
class RegistryStore
{
public:
    RegistryStore();
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    void setNative64Bit(bool native64Bit) { m_native64Bit = native64Bit; }
    bool native64Bit() const { return m_native64Bit; }
    void setWow64Caller(bool wow64Caller) { m_wow64Caller = wow64Caller; }

    // Replaces the registry with the *.reg files of the folder, applied in
    // name order (a missing folder is an empty registry). A malformed line
    // answers false with "<file>:<line>: <what>" and leaves the store as it was.
    bool loadFolder(const QString& folder, QString* error);
    // Writes one file per hive that has keys (HKEY_LOCAL_MACHINE.reg, ...),
    // each written whole and then renamed over the old one; every other
    // *.reg of the folder is then removed, since its content is now part of
    // the hive files and must not be applied again on the next load.
    bool saveFolder(const QString& folder, QString* error) const;

    // One hive's file: its name and its text, empty for a hive without keys.
    struct HiveFile
    {
        QString name;
        QByteArray text;
    };
    HiveFile hiveFile(Hive hive) const;
    // Writes the files given (removing the file of an empty hive); written
    // `whole`, every other *.reg file of the folder is removed as well.
    static bool writeHiveFiles(const QString& folder, const QVector<HiveFile>& files, bool whole, QString* error);
    static QString hiveFileName(Hive hive);
    // Counts the changes of one hive since the store was made.
    quint64 changeCount(Hive hive) const { return m_changes[size_t(hive)]; }
    // Whether the folder last loaded held only files a save writes, each
    // with its own hive alone: a hive that changes can then be written alone.
    bool folderAsSaved() const { return m_folderAsSaved; }
    int openHandleCount() const { return m_handles.size(); }

    // RegOpenKeyExW / RegCreateKeyExW from a hive root or from an open key.
    // The access mask carries the view flags; a key opened below another
    // one keeps that key's view.
    Error openKey(Hive hive, const QString& subKey, quint32 access, bool administrator, quintptr* handle);
    Error createKey(Hive hive, const QString& subKey, quint32 access, bool administrator, quintptr* handle);
    Error openSubKey(quintptr parent, const QString& subKey, quint32 access, bool administrator,
                     quintptr* handle);
    Error closeKey(quintptr handle);

    // The value and key calls. The value pointers stay valid until the next
    // change of the registry.
    Error queryValue(quintptr handle, const QString& name, const RegistryValue** value) const;
    // A write to one of `ignoredIn` (full key paths in storage terms), the
    // keys a registry filter guards, answers success and changes nothing.
    Error setValue(quintptr handle, const QString& name, quint32 type, const QByteArray& data,
                   const QStringList& ignoredIn = QStringList());
    Error deleteValue(quintptr handle, const QString& name);
    Error enumValue(quintptr handle, quint32 index, const RegistryValue** value) const;
    Error enumKey(quintptr handle, quint32 index, QString* name) const;
    Error queryInfoKey(quintptr handle, RegistryKeyInfo* info) const;
    // RegDeleteKeyExW: "" is the handle's own key. RegDeleteTreeW: "" empties
    // the handle's key (values and subkeys) and keeps it.
    Error deleteKey(quintptr handle, const QString& subKey, bool administrator);
    Error deleteTree(quintptr handle, const QString& subKey, bool administrator);

    // Conveniences for tests and tools, with full paths in storage terms
    // ("HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\X"; no view is applied).
    bool setValue(const QString& keyPath, const QString& name, quint32 type, const QByteArray& data);
    bool value(const QString& keyPath, const QString& name, quint32* type, QByteArray* data) const;
    bool hasKey(const QString& keyPath) const;
    bool removeKey(const QString& keyPath);

private:
    struct KeyHandle
    {
        Hive hive = Hive::LocalMachine;
        QStringList path;  // as the program named it, below the hive root
        bool view64 = false;
        quint32 access = 0;
        std::shared_ptr<RegistryNode> node;
    };

    Error open(Hive hive, const QStringList& path, bool view64, quint32 access, bool create,
               bool administrator, quintptr* handle);
    Error handleFor(quintptr handle, quint32 rights, const KeyHandle** key) const;
    bool viewIs64(quint32 access) const;
    QStringList storagePath(Hive hive, const QStringList& path, bool view64) const;
    static bool locate(const QString& keyPath, Hive* hive, QStringList* path);

    void touch(Hive hive) { ++m_changes[size_t(hive)]; }
    static bool isHiveFileOf(const QString& fileName, quint32 hivesNamed);

    RegistryTree m_tree;
    std::array<quint64, 5> m_changes{};   // by hive
    bool m_folderAsSaved = false;
    QHash<quintptr, KeyHandle> m_handles;
    bool m_native64Bit = true;
    bool m_wow64Caller = true;
};

} // namespace win::sim

#pragma once

#include "platform/RegistryKey.h"

#include <QStringList>
#include <QVariant>

namespace win {

// Registry settings with the behaviour of QSettings in its native format on
// Windows: the root path names the hive ("HKEY_CURRENT_USER\Software\..."),
// keys below it use '/' or '\' for subkeys, ints are stored as REG_DWORD,
// 64-bit integers as REG_QWORD, strings as REG_SZ, string lists as
// REG_MULTI_SZ, and the key "Default" or "." stands for a key's default value
// (which childKeys() names "."). A root path that names no hive is a path
// below HKEY_LOCAL_MACHINE, as in QSettings.
// A 32-bit program opens its keys in the default (redirected) view unless a
// view is asked for. Writes go straight to the registry; failures become
// status(), never exceptions.
class RegistrySettings
{
public:
    enum class View { Default, Registry32, Registry64 };
    enum Status { NoError, AccessError, FormatError };

    explicit RegistrySettings(const QString& rootPath, View view = View::Default);

    QVariant value(const QString& key, const QVariant& defaultValue = QVariant()) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    bool contains(const QString& key) const;

    // Sorted as QSettings sorts them.
    QStringList childKeys() const;    // value names of the root key
    QStringList childGroups() const;  // subkey names of the root key
    QStringList allKeys() const;      // values of the root and every subkey, as "sub/name"

    Status status() const { return m_status; }

private:
    // A settings key split as QSettings splits it, relative to the root key:
    // "a/b/c" is the value "c" of the key "a\b" and also the group "a\b\c".
    struct Location
    {
        QString keyPath;
        QString valueName;
        QString groupPath;
    };
    Location locate(const QString& key) const;
    QString fullPath(const QString& relativePath) const;
    quint32 viewFlag() const;
    void collectKeys(const QString& prefix, const RegistryKey& key, QStringList& out) const;
    void setStatus(Status status) const;

    Hive m_hive = Hive::LocalMachine;
    QString m_rootKey;
    View m_view;
    mutable Status m_status = NoError;
};

} // namespace win

#pragma once

#include "platform/RegistryKey.h"

#include <QStringList>
#include <QVariant>

namespace win {

// Registry settings with the behaviour of QSettings in its native format on
// Windows: the root path names the hive ("HKEY_CURRENT_USER\Software\..."),
// keys below it use '/' or '\' for subkeys, ints are stored as REG_DWORD,
// 64-bit integers as REG_QWORD, strings as REG_SZ, string lists as
// REG_MULTI_SZ, and the key "Default" or "." stands for a key's default value.
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

    QStringList childKeys() const;    // value names of the root key
    QStringList childGroups() const;  // subkey names of the root key
    QStringList allKeys() const;      // values of the root and every subkey, as "sub/name"

    Status status() const { return m_status; }

private:
    struct Location
    {
        QString keyPath;
        QString valueName;
    };
    Location locate(const QString& key) const;
    quint32 viewFlag() const;
    void collectKeys(const QString& prefix, const QString& keyPath, QStringList& out) const;

    Hive m_hive = Hive::CurrentUser;
    QString m_rootKey;
    View m_view;
    bool m_validRoot = false;
    mutable Status m_status = NoError;
};

} // namespace win

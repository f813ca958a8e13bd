#include "common/UninstallRoot.h"

#include "common/EnvironmentPath.h"
#include "platform/RegistryIterators.h"

#include <QVector>

namespace {

constexpr quint32 ReadAccess = win::KeyRead | win::KeyWow64_64Key;
constexpr quint32 NameChars = 1024;
constexpr quint32 ValueBytes = 8192;

} // namespace

QString UninstallRoot::expand(const QString& text) const
{
    return thirtyTwoBit ? expandEnvironmentPath(text) : expandEnvironmentPathFor64Bit(text);
}

const QVector<UninstallRoot>& uninstallRoots()
{
    static const QVector<UninstallRoot> roots = {
        {win::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false},
        {win::Hive::LocalMachine, "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
        {win::Hive::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false}};
    return roots;
}

void forEachUninstallEntry(
    const std::function<void(const UninstallRoot& root, const QString& name, const win::RegistryKey& entry)>& visit)
{
    for (const UninstallRoot& root : uninstallRoots()) {
        win::RegistryKey key;
        if (key.open(root.hive, root.keyPath(), ReadAccess) != win::ErrorSuccess)
            continue;
        win::RegistryKeyIterator entries(key, NameChars);
        while (entries.next()) {
            win::RegistryKey entry;
            if (key.openSubKey(entries.name(), ReadAccess, entry) == win::ErrorSuccess)
                visit(root, entries.name(), entry);
        }
    }
}

QString uninstallEntryText(const win::RegistryKey& entry, const QString& name)
{
    QString text;
    entry.readString(name, &text, ValueBytes);
    return text;
}

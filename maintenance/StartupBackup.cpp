#include "maintenance/StartupBackup.h"

#include "platform/FileSystem.h"
#include "platform/RegistryIterators.h"
#include "platform/RegistryKey.h"

#include <QRegularExpression>

namespace {

const QString Suffix = QStringLiteral("_velantrix_bak");
constexpr quint32 ReadAccess = win::KeyQueryValue | win::KeyWow64_64Key;
constexpr quint32 WriteAccess = win::KeyQueryValue | win::KeySetValue | win::KeyWow64_64Key;
constexpr quint32 MaxValueNameChars = 16384;

struct Value
{
    quint32 type = win::RegNone;
    QByteArray data;
    bool operator==(const Value& other) const { return type == other.type && data == other.data; }
};

win::Error readValue(const win::RegistryKey& key, const QString& name, Value* value)
{
    return key.queryValue(name, &value->type, &value->data);
}

bool hasValue(const win::RegistryKey& key, const QString& name)
{
    return key.queryValue(name, nullptr, nullptr) != win::ErrorFileNotFound;
}

// Writes a value and reads it back; what does not read back as written is
// taken away again.
bool writeChecked(win::RegistryKey& key, const QString& name, const Value& value)
{
    Value written;
    if (key.setValue(name, value.type, value.data) == win::ErrorSuccess
        && readValue(key, name, &written) == win::ErrorSuccess && written == value)
        return true;
    key.deleteValue(name);
    return false;
}

// The first of "<entry>_velantrix_bak", "<entry>_velantrix_bak2", ... that
// `taken` does not know.
template <typename Taken>
QString freeBackupName(const QString& entryName, Taken taken)
{
    const QString base = entryName + Suffix;
    QString name = base;
    for (int number = 2; taken(name); ++number)
        name = base + QString::number(number);
    return name;
}

} // namespace

// A Run key's unnamed default value starts too; its backup is the bare suffix.
bool StartupBackup::entryNameOf(const QString& backupName, QString* entryName)
{
    static const QRegularExpression pattern(QStringLiteral("^(.*)_velantrix_bak(\\d*)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(backupName);
    if (match.hasMatch())
        *entryName = match.captured(1);
    return match.hasMatch();
}

StartupBackup::Outcome StartupBackup::hold(const StartupLocation& location, const QString& sourceName,
                                           const QString& entryName, QString* backupName)
{
    QString name;
    const Outcome outcome = location.isFolder() ? holdFile(location, sourceName, entryName, &name)
                                                : holdValue(location, sourceName, entryName, &name);
    if (backupName)
        *backupName = name;
    return outcome;
}

StartupBackup::Outcome StartupBackup::giveBack(const StartupLocation& location, const QString& backupName,
                                               const QString& entryName)
{
    return location.isFolder() ? giveBackFile(location, backupName, entryName)
                               : giveBackValue(location, backupName, entryName);
}

StartupBackup::Outcome StartupBackup::holdValue(const StartupLocation& location, const QString& sourceName,
                                                const QString& entryName, QString* backupName)
{
    win::RegistryKey runKey;
    Value value;
    if (runKey.open(location.hive, location.keyPath, ReadAccess) != win::ErrorSuccess)
        return Outcome::Absent;
    const win::Error read = readValue(runKey, sourceName, &value);
    if (read == win::ErrorFileNotFound)
        return Outcome::Absent;
    win::RegistryKey backupKey;
    if (read != win::ErrorSuccess
        || backupKey.create(location.hive, location.backupKeyPath(), WriteAccess) != win::ErrorSuccess)
        return Outcome::Failed;
    *backupName = freeBackupName(entryName, [&backupKey](const QString& name) { return hasValue(backupKey, name); });
    if (!writeChecked(backupKey, *backupName, value))
        return Outcome::Failed;
    // Only now that the backup stands may the entry go; if it cannot, the
    // backup goes instead, so that nothing stands twice.
    win::RegistryKey writableRunKey;
    if (writableRunKey.open(location.hive, location.keyPath, WriteAccess) != win::ErrorSuccess
        || writableRunKey.deleteValue(sourceName) != win::ErrorSuccess) {
        backupKey.deleteValue(*backupName);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

StartupBackup::Outcome StartupBackup::giveBackValue(const StartupLocation& location, const QString& backupName,
                                                    const QString& entryName)
{
    win::RegistryKey backupKey;
    Value value;
    if (backupKey.open(location.hive, location.backupKeyPath(), WriteAccess) != win::ErrorSuccess)
        return Outcome::Absent;
    const win::Error read = readValue(backupKey, backupName, &value);
    if (read == win::ErrorFileNotFound)
        return Outcome::Absent;
    win::RegistryKey runKey;
    if (read != win::ErrorSuccess
        || (runKey.open(location.hive, location.keyPath, WriteAccess) != win::ErrorSuccess
            && runKey.create(location.hive, location.keyPath, WriteAccess) != win::ErrorSuccess)
        || hasValue(runKey, entryName) || !writeChecked(runKey, entryName, value))
        return Outcome::Failed;
    if (backupKey.deleteValue(backupName) != win::ErrorSuccess) {
        runKey.deleteValue(entryName);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

StartupBackup::Outcome StartupBackup::holdFile(const StartupLocation& location, const QString& sourceName,
                                               const QString& entryName, QString* backupName)
{
    const QString source = win::joinPath(location.folderPath(), sourceName);
    win::FileEntry entry;
    if (win::fileInfo(source, &entry) != win::ErrorSuccess || entry.isDirectory())
        return Outcome::Absent;
    const QString folder = location.backupFolderPath();
    const win::Error created = win::createDirectoryPath(folder);
    if (created != win::ErrorSuccess && created != win::ErrorAlreadyExists)
        return Outcome::Failed;
    *backupName = freeBackupName(entryName, [&folder](const QString& name) {
        return win::pathExists(win::joinPath(folder, name));
    });
    return win::moveFile(source, win::joinPath(folder, *backupName)) == win::ErrorSuccess ? Outcome::Done
                                                                                           : Outcome::Failed;
}

StartupBackup::Outcome StartupBackup::giveBackFile(const StartupLocation& location, const QString& backupName,
                                                   const QString& entryName)
{
    const QString source = win::joinPath(location.backupFolderPath(), backupName);
    if (!win::pathExists(source))
        return Outcome::Absent;
    const QString target = win::joinPath(location.folderPath(), entryName);
    if (win::pathExists(target))
        return Outcome::Failed;
    return win::moveFile(source, target) == win::ErrorSuccess ? Outcome::Done : Outcome::Failed;
}

QVector<StartupBackup::Held> StartupBackup::held(const StartupLocation& location)
{
    QVector<Held> backups;
    if (location.isFolder()) {
        QVector<win::FileEntry> entries;
        win::listDirectory(location.backupFolderPath(), &entries);
        QString entryName;
        for (const win::FileEntry& entry : entries) {
            if (!entry.isDirectory() && entryNameOf(entry.name, &entryName))
                backups.append({entry.name, entryName, entry.path});
        }
        return backups;
    }
    win::RegistryKey backupKey;
    if (backupKey.open(location.hive, location.backupKeyPath(), ReadAccess) != win::ErrorSuccess)
        return backups;
    win::RegistryValueIterator values(backupKey, MaxValueNameChars, win::RegistryKey::UnlimitedBuffer);
    QString entryName;
    while (values.next()) {
        if (entryNameOf(values.name(), &entryName))
            backups.append({values.name(), entryName, values.isText() ? values.text() : QString()});
    }
    return backups;
}

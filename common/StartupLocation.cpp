#include "common/StartupLocation.h"

#include "common/SystemInfo.h"
#include "platform/Environment.h"

namespace {

constexpr quint32 PathBufferChars = 260;

const QString RunKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString RunOnceKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
const QString Run32Key = QStringLiteral("SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString PolicyRunKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run");
const QString BackupKeyBase = QStringLiteral("SOFTWARE\\Tessaro\\StartupBackup\\");
const QString BackupFolderBelow = QStringLiteral("\\Tessaro\\StartupBackup");

StartupLocation runKey(win::Hive hive, const QString& path, int type, const char* findingLabel,
                       const char* managerLabel, const char* approvalSubkey, const char* backupName)
{
    StartupLocation location;
    location.hive = hive;
    location.keyPath = path;
    location.findingType = type;
    location.findingLabel = QString::fromLatin1(findingLabel);
    location.managerLabel = QString::fromLatin1(managerLabel);
    location.runsOnce = path == RunOnceKey;
    location.approvalSubkey = QString::fromLatin1(approvalSubkey);
    location.backupName = QString::fromLatin1(backupName);
    return location;
}

StartupLocation folder(win::Hive owner, const char* variable, const char* below, int type, const char* findingLabel,
                       const char* managerLabel)
{
    StartupLocation location;
    location.source = StartupLocation::Source::Folder;
    location.hive = owner;
    location.folderVariable = QString::fromLatin1(variable);
    location.folderBelow = QString::fromLatin1(below);
    location.findingType = type;
    location.findingLabel = QString::fromLatin1(findingLabel);
    location.managerLabel = QString::fromLatin1(managerLabel);
    location.approvalSubkey = QStringLiteral("StartupFolder");
    location.backupName = QStringLiteral("StartupFolder");
    return location;
}

QString environmentVariable(const QString& name)
{
    QString value;
    const quint32 size = win::getEnvironmentVariable(name, &value, PathBufferChars);
    if (size > PathBufferChars)
        win::getEnvironmentVariable(name, &value, size);
    return value;
}

} // namespace

const QString StartupLocation::ApprovedKeyBase =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\");

const QVector<StartupLocation>& StartupLocation::all()
{
    using win::Hive;
    static const QVector<StartupLocation> table = {
        runKey(Hive::LocalMachine, RunKey, 1, "HKLM Run", "HKLM_Run", "Run", "Run"),
        runKey(Hive::CurrentUser, RunKey, 2, "HKCU Run", "HKCU_Run", "Run", "Run"),
        runKey(Hive::LocalMachine, RunOnceKey, 3, "HKLM RunOnce", "HKLM_RunOnce", "", "RunOnce"),
        runKey(Hive::CurrentUser, RunOnceKey, 4, "HKCU RunOnce", "HKCU_RunOnce", "", "RunOnce"),
        runKey(Hive::LocalMachine, Run32Key, 5, "WOW64 Run", "HKLM_Run32", "Run32", "Run32"),
        runKey(Hive::LocalMachine, PolicyRunKey, 6, "Policies Run(HKLM)", "HKLM_PolicyRun", "", "PoliciesRun"),
        runKey(Hive::CurrentUser, PolicyRunKey, 6, "Policies Run(HKCU)", "HKCU_PolicyRun", "", "PoliciesRun"),
        folder(Hive::LocalMachine, "ProgramData", "\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp", 10,
               "Common Startup", "StartupFolder_Common"),
        folder(Hive::CurrentUser, "APPDATA", "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", 11,
               "User Startup", "StartupFolder_User"),
    };
    return table;
}

const StartupLocation* StartupLocation::withManagerLabel(const QString& label)
{
    for (const StartupLocation& location : all()) {
        if (location.managerLabel == label)
            return &location;
    }
    return nullptr;
}

QVector<const StartupLocation*> StartupLocation::ofFindingType(int type)
{
    QVector<const StartupLocation*> locations;
    for (const StartupLocation& location : all()) {
        if (location.findingType == type)
            locations << &location;
    }
    return locations;
}

// Windows 7 has no approval values; an unknown version is not trusted to
// read them either, so its entries take the program's own route, which stops
// them on every version.
bool StartupLocation::keepsApprovalOn(int windowsVersion) const
{
    return !approvalSubkey.isEmpty() && windowsVersion >= WindowsVersion::Win8;
}

QString StartupLocation::fullKeyPath() const
{
    return win::registryHiveName(hive) + '\\' + keyPath;
}

QString StartupLocation::shownName(const QString& entryName) const
{
    // A name that is all extension (".lnk") keeps it: a row needs a name.
    const int dot = entryName.lastIndexOf('.');
    return isFolder() && dot > 0 ? entryName.left(dot) : entryName;
}

QString StartupLocation::folderPath() const
{
    return QString(environmentVariable(folderVariable) + folderBelow).replace('/', '\\');
}

QString StartupLocation::backupFolderPath() const
{
    return QString(environmentVariable(folderVariable) + BackupFolderBelow).replace('/', '\\');
}

QString StartupLocation::backupKeyPath() const
{
    return BackupKeyBase + backupName;
}

#include "engine/OptimizeCore.h"

#include "common/StartupLocation.h"
#include "common/UninstallRoot.h"
#include "platform/ComApartment.h"
#include "platform/FileSystem.h"
#include "platform/RegistryIterators.h"
#include "platform/TaskScheduler.h"

// Step 6, first part: the startup-entry count and the uninstall leftovers.

namespace {

const win::Hive HKLM = win::Hive::LocalMachine;
const win::Hive HKCU = win::Hive::CurrentUser;
constexpr quint32 Read64 = win::KeyRead | win::KeyWow64_64Key;

bool openForReading(win::Hive root, const QString& subKey, win::RegistryKey& key)
{
    return key.open(root, subKey, Read64) == win::ErrorSuccess;
}

} // namespace

int OptimizeCore::scanStartupItems()
{
    m_startupCount = 0;
    emitProgress(5, 87, QStringLiteral("正在扫描注册表启动项..."));
    // Every text value of the Run keys and of the two shell keys counts.
    for (const StartupLocation& location : StartupLocation::all()) {
        if (!location.isFolder())
            m_startupCount += countTextValues(location.hive, location.keyPath);
    }
    m_startupCount += countTextValues(HKLM, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"));
    m_startupCount += countTextValues(HKLM, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"));
    countShellAndAppInitHijacks();

    emitProgress(5, 92, QStringLiteral("正在扫描Shell扩展..."));
    win::RegistryKey approved;
    win::RegistryKeyInfo info;
    if (openForReading(HKLM, QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"), approved)
        && approved.queryInfo(&info) == win::ErrorSuccess && info.valueCount > 50)
        m_startupCount += int(info.valueCount - 50) / 10;

    emitProgress(5, 94, QStringLiteral("正在扫描启动文件夹..."));
    for (const StartupLocation& location : StartupLocation::all()) {
        if (location.isFolder())
            countStartupFolderEntries(location.folderPath());
    }

    emitProgress(5, 96, QStringLiteral("正在扫描计划任务启动项..."));
    if (!isWin7())
        m_startupCount += countBootAndLogonTasks();

    m_startupFasterSeconds = m_startupCount * 6;
    emitProgress(5, 99, QStringLiteral("启动项扫描完成"));
    logError(QStringLiteral("  开机自启扫描: 共发现 %1 项，预计开机提速 %2 秒").arg(m_startupCount).arg(m_startupFasterSeconds));
    return m_startupCount;
}

int OptimizeCore::countTextValues(win::Hive root, const QString& subKey)
{
    win::RegistryKey key;
    if (!openForReading(root, subKey, key))
        return 0;
    int count = 0;
    win::RegistryValueIterator values(key, 1024, 4096);
    while (values.next()) {
        if (values.isText())
            ++count;
    }
    return count;
}

void OptimizeCore::countShellAndAppInitHijacks()
{
    win::RegistryKey winlogon;
    if (openForReading(HKLM, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"), winlogon)) {
        QString shell;
        if (winlogon.readText(QStringLiteral("Shell"), &shell, 8192) == win::ErrorSuccess
            && !shell.toLower().contains(QLatin1String("explorer.exe")))
            ++m_startupCount;
        QString userinit;
        if (winlogon.readText(QStringLiteral("Userinit"), &userinit, 8192) == win::ErrorSuccess
            && !userinit.toLower().contains(QLatin1String("userinit.exe")))
            ++m_startupCount;
    }
    win::RegistryKey windows;
    QString appInit;
    if (openForReading(HKLM, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"), windows)
        && windows.readText(QStringLiteral("AppInit_DLLs"), &appInit, 8192) == win::ErrorSuccess
        && !appInit.trimmed().isEmpty())
        ++m_startupCount;
}

void OptimizeCore::countStartupFolderEntries(const QString& folder)
{
    QVector<win::FileEntry> entries;
    if (win::listDirectory(folder, &entries) != win::ErrorSuccess)
        return;
    const QStringList programs = {QStringLiteral("*.exe"), QStringLiteral("*.lnk"), QStringLiteral("*.bat"),
                                  QStringLiteral("*.cmd"), QStringLiteral("*.vbs"), QStringLiteral("*.ps1"),
                                  QStringLiteral("*.wsf")};
    for (const win::FileEntry& entry : entries) {
        if (entry.isFile() && win::matchesAnyWildcard(entry.name, programs))
            ++m_startupCount;
    }
}

int OptimizeCore::countBootAndLogonTasks()
{
    const win::ComApartment com(win::ComApartment::Model::Multithreaded);
    if (!com.succeeded())
        return 0;
    win::TaskService scheduler;
    win::TaskFolder root;
    QVector<win::RegisteredTask> tasks;
    if (win::failed(scheduler.create()) || win::failed(scheduler.connect())
        || win::failed(scheduler.getFolder(QStringLiteral("\\"), &root)) || win::failed(root.getTasks(true, &tasks)))
        return 0;
    int count = 0;
    for (const win::RegisteredTask& task : tasks) {
        bool enabled = false;
        win::TaskDefinition definition;
        if (win::failed(task.enabled(&enabled)) || !enabled || win::failed(task.definition(&definition)))
            continue;
        for (const win::TaskTrigger& trigger : definition.triggers) {
            if (trigger.type == win::TaskTriggerLogon || trigger.type == win::TaskTriggerBoot)
                ++count;
        }
    }
    return count;
}

int OptimizeCore::scanUninstallResidue()
{
    int count = 0;
    forEachUninstallEntry([&count](const UninstallRoot& root, const QString&, const win::RegistryKey& entry) {
        if (isResidue(root, entry))
            ++count;
    });
    return count;
}

bool OptimizeCore::isResidue(const UninstallRoot& root, const win::RegistryKey& entry)
{
    QString location;
    if (entry.readString(QStringLiteral("InstallLocation"), &location, 8192) != win::ErrorSuccess
        && entry.readString(QStringLiteral("InstallDir"), &location, 8192) != win::ErrorSuccess)
        return false;
    const QString expanded = root.expand(location);
    if (expanded.startsWith(QLatin1String("C:\\Windows"), Qt::CaseInsensitive)
        || expanded.startsWith(QLatin1String("C:\\ProgramData"), Qt::CaseInsensitive))
        return false;
    return !expanded.isEmpty() && !expanded.contains('%') && !win::pathExists(expanded);
}

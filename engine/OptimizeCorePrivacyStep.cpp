#include "engine/OptimizeCore.h"

#include "platform/ComApartment.h"
#include "platform/TaskScheduler.h"

// Step 4: the privacy settings.

void OptimizeCore::applyPrivacySettings()
{
    emitProgress(4, 66, QStringLiteral("正在检查隐私相关计划任务..."));
    if (!isWin7())
        disableTelemetryTasks();

    emitProgress(4, 68, QStringLiteral("正在关闭客户体验改善计划..."));
    const win::Hive machine = win::Hive::LocalMachine;
    setRegistryDword(machine, QStringLiteral("SOFTWARE\\Microsoft\\SQMClient\\Windows"), QStringLiteral("CEIPEnable"), 0);

    emitProgress(4, 70, QStringLiteral("正在应用隐私保护设置..."));
    if (!isWin7())
        setRegistryDword(machine, QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection"),
                         QStringLiteral("AllowTelemetry"), 0);
    setRegistryDword(win::Hive::CurrentUser, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo"),
                     QStringLiteral("Enabled"), 0);
    if (isWin10OrLater())
        setRegistryDword(machine, QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search"),
                         QStringLiteral("AllowCortana"), 0);
    setRegistryDword(machine, QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Windows\\System"),
                     QStringLiteral("EnableActivityFeed"), 0);
    // Windows keeps this consent as the text "Allow" or "Deny"; a number in its
    // place would be unreadable to it and the access would stay allowed.
    setRegistryString(machine,
                      QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\userAccountInformation"),
                      QStringLiteral("Value"), QStringLiteral("Deny"));
    emitProgress(4, 74, QStringLiteral("隐私优化完成"));
}

void OptimizeCore::disableTelemetryTasks()
{
    const win::ComApartment com(win::ComApartment::Model::Multithreaded);
    win::TaskService scheduler;
    if (win::failed(scheduler.create()) || win::failed(scheduler.connect()))
        return;
    const QPair<const char*, const char*> tasks[] = {
        {"\\Microsoft\\Windows\\Application Experience\\", "Microsoft Compatibility Appraiser"},
        {"\\Microsoft\\Windows\\Application Experience\\", "ProgramDataUpdater"},
        {"\\Microsoft\\Windows\\Customer Experience Improvement Program\\", "Consolidator"},
        {"\\Microsoft\\Windows\\Customer Experience Improvement Program\\", "UsbCeip"},
        {"\\Microsoft\\Windows\\DiskDiagnostic\\", "Microsoft-Windows-DiskDiagnosticDataCollector"}};
    for (const auto& row : tasks) {
        win::TaskFolder folder;
        win::RegisteredTask task;
        if (win::succeeded(scheduler.getFolder(QLatin1String(row.first), &folder))
            && win::succeeded(folder.getTask(QLatin1String(row.second), &task)))
            task.setEnabled(false);
    }
}

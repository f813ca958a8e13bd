#include "maintenance/SystemSettings.h"

#include "common/FileLogger.h"
#include "common/ServiceStartChange.h"
#include "common/SystemInfo.h"
#include "platform/RegistrySettings.h"
#include "platform/ServiceControl.h"
#include "platform/SystemFacts.h"

namespace {

const QString VisualEffectsKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VisualEffects");
const QString ExplorerAdvancedKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced");
const char* const PerformanceValues[] = {"TaskbarAnimations", "ListviewAlphaSelect", "ListviewShadow",
                                         "ListviewWatermark", "MenuAnimation",       "ComboBoxAnimation",
                                         "ToolTipAnimation",  "CursorShadow",        "DropShadow",
                                         "FlatMenus",         "FontSmoothing"};
const QString HighPerformanceScheme = QStringLiteral("{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}");

struct RarelyNeededService
{
    const char* name;
    const char* displayName;
};

const RarelyNeededService RarelyNeededServices[] = {
    {"Fax", "传真服务"},
    {"RemoteRegistry", "远程注册表"},
    {"bthserv", "蓝牙支持服务"},
    {"BDESVC", "BitLocker驱动器加密服务"},
    {"scardsvc", "智能卡"},
    {"SCardSvr", "智能卡设备枚举服务"},
    {"lltdsvc", "链路层拓扑发现映射器"},
    {"SSDPSRV", "SSDP发现"},
    {"upnphost", "通用即插即用设备主机"},
    {"WMPNetworkSvc", "Windows Media Player网络共享服务"}};

struct PrivacyGroup
{
    const char* key;
    QStringList values;   // each set to `data`
    int data;
    const char* logLine;
    bool windows10Only;
};

QVector<PrivacyGroup> privacyGroups()
{
    return {
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Feeds",
         {QStringLiteral("EnableFeeds")}, 0, "已关闭任务栏新闻和兴趣", true},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
         {QStringLiteral("ShowSyncProviderNotifications")}, 0, "已关闭文件资源管理器广告通知", false},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ContentDeliveryManager",
         {QStringLiteral("SystemPaneSuggestionsEnabled"), QStringLiteral("SilentInstalledAppsEnabled"),
          QStringLiteral("PreInstalledAppsEnabled")},
         0, "已关闭设置中的推荐内容", false},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search",
         {QStringLiteral("AllowCortana"), QStringLiteral("AllowSearchToUseLocation")}, 0, "已关闭Cortana网络搜索", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection",
         {QStringLiteral("AllowTelemetry")}, 1, "已将诊断数据设置为基本级别", false}};
}

void log(const QString& line)
{
    FileLogger::instance()->log(line);
}

} // namespace

SystemSettings::SystemSettings(QObject* parent) : QObject(parent)
{
}

int SystemSettings::optimize()
{
    int count = 0;
    log(QStringLiteral("开始系统设置优化..."));

    emit progressUpdated(10, QStringLiteral("调整视觉效果..."));
    if (setVisualEffectsPerformance()) {
        ++count;
        log(QStringLiteral("视觉效果优化完成"));
    }

    emit progressUpdated(30, QStringLiteral("优化电源计划..."));
    if (isOnBatteryPower()) {
        log(QStringLiteral("电池模式，跳过电源计划优化"));
    } else if (setHighPerformancePowerPlan()) {
        ++count;
        log(QStringLiteral("电源计划优化完成"));
    }

    emit progressUpdated(50, QStringLiteral("优化系统服务..."));
    const int services = optimizeServices();
    count += services;
    log(QStringLiteral("系统服务优化完成，优化了 %1 项").arg(services));

    emit progressUpdated(70, QStringLiteral("优化隐私设置..."));
    if (!isDomainJoined() && windowsVersion() >= WindowsVersion::Win10) {
        const int privacy = optimizePrivacy();
        count += privacy;
        log(QStringLiteral("隐私设置优化完成，优化了 %1 项").arg(privacy));
    } else {
        log(QStringLiteral("域环境或系统版本不支持，跳过隐私优化"));
    }

    emit progressUpdated(100, QStringLiteral("系统设置优化完成"));
    log(QStringLiteral("系统设置优化完成，总计优化 %1 项").arg(count));
    emit optimizeCompleted(count);
    return count;
}

bool SystemSettings::setVisualEffectsPerformance()
{
    log(QStringLiteral("调整视觉效果为最佳性能..."));
    writeRegistryValue(VisualEffectsKey, QStringLiteral("VisualFXSetting"), 2);
    for (const char* value : PerformanceValues)
        writeRegistryValue(ExplorerAdvancedKey, QLatin1String(value), 0);
    win::systemParametersInfo(win::SpiSetNonClientMetrics, 0, win::SpifSendChange);
    return true;
}

bool SystemSettings::setHighPerformancePowerPlan()
{
    log(QStringLiteral("切换电源计划为高性能..."));
    const win::Error result = win::powerSetActiveScheme(HighPerformanceScheme);
    if (result != win::ErrorSuccess) {
        FileLogger::instance()->error(QStringLiteral("电源计划切换失败，错误码: %1").arg(result));
        return false;
    }
    log(QStringLiteral("电源计划已切换为高性能"));
    return true;
}

// A service is only ever lowered to manual start: one that is disabled stays
// disabled, and one whose start type cannot be read is left alone.
int SystemSettings::optimizeServices()
{
    log(QStringLiteral("开始优化系统服务..."));
    int changed = 0;
    for (const RarelyNeededService& row : RarelyNeededServices) {
        if (lowerServiceStart(QLatin1String(row.name), win::ServiceDemandStart, ServiceStartChange::Stop::IfRunning).outcome
            != ServiceStartChange::Set)
            continue;
        ++changed;
        log(QStringLiteral("服务已设置为手动: %1").arg(QString::fromUtf8(row.displayName)));
    }
    return changed;
}

int SystemSettings::optimizePrivacy()
{
    log(QStringLiteral("开始隐私与权限优化..."));
    const bool windows10 = windowsVersion() == WindowsVersion::Win10;
    int applied = 0;
    for (const PrivacyGroup& group : privacyGroups()) {
        if (group.windows10Only && !windows10)
            continue;
        for (const QString& value : group.values)
            writeRegistryValue(QLatin1String(group.key), value, group.data);
        ++applied;
        log(QString::fromUtf8(group.logLine));
    }
    return applied;
}

bool SystemSettings::isOnBatteryPower() const
{
    return ::isOnBatteryPower();
}

bool SystemSettings::isDomainJoined() const
{
    return ::isDomainJoined();
}

QVariant SystemSettings::readRegistryValue(const QString& keyPath, const QString& name,
                                           const QVariant& defaultValue) const
{
    return win::RegistrySettings(keyPath).value(name, defaultValue);
}

bool SystemSettings::writeRegistryValue(const QString& keyPath, const QString& name, const QVariant& value)
{
    win::RegistrySettings(keyPath).setValue(name, value);
    return true;
}

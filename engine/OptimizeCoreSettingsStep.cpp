#include "engine/OptimizeCore.h"

#include "engine/OptimizeCoreHelpers.h"
#include "platform/Devices.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"

using optimizecore::bcdeditProgram;

// Step 3: the system settings.

namespace {

// The three lines of one service of the step: disabled, passed over, and
// failed with something escaping the call (%1 the service's name).
struct ServiceLines
{
    const char* disabled;
    const char* skipped;
    const char* failed;
};

const ServiceLines RowLines = {"  服务禁用 [C2-C7]: %1 → 已禁用", "  服务 [C2-C7]: %1 → 不存在或前置不满足，跳过",
                               "  服务 %1 禁用失败"};
const ServiceLines LegacyLines = {"  服务禁用 [V1.4]: %1 → 已禁用", "  服务 [V1.4]: %1 → 不存在或已禁用，跳过",
                                  "  旧版服务 %1 禁用失败"};

// Whatever escapes the disabling of one service ends with its line; the
// step goes on with the next.
void disableWithLine(OptimizeCore& core, const QString& name, const ServiceLines& lines)
{
    const char* line = nullptr;
    try {
        line = core.disableService(name) ? lines.disabled : lines.skipped;
    } catch (...) {
        line = lines.failed;
    }
    core.logError(QString::fromUtf8(line).arg(name));
}

} // namespace

void OptimizeCore::applySystemSettings()
{
    const win::Hive user = win::Hive::CurrentUser;
    if (isWin10OrLater()) {
        emitProgress(3, 42, QStringLiteral("正在关闭透明效果..."));
        setRegistryDword(user, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"),
                         QStringLiteral("EnableTransparency"), 0);
    }
    emitProgress(3, 44, QStringLiteral("正在加速菜单响应..."));
    setRegistryString(user, QStringLiteral("Control Panel\\Desktop"), QStringLiteral("MenuShowDelay"), QStringLiteral("0"));
    emitProgress(3, 46, QStringLiteral("正在关闭窗口动画..."));
    setRegistryString(user, QStringLiteral("Control Panel\\Desktop\\WindowMetrics"), QStringLiteral("MinAnimate"),
                      QStringLiteral("0"));
    emitProgress(3, 48, QStringLiteral("正在优化任务栏..."));
    setRegistryDword(user, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"),
                     QStringLiteral("TaskbarAnimations"), 0);
    emitProgress(3, 50, QStringLiteral("正在优化启动配置..."));
    applyBootConfiguration();
    emitProgress(3, 52, QStringLiteral("正在优化网络适配器电源管理..."));
    applyAdapterPowerManagement();
    emitProgress(3, 55, QStringLiteral("正在优化系统服务..."));
    disableRarelyUsedServices();
    emitProgress(3, 60, QStringLiteral("正在优化电源计划..."));
    win::runProgram(QStringLiteral("powercfg"),
                    {QStringLiteral("/setactive"), QStringLiteral("8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c")}, 5000);
    emitProgress(3, 64, QStringLiteral("系统设置优化完成"));
}

// The boot settings are changed only when a backup of the boot store really
// exists, so that a failed change can always be undone.
void OptimizeCore::applyBootConfiguration()
{
    const QString backup = expandEnvironmentPath(QStringLiteral("%WINDIR%\\bcd_backup_")
                                                 + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"))
                                                 + QStringLiteral(".bcd"));
    const win::ProgramRun exported = win::runProgram(bcdeditProgram(), {QStringLiteral("/export"), backup}, 10000);
    logError(QStringLiteral("    D2/D3 启动配置备份: %1").arg(backup));
    if (!exported.finished || exported.exitCode != 0 || !win::pathExists(backup)) {
        logError(QStringLiteral("    D2/D3 跳过：启动配置备份未成功，不修改启动设置"));
        return;
    }
    win::runProgram(bcdeditProgram(),
                    {QStringLiteral("/set"), QStringLiteral("{current}"), QStringLiteral("quietboot"), QStringLiteral("on")},
                    5000);
    logError(QStringLiteral("    D2 已执行: bcdedit /set {current} quietboot on"));
    const QString timeout = m_isDualBoot ? QStringLiteral("5") : QStringLiteral("0");
    win::runProgram(bcdeditProgram(), {QStringLiteral("/timeout"), timeout}, 5000);
    logError(QStringLiteral("    D3 已执行: bcdedit /timeout %1（双系统:%2）")
                 .arg(timeout, m_isDualBoot ? QStringLiteral("是") : QStringLiteral("否")));
}

void OptimizeCore::applyAdapterPowerManagement()
{
    if (m_hasBattery && m_onBatteryPower)
        return;
    quint32 size = 0;
    QVector<win::AdapterInfo> adapters;
    if (win::getAdaptersInfo(&size, &adapters) != win::ErrorBufferOverflow || size == 0
        || win::getAdaptersInfo(&size, &adapters) != win::ErrorSuccess)
        return;
    win::DeviceInfoSet devices;
    if (!devices.open(QLatin1String(win::NetworkAdapterClassGuid)))
        return;
    for (quint32 index = 0; devices.enumDevice(index); ++index) {
        win::RegistryKey key;
        if (devices.openDeviceRegistryKey(index, win::DicsFlagGlobal, 0, win::DiregDev, win::KeySetValue, key)
            == win::ErrorSuccess)
            key.writeDword(QStringLiteral("PnPCapabilities"), 24);
    }
}

void OptimizeCore::disableRarelyUsedServices()
{
    struct Row
    {
        const char* name;
        bool win10Only;
    };
    const Row rows[] = {{"Fax", false}, {"AJRouter", true}, {"PhoneSvc", true},
                        {"PrintWorkflow", true}, {"WbioSrvc", true}, {"DoSvc", true}};
    const bool virtualPrinter = hasVirtualPrinter();
    for (const Row& row : rows) {
        const QString name = QLatin1String(row.name);
        if (row.win10Only && !isWin10OrLater())
            continue;
        if (name == QLatin1String("PrintWorkflow") && virtualPrinter) {
            logError(QStringLiteral("C5 跳过：检测到虚拟打印机，保留 PrintWorkflow"));
            continue;
        }
        if (name == QLatin1String("WbioSrvc") && !m_hasBattery) {
            logError(QStringLiteral("C6 跳过：台式机不需要生物识别服务"));
            continue;
        }
        if (name == QLatin1String("DoSvc") && m_isDomainJoined) {
            logError(QStringLiteral("C7 跳过：域环境保留传递优化"));
            continue;
        }
        disableWithLine(*this, name, RowLines);
    }
    const QStringList notOnWin7 = {QStringLiteral("MapsBroker"), QStringLiteral("RetailDemo"),
                                   QStringLiteral("dmwappushservice"), QStringLiteral("WpcMonSvc")};
    for (const char* legacy : {"TabletInputService", "stisvc", "wisvc", "RetailDemo", "RemoteRegistry", "lfsvc",
                               "MapsBroker", "dmwappushservice", "WpcMonSvc", "SCardSvr", "ScDeviceEnum",
                               "seclogon", "SharedAccess", "sshd"}) {
        const QString name = QLatin1String(legacy);
        if (isWin7() && notOnWin7.contains(name))
            continue;
        disableWithLine(*this, name, LegacyLines);
    }
}

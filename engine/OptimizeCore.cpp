#include "engine/OptimizeCore.h"

#include "common/FileLogger.h"

#include <QDebug>
#include <QThread>

// The run itself: the environment checks (OptimizeCoreChecks.cpp), then the
// work steps in order, each in a source of its own named after it.

OptimizeCore::OptimizeCore(QObject* parent) : QObject(parent) {}

OptimizeCore::~OptimizeCore() = default;

void OptimizeCore::logError(const QString& message)
{
    qWarning().noquote() << "[OptimizeCore]" << message;
    FileLogger::instance()->log(QStringLiteral("[引擎] ") + message);
}

void OptimizeCore::emitProgress(int step, int percent, const QString& text)
{
    emit progressUpdated(step, percent, text);
}

bool OptimizeCore::isWin7() const
{
    return m_osMajor == 6 && m_osMinor == 1;
}

bool OptimizeCore::isWin8OrLater() const
{
    return (m_osMajor == 6 && m_osMinor >= 2) || m_osMajor >= 10;
}

bool OptimizeCore::isWin10OrLater() const
{
    return m_osMajor >= 10;
}

bool OptimizeCore::interruptionRequested() const
{
    return QThread::currentThread()->isInterruptionRequested();
}

void OptimizeCore::startOptimize()
{
    m_cleanedMB = 0;
    m_freedMemoryMB = 0;
    m_junkFilesCount = 0;
    m_startupFasterSeconds = 0;
    m_startupItemsCount = 0;
    emit progressUpdated(0, 0, QStringLiteral("正在检查系统环境..."));
    if (!checkAdminRights()) {
        emit errorOccurred(QStringLiteral("需要管理员权限才能运行优化。"));
        return;
    }
    if (!checkOsVersion()) {
        emit errorOccurred(QStringLiteral("当前系统版本不支持（需Windows 7 SP1及以上）。"));
        return;
    }
    m_isDomainJoined = false;
    detectDomainMembership();
    if (!queryPowerStatus(m_hasBattery, m_onBatteryPower, m_batteryPercent)) {
        emit errorOccurred(QStringLiteral("无法检测电源状态。"));
        return;
    }
    if (m_onBatteryPower && m_batteryPercent < 20) {
        emit errorOccurred(QStringLiteral("电池电量过低（低于20%），请连接电源后再试。"));
        return;
    }
    QString drive;
    if (!detectSystemDrive(drive)) {
        emit errorOccurred(QStringLiteral("无法识别系统盘。"));
        return;
    }
    m_systemDrive = drive;
    m_isDualBoot = detectDualBoot(m_systemDrive);
    if (runWorkSteps(drive))
        finishRun();
}

// Each row is announced before its step runs. Between steps the run stops
// cleanly when the program is closing, so no step is ever left half done.
bool OptimizeCore::runWorkSteps(const QString& drive)
{
    const QVector<WorkStep> steps = {
        {0, 5, QStringLiteral("环境正常，开始优化..."), [] {}},
        {1, 10, QStringLiteral("正在清理系统缓存..."), [this, drive] { m_cleanedMB = cleanSystemCaches(drive); }},
        {2, 30, QStringLiteral("正在整理闲置内存..."), [this] { m_freedMemoryMB = optimizeMemory(); }},
        {3, 40, QStringLiteral("正在调整系统设置..."), [this] { applySystemSettings(); }},
        {4, 65, QStringLiteral("正在优化隐私选项..."), [this] { applyPrivacySettings(); }},
        {5, 75, QStringLiteral("正在优化磁盘性能..."), [this, drive] { optimizeStorage(drive); }},
        {6, 85, QStringLiteral("正在分析开机启动项..."), [this] { m_startupItemsCount = scanStartupItems(); }},
        {6, 92, QStringLiteral("正在扫描卸载残留..."), [this] { m_uninstallResidueCount = scanUninstallResidue(); }},
        {6, 95, QStringLiteral("正在生成详细分析报告..."), [this] { runPhase1Scan(); }},
        {6, 100, QStringLiteral("优化完成！"), [] {}},
    };
    for (const WorkStep& step : steps) {
        if (interruptionRequested()) {
            logError(QStringLiteral("程序正在关闭，优化在步骤之间停止"));
            return false;
        }
        emitProgress(step.step, step.percent, step.text);
        step.run();
    }
    return true;
}

void OptimizeCore::finishRun()
{
    logError(QStringLiteral("Phase1 完成汇总：清理 %1 MB | 释放内存 %2 MB | 清理文件 %3 个 | 开机提速 %4 秒 | 自启项 %5 个 | 卸载残留 %6 个")
                 .arg(m_cleanedMB).arg(m_freedMemoryMB).arg(m_junkFilesCount).arg(m_startupFasterSeconds)
                 .arg(m_startupItemsCount).arg(m_uninstallResidueCount));
    emit optimizationFinished(m_cleanedMB, m_freedMemoryMB, m_junkFilesCount, m_startupFasterSeconds,
                              m_startupItemsCount);
}

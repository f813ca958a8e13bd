#include "maintenance/OptimizeWorker.h"

#include "common/FileLogger.h"
#include "common/SystemInfo.h"
#include "maintenance/CleanupManager.h"
#include "maintenance/DiskMaintainer.h"
#include "maintenance/MemoryVelantrix.h"
#include "maintenance/StartupManager.h"
#include "maintenance/SystemSettings.h"
#include "platform/Clock.h"

#include <QRandomGenerator>
#include <exception>

namespace {

constexpr int ScanPauseMs = 500;
constexpr int StepPauseMs = 2000;

void log(const QString& line)
{
    FileLogger::instance()->log(line);
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("是") : QStringLiteral("否");
}

} // namespace

OptimizeWorker::OptimizeWorker(QObject* parent)
    : QObject(parent)
    , m_cleanup(new CleanupManager(this))
    , m_memory(new MemoryVelantrix(this))
    , m_settings(new SystemSettings(this))
    , m_disk(new DiskMaintainer(this))
    , m_startup(new StartupManager(this))
    , m_tips{QStringLiteral("电脑用久了会产生碎片，就像房间需要打扫一样。"),
             QStringLiteral("优化过程安全无毒，请放心。"),
             QStringLiteral("定期清理可以让电脑保持流畅运行。"),
             QStringLiteral("内存就像工作台，空间越大同时做的事越多。"),
             QStringLiteral("关闭不必要的视觉效果可以让电脑更快。"),
             QStringLiteral("SSD固态硬盘不需要碎片整理，TRIM就够了。"),
             QStringLiteral("开机启动项越少，电脑开机速度越快。"),
             QStringLiteral("临时文件是软件运行产生的垃圾，定期清理有益健康。")}
{
    m_stats.diskType = QStringLiteral("未知");
}

void OptimizeWorker::startOptimize()
{
    log(QStringLiteral("========== 开始优化流程 =========="));
    m_cancelled = false;
    m_startTickMs = win::tickCountMs();
    try {
        announce(0, QStringLiteral("环境检测"), 5, QStringLiteral("正在检测系统环境..."));
        if (!checkEnvironment()) {
            emit optimizeError(QStringLiteral("系统环境检测失败"));
            return;
        }
        if (!runSteps())
            return;
        // Measured on the system's tick count, so a run across midnight
        // still takes the time it took.
        m_stats.elapsedSeconds = int((win::tickCountMs() - m_startTickMs) / 1000);
        emit progressChanged(100, QStringLiteral("优化完成！"), QStringLiteral("电脑已经焕然一新啦~"));
        log(QStringLiteral("优化完成，总耗时: %1 秒").arg(m_stats.elapsedSeconds));
        log(QStringLiteral("清理空间: %1 MB").arg(m_stats.cleanedMB));
        log(QStringLiteral("释放内存: %1 MB").arg(m_stats.freedMemoryMB));
        log(QStringLiteral("设置优化: %1 项").arg(m_stats.settingsCount));
        log(QStringLiteral("========== 优化流程结束 =========="));
        emit optimizeFinished(true);
    } catch (const std::exception& e) {
        const QString message = QString::fromLocal8Bit(e.what());
        FileLogger::instance()->error(QStringLiteral("优化异常: %1").arg(message));
        emit optimizeError(message);
    }
}

// Steps 1 to 6; false when a cancel request stopped the run between two.
bool OptimizeWorker::runSteps()
{
    struct Step
    {
        const char* name;
        int percent;
        const char* status;
        void (OptimizeWorker::*work)();
        int pauseMs;
    };
    static const Step Steps[] = {
        {"扫描系统冗余", 10, "正在扫描系统冗余...", &OptimizeWorker::scanStep, ScanPauseMs},
        {"清理无用缓存", 25, "正在清理无用缓存...", &OptimizeWorker::cleanStep, 0},
        {"整理闲置内存", 50, "正在整理闲置内存...", &OptimizeWorker::memoryStep, StepPauseMs},
        {"调整系统设置", 65, "正在调整系统设置...", &OptimizeWorker::settingsStep, StepPauseMs},
        {"磁盘维护", 80, "正在进行磁盘维护...", &OptimizeWorker::diskStep, StepPauseMs},
        {"完成优化", 95, "正在完成最后优化...", &OptimizeWorker::startupStep, 0}};
    int index = 1;
    for (const Step& step : Steps) {
        if (m_cancelled)
            return false;
        announce(index++, QString::fromUtf8(step.name), step.percent, QString::fromUtf8(step.status));
        (this->*step.work)();
        if (step.pauseMs > 0)
            win::sleepMs(step.pauseMs);
    }
    return true;
}

void OptimizeWorker::cancelOptimize()
{
    m_cancelled = true;
    log(QStringLiteral("用户取消优化"));
}

void OptimizeWorker::announce(int index, const QString& name, int percent, const QString& status)
{
    emit stepChanged(index, name);
    emit progressChanged(percent, status, randomTip());
}

bool OptimizeWorker::checkEnvironment()
{
    const SystemInfo info = collectSystemInfo();
    log(QStringLiteral("环境检测结果:"));
    log(QStringLiteral("  系统: %1").arg(info.osVersionText));
    log(QStringLiteral("  64位: %1").arg(yesNo(info.is64Bit)));
    log(QStringLiteral("  笔记本: %1").arg(yesNo(info.hasBattery)));
    log(QStringLiteral("  域环境: %1").arg(yesNo(info.isDomainJoined)));
    log(QStringLiteral("  电池供电: %1").arg(yesNo(info.onBatteryPower)));
    log(QStringLiteral("  电量: %1%").arg(info.batteryPercent));
    log(QStringLiteral("  系统盘: %1盘").arg(info.systemDrive));
    if (!isSupportedWindows()) {
        FileLogger::instance()->error(QStringLiteral("系统版本不支持"));
        return false;
    }
    if (!isRunningAsAdmin()) {
        FileLogger::instance()->error(QStringLiteral("缺少管理员权限"));
        return false;
    }
    return true;
}

void OptimizeWorker::scanStep()
{
    m_cleanup->scanCleanableSpace();
}

void OptimizeWorker::cleanStep()
{
    m_stats.cleanedMB = m_cleanup->performCleanup();
}

void OptimizeWorker::memoryStep()
{
    m_stats.freedMemoryMB = m_memory->optimize();
}

void OptimizeWorker::settingsStep()
{
    m_stats.settingsCount = m_settings->optimize();
}

void OptimizeWorker::diskStep()
{
    if (m_disk->isOnBatteryPower()) {
        log(QStringLiteral("电池模式，跳过磁盘维护"));
        m_stats.diskDone = false;
        m_stats.diskType = QStringLiteral("跳过");
        return;
    }
    m_stats.diskDone = m_disk->performMaintenance();
    switch (m_disk->diskType()) {
    case DiskType::HDD: m_stats.diskType = QStringLiteral("机械硬盘(HDD)"); break;
    case DiskType::SSD: m_stats.diskType = QStringLiteral("固态硬盘(SSD)"); break;
    default: m_stats.diskType = QStringLiteral("未知"); break;
    }
}

void OptimizeWorker::startupStep()
{
    m_startup->scanItems();
}

QString OptimizeWorker::randomTip() const
{
    return m_tips.at(int(QRandomGenerator::global()->bounded(quint32(m_tips.size()))));
}

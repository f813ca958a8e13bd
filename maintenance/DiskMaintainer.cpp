#include "maintenance/DiskMaintainer.h"

#include "common/FileLogger.h"
#include "common/SystemInfo.h"
#include "platform/Programs.h"

namespace {

const QString Defragmenter = QStringLiteral("defrag.exe");
constexpr int AnalysisWaitMs = 10000;
constexpr int MaintenanceWaitMs = 300000;

bool containsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (text.contains(QString::fromUtf8(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

DiskMaintainer::DiskMaintainer(QObject* parent) : QObject(parent)
{
}

bool DiskMaintainer::isOnBatteryPower() const
{
    return ::isOnBatteryPower();
}

bool DiskMaintainer::performMaintenance()
{
    FileLogger::instance()->log(QStringLiteral("开始磁盘维护..."));
    m_diskType = detectDiskType();
    if (m_diskType == DiskType::HDD) {
        FileLogger::instance()->log(QStringLiteral("检测到机械硬盘(HDD)，执行碎片整理"));
        emit progressUpdated(20, QStringLiteral("正在进行磁盘碎片整理..."));
        return defragmentHdd();
    }
    FileLogger::instance()->log(QStringLiteral("检测到固态硬盘(SSD)，执行TRIM优化"));
    emit progressUpdated(20, QStringLiteral("正在执行SSD TRIM优化..."));
    return trimSsd();
}

// The SSD words are tested first: a machine with both kinds of disk names both.
DiskType DiskMaintainer::detectDiskType()
{
    const win::ProgramRun run = win::runProgram(Defragmenter, {QStringLiteral("C:"), QStringLiteral("/A")}, AnalysisWaitMs);
    const QString report = win::fromLocal8Bit(run.standardOutput);
    if (containsAny(report, {"SSD", "固态硬盘", "Solid State"}))
        return DiskType::SSD;
    if (containsAny(report, {"HDD", "机械硬盘", "Hard Disk"}))
        return DiskType::HDD;
    return isSystemDriveSsd() ? DiskType::SSD : DiskType::HDD;
}

// Only a run that started, ended within the wait and exited 0 is done; one
// still going when the wait ends has been stopped and is reported as such.
bool DiskMaintainer::runDefrag(const QString& arguments)
{
    const win::ProgramRun run =
        win::runProgram(Defragmenter, arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts), MaintenanceWaitMs);
    if (!run.started)
        FileLogger::instance()->error(QStringLiteral("无法启动磁盘优化程序: %1").arg(Defragmenter));
    else if (!run.finished)
        FileLogger::instance()->error(QStringLiteral("磁盘优化超过 %1 秒仍未结束，已停止").arg(MaintenanceWaitMs / 1000));
    return run.started && run.finished && run.exitCode == 0;
}

bool DiskMaintainer::defragmentHdd()
{
    const bool ok = runDefrag(QStringLiteral("C: /O"));
    emit progressUpdated(100, QStringLiteral("磁盘碎片整理完成"));
    emit maintenanceCompleted(ok, DiskType::HDD);
    if (ok)
        FileLogger::instance()->log(QStringLiteral("HDD碎片整理完成"));
    else
        FileLogger::instance()->error(QStringLiteral("HDD碎片整理失败"));
    return ok;
}

bool DiskMaintainer::trimSsd()
{
    const bool ok = runDefrag(QStringLiteral("C: /L"));
    emit progressUpdated(100, QStringLiteral("SSD TRIM优化完成"));
    emit maintenanceCompleted(ok, DiskType::SSD);
    if (ok)
        FileLogger::instance()->log(QStringLiteral("SSD TRIM优化完成"));
    else
        FileLogger::instance()->error(QStringLiteral("SSD TRIM优化失败"));
    return ok;
}

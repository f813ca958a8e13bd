#include "maintenance/DiskMaintainer.h"

#include "common/FileLogger.h"
#include "common/NativeSystemPath.h"
#include "common/SystemInfo.h"
#include "platform/Programs.h"

#include <algorithm>
#include <initializer_list>

namespace {

constexpr int AnalysisWaitMs = 10000;
constexpr int MaintenanceWaitMs = 300000;

void log(const QString& line)
{
    FileLogger::instance()->log(line);
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
    log(QStringLiteral("开始磁盘维护..."));
    m_diskType = detectDiskType();
    if (m_diskType == DiskType::HDD) {
        log(QStringLiteral("检测到机械硬盘(HDD)，执行碎片整理"));
        emit progressUpdated(20, QStringLiteral("正在进行磁盘碎片整理..."));
        return defragmentHdd();
    }
    if (m_diskType == DiskType::SSD) {
        log(QStringLiteral("检测到固态硬盘(SSD)，执行TRIM优化"));
        emit progressUpdated(20, QStringLiteral("正在执行SSD TRIM优化..."));
        return trimSsd();
    }
    return optimizeUnknownDisk();
}

DiskType DiskMaintainer::diskTypeNamedIn(const QString& analysis)
{
    const auto names = [&analysis](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&analysis](const char* word) {
            return analysis.contains(QString::fromUtf8(word), Qt::CaseInsensitive);
        });
    };
    if (names({"SSD", "固态硬盘", "Solid State"}))
        return DiskType::SSD;
    if (names({"HDD", "机械硬盘", "Hard Disk"}))
        return DiskType::HDD;
    return DiskType::Unknown;
}

// The analysis comes first. Where it names no kind (Windows' own report names
// none), the system drive's kind speaks for C: when C: is the system drive,
// and otherwise the one detection asks about C: itself; a disk it cannot tell
// stays of unknown kind rather than being taken for a hard disk.
DiskType DiskMaintainer::detectDiskType()
{
    const win::ProgramRun analysis = win::runProgram(nativeSystemProgram(QStringLiteral("defrag.exe")),
                                                     {QStringLiteral("C:"), QStringLiteral("/A")}, AnalysisWaitMs);
    const DiskType named = diskTypeNamedIn(win::fromLocal8Bit(analysis.standardOutput));
    if (named != DiskType::Unknown)
        return named;
    if (systemDriveLetter().compare(QLatin1String("C"), Qt::CaseInsensitive) == 0 && isSystemDriveSsd())
        return DiskType::SSD;
    return diskTypeOfDrive(QStringLiteral("C:"));
}

// A disk whose kind is not known is neither defragmented as a hard disk nor
// trimmed as an SSD: the optimizer's /O does what suits the disk it finds.
// Windows 7's defragmenter has no such choice, so there it is left alone.
bool DiskMaintainer::optimizeUnknownDisk()
{
    if (windowsVersion() < WindowsVersion::Win8) {
        log(QStringLiteral("未能识别磁盘类型，跳过磁盘维护"));
        emit progressUpdated(100, QStringLiteral("未能识别磁盘类型，已跳过磁盘维护"));
        emit maintenanceCompleted(false, DiskType::Unknown);
        return false;
    }
    log(QStringLiteral("未能识别磁盘类型，按磁盘类型优化"));
    emit progressUpdated(20, QStringLiteral("正在按磁盘类型优化..."));
    const bool ok = runDefrag(QStringLiteral("C: /O"));
    emit progressUpdated(100, QStringLiteral("磁盘优化完成"));
    emit maintenanceCompleted(ok, DiskType::Unknown);
    if (ok)
        log(QStringLiteral("磁盘优化完成"));
    else
        FileLogger::instance()->error(QStringLiteral("磁盘优化失败"));
    return ok;
}

// Only a run that started, ended within the wait and exited 0 is done; one
// still going when the wait ends has been stopped and is reported as such.
// The defragmenter has no 32-bit copy: under WOW64 it is started through
// the Sysnative alias.
bool DiskMaintainer::runDefrag(const QString& arguments)
{
    const QString program = nativeSystemProgram(QStringLiteral("defrag.exe"));
    const win::ProgramRun run =
        win::runProgram(program, arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts), MaintenanceWaitMs);
    if (!run.started)
        FileLogger::instance()->error(QStringLiteral("无法启动磁盘优化程序: %1").arg(program));
    else if (!run.finished)
        FileLogger::instance()->error(QStringLiteral("磁盘优化超过 %1 秒仍未结束，已停止").arg(MaintenanceWaitMs / 1000));
    return run.succeeded();
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

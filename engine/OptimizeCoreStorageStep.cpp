#include "engine/OptimizeCore.h"

#include "common/NativeSystemPath.h"
#include "engine/OptimizeCoreHelpers.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"
#include "platform/SystemFacts.h"

using optimizecore::BytesPerMB;

// Step 5: storage: hibernation, fast startup and disk maintenance.

namespace {

constexpr quint64 BytesPerGB = 1073741824;

QString yesNo(bool flag, const char* yes, const char* no)
{
    return QString::fromUtf8(flag ? yes : no);
}

} // namespace

void OptimizeCore::optimizeStorage(const QString& drive)
{
    emitProgress(5, 76, QStringLiteral("正在分析存储配置..."));
    win::MemoryStatus memory;
    win::globalMemoryStatusEx(&memory);
    const int ramGB = int(memory.totalPhysical / BytesPerGB);
    quint64 totalBytes = 0;
    quint64 freeBytes = 0;
    const bool spaceKnown = systemDriveUsage(drive, nullptr, &totalBytes, &freeBytes);
    if (!spaceKnown)
        logError(QStringLiteral("  存储决策: 无法读取系统盘空间，不做休眠与还原决策"));
    if (isWin8OrLater() && spaceKnown) {
        decideStorage(ramGB, int(totalBytes / BytesPerGB), int(freeBytes / BytesPerGB));
        applyStorageDecision(drive, ramGB);
    }
    logError(QStringLiteral("  存储决策: 快速启动[%1]（%2）| 休眠[%3]（%4）| 虚拟内存[%5] | 系统还原[%6]%7")
                 .arg(yesNo(m_storage.fastStartupRecommended, "启用", "不启用"), m_storage.fastStartupReason,
                      yesNo(m_storage.keepHibernation, "保持", "关闭"), m_storage.hibernationReason,
                      m_storage.pagefileAdvice, m_storage.restoreAdvice,
                      m_storage.hibernationDisabledNow
                          ? QStringLiteral(" | 本次释放约 %1 MB").arg(m_storage.hibernationFreedMB) : QString()));

    emitProgress(5, 80, QStringLiteral("正在检查虚拟内存配置..."));
    win::FileEntry pagefile;
    if (win::fileInfo(drive + QStringLiteral("\\pagefile.sys"), &pagefile) == win::ErrorSuccess)
        logError(QStringLiteral("虚拟内存文件大小: %1 MB（建议：%2）").arg(pagefile.size / BytesPerMB).arg(m_storage.pagefileAdvice));

    emitProgress(5, 82, QStringLiteral("正在检查系统还原设置..."));
    const qint64 restoreBytes = directorySize(drive + QStringLiteral("\\System Volume Information\\"));
    if (restoreBytes > 0)
        logError(QStringLiteral("系统还原占用: %1 MB（建议：%2）").arg(restoreBytes / qint64(BytesPerMB)).arg(m_storage.restoreAdvice));

    emitProgress(5, 83, QStringLiteral("正在分析磁盘类型..."));
    maintainDisk(drive, diskTypeOfDrive(drive));
    emitProgress(5, 85, QStringLiteral("磁盘维护完成"));
}

void OptimizeCore::decideStorage(int ramGB, int diskGB, int freeGB)
{
    StorageDecision& s = m_storage;
    if (m_isDualBoot)
        s.fastStartupReason = QStringLiteral("双系统环境，不建议启用快速启动（安全风险）");
    else if (diskGB < 32)
        s.fastStartupReason = QStringLiteral("系统盘容量不足32GB，不建议启用");
    else if (freeGB < 5)
        s.fastStartupReason = QStringLiteral("可用空间不足5GB，无法创建休眠文件");
    else
        s.fastStartupReason = QStringLiteral("空间充裕，建议启用快速启动");
    s.fastStartupRecommended = !m_isDualBoot && diskGB >= 32 && freeGB >= 5;

    const bool tightSpace = ramGB >= 16 && freeGB < 20;
    s.keepHibernation = true;
    if (s.fastStartupRecommended) {
        s.hibernationReason = QStringLiteral("快速启动依赖休眠文件，必须保持休眠");
    } else if (m_hasBattery && m_onBatteryPower) {
        s.hibernationReason = QStringLiteral("笔记本电池供电，建议保持休眠（防断电丢工作）");
    } else if (tightSpace) {
        s.keepHibernation = false;
        s.hibernationReason = QStringLiteral("内存≥16GB且空间不足20GB，建议关闭休眠（约释放 %1 GB）").arg(ramGB * 3 / 4);
    } else {
        s.hibernationReason = QStringLiteral("空间充裕，建议保持休眠");
    }
    s.pagefileAdvice = tightSpace ? QStringLiteral("建议将虚拟内存减小至 2-4GB") : QStringLiteral("保持系统自动管理");
    if (freeGB > 50)
        s.restoreAdvice = QStringLiteral("空间充裕，保持系统还原");
    else if (freeGB < 30)
        s.restoreAdvice = QStringLiteral("建议减小还原点配额至 3-5%");
    else
        s.restoreAdvice = QStringLiteral("保持系统还原");
}

// The hibernation file is credited only when it was there and is gone after
// the command: a refused or failed command frees nothing.
void OptimizeCore::applyStorageDecision(const QString& drive, int ramGB)
{
    const int wait = 10000;
    if (m_storage.fastStartupRecommended) {
        applyFastStartup(wait);
        return;
    }
    if (m_storage.keepHibernation)
        return;
    const QString hibernationFile = drive + QStringLiteral("\\hiberfil.sys");
    const bool existed = win::pathExists(hibernationFile);
    const QStringList off = {QStringLiteral("/hibernate"), QStringLiteral("off")};
    if (!win::runProgram(QStringLiteral("powercfg"), off, wait).succeeded()) {
        logError(QStringLiteral("    H1 未完成: powercfg /hibernate off"));
        return;
    }
    logError(QStringLiteral("    H1 已关闭休眠: powercfg /hibernate off"));
    if (!existed || win::pathExists(hibernationFile))
        return;
    const quint64 freedBytes = quint64(ramGB) * BytesPerGB * 3 / 4;
    const int freedMB = int(freedBytes / BytesPerMB);
    m_cleanedMB += freedMB;
    m_storage.hibernationDisabledNow = true;
    m_storage.hibernationFreedMB += freedMB;
}

// Hibernation file types exist from Windows 10 on; before, a full file is
// all there is, and powercfg refuses the switch.
void OptimizeCore::applyFastStartup(int waitMs)
{
    const QStringList on = {QStringLiteral("/hibernate"), QStringLiteral("on")};
    if (!win::runProgram(QStringLiteral("powercfg"), on, waitMs).succeeded()) {
        logError(QStringLiteral("    D1 未完成: powercfg /hibernate on"));
        return;
    }
    if (!isWin10OrLater()) {
        logError(QStringLiteral("    D1 已启用快速启动: powercfg /hibernate on"));
        return;
    }
    const QStringList fullType = {QStringLiteral("/h"), QStringLiteral("/type"), QStringLiteral("full")};
    const bool fullFile = win::runProgram(QStringLiteral("powercfg"), fullType, waitMs).succeeded();
    logError(fullFile ? QStringLiteral("    D1 已启用快速启动: powercfg /hibernate on + /h /type full")
                      : QStringLiteral("    D1 已启用快速启动: powercfg /hibernate on（/h /type full 未完成）"));
}

// Only a disk known to be a hard disk is defragmented: defragmenting an SSD
// wears it. A disk of unknown kind is left to the optimizer's own choice
// (/O, Windows 8 and later), or left alone on Windows 7, whose defragmenter
// has no such choice. A line says a run was done only when the defragmenter
// started, finished and exited 0.
void OptimizeCore::maintainDisk(const QString& drive, DiskType kind)
{
    QString action;
    QString option;
    if (kind == DiskType::SSD && isWin8OrLater()) {
        emitProgress(5, 84, QStringLiteral("正在优化SSD（TRIM）..."));
        action = QStringLiteral("执行 TRIM (/L)");
        option = QStringLiteral("/L");
    } else if (kind == DiskType::SSD) {
        emitProgress(5, 84, QStringLiteral("SSD检测，跳过碎片整理"));
        action = QStringLiteral("跳过（SSD Win7）");
    } else if (kind == DiskType::HDD) {
        emitProgress(5, 84, QStringLiteral("正在整理磁盘碎片..."));
        action = QStringLiteral("执行碎片整理 (/U)");
        option = QStringLiteral("/U");
    } else if (isWin8OrLater()) {
        emitProgress(5, 84, QStringLiteral("正在按磁盘类型优化..."));
        action = QStringLiteral("按磁盘类型优化 (/O)");
        option = QStringLiteral("/O");
    } else {
        emitProgress(5, 84, QStringLiteral("无法识别磁盘类型，跳过碎片整理"));
        action = QStringLiteral("跳过（无法识别磁盘类型）");
    }
    const QString kindName = kind == DiskType::SSD ? QStringLiteral("SSD")
                             : kind == DiskType::HDD ? QStringLiteral("HDD") : QStringLiteral("未知");
    if (!option.isEmpty()
        && !win::runProgram(nativeSystemProgram(QStringLiteral("defrag.exe")), {drive, option}, 120000).succeeded()) {
        logError(QStringLiteral("  磁盘维护: %1 → %2 未完成（磁盘优化程序未能运行或未正常结束）").arg(kindName, action));
        return;
    }
    logError(QStringLiteral("  磁盘维护: %1 → %2").arg(kindName, action));
}

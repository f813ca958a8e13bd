#include "maintenance/MemoryVelantrix.h"

#include "common/FileLogger.h"
#include "common/SystemInfo.h"
#include "platform/Clock.h"
#include "platform/Processes.h"
#include "platform/SystemFacts.h"
#include "platform/Windows.h"

#include <QByteArray>
#include <QtEndian>

namespace {

const QString Ntdll = QStringLiteral("ntdll.dll");
const QString Kernel32 = QStringLiteral("kernel32.dll");
constexpr quint64 BytesPerMB = 1048576;
constexpr int SettleMs = 500;

void log(const QString& line)
{
    FileLogger::instance()->log(line);
}

} // namespace

MemoryVelantrix::MemoryVelantrix(QObject* parent)
    : QObject(parent)
    , m_excludedProcesses{QStringLiteral("svchost.exe"), QStringLiteral("lsass.exe"), QStringLiteral("winlogon.exe"),
                          QStringLiteral("csrss.exe"), QStringLiteral("smss.exe"), QStringLiteral("services.exe"),
                          QStringLiteral("wininit.exe"), QStringLiteral("explorer.exe"), QStringLiteral("dwm.exe"),
                          QStringLiteral("System"), QStringLiteral("System Idle Process"), QStringLiteral("360tray.exe"),
                          QStringLiteral("360sd.exe"), QStringLiteral("360safe.exe"), QStringLiteral("MsMpEng.exe"),
                          QStringLiteral("MpDefenderCoreService.exe"), QStringLiteral("kav.exe"),
                          QStringLiteral("kavsvc.exe"), QStringLiteral("chrome.exe"), QStringLiteral("msedge.exe"),
                          QStringLiteral("firefox.exe"), QStringLiteral("WINWORD.EXE"), QStringLiteral("EXCEL.EXE"),
                          QStringLiteral("POWERPNT.EXE"), QStringLiteral("WPS.exe"), QStringLiteral("wps.exe"),
                          QStringLiteral("Velantrix.exe"), QStringLiteral("Loader.exe"), QStringLiteral("Updater.exe")}
{
}

qulonglong MemoryVelantrix::optimize()
{
    log(QStringLiteral("开始内存优化..."));
    availBeforeMB = availablePhysicalMemoryMB();
    log(QStringLiteral("优化前可用内存: %1 MB").arg(availBeforeMB));

    emit progressUpdated(20, QStringLiteral("清理待机内存..."));
    log(purgeStandbyList() ? QStringLiteral("待机内存清理成功") : QStringLiteral("待机内存清理失败或不支持"));

    emit progressUpdated(50, QStringLiteral("整理后台进程内存..."));
    const qulonglong trimmed = trimWorkingSets();
    log(QStringLiteral("已整理 %1 个后台进程的工作集").arg(trimmed));

    emit progressUpdated(80, QStringLiteral("调整系统缓存..."));
    limitSystemFileCache();
    win::sleepMs(SettleMs);

    availAfterMB = availablePhysicalMemoryMB();
    releaseSystemFileCacheLimit();
    const qulonglong freed = availAfterMB > availBeforeMB ? availAfterMB - availBeforeMB : 0;
    log(QStringLiteral("优化后可用内存: %1 MB").arg(availAfterMB));
    log(QStringLiteral("内存优化完成，释放: %1 MB").arg(freed));

    emit progressUpdated(100, QStringLiteral("内存优化完成"));
    emit optimizeCompleted(freed);
    return freed;
}

bool MemoryVelantrix::purgeStandbyList()
{
    if (!win::moduleExports(Ntdll, "NtSetSystemInformation"))
        return false;
    QByteArray command(4, '\0');
    qToLittleEndian<quint32>(win::MemoryPurgeStandbyList, command.data());
    return win::ntSetSystemInformation(win::SystemMemoryListInformation, command) == win::StatusSuccess;
}

qulonglong MemoryVelantrix::trimWorkingSets()
{
    const quint32 foreground = foregroundProcessId();
    QVector<win::ProcessEntry> processes;
    if (win::snapshotProcesses(&processes) != win::ErrorSuccess)
        return 0;
    qulonglong count = 0;
    for (const win::ProcessEntry& process : processes) {
        if (isExcludedProcess(process.exeFile) || process.processId == foreground)
            continue;
        win::ProcessHandle handle;
        if (handle.open(process.processId, win::ProcessSetQuota | win::ProcessQueryInformation) != win::ErrorSuccess)
            continue;
        handle.emptyWorkingSet();
        ++count;
    }
    return count;
}

// The cap is asked for with flags 0, so it is enforced only where a hard
// maximum already is, and lasts only while the run measures: the limits in
// force are read first and put back after. A half of memory that the 32-bit
// size argument cannot hold is not passed cut down to its low bits, and a
// hard limit that the 32-bit reading cannot give back whole is not touched.
bool MemoryVelantrix::limitSystemFileCache()
{
    m_fileCacheBefore = FileCacheLimits();
    if (!win::moduleExports(Kernel32, "SetSystemFileCacheSize")
        || !win::moduleExports(Kernel32, "GetSystemFileCacheSize"))
        return false;
    const quint64 half = totalPhysicalMemoryMB() * BytesPerMB / 2;
    FileCacheLimits before;
    if (half > win::MaxSizeT
        || !win::getSystemFileCacheSize(&before.minimumBytes, &before.maximumBytes, &before.flags))
        return false;
    const bool hardLimit = before.flags & (win::FileCacheMaxHardEnable | win::FileCacheMinHardEnable);
    if (hardLimit && before.maximumBytes == win::MaxSizeT)
        return false;
    if (!win::setSystemFileCacheSize(0, win::SizeT(half), 0))
        return false;
    before.capped = true;
    m_fileCacheBefore = before;
    return true;
}

void MemoryVelantrix::releaseSystemFileCacheLimit()
{
    if (!m_fileCacheBefore.capped)
        return;
    const FileCacheLimits before = m_fileCacheBefore;
    m_fileCacheBefore = FileCacheLimits();
    if (!win::setSystemFileCacheSize(before.minimumBytes, before.maximumBytes, 0))
        FileLogger::instance()->error(QStringLiteral("系统缓存上限未能解除"));
}

quint32 MemoryVelantrix::foregroundProcessId() const
{
    const win::WindowHandle window = win::foregroundWindow();
    return window ? win::windowProcessId(window) : 0;
}

bool MemoryVelantrix::isExcludedProcess(const QString& name) const
{
    return m_excludedProcesses.contains(name, Qt::CaseInsensitive);
}

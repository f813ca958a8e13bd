#include "engine/OptimizeCore.h"

#include "common/DiskType.h"
#include "common/EnvironmentPath.h"
#include "common/FileLogger.h"
#include "common/FileRemover.h"
#include "common/NativeSystemPath.h"
#include "common/PrinterList.h"
#include "common/ServiceStartChange.h"
#include "common/StartupLocation.h"
#include "common/UninstallRoot.h"
#include "platform/Clock.h"
#include "platform/ComApartment.h"
#include "platform/Desktop.h"
#include "platform/Devices.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Programs.h"
#include "platform/RegistryIterators.h"
#include "platform/ServiceControl.h"
#include "platform/SystemFacts.h"
#include "platform/TaskScheduler.h"

#include "scanners/BrowserHijackScanner.h"
#include "scanners/ConflictScanner.h"
#include "scanners/JunkwareDetector.h"
#include "scanners/PopupScanner.h"
#include "scanners/SignatureStore.h"
#include "scanners/StartupLocationScanner.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

namespace {

constexpr quint64 BytesPerMB = 1048576;
constexpr quint8 NoSystemBattery = 128;

QString bcdeditProgram()
{
    return nativeSystemProgram(QStringLiteral("bcdedit.exe"));
}

} // namespace

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

// ---------------------------------------------------------------------------
// Environment checks

bool OptimizeCore::checkAdminRights()
{
    bool member = false;
    return win::checkAdministratorsMembership(&member) && member;
}

bool OptimizeCore::checkOsVersion()
{
    if (!win::moduleExports(QStringLiteral("ntdll.dll"), "RtlGetVersion"))
        return false;
    win::OsVersionInfo info;
    win::rtlGetVersion(&info);
    m_osMajor = int(info.majorVersion);
    m_osMinor = int(info.minorVersion);
    m_osBuild = int(info.buildNumber);
    return (m_osMajor == 6 && m_osMinor >= 1) || m_osMajor >= 10;
}

void OptimizeCore::detectDomainMembership()
{
    QString name;
    int status = win::NetSetupUnknownStatus;
    if (win::netGetJoinInformation(&name, &status) == win::ErrorSuccess)
        m_isDomainJoined = status == win::NetSetupDomainName;
}

bool OptimizeCore::queryPowerStatus(bool& hasBattery, bool& onBatteryPower, int& batteryPercent)
{
    win::PowerStatus status;
    if (!win::getSystemPowerStatus(&status))
        return false;
    hasBattery = status.batteryFlag != NoSystemBattery;
    onBatteryPower = status.acLineStatus == 0;
    batteryPercent = status.batteryLifePercent > 100 ? -1 : status.batteryLifePercent;
    return true;
}

bool OptimizeCore::detectSystemDrive(QString& drive)
{
    QString directory;
    const quint32 length = win::getSystemDirectory(&directory, 260);
    if (length == 0 || length >= 260)
        return false;
    drive = directory.left(2);
    return true;
}

bool OptimizeCore::detectDualBoot(const QString& drive)
{
    QVector<win::FileEntry> entries;
    win::listDirectory(drive + '\\', &entries);
    int windowsFolders = 0;
    for (const win::FileEntry& entry : entries) {
        const QString name = entry.name.toLower();
        if (entry.isDirectory() && (name.contains(QLatin1String("windows")) || name.contains(QLatin1String("winnt"))))
            ++windowsFolders;
    }
    // A second system on another partition leaves no folder here, but the
    // boot manager lists its loader; its boot menu must stay visible.
    return windowsFolders > 1 || bootManagerListsSeveralWindows();
}

bool OptimizeCore::bootManagerListsSeveralWindows()
{
    const win::ProgramRun run = win::runProgram(bcdeditProgram(), {QStringLiteral("/enum")}, 5000);
    if (!run.finished || run.exitCode != 0)
        return false;
    int loaders = 0;
    const QStringList lines = win::fromLocal8Bit(run.standardOutput).split('\n');
    for (const QString& line : lines) {
        const QString text = line.trimmed().toLower();
        if (text.startsWith(QLatin1String("path")) && text.contains(QLatin1String("winload")))
            ++loaders;
    }
    return loaders > 1;
}

bool OptimizeCore::interruptionRequested() const
{
    return QThread::currentThread()->isInterruptionRequested();
}

// ---------------------------------------------------------------------------
// The run

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

// ---------------------------------------------------------------------------
// Engine system utilities

namespace {

// Opens a key for writing in the 64-bit view, creating it when it is missing.
bool openForWriting(win::Hive root, const QString& subKey, win::RegistryKey& key)
{
    const quint32 access = win::KeySetValue | win::KeyWow64_64Key;
    return key.open(root, subKey, access) == win::ErrorSuccess
           || key.create(root, subKey, access) == win::ErrorSuccess;
}

bool openService(const QString& name, quint32 managerAccess, quint32 serviceAccess,
                 win::ServiceManagerHandle& manager, win::ServiceHandle& service)
{
    return manager.open(managerAccess) == win::ErrorSuccess
           && manager.openService(name, serviceAccess, service) == win::ErrorSuccess;
}

} // namespace

bool OptimizeCore::setRegistryDword(win::Hive root, const QString& subKey, const QString& valueName, quint32 value)
{
    win::RegistryKey key;
    if (!openForWriting(root, subKey, key) || key.writeDword(valueName, value) != win::ErrorSuccess)
        return false;
    logError(QStringLiteral("    注册表(DWORD): %1\\%2 = %3").arg(subKey, valueName).arg(value));
    return true;
}

bool OptimizeCore::setRegistryString(win::Hive root, const QString& subKey, const QString& valueName,
                                     const QString& value)
{
    win::RegistryKey key;
    if (!openForWriting(root, subKey, key) || key.writeText(valueName, value) != win::ErrorSuccess)
        return false;
    logError(QStringLiteral("    注册表(SZ): %1\\%2 = \"%3\"").arg(subKey, valueName, value));
    return true;
}

bool OptimizeCore::disableService(const QString& serviceName)
{
    const ServiceStartChange change = lowerServiceStart(serviceName, win::ServiceDisabled, ServiceStartChange::Stop::AndWait);
    if (change.read)
        logError(QStringLiteral("服务 %1 原始启动类型: %2 → 将设为 DISABLED").arg(serviceName).arg(change.previousStartType));
    return change.outcome == ServiceStartChange::Set;
}

bool OptimizeCore::startServiceByName(const QString& serviceName)
{
    win::ServiceManagerHandle manager;
    win::ServiceHandle service;
    return openService(serviceName, win::ScManagerConnect, win::ServiceStart, manager, service)
           && service.start() == win::ErrorSuccess;
}

// A status query that fails tells nothing about the service, so it never
// counts as stopped: the caller must not act as if the service were down.
bool OptimizeCore::stopServiceAndWait(const QString& serviceName)
{
    win::ServiceManagerHandle manager;
    win::ServiceHandle service;
    if (!openService(serviceName, win::ScManagerConnect, win::ServiceStop | win::ServiceQueryStatus, manager, service))
        return false;
    win::ServiceStatus status;
    if (service.control(win::ServiceControlStop, &status) != win::ErrorSuccess)
        return false;
    const quint64 sent = win::tickCountMs();
    while (status.currentState != win::ServiceStopped) {
        if (win::tickCountMs() - sent > 3000)
            return false;
        win::sleepMs(200);
        if (service.queryStatus(&status) != win::ErrorSuccess)
            return false;
    }
    return true;
}

bool OptimizeCore::isProcessRunning(const QString& exeName)
{
    QVector<win::ProcessEntry> processes;
    if (win::snapshotProcesses(&processes) != win::ErrorSuccess)
        return false;
    const QString wanted = exeName.toLower();
    for (const win::ProcessEntry& process : processes) {
        if (process.exeFile.toLower() == wanted)
            return true;
    }
    return false;
}

// Links are not followed: a junction inside the folder would otherwise count
// another folder's files, or loop.
qint64 OptimizeCore::directorySize(const QString& path)
{
    if (!win::isDirectory(path))
        return 0;
    qint64 total = 0;
    win::FileWalker walker(path);
    while (walker.next()) {
        if (walker.entry().isFile() && !walker.entry().isReparsePoint())
            total += qint64(walker.entry().size);
    }
    return total;
}

bool OptimizeCore::hasVirtualPrinter()
{
    for (const QString& printer : installedPrinterNames()) {
        const QString name = printer.toLower();
        for (const char* word : {"pdf", "xps", "onenote", "print to"}) {
            if (name.contains(QLatin1String(word)))
                return true;
        }
    }
    return false;
}

bool OptimizeCore::isSystemDiskSsd(const QString& drive)
{
    return diskTypeOfDrive(drive) == DiskType::SSD;
}

QString OptimizeCore::expandEnvironmentPath(const QString& path)
{
    return ::expandEnvironmentPath(path);
}

// ---------------------------------------------------------------------------
// Step 1: caches

qint64 OptimizeCore::cleanFolder(const QString& path, const QStringList& patterns, const QDateTime& modifiedBefore,
                                 int hours)
{
    if (!win::isDirectory(path))
        return 0;
    const RemovalTally removed = FileRemover().removeFiles(path, patterns, modifiedBefore);
    m_junkFilesCount += removed.files;
    if (removed.files > 0) {
        const qint64 mb = removed.bytes / qint64(BytesPerMB);
        const QString files = QString::number(removed.files);
        logError(hours > 0
                     ? QStringLiteral("    清理目录(限时%1h) %2: 释放 %3 MB，删除 %4 个文件").arg(QString::number(hours), path, QString::number(mb), files)
                     : QStringLiteral("    清理目录 %1: 释放 %2 MB，删除 %3 个文件").arg(path, QString::number(mb), files));
    }
    return removed.bytes;
}

qint64 OptimizeCore::cleanDirectory(const QString& path, const QStringList& patterns)
{
    return cleanFolder(path, patterns, QDateTime(), 0);
}

qint64 OptimizeCore::cleanDirectoryOlderThan(const QString& path, int hours, const QStringList& patterns)
{
    return cleanFolder(path, patterns, QDateTime::currentDateTime().addSecs(-qint64(hours) * 3600), hours);
}

int OptimizeCore::cleanSystemCaches(const QString& drive)
{
    const QString localAppData = expandEnvironmentPath(QStringLiteral("%LOCALAPPDATA%"));
    const QString windowsDir = expandEnvironmentPath(QStringLiteral("%WINDIR%"));
    qint64 total = 0;
    auto subtotal = [this, &total](const QString& label, qint64 start) {
        logError(QStringLiteral("  清理 [%1]: +%2 MB").arg(label).arg((total - start) / qint64(BytesPerMB)));
    };

    emitProgress(1, 12, QStringLiteral("正在清理Windows错误报告..."));
    qint64 start = total;
    const QStringList reports = {QStringLiteral("*.dmp"), QStringLiteral("*.wer")};
    for (const char* folder : {"%ALLUSERSPROFILE%\\Microsoft\\Windows\\WER\\ReportArchive\\",
                               "%ALLUSERSPROFILE%\\Microsoft\\Windows\\WER\\ReportQueue\\",
                               "%LOCALAPPDATA%\\Microsoft\\Windows\\WER\\ReportArchive\\",
                               "%LOCALAPPDATA%\\Microsoft\\Windows\\WER\\ReportQueue\\"})
        total += cleanDirectoryOlderThan(expandEnvironmentPath(QLatin1String(folder)), 24, reports);
    subtotal(QStringLiteral("A1 WER错误报告"), start);

    emitProgress(1, 15, QStringLiteral("正在清理.NET临时文件..."));
    start = total;
    total += cleanDotNetTemporaryFiles(windowsDir, localAppData);
    subtotal(QStringLiteral("A5 .NET临时文件"), start);

    emitProgress(1, 18, QStringLiteral("正在检查磁盘使用率..."));
    start = total;
    total += cleanSystemFileCaches(drive);
    subtotal(QStringLiteral("B1 系统文件缓存(≥85%)"), start);

    emitProgress(1, 22, QStringLiteral("正在清理着色器缓存..."));
    start = total;
    total += cleanDirectory(localAppData + QStringLiteral("\\Microsoft\\DirectX Shader Cache\\"), {});
    if (isWin7())
        total += cleanDirectory(localAppData + QStringLiteral("\\NVIDIA\\GLCache\\"), {});
    total += cleanDirectory(localAppData + QStringLiteral("\\NVIDIA\\DXCache\\"), {});
    total += cleanDirectory(localAppData + QStringLiteral("\\AMD\\DxCache\\"), {});
    subtotal(QStringLiteral("A3 着色器缓存"), start);

    emitProgress(1, 24, QStringLiteral("正在重建字体缓存..."));
    start = total;
    total += cleanFontCache();
    subtotal(QStringLiteral("A6 字体缓存"), start);

    if (isWin10OrLater()) {
        emitProgress(1, 25, QStringLiteral("正在清理传递优化缓存..."));
        start = total;
        total += cleanDeliveryOptimisation(drive);
        subtotal(QStringLiteral("A4 传递优化缓存"), start);
    }

    emitProgress(1, 26, QStringLiteral("正在刷新DNS缓存..."));
    if (win::runProgram(QStringLiteral("ipconfig"), {QStringLiteral("/flushdns")}, 10000).succeeded())
        logError(QStringLiteral("  已执行 A7：DNS缓存刷新（ipconfig /flushdns）"));
    else
        logError(QStringLiteral("  A7 未完成：DNS缓存刷新失败（ipconfig /flushdns）"));

    emitProgress(1, 27, QStringLiteral("正在清理旧版系统缓存..."));
    start = total;
    total += cleanLegacyCaches(windowsDir, localAppData);
    subtotal(QStringLiteral("V1.4 浏览器/TEMP/缩略图"), start);

    emitProgress(1, 29, QStringLiteral("磁盘清理完成"));
    return int(total / qint64(BytesPerMB));
}

qint64 OptimizeCore::cleanDotNetTemporaryFiles(const QString& windowsDir, const QString& localAppData)
{
    QStringList folders;
    for (const char* framework : {"\\Microsoft.NET\\Framework\\", "\\Microsoft.NET\\Framework64\\"}) {
        QVector<win::FileEntry> versions;
        if (win::listDirectory(windowsDir + QLatin1String(framework), &versions) != win::ErrorSuccess)
            continue;
        for (const win::FileEntry& version : versions) {
            const QString temporary = version.path + QStringLiteral("\\Temporary ASP.NET Files\\");
            if (version.isDirectory() && version.name.startsWith('v') && win::isDirectory(temporary))
                folders << temporary;
        }
    }
    qint64 bytes = 0;
    for (const QString& folder : folders)
        bytes += cleanDirectory(folder, {});
    bytes += cleanDirectory(localAppData + QStringLiteral("\\Microsoft\\Windows\\INetCache\\"), {});
    bytes += cleanDirectory(expandEnvironmentPath(QStringLiteral("%TEMP%\\.NET\\")), {});
    return bytes;
}

// A space query that reports a total of 0 bytes is as good as a failed one.
bool OptimizeCore::systemDriveUsage(const QString& drive, double* usagePercent, quint64* totalBytes,
                                    quint64* freeBytes)
{
    quint64 freeToCaller = 0;
    quint64 total = 0;
    quint64 totalFree = 0;
    if (!win::getDiskFreeSpaceEx(drive + '\\', &freeToCaller, &total, &totalFree) || total == 0)
        return false;
    if (usagePercent)
        *usagePercent = (1.0 - double(freeToCaller) / double(total)) * 100.0;
    if (totalBytes)
        *totalBytes = total;
    if (freeBytes)
        *freeBytes = freeToCaller;
    return true;
}

qint64 OptimizeCore::cleanSystemFileCaches(const QString& drive)
{
    double usage = 0;
    if (!systemDriveUsage(drive, &usage, nullptr, nullptr) || usage < 85.0)
        return 0;
    emitProgress(1, 20, QStringLiteral("磁盘使用率较高，正在深度清理系统缓存..."));
    const bool updating = isProcessRunning(QStringLiteral("wuauclt.exe"))
                          || isProcessRunning(QStringLiteral("trustedinstaller.exe"));
    bool running = false;
    bool pending = false;
    queryServiceState(QStringLiteral("wuauserv"), &running, &pending);
    if (updating || pending) {
        logError(QStringLiteral("B1 跳过：Windows Update 正在运行，暂不深度清理系统缓存"));
        return 0;
    }
    if (running)
        stopServiceAndWait(QStringLiteral("wuauserv"));
    qint64 bytes = cleanDirectory(drive + QStringLiteral("\\Windows\\SoftwareDistribution\\Download\\"), {});
    bytes += cleanDirectory(drive + QStringLiteral("\\Windows\\Temp\\"), {});
    if (running)
        startServiceByName(QStringLiteral("wuauserv"));
    return bytes;
}

void OptimizeCore::queryServiceState(const QString& serviceName, bool* running, bool* pending)
{
    *running = false;
    *pending = false;
    win::ServiceManagerHandle manager;
    win::ServiceHandle service;
    win::ServiceStatus status;
    if (!openService(serviceName, win::ScManagerConnect, win::ServiceQueryStatus, manager, service)
        || service.queryStatus(&status) != win::ErrorSuccess)
        return;
    *running = status.currentState == win::ServiceRunning;
    *pending = status.currentState == win::ServiceStartPending || status.currentState == win::ServiceStopPending;
}

qint64 OptimizeCore::cleanFontCache()
{
    // Windows 7 keeps the cache in the real system folder, which this program
    // sees redirected under WOW64.
    const QString cacheFile = nativeSystemPath(expandEnvironmentPath(
        isWin7() ? QStringLiteral("%SystemRoot%\\System32\\FNTCACHE.DAT")
                 : QStringLiteral("%LOCALAPPDATA%\\Microsoft\\Windows\\Fonts\\FontCache.dat")));
    stopServiceAndWait(QStringLiteral("FontCache"));
    qint64 bytes = 0;
    if (win::pathExists(cacheFile) && FileRemover().removeFile(cacheFile, &bytes))
        ++m_junkFilesCount;
    startServiceByName(QStringLiteral("FontCache"));
    return bytes;
}

qint64 OptimizeCore::cleanDeliveryOptimisation(const QString& drive)
{
    bool running = false;
    bool pending = false;
    queryServiceState(QStringLiteral("DoSvc"), &running, &pending);
    if (running)
        stopServiceAndWait(QStringLiteral("DoSvc"));
    qint64 bytes = cleanDirectory(drive + QStringLiteral("\\Windows\\SoftwareDistribution\\DeliveryOptimization\\"), {});
    bytes += cleanDirectory(drive + QStringLiteral("\\Windows\\ServiceProfiles\\NetworkService\\AppData\\Local\\Microsoft\\Windows\\DeliveryOptimization\\"), {});
    if (running)
        startServiceByName(QStringLiteral("DoSvc"));
    return bytes;
}

qint64 OptimizeCore::cleanLegacyCaches(const QString& windowsDir, const QString& localAppData)
{
    win::startDetached(QStringLiteral("cleanmgr.exe"), {QStringLiteral("/sagerun:99")});
    qint64 bytes = 0;
    for (const char* cache : {"\\Google\\Chrome\\User Data\\Default\\Cache\\",
                              "\\Google\\Chrome\\User Data\\Default\\Code Cache\\",
                              "\\Microsoft\\Edge\\User Data\\Default\\Cache\\",
                              "\\Microsoft\\Edge\\User Data\\Default\\Code Cache\\"})
        bytes += cleanDirectory(localAppData + QLatin1String(cache), {});
    QVector<win::FileEntry> profiles;
    if (win::listDirectory(expandEnvironmentPath(QStringLiteral("%APPDATA%\\Mozilla\\Firefox\\Profiles\\")), &profiles)
        == win::ErrorSuccess) {
        for (const win::FileEntry& profile : profiles) {
            if (profile.isDirectory() && !profile.isReparsePoint())
                bytes += cleanDirectory(profile.path + QStringLiteral("\\cache2\\"), {});
        }
    }
    bytes += cleanDirectory(expandEnvironmentPath(QStringLiteral("%TEMP%\\")), {});
    bytes += cleanDirectory(windowsDir + QStringLiteral("\\Temp\\"), {});
    bytes += cleanDirectory(localAppData + QStringLiteral("\\Microsoft\\Windows\\Explorer\\"), {QStringLiteral("thumbcache_*.db")});
    return bytes;
}

// ---------------------------------------------------------------------------
// Step 2: memory

int OptimizeCore::optimizeMemory()
{
    win::MemoryStatus before;
    win::globalMemoryStatusEx(&before);

    emitProgress(2, 32, QStringLiteral("正在整理系统内存列表..."));
    // The memory-list request is sent without a buffer: the system refuses it
    // and changes nothing, which is all this step relies on.
    if (win::moduleExports(QStringLiteral("ntdll.dll"), "NtSetSystemInformation"))
        win::ntSetSystemInformation(isWin7() ? win::SystemMemoryListInformation : 1, QByteArray());

    emitProgress(2, 34, QStringLiteral("正在回收进程工作集..."));
    trimWorkingSets();

    emitProgress(2, 38, QStringLiteral("正在计算内存释放量..."));
    win::MemoryStatus after;
    win::globalMemoryStatusEx(&after);
    const quint64 beforeMB = before.availablePhysical / BytesPerMB;
    const quint64 afterMB = after.availablePhysical / BytesPerMB;
    const int freed = afterMB > beforeMB ? int(afterMB - beforeMB) : 0;

    emitProgress(2, 39, QStringLiteral("内存优化完成"));
    logError(QStringLiteral("  内存优化: 释放 %1 MB").arg(freed));
    return freed;
}

void OptimizeCore::trimWorkingSets()
{
    QVector<win::ProcessEntry> processes;
    if (win::snapshotProcesses(&processes) != win::ErrorSuccess)
        return;
    const quint32 ownPid = win::currentProcessId();
    for (const win::ProcessEntry& process : processes) {
        if (process.processId < 10 || process.processId == ownPid)
            continue;
        win::ProcessHandle handle;
        if (handle.open(process.processId, win::ProcessSetQuota | win::ProcessQueryInformation) == win::ErrorSuccess)
            handle.setWorkingSetSize(win::WorkingSetEmpty, win::WorkingSetEmpty);
    }
}

// ---------------------------------------------------------------------------
// Step 3: system settings

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
        logError(disableService(name) ? QStringLiteral("  服务禁用 [C2-C7]: %1 → 已禁用").arg(name)
                                      : QStringLiteral("  服务 [C2-C7]: %1 → 不存在或前置不满足，跳过").arg(name));
    }
    const QStringList notOnWin7 = {QStringLiteral("MapsBroker"), QStringLiteral("RetailDemo"),
                                   QStringLiteral("dmwappushservice"), QStringLiteral("WpcMonSvc")};
    for (const char* legacy : {"TabletInputService", "stisvc", "wisvc", "RetailDemo", "RemoteRegistry", "lfsvc",
                               "MapsBroker", "dmwappushservice", "WpcMonSvc", "SCardSvr", "ScDeviceEnum",
                               "seclogon", "SharedAccess", "sshd"}) {
        const QString name = QLatin1String(legacy);
        if (isWin7() && notOnWin7.contains(name))
            continue;
        logError(disableService(name) ? QStringLiteral("  服务禁用 [V1.4]: %1 → 已禁用").arg(name)
                                      : QStringLiteral("  服务 [V1.4]: %1 → 不存在或已禁用，跳过").arg(name));
    }
}

// ---------------------------------------------------------------------------
// Step 4: privacy

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

// ---------------------------------------------------------------------------
// Step 5: storage

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

// ---------------------------------------------------------------------------
// Step 6: startup entries and uninstall leftovers

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

// ---------------------------------------------------------------------------
// Report step

void OptimizeCore::runPhase1Scan()
{
    m_report = ScanReportBundle();
    m_report.storage = m_storage;
    m_report.uninstallResidueCount = m_uninstallResidueCount;
    SignatureStore& store = SignatureStore::instance();
    if (!store.isLoaded()) {
        store.load(QCoreApplication::applicationDirPath() + QStringLiteral("/signatures"));
        // A damaged signature file must not pass for a clean machine.
        for (const QString& problem : store.problems())
            FileLogger::instance()->error(QStringLiteral("特征库：") + problem);
    }

    emit progressUpdated(6, 96, QStringLiteral("正在深度分析开机自启..."));
    StartupLocationScanner().scanStartupLocations(m_report);
    emit progressUpdated(6, 97, QStringLiteral("正在检测垃圾软件..."));
    JunkwareDetector().scanJunkware(m_report);
    emit progressUpdated(6, 98, QStringLiteral("正在检查浏览器劫持..."));
    BrowserHijackScanner().scanBrowserHijack(m_report);
    emit progressUpdated(6, 98, QStringLiteral("正在分析弹窗进程..."));
    PopupScanner().scanPopups(m_report);
    emit progressUpdated(6, 99, QStringLiteral("正在检查软件冲突..."));
    ConflictScanner().scanConflicts(m_report);

    logReportRecords();
    logError(QStringLiteral("  Phase1扫描汇总: 自启 %1 项 | 垃圾软件 %2 款 | 浏览器劫持 %3 处 | 可疑弹窗 %4 个 | 冲突/建议 %5 条")
                 .arg(m_report.startupItems.size()).arg(m_report.junkware.size()).arg(m_report.browserHijacks.size())
                 .arg(m_report.popups.size()).arg(m_report.conflicts.size()));
}

void OptimizeCore::logReportRecords()
{
    for (const StartupFinding& f : qAsConst(m_report.startupItems)) {
        if (f.riskLevel >= 1 || f.hijacked)
            logError(QStringLiteral("    扫描[自启]: %1 | %2 | 评分%3 | %4")
                         .arg(f.name, f.location, QString::number(f.score), f.riskLabel));
    }
    for (const JunkwareFinding& f : qAsConst(m_report.junkware))
        logError(QStringLiteral("    扫描[垃圾软件]: %1(%2) | 维度:%3 | 风险:%4")
                     .arg(f.nameCn.isEmpty() ? f.name : f.nameCn, f.id, f.dimension, f.riskLevel));
    for (const BrowserFinding& f : qAsConst(m_report.browserHijacks)) {
        if (f.abnormal)
            logError(QStringLiteral("    扫描[浏览器劫持]: %1 | %2 | 当前值:%3").arg(f.browser, f.item, f.currentValue));
    }
    for (const PopupFinding& f : qAsConst(m_report.popups))
        logError(QStringLiteral("    扫描[可疑弹窗]: %1 (PID %2) | %3")
                     .arg(f.processName, QString::number(f.pid), f.reason));
    for (const ConflictFinding& f : qAsConst(m_report.conflicts))
        logError(QStringLiteral("    扫描[冲突/建议]: %1 | %2").arg(f.title, f.advice));
}

#include "engine/OptimizeCore.h"

#include "common/FileRemover.h"
#include "common/NativeSystemPath.h"
#include "engine/OptimizeCoreHelpers.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"
#include "platform/ServiceControl.h"
#include "platform/SystemFacts.h"

using optimizecore::BytesPerMB;
using optimizecore::openService;

// Step 1: the caches and temporary files.

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

#include "engine/OptimizeCore.h"

#include "common/EnvironmentPath.h"
#include "common/PrinterList.h"
#include "common/ServiceStartChange.h"
#include "engine/OptimizeCoreHelpers.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/ServiceControl.h"

using optimizecore::openService;

// The system utilities the work steps share.

namespace {

// Opens a key for writing in the 64-bit view, creating it when it is missing.
bool openForWriting(win::Hive root, const QString& subKey, win::RegistryKey& key)
{
    const quint32 access = win::KeySetValue | win::KeyWow64_64Key;
    return key.open(root, subKey, access) == win::ErrorSuccess
           || key.create(root, subKey, access) == win::ErrorSuccess;
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

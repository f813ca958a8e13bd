#include "platform/SystemFacts.h"

#include "platform/sim/MachineAccess.h"

#include <QStringList>

using win::sim::MachineAccess;

namespace win {

namespace {

const char* const KnownModules[] = {"ntdll.dll", "kernel32.dll", "advapi32.dll", "psapi.dll",
                                    "netapi32.dll", "powrprof.dll", "user32.dll", "wintrust.dll",
                                    "srclient.dll"};

bool isKnownModule(const QString& module)
{
    for (const char* known : KnownModules) {
        if (module.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

bool moduleExports(const QString& module, const char* procedure)
{
    MachineAccess access;
    if (!access || !isKnownModule(module))
        return false;
    const QString key = module + '!' + QLatin1String(procedure);
    return !access->system().missingProcedures.contains(key, Qt::CaseInsensitive);
}

qint32 rtlGetVersion(OsVersionInfo* info)
{
    MachineAccess access;
    if (!access)
        return StatusInvalidParameter;
    const auto& version = access->system().version;
    info->majorVersion = version.major;
    info->minorVersion = version.minor;
    info->buildNumber = version.build;
    info->platformId = 2;  // VER_PLATFORM_WIN32_NT
    info->csdVersion = version.csdVersion;
    return StatusSuccess;
}

void getNativeSystemInfo(NativeSystemInfo* info)
{
    MachineAccess access;
    if (!access)
        return;
    info->processorArchitecture = access->system().architecture;
    info->numberOfProcessors = access->system().processors;
}

bool isWow64Process(bool* wow64)
{
    MachineAccess access;
    if (!access)
        return false;
    *wow64 = access->isWow64Process();
    return true;
}

bool checkAdministratorsMembership(bool* isMember)
{
    MachineAccess access;
    if (!access || access->system().adminSidFails)
        return false;
    *isMember = access->system().administrator;
    return true;
}

quint32 getSystemDirectory(QString* path, quint32 bufferChars)
{
    MachineAccess access;
    if (!access || access->system().systemDirectoryFails)
        return 0;
    const QString& directory = access->system().systemDirectory;
    if (quint32(directory.size()) + 1 > bufferChars)
        return quint32(directory.size()) + 1;
    *path = directory;
    return quint32(directory.size());
}

bool getComputerNameEx(int format, QString* name, quint32* sizeChars, Error* error)
{
    auto fail = [error](Error e) {
        if (error)
            *error = e;
        return false;
    };
    MachineAccess access;
    if (!access || access->system().computerNameFails)
        return fail(ErrorInvalidParameter);
    QString answer;
    switch (format) {
    case ComputerNameNetBIOS: answer = access->system().computerName.toUpper().left(15); break;
    case ComputerNameDnsHostname: answer = access->system().computerName; break;
    case ComputerNameDnsDomain: answer = access->system().dnsDomain; break;
    default: return fail(ErrorInvalidParameter);
    }
    if (quint32(answer.size()) + 1 > *sizeChars) {
        *sizeChars = quint32(answer.size()) + 1;
        return fail(ErrorMoreData);
    }
    *name = answer;
    *sizeChars = quint32(answer.size());
    return true;
}

Error netGetJoinInformation(QString* name, int* joinStatus)
{
    MachineAccess access;
    if (!access || access->system().netJoinFails)
        return ErrorAccessDenied;
    *name = access->system().joinName;
    *joinStatus = access->system().joinStatus;
    return ErrorSuccess;
}

bool globalMemoryStatusEx(MemoryStatus* status)
{
    MachineAccess access;
    if (!access)
        return false;
    const auto& memory = access->system().memory;
    status->totalPhysical = memory.totalBytes;
    status->availablePhysical = qMin(memory.availableBytes, memory.totalBytes);
    status->memoryLoad = memory.totalBytes
        ? quint32(100 - (status->availablePhysical * 100) / memory.totalBytes) : 0;
    status->totalPageFile = memory.totalBytes * 2;
    status->availablePageFile = status->availablePhysical + memory.totalBytes;
    return true;
}

bool getSystemPowerStatus(PowerStatus* status)
{
    MachineAccess access;
    if (!access || access->system().power.queryFails)
        return false;
    const auto& power = access->system().power;
    status->acLineStatus = power.acLineStatus;
    status->batteryFlag = power.batteryFlag;
    status->batteryLifePercent = power.batteryPercent;
    return true;
}

qint32 ntSetSystemInformation(int informationClass, const QByteArray& buffer)
{
    MachineAccess access;
    if (!access)
        return StatusInvalidParameter;
    if (informationClass != SystemMemoryListInformation)
        return StatusInvalidParameter;
    if (buffer.size() != 4)
        return StatusInfoLengthMismatch;
    if (!access->system().administrator)
        return StatusPrivilegeNotHeld;
    const quint32 command = quint8(buffer[0]) | quint32(quint8(buffer[1])) << 8
                            | quint32(quint8(buffer[2])) << 16 | quint32(quint8(buffer[3])) << 24;
    if (command != MemoryPurgeStandbyList)
        return StatusInvalidParameter;
    ++access->system().standbyListPurges;
    access->markChanged();
    return StatusSuccess;
}

namespace {

bool fail(Error* error, Error code)
{
    if (error)
        *error = code;
    return false;
}

// Whether `flags` asks for `enable` or `disable` of one limit, and not both.
bool readLimitFlags(quint32 flags, quint32 enable, quint32 disable, bool* hard)
{
    if ((flags & enable) && (flags & disable))
        return false;
    if (flags & enable)
        *hard = true;
    else if (flags & disable)
        *hard = false;
    return true;
}

} // namespace

// A hard maximum below the cache's working set trims it at once; the pages
// it gives up become available memory.
bool setSystemFileCacheSize(SizeT minimumBytes, SizeT maximumBytes, quint32 flags, Error* error)
{
    MachineAccess access;
    if (!access)
        return fail(error, ErrorInvalidHandle);
    if (!access->system().administrator)
        return fail(error, ErrorPrivilegeNotHeld);
    sim::SimFileCache cache = access->system().fileCache;
    if (minimumBytes > maximumBytes
        || !readLimitFlags(flags, FileCacheMaxHardEnable, FileCacheMaxHardDisable, &cache.maxHardLimit)
        || !readLimitFlags(flags, FileCacheMinHardEnable, FileCacheMinHardDisable, &cache.minHardLimit))
        return fail(error, ErrorInvalidParameter);
    cache.minimumBytes = minimumBytes;
    cache.maximumBytes = maximumBytes;
    if (cache.maxHardLimit && cache.workingSetBytes > cache.maximumBytes) {
        auto& memory = access->system().memory;
        memory.availableBytes = qMin(memory.totalBytes, memory.availableBytes + cache.workingSetBytes - cache.maximumBytes);
        cache.workingSetBytes = cache.maximumBytes;
    }
    access->system().fileCache = cache;
    access->markChanged();
    return true;
}

bool getSystemFileCacheSize(SizeT* minimumBytes, SizeT* maximumBytes, quint32* flags)
{
    MachineAccess access;
    if (!access)
        return false;
    const sim::SimFileCache& cache = access->system().fileCache;
    *minimumBytes = SizeT(qMin(cache.minimumBytes, MaxSizeT));
    *maximumBytes = SizeT(qMin(cache.maximumBytes, MaxSizeT));
    *flags = (cache.maxHardLimit ? FileCacheMaxHardEnable : 0u) | (cache.minHardLimit ? FileCacheMinHardEnable : 0u);
    return true;
}

bool systemParametersInfo(quint32 action, quint32 uiParam, quint32 winIni)
{
    Q_UNUSED(uiParam)
    MachineAccess access;
    if (!access)
        return false;
    if (winIni & SpifSendChange) {
        ++access->system().settingChangeBroadcasts;
        access->record({QStringLiteral("broadcast"), QStringLiteral("SystemParametersInfo"),
                        {QString::number(action)}, 0, 0});
        access->markChanged();
    }
    return true;
}

} // namespace win

namespace win {

bool getDiskFreeSpaceEx(const QString& path, quint64* freeBytesToCaller, quint64* totalBytes, quint64* totalFreeBytes,
                        Error* error)
{
    auto fail = [error](Error e) {
        if (error)
            *error = e;
        return false;
    };
    if (path.size() < 2 || path.at(1) != ':')
        return fail(ErrorInvalidName);
    MachineAccess access;
    const sim::SimDrive* drive = access ? access->files().drive(path.at(0).toUpper()) : nullptr;
    if (!drive)
        return fail(ErrorPathNotFound);
    *freeBytesToCaller = drive->freeBytes;
    *totalBytes = drive->totalBytes;
    *totalFreeBytes = drive->freeBytes;
    return true;
}

namespace {

QString schemeKey(const QString& guid)
{
    QString key = guid.trimmed().toLower();
    if (key.startsWith('{') && key.endsWith('}'))
        key = key.mid(1, key.size() - 2);
    return key;
}

} // namespace

Error powerSetActiveScheme(const QString& schemeGuid)
{
    MachineAccess access;
    if (!access)
        return ErrorInvalidHandle;
    const QString key = schemeKey(schemeGuid);
    if (!access->programs().findPowerScheme(key))
        return ErrorFileNotFound;
    access->system().activePowerScheme = key;
    access->markChanged();
    return ErrorSuccess;
}

Error powerGetActiveScheme(QString* schemeGuid)
{
    MachineAccess access;
    if (!access)
        return ErrorInvalidHandle;
    *schemeGuid = access->system().activePowerScheme;
    return ErrorSuccess;
}

} // namespace win

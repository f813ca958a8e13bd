#include "common/SystemInfo.h"

#include "common/DiskType.h"
#include "common/WmicQuery.h"
#include "platform/RegistryKey.h"
#include "platform/RegistrySettings.h"
#include "platform/SystemFacts.h"

namespace {

constexpr quint64 BytesPerMB = 1048576;
constexpr quint8 NoSystemBattery = 128;
constexpr quint8 UnknownBatteryFlag = 255;

struct VersionValues
{
    quint32 major = 0;
    quint32 minor = 0;
    quint32 build = 0;
};

// Windows 7, 8 and 8.1 keep no version DWORDs; their "CurrentVersion" text
// ("6.1", "6.2", "6.3") tells major and minor instead.
void readLegacyVersion(const win::RegistryKey& key, VersionValues* values)
{
    QString text;
    if (key.readText(QStringLiteral("CurrentVersion"), &text, 256) != win::ErrorSuccess)
        return;
    const QStringList parts = text.trimmed().split('.');
    if (parts.size() == 2) {
        values->major = parts[0].toUInt();
        values->minor = parts[1].toUInt();
    }
}

bool readVersionValues(VersionValues* values)
{
    win::RegistryKey key;
    if (key.open(win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                 win::KeyRead) != win::ErrorSuccess)
        return false;
    const bool hasMajor = key.readDword(QStringLiteral("CurrentMajorVersionNumber"), &values->major) == win::ErrorSuccess;
    const bool hasMinor = key.readDword(QStringLiteral("CurrentMinorVersionNumber"), &values->minor) == win::ErrorSuccess;
    if (!hasMajor && !hasMinor)
        readLegacyVersion(key, values);
    QString build;
    if (key.readText(QStringLiteral("CurrentBuildNumber"), &build, 256) == win::ErrorSuccess)
        values->build = build.trimmed().toUInt();
    return true;
}

bool powerStatus(win::PowerStatus* status)
{
    return win::getSystemPowerStatus(status);
}

bool memoryStatus(win::MemoryStatus* status)
{
    return win::globalMemoryStatusEx(status);
}

bool systemDriveSpace(quint64* freeBytes, quint64* totalBytes)
{
    quint64 totalFree = 0;
    return win::getDiskFreeSpaceEx(systemDriveLetter() + QStringLiteral(":\\"), freeBytes, totalBytes, &totalFree);
}

} // namespace

quint64 totalPhysicalMemoryMB()
{
    win::MemoryStatus status;
    return memoryStatus(&status) ? status.totalPhysical / BytesPerMB : 0;
}

quint64 availablePhysicalMemoryMB()
{
    win::MemoryStatus status;
    return memoryStatus(&status) ? status.availablePhysical / BytesPerMB : 0;
}

int batteryPercent()
{
    win::PowerStatus status;
    return powerStatus(&status) ? status.batteryLifePercent : 100;
}

bool hasBattery()
{
    win::PowerStatus status;
    return powerStatus(&status) && status.batteryFlag != NoSystemBattery && status.batteryFlag != UnknownBatteryFlag;
}

bool isOnBatteryPower()
{
    win::PowerStatus status;
    return powerStatus(&status) && status.acLineStatus == 0;
}

int windowsVersion()
{
    VersionValues v;
    if (!readVersionValues(&v))
        return WindowsVersion::Unknown;
    if (v.major == 6 && v.minor == 1)
        return WindowsVersion::Win7;
    if (v.major == 6 && (v.minor == 2 || v.minor == 3))
        return WindowsVersion::Win8;
    if (v.major == 10)
        return v.build < 22000 ? WindowsVersion::Win10 : WindowsVersion::Win11;
    return WindowsVersion::Unknown;
}

QString windowsVersionText()
{
    VersionValues v;
    if (!readVersionValues(&v))
        return QStringLiteral("Unknown OS");
    if (v.major == 6 && v.minor == 1)
        return QStringLiteral("Win7 (Build %1)").arg(v.build);
    if (v.major == 6 && v.minor == 2)
        return QStringLiteral("Win8 (Build %1)").arg(v.build);
    if (v.major == 6 && v.minor == 3)
        return QStringLiteral("Win8.1 (Build %1)").arg(v.build);
    if (v.major == 10)
        return (v.build < 22000 ? QStringLiteral("Win10 (Build %1)") : QStringLiteral("Win11 (Build %1)")).arg(v.build);
    return QStringLiteral("Unknown (%1.%2 Build %3)").arg(v.major).arg(v.minor).arg(v.build);
}

bool isSupportedWindows()
{
    return windowsVersion() >= WindowsVersion::Win7;
}

bool isRunningAsAdmin()
{
    bool member = false;
    return win::checkAdministratorsMembership(&member) && member;
}

bool is64BitWindows()
{
    win::NativeSystemInfo info;
    win::getNativeSystemInfo(&info);
    return info.processorArchitecture == win::ProcessorArchitectureAmd64;
}

bool isDomainJoined()
{
    QString domain;
    quint32 size = 256;
    if (win::getComputerNameEx(win::ComputerNameDnsDomain, &domain, &size))
        return !domain.isEmpty();
    const win::RegistrySettings tcpip(
        QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"));
    return !tcpip.value(QStringLiteral("Domain"), QString()).toString().isEmpty();
}

// Callers expect a single letter and have no failure path: without an
// answer from the system the letter of the usual system drive stands in.
QString systemDriveLetter()
{
    QString directory;
    if (win::getSystemDirectory(&directory, 260) == 0 || directory.isEmpty() || directory.size() > 259)
        return QStringLiteral("C");
    return directory.left(1);
}

quint64 systemDriveFreeMB()
{
    return systemDriveFreeBytes() / BytesPerMB;
}

quint64 systemDriveFreeBytes()
{
    quint64 freeBytes = 0;
    quint64 totalBytes = 0;
    return systemDriveSpace(&freeBytes, &totalBytes) ? freeBytes : 0;
}

quint64 systemDriveTotalMB()
{
    quint64 freeBytes = 0;
    quint64 totalBytes = 0;
    return systemDriveSpace(&freeBytes, &totalBytes) ? totalBytes / BytesPerMB : 0;
}

QString systemDiskTag()
{
    return QStringLiteral("SYS_DISK_") + systemDriveLetter();
}

bool isSystemDriveSsd()
{
    return diskTypeOfDrive(systemDriveLetter() + QLatin1Char(':')) == DiskType::SSD;
}

// wmic takes WMI class names only after "path"; a bare class name is looked
// up as an alias and rejected, which would leave every identifier empty.
QString wmicValue(const QString& wmiClass, const QString& property)
{
    return wmicValueOf({QStringLiteral("path"), wmiClass, QStringLiteral("get"), property, QStringLiteral("/value")},
                       property, 5000);
}

QStringList wmicValues(const QString& wmiClass, const QStringList& properties)
{
    QStringList values;
    for (const QString& property : properties)
        values << wmicValue(wmiClass, property);
    return values;
}

QString processorId()
{
    return wmicValue(QStringLiteral("Win32_Processor"), QStringLiteral("ProcessorId"));
}

QString baseboardSerial()
{
    return wmicValue(QStringLiteral("Win32_BaseBoard"), QStringLiteral("SerialNumber"));
}

SystemInfo collectSystemInfo()
{
    SystemInfo info;
    info.osVersion = windowsVersion();
    info.osVersionText = windowsVersionText();
    info.is64Bit = is64BitWindows();
    info.hasBattery = hasBattery();
    info.isDomainJoined = isDomainJoined();
    info.onBatteryPower = isOnBatteryPower();
    info.batteryPercent = batteryPercent();
    info.systemDrive = systemDriveLetter();
    info.totalMemoryMB = totalPhysicalMemoryMB();
    info.availableMemoryMB = availablePhysicalMemoryMB();
    return info;
}

#pragma once

#include <QString>
#include <QStringList>

// Codes ordered so that callers can test for a minimum version.
namespace WindowsVersion {
enum Code : int { Unknown = 0, Win7 = 1, Win8 = 2, Win10 = 3, Win11 = 4 };
}

struct SystemInfo
{
    int osVersion = WindowsVersion::Unknown;
    QString osVersionText;
    bool is64Bit = false;
    bool hasBattery = false;
    bool isDomainJoined = false;
    bool onBatteryPower = false;
    int batteryPercent = 0;
    QString systemDrive;
    quint64 totalMemoryMB = 0;
    quint64 availableMemoryMB = 0;
};

// Stateless questions about the machine; every call asks the platform anew.
quint64 totalPhysicalMemoryMB();
quint64 availablePhysicalMemoryMB();
int batteryPercent();
bool hasBattery();
bool isOnBatteryPower();
int windowsVersion();
QString windowsVersionText();
bool isSupportedWindows();
bool isRunningAsAdmin();
bool is64BitWindows();
bool isDomainJoined();
QString systemDriveLetter();
quint64 systemDriveFreeMB();
quint64 systemDriveFreeBytes();
quint64 systemDriveTotalMB();
QString systemDiskTag();
// True only for a system drive known to be solid state; a disk of unknown
// kind is not one.
bool isSystemDriveSsd();
QString wmicValue(const QString& wmiClass, const QString& property);
QStringList wmicValues(const QString& wmiClass, const QStringList& properties);
QString processorId();
QString baseboardSerial();
SystemInfo collectSystemInfo();

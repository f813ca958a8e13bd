#pragma once

#include "platform/WinTypes.h"

#include <QString>

namespace win {

// RTL_OSVERSIONINFOW as RtlGetVersion fills it.
struct OsVersionInfo
{
    quint32 majorVersion = 0;
    quint32 minorVersion = 0;
    quint32 buildNumber = 0;
    quint32 platformId = 0;
    QString csdVersion;
};

// SYSTEM_INFO, the part the program reads.
struct NativeSystemInfo
{
    quint16 processorArchitecture = 0;
    quint32 numberOfProcessors = 0;
};

// MEMORYSTATUSEX
struct MemoryStatus
{
    quint32 memoryLoad = 0;
    quint64 totalPhysical = 0;
    quint64 availablePhysical = 0;
    quint64 totalPageFile = 0;
    quint64 availablePageFile = 0;
};

// SYSTEM_POWER_STATUS
struct PowerStatus
{
    quint8 acLineStatus = 255;        // 0 offline, 1 online, 255 unknown
    quint8 batteryFlag = 255;         // 128 no system battery, 255 unknown
    quint8 batteryLifePercent = 255;  // 255 unknown
    quint32 batteryLifeTimeSeconds = 0xFFFFFFFFu;
};

// NETSETUP_JOIN_STATUS
constexpr int NetSetupUnknownStatus = 0;
constexpr int NetSetupUnjoined = 1;
constexpr int NetSetupWorkgroupName = 2;
constexpr int NetSetupDomainName = 3;

// COMPUTER_NAME_FORMAT values used by the program.
constexpr int ComputerNameNetBIOS = 0;
constexpr int ComputerNameDnsHostname = 1;
constexpr int ComputerNameDnsDomain = 2;

// Looked up at run time: whether a module exports a procedure
// (LoadLibraryW or GetModuleHandleW, then GetProcAddress).
bool moduleExports(const QString& module, const char* procedure);

// RtlGetVersion (look it up first with moduleExports).
qint32 rtlGetVersion(OsVersionInfo* info);
void getNativeSystemInfo(NativeSystemInfo* info);
// IsWow64Process for this program: true when it is a 32-bit program running
// on 64-bit Windows, whose System32 is then SysWOW64 (Sysnative reaches the
// real one). False when there is no system to ask.
bool isWow64Process(bool* wow64);

// CheckTokenMembership of the calling thread's token in the built-in
// Administrators group (the SID built with AllocateAndInitializeSid from the
// NT authority, 32 and 544). False when the SID cannot be built.
bool checkAdministratorsMembership(bool* isMember);

// GetSystemDirectoryW: the length written, or the size needed (terminator
// included) when the buffer is too small, or 0 on failure.
quint32 getSystemDirectory(QString* path, quint32 bufferChars);
// GetComputerNameExW; on a too small buffer answers false with ErrorMoreData
// in `error` and the size needed in `sizeChars`.
bool getComputerNameEx(int format, QString* name, quint32* sizeChars, Error* error = nullptr);
// NetGetJoinInformation for the local computer.
Error netGetJoinInformation(QString* name, int* joinStatus);

bool globalMemoryStatusEx(MemoryStatus* status);
bool getSystemPowerStatus(PowerStatus* status);
// GetDiskFreeSpaceExW for a path on the drive ("C:\").
bool getDiskFreeSpaceEx(const QString& path, quint64* freeBytesToCaller, quint64* totalBytes,
                        quint64* totalFreeBytes, Error* error = nullptr);

// NtSetSystemInformation (look it up first); answers an NTSTATUS.
qint32 ntSetSystemInformation(int informationClass, const QByteArray& buffer);
constexpr int SystemFileCacheInformation = 21;
constexpr int SystemMemoryListInformation = 80;
constexpr quint32 MemoryPurgeStandbyList = 4;
constexpr qint32 StatusSuccess = 0;
constexpr qint32 StatusInfoLengthMismatch = qint32(0xC0000004u);
constexpr qint32 StatusInvalidParameter = qint32(0xC000000Du);
constexpr qint32 StatusPrivilegeNotHeld = qint32(0xC0000061u);

// SetSystemFileCacheSize and GetSystemFileCacheSize (look them up first).
// The maximum is enforced only while a call has enabled it as a hard limit;
// flags 0 keep whichever limits are enabled. Enabling and disabling the same
// limit at once, or a minimum above the maximum, answers
// ErrorInvalidParameter; a caller without the quota privilege
// ErrorPrivilegeNotHeld. Sizes the 32-bit program cannot hold come back as
// MaxSizeT.
constexpr quint32 FileCacheMaxHardEnable = 0x1;
constexpr quint32 FileCacheMaxHardDisable = 0x2;
constexpr quint32 FileCacheMinHardEnable = 0x4;
constexpr quint32 FileCacheMinHardDisable = 0x8;
bool setSystemFileCacheSize(SizeT minimumBytes, SizeT maximumBytes, quint32 flags, Error* error = nullptr);
bool getSystemFileCacheSize(SizeT* minimumBytes, SizeT* maximumBytes, quint32* flags);

// PowerSetActiveScheme / PowerGetActiveScheme with a scheme GUID in text form.
Error powerSetActiveScheme(const QString& schemeGuid);
Error powerGetActiveScheme(QString* schemeGuid);

// SystemParametersInfoW with a null parameter block (the program only sends
// change notifications).
constexpr quint32 SpiSetNonClientMetrics = 0x002A;
constexpr quint32 SpifUpdateIniFile = 0x01;
constexpr quint32 SpifSendChange = 0x02;
bool systemParametersInfo(quint32 action, quint32 uiParam, quint32 winIni);

} // namespace win

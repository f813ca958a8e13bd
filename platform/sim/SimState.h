#pragma once

#include "platform/TaskScheduler.h"
#include "platform/WinTypes.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// The plain records a simulated machine is made of. Each maps one to one to
// a section of the machine's machine.json.
namespace win::sim {

struct SimVersion
{
    quint32 major = 10;
    quint32 minor = 0;
    quint32 build = 19045;
    QString csdVersion;
};

struct SimMemory
{
    quint64 totalBytes = quint64(8) << 30;
    quint64 availableBytes = quint64(4) << 30;
};

// The system file cache: its working set and the limits of
// SetSystemFileCacheSize. A maximum is enforced only while it is hard.
struct SimFileCache
{
    quint64 minimumBytes = quint64(1) << 20;
    quint64 maximumBytes = quint64(1) << 40;
    bool maxHardLimit = false;
    bool minHardLimit = false;
    quint64 workingSetBytes = 0;
};

struct SimPower
{
    bool queryFails = false;
    quint8 acLineStatus = 1;
    quint8 batteryFlag = 128;
    quint8 batteryPercent = 255;
};

struct SimService
{
    QString name;
    QString displayName;
    quint32 serviceType = ServiceWin32ShareProcess;
    quint32 startType = ServiceDemandStart;
    quint32 errorControl = 1;
    bool delayedAutoStart = false;
    QString binaryPath;
    quint32 state = ServiceStopped;
    quint32 processId = 0;
    bool acceptsStop = true;      // false: ControlService(STOP) is refused
    bool accessDenied = false;    // OpenServiceW answers access denied
    bool startFails = false;      // StartServiceW fails
    // ChangeServiceConfigW raises an access violation in the caller, as a
    // crashing hook that other software placed in the service functions makes it do.
    bool changeConfigRaises = false;
    QStringList dependencies;     // the services this one needs running (DependOnService)
    int startDelayMs = 0;         // time from the start request to "running"
    int stopDelayMs = 0;          // time from the stop request to "stopped"
    quint64 startRequestedAtMs = 0; // runtime only
    quint64 stopRequestedAtMs = 0; // runtime only
    int stopControls = 0;          // runtime only: stop requests received, refused ones too
};

struct SimTask
{
    QString path;  // "\Folder\Name"
    bool enabled = true;
    // Its security lets only SYSTEM change it (as Windows' own update tasks):
    // enabling or disabling it is refused with E_ACCESSDENIED, also for an
    // administrator.
    bool systemOnly = false;
    TaskDefinition definition;
};

struct SimProcess
{
    quint32 pid = 0;
    quint32 parentPid = 0;
    QString exeFile;
    QString imagePath;
    quint64 workingSetBytes = 0;
    bool protectedProcess = false;  // OpenProcess answers access denied
};

struct SimWindow
{
    quintptr handle = 0;
    bool visible = true;
    QString className;
    QString title;
    qint32 style = 0;
    qint32 exStyle = 0;
    quint32 pid = 0;
};

struct SimPrinter
{
    QString name;
    bool connection = false;  // a network printer connection, not a local one
    QString description;
    QString comment;
};

struct SimAdapter
{
    QString adapterName;  // GUID
    QString description;
    quint32 index = 0;
    QString instanceId;   // device instance, e.g. PCI\VEN_8086&DEV_15B8\3&11583659&0&FE
    QString driverKey;    // e.g. {4d36e972-e325-11ce-bfc1-08002be10318}\0001
    bool present = true;
};

struct SimVersionResource
{
    quint16 language = 0x0804;
    quint16 codePage = 0x04b0;
    QMap<QString, QString> strings;  // FileDescription, ProductName, ...
};

// Everything about the machine that is not registry, files or the state of
// the simulated command-line programs.
struct SimSystem
{
    SimVersion version;
    quint16 architecture = ProcessorArchitectureAmd64;
    // The architecture the program itself is built for. A 32-bit program on
    // 64-bit Windows runs under WOW64: its file and registry calls are
    // redirected. The environment table is what this program sees.
    quint16 programArchitecture = ProcessorArchitectureIntel;
    quint32 processors = 4;
    bool administrator = true;
    bool adminSidFails = false;
    QString computerName = "DESKTOP-PC";
    QString dnsDomain;
    bool computerNameFails = false;
    int joinStatus = 2;          // NETSETUP_JOIN_STATUS
    QString joinName = "WORKGROUP";
    bool netJoinFails = false;
    QString systemDirectory = "C:\\Windows\\system32";
    bool systemDirectoryFails = false;
    SimMemory memory;
    SimPower power;
    quint32 ansiCodePage = 936;
    QStringList missingProcedures;  // "ntdll.dll!RtlGetVersion"
    QString processorId;
    QString baseboardSerial;
    quint32 ownPid = 4242;
    QString ownImagePath;
    QString activePowerScheme = "381b4222-f694-41f0-9685-ff5bb260df2e";
    SimFileCache fileCache;
    int standbyListPurges = 0;
    int settingChangeBroadcasts = 0;
    QHash<QString, QString> environment;  // case-preserving names
    QVector<SimService> services;
    QVector<SimTask> tasks;
    QStringList taskFolders;          // folders that exist without tasks
    HResult taskConnectResult = S_Ok;
    QVector<SimProcess> processes;
    bool processSnapshotFails = false;
    QVector<SimWindow> windows;
    quintptr foregroundWindow = 0;
    QVector<SimPrinter> printers;
    QVector<SimAdapter> adapters;
    QMap<QString, HResult> trust;                       // path → WinVerifyTrust answer
    QMap<QString, SimVersionResource> versionResources;  // path → resource
    // Keys (full paths in storage terms) guarded by a registry filter, as
    // security products install one: a value written in them answers success
    // and the key keeps what it held. Deleting a value is let through.
    QStringList writesIgnoredIn;
};

// One record of what the program asked of the machine's programs and desktop.
struct JournalEntry
{
    QString kind;       // "run", "detached", "openUrl", "broadcast"
    QString program;
    QStringList arguments;
    int waitMs = 0;
    quint64 atMs = 0;
};

} // namespace win::sim

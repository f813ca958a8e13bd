#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVector>

namespace win::sim {

// The well-known power schemes every Windows installation ships.
constexpr const char* BalancedSchemeGuid = "381b4222-f694-41f0-9685-ff5bb260df2e";
constexpr const char* HighPerformanceSchemeGuid = "8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c";
constexpr const char* PowerSaverSchemeGuid = "a1841308-3541-4fab-bc81-f71556f20b4a";

struct PowerScheme
{
    QString guid;   // lower case, without braces
    QString name;
};

// "power": the power schemes of powercfg and the hibernation switch. The
// active scheme is a system fact (SimSystem::activePowerScheme).
struct PowerSettings
{
    QVector<PowerScheme> schemes;
    bool hibernation = false;
    bool reducedHiberfile = false;   // powercfg /h /type reduced
};

// One "Windows Boot Loader" entry of the boot store.
struct BootLoader
{
    QString identifier;    // "{current}" or a "{guid}"
    QString drive;         // "C:"
    QString description;   // "Windows 10"
    QString systemRoot = QStringLiteral("\\WINDOWS");
    QMap<QString, QString> settings;   // element name (lower case) → value as bcdedit shows it
};

// "boot": the boot configuration data store as bcdedit sees it.
struct BootStore
{
    bool uefi = true;
    int timeout = 30;
    QString locale = QStringLiteral("zh-CN");
    QVector<BootLoader> loaders;   // in display order; the first is the default
};

struct EventLogConfig
{
    QString name;
    quint64 maxSizeBytes = 20971520;
};

struct RestorePoint
{
    quint32 sequenceNumber = 0;
    QString description;
    QString creationTime;   // CIM datetime, "20261101093012.123456-000"
    quint32 restorePointType = 0;
    quint32 eventType = 100;
    // System Restore refuses to remove it (a point in use, a shadow copy it
    // cannot delete): SRRemoveRestorePoint answers ERROR_INVALID_DATA.
    bool undeletable = false;
};

// An antivirus product registered with Windows Security Center.
struct AntivirusProduct
{
    QString displayName;
    quint32 productState = 397568;
    QString pathToSignedProductExe;
    QString instanceGuid;
};

// A physical disk; the drive table says which drives lie on it.
struct PhysicalDisk
{
    int number = 0;
    QString model;
    QString serial;
    QString busType = QStringLiteral("SATA");   // SATA, NVMe, USB, SAS, ATA, SCSI, RAID
    QString mediaType;   // "SSD", "HDD", "Unspecified"; empty: the kind of its drives
    quint64 sizeBytes = 0;   // 0: the sum of its drives
};

// What the drive optimizer knows of one volume and how often it ran on it.
struct DriveOptimization
{
    int fragmentedPercent = 0;
    int analyses = 0;
    int defragmentations = 0;
    int retrims = 0;
};

struct CleanupRuns
{
    int runs = 0;
    quint64 freedBytes = 0;
};

// What the machine has of each simulated command-line program.
enum class ProgramAvailability { Default, Present, Missing, Hangs };

// What the simulated command-line programs read and change: the sections
// "power", "boot", "eventLogs", "restorePoints", "securityCenter", "disks",
// "dnsCache", "tcp", "driveOptimizer", "cleanup" and "programs" of
// machine.json. Guarded by the machine's lock like the rest of the machine.
class ProgramState
{
public:
    ProgramState();

    bool load(const QJsonObject& machine, QString* error);
    void save(QJsonObject& machine) const;

    PowerSettings& power() { return m_power; }
    const PowerSettings& power() const { return m_power; }
    const PowerScheme* findPowerScheme(const QString& guid) const;

    // The boot store; without loaders bcdedit fills in the one Windows the
    // machine runs (see SimBcdedit).
    BootStore& boot() { return m_boot; }
    const BootStore& boot() const { return m_boot; }

    QVector<EventLogConfig>& eventLogs() { return m_eventLogs; }
    EventLogConfig* findEventLog(const QString& name);

    QVector<RestorePoint>& restorePoints() { return m_restorePoints; }
    const QVector<RestorePoint>& restorePoints() const { return m_restorePoints; }
    QVector<AntivirusProduct>& antivirusProducts() { return m_antivirus; }
    const QVector<AntivirusProduct>& antivirusProducts() const { return m_antivirus; }
    // The disks named in machine.json; drives on other disk numbers get a
    // disk of their own from the drive table (see WmiRepository).
    const QVector<PhysicalDisk>& disks() const { return m_disks; }

    int dnsCacheEntries() const { return m_dnsCacheEntries; }
    void setDnsCacheEntries(int entries) { m_dnsCacheEntries = entries; }

    // netsh interface tcp global parameters that were set, by lower-case name.
    QMap<QString, QString>& tcpGlobals() { return m_tcpGlobals; }
    const QMap<QString, QString>& tcpGlobals() const { return m_tcpGlobals; }

    DriveOptimization& optimization(QChar driveLetter);
    const QMap<QChar, DriveOptimization>& optimizations() const { return m_optimizations; }

    CleanupRuns& cleanup() { return m_cleanup; }
    const CleanupRuns& cleanup() const { return m_cleanup; }

    ProgramAvailability availability(const QString& program) const;
    void setAvailability(const QString& program, ProgramAvailability availability);
    // How long a hanging program runs when it is waited for without a limit.
    qint64 hangMs() const { return m_hangMs; }

private:
    PowerSettings m_power;
    BootStore m_boot;
    QVector<EventLogConfig> m_eventLogs;
    QVector<RestorePoint> m_restorePoints;
    QVector<AntivirusProduct> m_antivirus;
    QVector<PhysicalDisk> m_disks;
    int m_dnsCacheEntries = 0;
    QMap<QString, QString> m_tcpGlobals;
    QMap<QChar, DriveOptimization> m_optimizations;
    CleanupRuns m_cleanup;
    QMap<QString, ProgramAvailability> m_availability;
    qint64 m_hangMs = 600000;
};

} // namespace win::sim

#include "platform/sim/programs/WmiRepository.h"

#include "platform/sim/SimMachine.h"

#include <algorithm>

namespace win::sim {

namespace {

const QString Cimv2 = QStringLiteral("root\\cimv2");
const QString Storage = QStringLiteral("root\\Microsoft\\Windows\\Storage");
const QString SecurityCenter = QStringLiteral("root\\SecurityCenter2");
const QString Default = QStringLiteral("root\\default");
constexpr quint32 Windows8Build = 9200;

const QVector<WmiClass>& classes()
{
    static const QVector<WmiClass> all = {
        {Cimv2, QStringLiteral("Win32_Processor"), {QStringLiteral("DeviceID"), QStringLiteral("ProcessorId")}, {}, false},
        {Cimv2, QStringLiteral("Win32_BaseBoard"), {QStringLiteral("SerialNumber")}, {}, false},
        {Cimv2, QStringLiteral("Win32_DiskDrive"),
         {QStringLiteral("Caption"), QStringLiteral("DeviceID"), QStringLiteral("Index"), QStringLiteral("InterfaceType"),
          QStringLiteral("MediaType"), QStringLiteral("Model"), QStringLiteral("SerialNumber"), QStringLiteral("Size")},
         {}, false},
        {Storage, QStringLiteral("MSFT_PhysicalDisk"),
         {QStringLiteral("BusType"), QStringLiteral("DeviceId"), QStringLiteral("FriendlyName"),
          QStringLiteral("MediaType"), QStringLiteral("Model"), QStringLiteral("SerialNumber"), QStringLiteral("Size")},
         {}, false, Windows8Build},
        {Storage, QStringLiteral("MSFT_Partition"),
         {QStringLiteral("DiskNumber"), QStringLiteral("DriveLetter"), QStringLiteral("PartitionNumber"),
          QStringLiteral("Size")},
         {}, false, Windows8Build},
        {SecurityCenter, QStringLiteral("AntiVirusProduct"),
         {QStringLiteral("displayName"), QStringLiteral("instanceGuid"), QStringLiteral("pathToSignedProductExe"),
          QStringLiteral("productState")},
         {}, false},
        // Restore points are deleted through SRRemoveRestorePoint of
        // srclient.dll; the WMI class has no method for it.
        {Default, QStringLiteral("SystemRestore"),
         {QStringLiteral("CreationTime"), QStringLiteral("Description"), QStringLiteral("EventType"),
          QStringLiteral("RestorePointType"), QStringLiteral("SequenceNumber")},
         {QStringLiteral("CreateRestorePoint"), QStringLiteral("Disable"), QStringLiteral("Enable"),
          QStringLiteral("GetLastRestoreStatus"), QStringLiteral("Restore")},
         true}};
    return all;
}

bool containsIgnoringCase(const QStringList& names, const QString& name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

QString wmiInterfaceType(const QString& busType)
{
    const QString bus = busType.toUpper();
    if (bus == QLatin1String("SATA") || bus == QLatin1String("ATA"))
        return QStringLiteral("IDE");   // AHCI disks report the IDE interface
    if (bus == QLatin1String("USB"))
        return QStringLiteral("USB");
    return QStringLiteral("SCSI");      // NVMe, SAS and RAID sit behind a SCSI miniport
}

// STORAGE_BUS_TYPE numbers as MSFT_PhysicalDisk.BusType reports them.
qulonglong storageBusType(const QString& busType)
{
    static const QVector<QPair<QString, qulonglong>> numbers = {
        {QStringLiteral("SCSI"), 1}, {QStringLiteral("ATA"), 3}, {QStringLiteral("USB"), 7},
        {QStringLiteral("RAID"), 8}, {QStringLiteral("SAS"), 10}, {QStringLiteral("SATA"), 11},
        {QStringLiteral("NVMe"), 17}};
    for (const auto& pair : numbers) {
        if (pair.first.compare(busType, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return 0;
}

qulonglong storageMediaType(const QString& mediaType)
{
    if (mediaType == QLatin1String("HDD"))
        return 3;
    if (mediaType == QLatin1String("SSD"))
        return 4;
    return 0;
}

} // namespace

QString WmiClass::propertyName(const QString& anyCase) const
{
    for (const QString& property : properties) {
        if (property.compare(anyCase, Qt::CaseInsensitive) == 0)
            return property;
    }
    return QString();
}

bool WmiClass::hasMethod(const QString& anyCase) const
{
    return containsIgnoringCase(methods, anyCase);
}

WmiRepository::WmiRepository(SimMachine& machine) : m_machine(machine)
{
}

bool WmiRepository::isAvailable(const WmiClass& wmiClass) const
{
    return m_machine.system().version.build >= wmiClass.sinceBuild;
}

bool WmiRepository::hasNamespace(const QString& nameSpace) const
{
    return std::any_of(classes().begin(), classes().end(), [this, &nameSpace](const WmiClass& c) {
        return c.nameSpace.compare(nameSpace, Qt::CaseInsensitive) == 0 && isAvailable(c);
    });
}

const WmiClass* WmiRepository::findClass(const QString& nameSpace, const QString& className) const
{
    for (const WmiClass& c : classes()) {
        if (c.nameSpace.compare(nameSpace, Qt::CaseInsensitive) == 0 && c.name.compare(className, Qt::CaseInsensitive) == 0
            && isAvailable(c))
            return &c;
    }
    return nullptr;
}

QVector<WmiInstance> WmiRepository::instances(const WmiClass& wmiClass) const
{
    using Provider = QVector<WmiInstance> (WmiRepository::*)() const;
    static const QVector<QPair<QString, Provider>> providers = {
        {QStringLiteral("Win32_Processor"), &WmiRepository::processors},
        {QStringLiteral("Win32_BaseBoard"), &WmiRepository::baseBoards},
        {QStringLiteral("Win32_DiskDrive"), &WmiRepository::diskDrives},
        {QStringLiteral("MSFT_PhysicalDisk"), &WmiRepository::storageDisks},
        {QStringLiteral("MSFT_Partition"), &WmiRepository::partitions},
        {QStringLiteral("AntiVirusProduct"), &WmiRepository::antivirusProducts},
        {QStringLiteral("SystemRestore"), &WmiRepository::restorePoints}};
    for (const auto& provider : providers) {
        if (provider.first == wmiClass.name)
            return (this->*provider.second)();
    }
    return {};
}

QVector<PhysicalDisk> WmiRepository::disks() const
{
    QVector<PhysicalDisk> disks = m_machine.programs().disks();
    for (const SimDrive& drive : m_machine.files().drives()) {
        auto known = std::find_if(disks.begin(), disks.end(), [&drive](const PhysicalDisk& d) {
            return d.number == drive.diskNumber;
        });
        if (known == disks.end()) {
            PhysicalDisk disk;
            disk.number = drive.diskNumber;
            disk.model = QStringLiteral("Generic Disk %1").arg(drive.diskNumber);
            disks.append(disk);
        }
    }
    for (PhysicalDisk& disk : disks) {
        if (disk.mediaType.isEmpty())
            disk.mediaType = mediaTypeOfDisk(disk.number);
        if (disk.sizeBytes == 0) {
            for (const SimDrive& drive : m_machine.files().drives())
                disk.sizeBytes += drive.diskNumber == disk.number ? drive.totalBytes : 0;
        }
    }
    std::sort(disks.begin(), disks.end(), [](const PhysicalDisk& a, const PhysicalDisk& b) { return a.number < b.number; });
    return disks;
}

QString WmiRepository::mediaTypeOfDisk(int number) const
{
    for (const SimDrive& drive : m_machine.files().drives()) {
        if (drive.diskNumber != number)
            continue;
        if (drive.kind == DriveKind::Ssd)
            return QStringLiteral("SSD");
        if (drive.kind == DriveKind::Hdd)
            return QStringLiteral("HDD");
    }
    return QStringLiteral("Unspecified");
}

QVector<WmiInstance> WmiRepository::processors() const
{
    WmiInstance cpu;
    cpu.set(QStringLiteral("DeviceID"), QStringLiteral("CPU0"));
    cpu.set(QStringLiteral("ProcessorId"), m_machine.system().processorId);
    return {cpu};
}

QVector<WmiInstance> WmiRepository::baseBoards() const
{
    WmiInstance board;
    board.set(QStringLiteral("SerialNumber"), m_machine.system().baseboardSerial);
    return {board};
}

QVector<WmiInstance> WmiRepository::diskDrives() const
{
    QVector<WmiInstance> out;
    for (const PhysicalDisk& disk : disks()) {
        WmiInstance drive;
        drive.set(QStringLiteral("Caption"), disk.model);
        drive.set(QStringLiteral("DeviceID"), QStringLiteral("\\\\.\\PHYSICALDRIVE%1").arg(disk.number));
        drive.set(QStringLiteral("Index"), qulonglong(disk.number));
        drive.set(QStringLiteral("InterfaceType"), wmiInterfaceType(disk.busType));
        // Win32_DiskDrive knows no solid-state media: every fixed disk is
        // "Fixed hard disk media", whatever it is built of.
        drive.set(QStringLiteral("MediaType"), disk.busType.compare(QLatin1String("USB"), Qt::CaseInsensitive) == 0
                                                   ? QStringLiteral("External hard disk media")
                                                   : QStringLiteral("Fixed hard disk media"));
        drive.set(QStringLiteral("Model"), disk.model);
        drive.set(QStringLiteral("SerialNumber"), disk.serial);
        drive.set(QStringLiteral("Size"), qulonglong(disk.sizeBytes));
        out.append(drive);
    }
    return out;
}

QVector<WmiInstance> WmiRepository::storageDisks() const
{
    QVector<WmiInstance> out;
    for (const PhysicalDisk& disk : disks()) {
        WmiInstance d;
        d.set(QStringLiteral("BusType"), storageBusType(disk.busType));
        d.set(QStringLiteral("DeviceId"), QString::number(disk.number));
        d.set(QStringLiteral("FriendlyName"), disk.model);
        d.set(QStringLiteral("MediaType"), storageMediaType(disk.mediaType));
        d.set(QStringLiteral("Model"), disk.model);
        d.set(QStringLiteral("SerialNumber"), disk.serial);
        d.set(QStringLiteral("Size"), qulonglong(disk.sizeBytes));
        out.append(d);
    }
    return out;
}

QVector<WmiInstance> WmiRepository::partitions() const
{
    QVector<SimDrive> drives = m_machine.files().drives();
    std::sort(drives.begin(), drives.end(), [](const SimDrive& a, const SimDrive& b) {
        return a.diskNumber != b.diskNumber ? a.diskNumber < b.diskNumber : a.letter < b.letter;
    });
    QVector<WmiInstance> out;
    int previousDisk = -1;
    int partitionNumber = 0;
    for (const SimDrive& drive : drives) {
        partitionNumber = drive.diskNumber == previousDisk ? partitionNumber + 1 : 1;
        previousDisk = drive.diskNumber;
        WmiInstance p;
        p.set(QStringLiteral("DiskNumber"), qulonglong(drive.diskNumber));
        p.set(QStringLiteral("DriveLetter"), drive.letter);
        p.set(QStringLiteral("PartitionNumber"), qulonglong(partitionNumber));
        p.set(QStringLiteral("Size"), qulonglong(drive.totalBytes));
        out.append(p);
    }
    return out;
}

QVector<WmiInstance> WmiRepository::antivirusProducts() const
{
    QVector<WmiInstance> out;
    for (const AntivirusProduct& product : m_machine.programs().antivirusProducts()) {
        WmiInstance p;
        p.set(QStringLiteral("displayName"), product.displayName);
        p.set(QStringLiteral("instanceGuid"), product.instanceGuid);
        p.set(QStringLiteral("pathToSignedProductExe"), product.pathToSignedProductExe);
        p.set(QStringLiteral("productState"), qulonglong(product.productState));
        out.append(p);
    }
    return out;
}

QVector<WmiInstance> WmiRepository::restorePoints() const
{
    QVector<WmiInstance> out;
    for (const RestorePoint& point : m_machine.programs().restorePoints()) {
        WmiInstance p;
        p.set(QStringLiteral("CreationTime"), point.creationTime);
        p.set(QStringLiteral("Description"), point.description);
        p.set(QStringLiteral("EventType"), qulonglong(point.eventType));
        p.set(QStringLiteral("RestorePointType"), qulonglong(point.restorePointType));
        p.set(QStringLiteral("SequenceNumber"), qulonglong(point.sequenceNumber));
        out.append(p);
    }
    return out;
}

} // namespace win::sim

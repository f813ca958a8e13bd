#include "platform/Devices.h"

#include "platform/sim/MachineAccess.h"

using win::sim::MachineAccess;
using win::sim::SimAdapter;
using win::sim::SimPrinter;

namespace win {

namespace {

// PRINTER_INFO_1W of a 32-bit process: four 4-byte fields, then the strings.
quint32 printerBytes(const SimPrinter& printer)
{
    const int chars = printer.name.size() + printer.description.size() + printer.comment.size() + 3;
    return 16 + quint32(chars) * 2;
}

constexpr quint32 PrinterEnumIcon8 = 0x00800000;  // what local printers report in Flags

const SimAdapter* presentAdapter(MachineAccess& access, const QString& classGuid, quint32 index)
{
    if (classGuid.compare(QLatin1String(NetworkAdapterClassGuid), Qt::CaseInsensitive) != 0)
        return nullptr;
    quint32 seen = 0;
    for (const SimAdapter& adapter : access->system().adapters) {
        if (!adapter.present)
            continue;
        if (seen++ == index)
            return &adapter;
    }
    return nullptr;
}

} // namespace

bool enumPrinters(quint32 flags, quint32 bufferBytes, quint32* bytesNeeded, QVector<PrinterInfo1>* printers,
                  Error* error)
{
    MachineAccess access;
    if (!access) {
        if (error)
            *error = ErrorInvalidHandle;
        return false;
    }
    QVector<PrinterInfo1> found;
    quint32 needed = 0;
    for (const SimPrinter& printer : access->system().printers) {
        const bool wanted = printer.connection ? (flags & PrinterEnumConnections) : (flags & PrinterEnumLocal);
        if (!wanted)
            continue;
        found.append({PrinterEnumIcon8, printer.description.isEmpty() ? printer.name : printer.description,
                      printer.name, printer.comment});
        needed += printerBytes(printer);
    }
    *bytesNeeded = needed;
    if (bufferBytes < needed || (needed == 0 && bufferBytes == 0 && !found.isEmpty())) {
        if (error)
            *error = ErrorInsufficientBuffer;
        return false;
    }
    *printers = found;
    return true;
}

Error getAdaptersInfo(quint32* bufferBytes, QVector<AdapterInfo>* adapters)
{
    MachineAccess access;
    if (!access)
        return ErrorInvalidParameter;
    QVector<AdapterInfo> found;
    for (const SimAdapter& adapter : access->system().adapters) {
        if (adapter.present)
            found.append({adapter.adapterName, adapter.description, adapter.index});
    }
    if (found.isEmpty())
        return ErrorNoData;
    const quint32 needed = quint32(found.size()) * 640;  // sizeof(IP_ADAPTER_INFO) on a 32-bit process
    if (*bufferBytes < needed) {
        *bufferBytes = needed;
        return ErrorBufferOverflow;
    }
    *adapters = found;
    return ErrorSuccess;
}

DeviceInfoSet::~DeviceInfoSet() = default;

bool DeviceInfoSet::open(const QString& classGuid)
{
    MachineAccess access;
    m_open = bool(access);
    m_classGuid = classGuid;
    return m_open;
}

bool DeviceInfoSet::enumDevice(quint32 index) const
{
    MachineAccess access;
    return m_open && access && presentAdapter(access, m_classGuid, index);
}

Error DeviceInfoSet::openDeviceRegistryKey(quint32 index, quint32 scope, quint32 hardwareProfile, quint32 keyType,
                                           quint32 access, RegistryKey& key) const
{
    QString path;
    {
        MachineAccess machine;
        const SimAdapter* adapter = m_open && machine ? presentAdapter(machine, m_classGuid, index) : nullptr;
        if (!adapter)
            return ErrorNoMoreItems;
        if (scope != DicsFlagGlobal || hardwareProfile != 0)
            return ErrorInvalidParameter;
        if (keyType == DiregDev)
            path = QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\%1\\Device Parameters").arg(adapter->instanceId);
        else if (keyType == DiregDrv)
            path = QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Class\\%1").arg(adapter->driverKey);
        else
            return ErrorInvalidParameter;
    }
    return key.open(Hive::LocalMachine, path, access);
}

} // namespace win

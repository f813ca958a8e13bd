#pragma once

#include "platform/RegistryKey.h"

#include <QString>
#include <QVector>

namespace win {

// EnumPrintersW flags and PRINTER_INFO_1W.
constexpr quint32 PrinterEnumLocal = 0x00000002;
constexpr quint32 PrinterEnumConnections = 0x00000004;

struct PrinterInfo1
{
    quint32 flags = 0;
    QString description;
    QString name;
    QString comment;
};

// EnumPrintersW at level 1. With bufferBytes too small it answers false with
// ErrorInsufficientBuffer and the size needed in bytesNeeded (0 when there
// is no printer at all); `printers` is then untouched.
bool enumPrinters(quint32 flags, quint32 bufferBytes, quint32* bytesNeeded,
                  QVector<PrinterInfo1>* printers, Error* error = nullptr);

// IP_ADAPTER_INFO, the fields the program can see.
struct AdapterInfo
{
    QString adapterName;  // the adapter's GUID
    QString description;
    quint32 index = 0;
};

// GetAdaptersInfo: ErrorBufferOverflow with the size needed when the buffer is
// too small, ErrorNoData when the machine has no adapter.
Error getAdaptersInfo(quint32* bufferBytes, QVector<AdapterInfo>* adapters);

// SetupDi device information set of one device class, present devices only.
constexpr const char* NetworkAdapterClassGuid = "{4d36e972-e325-11ce-bfc1-08002be10318}";
constexpr quint32 DicsFlagGlobal = 0x1;
constexpr quint32 DiregDev = 0x1;  // the device's hardware key
constexpr quint32 DiregDrv = 0x2;  // the device's driver key

class DeviceInfoSet
{
public:
    DeviceInfoSet() = default;
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    ~DeviceInfoSet();

    // SetupDiGetClassDevsW(class, DIGCF_PRESENT)
    bool open(const QString& classGuid);
    bool isValid() const { return m_open; }
    // SetupDiEnumDeviceInfo: false past the last device.
    bool enumDevice(quint32 index) const;
    // SetupDiOpenDevRegKey
    Error openDeviceRegistryKey(quint32 index, quint32 scope, quint32 hardwareProfile,
                                quint32 keyType, quint32 access, RegistryKey& key) const;

private:
    bool m_open = false;
    QString m_classGuid;
};

} // namespace win

#pragma once

#include "platform/ScopedHandle.h"
#include "platform/WinTypes.h"

#include <QString>
#include <QVector>

namespace win {

struct ServiceStatus
{
    quint32 serviceType = 0;
    quint32 currentState = 0;
    quint32 controlsAccepted = 0;
    quint32 win32ExitCode = 0;
    quint32 checkPoint = 0;
    quint32 waitHintMs = 0;
};

// QUERY_SERVICE_CONFIGW
struct ServiceConfig
{
    quint32 serviceType = 0;
    quint32 startType = 0;
    quint32 errorControl = 0;
    QString binaryPathName;
    QString loadOrderGroup;
    QString dependencies;
    QString serviceStartName;
    QString displayName;
};

// ENUM_SERVICE_STATUS_PROCESSW
struct ServiceStatusProcess
{
    QString serviceName;
    QString displayName;
    ServiceStatus status;
    quint32 processId = 0;
};

class ServiceHandle;

// A handle to the service control manager (OpenSCManagerW); closes itself.
class ServiceManagerHandle
{
public:
    ServiceManagerHandle() = default;
    ServiceManagerHandle(ServiceManagerHandle&&) noexcept = default;
    ServiceManagerHandle& operator=(ServiceManagerHandle&&) noexcept = default;
    ServiceManagerHandle(const ServiceManagerHandle&) = delete;
    ServiceManagerHandle& operator=(const ServiceManagerHandle&) = delete;
    ~ServiceManagerHandle() = default;

    Error open(quint32 access);
    bool isValid() const { return m_handle.isValid(); }
    void close();

    // OpenServiceW; service names are case-insensitive.
    Error openService(const QString& name, quint32 access, ServiceHandle& out) const;

    // EnumServicesStatusExW (SC_ENUM_PROCESS_INFO). With bufferBytes too small
    // it answers ErrorMoreData and sets bytesNeeded; `services` is then untouched.
    Error enumServices(quint32 serviceType, quint32 serviceState, quint32 bufferBytes,
                       quint32* bytesNeeded, QVector<ServiceStatusProcess>* services) const;

private:
    SystemHandle m_handle;
    friend class ServiceHandle;
};

// A handle to one service (OpenServiceW); closes itself.
class ServiceHandle
{
public:
    ServiceHandle() = default;
    ServiceHandle(ServiceHandle&&) noexcept = default;
    ServiceHandle& operator=(ServiceHandle&&) noexcept = default;
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() = default;

    bool isValid() const { return m_handle.isValid(); }
    void close();

    // QueryServiceConfigW: ErrorInsufficientBuffer with bytesNeeded when the
    // buffer is too small (a first call with 0 bytes learns the size), and
    // always for a configuration larger than the 8 KB the call can return.
    Error queryConfig(quint32 bufferBytes, quint32* bytesNeeded, ServiceConfig* config) const;
    // ChangeServiceConfigW with ServiceNoChange for whatever stays.
    Error changeConfig(quint32 serviceType, quint32 startType, quint32 errorControl);
    // QueryServiceConfig2W / ChangeServiceConfig2W, SERVICE_CONFIG_DELAYED_AUTO_START_INFO.
    Error queryDelayedAutoStart(bool* delayed) const;
    Error setDelayedAutoStart(bool delayed);
    Error queryStatus(ServiceStatus* status) const;
    // ControlService; `status` receives the latest status when not null.
    Error control(quint32 code, ServiceStatus* status);
    // StartServiceW without arguments.
    Error start();

private:
    SystemHandle m_handle;
    friend class ServiceManagerHandle;
};

} // namespace win

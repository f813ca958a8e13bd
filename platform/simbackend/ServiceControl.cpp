#include "platform/ServiceControl.h"

#include "platform/sim/MachineAccess.h"
#include "platform/sim/RaisedException.h"

#include <utility>

using win::sim::MachineAccess;
using win::sim::SimMachine;
using win::sim::SimService;

namespace win {

namespace {

constexpr quint32 ExceptionAccessViolation = 0xC0000005u;

// QueryServiceConfigW returns at most 8 KB: a configuration that needs more
// (a very long command line) cannot be read, whatever buffer is given.
constexpr quint32 MaxConfigBytes = 8192;

// What QueryServiceConfigW needs: the fixed block plus the strings.
quint32 configBytes(const SimService& service)
{
    const int chars = service.binaryPath.size() + service.displayName.size() + 3 /* group, deps, account */ + 2;
    return 36 + quint32(chars) * 2;
}

// A service starts and stops by itself once its delay has passed.
void advancePending(SimMachine& machine, SimService& service)
{
    const quint64 now = machine.clock().nowMs();
    if (service.state == ServiceStopPending && now >= service.stopRequestedAtMs + quint64(service.stopDelayMs)) {
        service.state = ServiceStopped;
        service.processId = 0;
        machine.markChanged();
    } else if (service.state == ServiceStartPending
               && now >= service.startRequestedAtMs + quint64(service.startDelayMs)) {
        service.state = ServiceRunning;
        machine.markChanged();
    }
}

// Services that need `service` and are not stopped: they keep it from stopping.
bool hasActiveDependents(SimMachine& machine, const SimService& service)
{
    for (SimService& other : machine.system().services) {
        if (other.dependencies.contains(service.name, Qt::CaseInsensitive)) {
            advancePending(machine, other);
            if (other.state != ServiceStopped)
                return true;
        }
    }
    return false;
}

ServiceStatus statusOf(const SimService& service)
{
    ServiceStatus status;
    status.serviceType = service.serviceType;
    status.currentState = service.state;
    if (service.state == ServiceRunning && service.acceptsStop)
        status.controlsAccepted = ServiceAcceptStop;
    if (service.state == ServiceStopPending)
        status.waitHintMs = quint32(service.stopDelayMs);
    if (service.state == ServiceStartPending)
        status.waitHintMs = quint32(service.startDelayMs);
    return status;
}

// Finds the service behind an open handle that was opened with `right`.
Error serviceFor(MachineAccess& access, quintptr handle, quint32 right, SimService** service)
{
    SimMachine::ServiceHandleData data;
    if (!access || !access->serviceHandle(handle, &data) || data.manager)
        return ErrorInvalidHandle;
    if ((data.access & right) != right)
        return ErrorAccessDenied;
    *service = access->findService(data.serviceName);
    return *service ? ErrorSuccess : ErrorServiceDoesNotExist;
}

} // namespace




void ServiceManagerHandle::close()
{
    m_handle.reset();
}

Error ServiceManagerHandle::open(quint32 accessRights)
{
    close();
    MachineAccess access;
    if (!access)
        return ErrorInvalidHandle;
    // Without elevation only connecting, enumerating and reading are granted.
    const quint32 userRights = ScManagerConnect | ScManagerEnumerateService | 0x0010u | 0x00020000u;
    if (!access->system().administrator && (accessRights & ~userRights))
        return ErrorAccessDenied;
    m_handle.reset(access->openServiceHandle({QString(), accessRights, true}));
    return ErrorSuccess;
}

Error ServiceManagerHandle::openService(const QString& name, quint32 accessRights, ServiceHandle& out) const
{
    out.close();
    MachineAccess access;
    SimMachine::ServiceHandleData manager;
    if (!access || !access->serviceHandle(m_handle.get(), &manager) || !manager.manager)
        return ErrorInvalidHandle;
    if (!(manager.access & ScManagerConnect))
        return ErrorAccessDenied;
    SimService* service = access->findService(name);
    if (!service)
        return ErrorServiceDoesNotExist;
    const quint32 changeRights = ServiceChangeConfig | ServiceStart | ServiceStop;
    if (service->accessDenied || (!access->system().administrator && (accessRights & changeRights)))
        return ErrorAccessDenied;
    out.m_handle.reset(access->openServiceHandle({service->name, accessRights, false}));
    return ErrorSuccess;
}

Error ServiceManagerHandle::enumServices(quint32 serviceType, quint32 serviceState, quint32 bufferBytes,
                                         quint32* bytesNeeded, QVector<ServiceStatusProcess>* services) const
{
    MachineAccess access;
    SimMachine::ServiceHandleData manager;
    if (!access || !access->serviceHandle(m_handle.get(), &manager) || !manager.manager)
        return ErrorInvalidHandle;
    if (!(manager.access & ScManagerEnumerateService))
        return ErrorAccessDenied;
    QVector<ServiceStatusProcess> found;
    quint32 needed = 0;
    for (SimService& service : access->system().services) {
        advancePending(*access.machine(), service);
        const bool active = service.state != ServiceStopped;
        const bool stateWanted = active ? (serviceState & ServiceActive) : (serviceState & ServiceInactive);
        if (!(service.serviceType & serviceType) || !stateWanted)
            continue;
        found.append({service.name, service.displayName, statusOf(service), service.processId});
        needed += 44 + quint32(service.name.size() + service.displayName.size() + 2) * 2;
    }
    if (bytesNeeded)
        *bytesNeeded = needed;
    if (bufferBytes < needed)
        return ErrorMoreData;
    *services = found;
    return ErrorSuccess;
}




void ServiceHandle::close()
{
    m_handle.reset();
}

Error ServiceHandle::queryConfig(quint32 bufferBytes, quint32* bytesNeeded, ServiceConfig* config) const
{
    MachineAccess access;
    SimService* service = nullptr;
    if (const Error e = serviceFor(access, m_handle.get(), ServiceQueryConfig, &service))
        return e;
    const quint32 needed = configBytes(*service);
    if (bytesNeeded)
        *bytesNeeded = needed;
    if (bufferBytes < needed || needed > MaxConfigBytes)
        return ErrorInsufficientBuffer;
    config->serviceType = service->serviceType;
    config->startType = service->startType;
    config->errorControl = service->errorControl;
    config->binaryPathName = service->binaryPath;
    config->loadOrderGroup.clear();
    config->dependencies.clear();
    config->serviceStartName = QStringLiteral("LocalSystem");
    config->displayName = service->displayName;
    return ErrorSuccess;
}

Error ServiceHandle::changeConfig(quint32 serviceType, quint32 startType, quint32 errorControl)
{
    MachineAccess access;
    SimService* service = nullptr;
    if (const Error e = serviceFor(access, m_handle.get(), ServiceChangeConfig, &service))
        return e;
    if (service->changeConfigRaises)
        throw win::sim::RaisedException{ExceptionAccessViolation};
    if (startType != ServiceNoChange && startType > ServiceDisabled)
        return ErrorInvalidParameter;
    const bool driver = service->serviceType & ServiceDriver;
    if (startType != ServiceNoChange && !driver && startType < ServiceAutoStart)
        return ErrorInvalidParameter;  // boot and system start are for drivers only
    if (serviceType != ServiceNoChange)
        service->serviceType = serviceType;
    if (startType != ServiceNoChange)
        service->startType = startType;
    if (errorControl != ServiceNoChange)
        service->errorControl = errorControl;
    access->markChanged();
    return ErrorSuccess;
}

Error ServiceHandle::queryDelayedAutoStart(bool* delayed) const
{
    MachineAccess access;
    SimService* service = nullptr;
    if (const Error e = serviceFor(access, m_handle.get(), ServiceQueryConfig, &service))
        return e;
    *delayed = service->delayedAutoStart;
    return ErrorSuccess;
}

Error ServiceHandle::setDelayedAutoStart(bool delayed)
{
    MachineAccess access;
    SimService* service = nullptr;
    if (const Error e = serviceFor(access, m_handle.get(), ServiceChangeConfig, &service))
        return e;
    service->delayedAutoStart = delayed;
    access->markChanged();
    return ErrorSuccess;
}

Error ServiceHandle::queryStatus(ServiceStatus* status) const
{
    MachineAccess access;
    SimService* service = nullptr;
    if (const Error e = serviceFor(access, m_handle.get(), ServiceQueryStatus, &service))
        return e;
    advancePending(*access.machine(), *service);
    *status = statusOf(*service);
    return ErrorSuccess;
}

Error ServiceHandle::control(quint32 code, ServiceStatus* status)
{
    MachineAccess access;
    SimService* service = nullptr;
    const quint32 right = code == ServiceControlStop ? ServiceStop : ServiceQueryStatus;
    if (const Error e = serviceFor(access, m_handle.get(), right, &service))
        return e;
    advancePending(*access.machine(), *service);
    if (status)
        *status = statusOf(*service);
    if (code == ServiceControlInterrogate)
        return service->state == ServiceStopped ? ErrorServiceNotActive : ErrorSuccess;
    if (code != ServiceControlStop)
        return ErrorInvalidServiceControl;
    ++service->stopControls;
    if (service->state == ServiceStopped)
        return ErrorServiceNotActive;
    // A service that is starting or already stopping accepts no stop.
    if (!service->acceptsStop || service->state != ServiceRunning)
        return ErrorServiceCannotAcceptCtrl;
    if (hasActiveDependents(*access.machine(), *service))
        return ErrorDependentServicesRunning;
    service->state = ServiceStopPending;
    service->stopRequestedAtMs = access->clock().nowMs();
    access->markChanged();
    advancePending(*access.machine(), *service);
    if (status)
        *status = statusOf(*service);
    return ErrorSuccess;
}

Error ServiceHandle::start()
{
    MachineAccess access;
    SimService* service = nullptr;
    if (const Error e = serviceFor(access, m_handle.get(), ServiceStart, &service))
        return e;
    advancePending(*access.machine(), *service);
    if (service->startType == ServiceDisabled)
        return ErrorServiceDisabled;
    if (service->state != ServiceStopped)
        return ErrorServiceAlreadyRunning;
    if (service->startFails)
        return ErrorServiceRequestTimeout;
    service->state = ServiceStartPending;
    service->startRequestedAtMs = access->clock().nowMs();
    service->processId = 1000 + quint32(service - access->system().services.data());
    access->markChanged();
    advancePending(*access.machine(), *service);
    return ErrorSuccess;
}

} // namespace win

#include "common/ServiceStartChange.h"

#include "platform/Clock.h"
#include "platform/ServiceControl.h"

namespace {

constexpr quint64 StopWaitMs = 2000;
constexpr int StopPollMs = 200;

// QueryServiceConfigW the usual way: a first call learns the size the
// configuration needs, a second one reads it.
bool queryServiceConfig(const win::ServiceHandle& service, win::ServiceConfig* config)
{
    quint32 needed = 0;
    return service.queryConfig(0, &needed, config) == win::ErrorInsufficientBuffer && needed > 0
           && service.queryConfig(needed, &needed, config) == win::ErrorSuccess;
}

void stopAndWait(win::ServiceHandle& service)
{
    win::ServiceStatus status;
    if (service.queryStatus(&status) != win::ErrorSuccess || status.currentState == win::ServiceStopped
        || service.control(win::ServiceControlStop, &status) != win::ErrorSuccess)
        return;
    const quint64 sent = win::tickCountMs();
    while (status.currentState != win::ServiceStopped && win::tickCountMs() - sent <= StopWaitMs) {
        win::sleepMs(StopPollMs);
        if (service.queryStatus(&status) != win::ErrorSuccess)
            break;
    }
}

} // namespace

ServiceStartChange lowerServiceStart(const QString& serviceName, quint32 startType, ServiceStartChange::Stop stop)
{
    using Stop = ServiceStartChange::Stop;
    ServiceStartChange change;
    win::ServiceManagerHandle manager;
    win::ServiceHandle service;
    const quint32 rights = win::ServiceQueryConfig | win::ServiceChangeConfig | win::ServiceQueryStatus
                           | (stop == Stop::Never ? 0 : win::ServiceStop);
    win::ServiceStatus status;
    win::ServiceConfig config;
    if (manager.open(win::ScManagerConnect) != win::ErrorSuccess
        || manager.openService(serviceName, rights, service) != win::ErrorSuccess
        || service.queryStatus(&status) != win::ErrorSuccess)
        return change;
    change.read = queryServiceConfig(service, &config);
    if (!change.read && startType != win::ServiceDisabled)
        return change;
    if (change.read)
        change.previousStartType = config.startType;
    if (change.read && config.startType > startType)
        change.outcome = ServiceStartChange::Kept;
    else if ((change.read && config.startType == startType)
             || service.changeConfig(win::ServiceNoChange, startType, win::ServiceNoChange) == win::ErrorSuccess)
        change.outcome = ServiceStartChange::Set;
    if (stop == Stop::AndWait)
        stopAndWait(service);
    else if (stop == Stop::IfRunning && change.outcome == ServiceStartChange::Set
             && status.currentState == win::ServiceRunning)
        service.control(win::ServiceControlStop, nullptr);
    return change;
}

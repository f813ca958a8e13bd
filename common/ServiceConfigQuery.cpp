#include "common/ServiceConfigQuery.h"

#include "platform/ServiceControl.h"

bool queryServiceConfig(const win::ServiceHandle& service, win::ServiceConfig* config)
{
    quint32 needed = 0;
    return service.queryConfig(0, &needed, config) == win::ErrorInsufficientBuffer && needed > 0
           && service.queryConfig(needed, &needed, config) == win::ErrorSuccess;
}

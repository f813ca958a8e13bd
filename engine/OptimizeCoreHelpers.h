#pragma once

#include "common/NativeSystemPath.h"
#include "platform/ServiceControl.h"

#include <QString>

// What several work steps of the engine share besides its member utilities.
namespace optimizecore {

constexpr quint64 BytesPerMB = 1048576;

// bcdedit has no 32-bit copy, so it is reached only through the native
// system folder.
inline QString bcdeditProgram()
{
    return nativeSystemProgram(QStringLiteral("bcdedit.exe"));
}

inline bool openService(const QString& name, quint32 managerAccess, quint32 serviceAccess,
                        win::ServiceManagerHandle& manager, win::ServiceHandle& service)
{
    return manager.open(managerAccess) == win::ErrorSuccess
           && manager.openService(name, serviceAccess, service) == win::ErrorSuccess;
}

} // namespace optimizecore

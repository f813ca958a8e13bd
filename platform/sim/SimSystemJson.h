#pragma once

#include "platform/sim/SimState.h"

#include <QJsonObject>

namespace win::sim {

// The SimSystem sections of machine.json: "system", "environment",
// "services", "tasks", "taskFolders", "taskScheduler", "processes",
// "windows", "printers", "adapters", "trust", "versionResources" and
// "registryFilter".
bool loadSystem(const QJsonObject& machine, SimSystem* system, QString* error);
void saveSystem(const SimSystem& system, QJsonObject* machine);

} // namespace win::sim

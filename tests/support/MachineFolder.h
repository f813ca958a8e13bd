#pragma once

#include <QString>

namespace win::sim {
class SimMachine;
}

// Copies a machine folder, such as a shipped machine, for a test to run on;
// links are copied as the links they are.
bool copyMachineFolder(const QString& from, const QString& to);

// Copies a machine folder to `to` and loads the copy with its clock set not
// to sleep; false with the reason in `error`.
bool loadMachineCopy(const QString& from, const QString& to, win::sim::SimMachine& machine, QString* error);

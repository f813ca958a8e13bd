#pragma once

#include <QString>

// Copies a machine folder, such as a shipped machine, for a test to run on;
// links are copied as the links they are.
bool copyMachineFolder(const QString& from, const QString& to);

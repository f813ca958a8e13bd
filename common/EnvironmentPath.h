#pragma once

#include <QString>

// Expands the %VARIABLES% of a path through the system, as
// ExpandEnvironmentStringsW does: names are case-insensitive and a variable
// that is not defined stays as written. Never answers a cut path: when the
// expansion is longer than the usual buffer it is asked again with the size
// the system named.
QString expandEnvironmentPath(const QString& path);

// Expands a path the way a 64-bit program would, for texts that 64-bit
// Windows itself reads (the 64-bit registry view: Run keys, uninstall
// entries). This 32-bit program sees %ProgramFiles% and %CommonProgramFiles%
// as the x86 folders; Windows' 64-bit processes see the 64-bit ones, which
// the system keeps for everybody as %ProgramW6432% and %CommonProgramW6432%.
// On 32-bit Windows, where those are not defined, it expands as usual.
QString expandEnvironmentPathFor64Bit(const QString& path);

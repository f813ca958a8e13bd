#pragma once

#include <QString>

// Expands the %VARIABLES% of a path through the system, as
// ExpandEnvironmentStringsW does: names are case-insensitive and a variable
// that is not defined stays as written. Never answers a cut path: when the
// expansion is longer than the usual buffer it is asked again with the size
// the system named.
QString expandEnvironmentPath(const QString& path);

#pragma once

#include <QString>

namespace win {

// ExpandEnvironmentStringsW: variable names are case-insensitive and a
// variable that is not defined stays as written, percent signs included.
// Answers the size needed in characters, terminator included; `expanded`
// receives the text only when it fits bufferChars.
quint32 expandEnvironmentStrings(const QString& source, QString* expanded, quint32 bufferChars);

// GetEnvironmentVariableW: the length written, or the size needed when the
// buffer is too small, or 0 when the variable is not set.
quint32 getEnvironmentVariable(const QString& name, QString* value, quint32 bufferChars);

// GetTempPathW: the user's temporary folder with a trailing backslash.
QString tempPath();

} // namespace win

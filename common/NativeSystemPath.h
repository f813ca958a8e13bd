#pragma once

#include <QString>

// A path that the system's own 64-bit processes use (a startup command, the
// image of a running process, a file of the system folder), named so that
// this program reaches the same file. Under WOW64 the program's System32 is
// SysWOW64, and only the Sysnative alias leads to the real one; otherwise the
// path is answered as it is. The path is expected with its variables expanded.
QString nativeSystemPath(const QString& path);

// How this program starts one of Windows' programs that have no 32-bit copy
// in SysWOW64 (bcdedit.exe, defrag.exe): under WOW64 only the Sysnative alias
// reaches them, which exists for 32-bit programs alone; otherwise by name.
QString nativeSystemProgram(const QString& fileName);

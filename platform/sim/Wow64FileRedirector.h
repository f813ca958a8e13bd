#pragma once

#include "platform/FileSystem.h"

#include <QString>

namespace win::sim {

class SimMachine;

// One path after the WOW64 file system redirector: where a file call of the
// program lands, and the way back to the names the program used, so that
// the entries of a redirected folder carry the caller's path.
class RedirectedPath
{
public:
    RedirectedPath() = default;
    RedirectedPath(const QString& target, const QString& callerPrefix, const QString& targetPrefix);

    const QString& target() const { return m_target; }
    bool isRedirected() const { return !m_targetPrefix.isEmpty(); }

    // A path at or below the target (in any spelling the file system
    // answers with), named the way the caller named the target.
    QString asCallerNamed(const QString& pathBelowTarget) const;
    void nameAsCaller(FileEntry* entry) const;

private:
    QString m_target;
    QString m_callerPrefix;   // the part of the caller's path that was replaced
    QString m_targetPrefix;   // what replaced it
};

// The WOW64 file system redirector of 64-bit Windows, as a 32-bit program
// meets it: %windir%\System32 is %windir%\SysWOW64, except the folders
// Windows exempts (catroot, catroot2, DriverStore from Windows 7 on,
// drivers\etc, LogFiles, spool); %windir%\lastgood\System32 is
// lastgood\SysWOW64 and %windir%\regedit.exe SysWOW64\regedit.exe; the alias
// %windir%\Sysnative reaches the real System32. A 64-bit program, and any
// program on 32-bit Windows, meets none of it (Sysnative does not exist for
// them). The Windows folder is the parent of the system directory.
class Wow64FileRedirector
{
public:
    explicit Wow64FileRedirector(const SimMachine& machine);

    bool isActive() const { return m_active; }
    RedirectedPath redirect(const QString& path) const;
    QString target(const QString& path) const { return redirect(path).target(); }

private:
    bool isExempt(const QString& pathBelowSystem32) const;

    bool m_active = false;
    bool m_driverStoreExempt = true;
    QString m_windows;     // normalized, "C:\Windows"
};

} // namespace win::sim

#include "platform/sim/Wow64FileRedirector.h"

#include "platform/sim/SimMachine.h"

namespace win::sim {

namespace {

// The length of `folder` when `path` is that folder or lies inside it; -1 otherwise.
int prefixLength(const QString& path, const QString& folder)
{
    if (!path.startsWith(folder, Qt::CaseInsensitive))
        return -1;
    return path.size() == folder.size() || path.at(folder.size()) == '\\' ? folder.size() : -1;
}

} // namespace

RedirectedPath::RedirectedPath(const QString& target, const QString& callerPrefix, const QString& targetPrefix)
    : m_target(target)
    , m_callerPrefix(callerPrefix)
    , m_targetPrefix(targetPrefix)
{
}

QString RedirectedPath::asCallerNamed(const QString& pathBelowTarget) const
{
    if (!isRedirected())
        return pathBelowTarget;
    const int length = prefixLength(pathBelowTarget, m_targetPrefix);
    return length < 0 ? pathBelowTarget : m_callerPrefix + pathBelowTarget.mid(length);
}

void RedirectedPath::nameAsCaller(FileEntry* entry) const
{
    if (isRedirected())
        entry->path = asCallerNamed(entry->path);
}

Wow64FileRedirector::Wow64FileRedirector(const SimMachine& machine)
    : m_active(machine.isWow64Process())
    , m_windows(parentPathOf(machine.system().systemDirectory))
{
    const SimVersion& version = machine.system().version;
    m_driverStoreExempt = version.major > 6 || (version.major == 6 && version.minor >= 1);
}

bool Wow64FileRedirector::isExempt(const QString& pathBelowSystem32) const
{
    const QStringList parts = pathBelowSystem32.split('\\', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return false;
    const QString first = parts.first().toLower();
    if (first == QLatin1String("catroot") || first == QLatin1String("catroot2") || first == QLatin1String("logfiles")
        || first == QLatin1String("spool"))
        return true;
    if (first == QLatin1String("driverstore"))
        return m_driverStoreExempt;
    return first == QLatin1String("drivers") && parts.size() > 1 && parts.at(1).compare(QLatin1String("etc"), Qt::CaseInsensitive) == 0;
}

RedirectedPath Wow64FileRedirector::redirect(const QString& path) const
{
    if (!m_active || m_windows.isEmpty())
        return RedirectedPath(path, QString(), QString());
    // The redirector sees the path as Windows resolves it.
    QString normalized;
    if (fullPathName(path, &normalized) != ErrorSuccess)
        return RedirectedPath(path, QString(), QString());
    // Most paths lie outside the Windows folder, which holds every folder
    // the redirector knows.
    if (prefixLength(normalized, m_windows) < 0)
        return RedirectedPath(path, QString(), QString());
    const auto replaced = [&normalized](int length, const QString& by) {
        return RedirectedPath(by + normalized.mid(length), normalized.left(length), by);
    };
    const QString system32 = m_windows + QStringLiteral("\\System32");
    const QString sysWow64 = m_windows + QStringLiteral("\\SysWOW64");
    const int native = prefixLength(normalized, m_windows + QStringLiteral("\\Sysnative"));
    if (native >= 0)
        return replaced(native, system32);
    const int system = prefixLength(normalized, system32);
    if (system >= 0)
        return isExempt(normalized.mid(system)) ? RedirectedPath(path, QString(), QString()) : replaced(system, sysWow64);
    const int lastGood = prefixLength(normalized, m_windows + QStringLiteral("\\lastgood\\System32"));
    if (lastGood >= 0)
        return replaced(lastGood, m_windows + QStringLiteral("\\lastgood\\SysWOW64"));
    const QString regedit = m_windows + QStringLiteral("\\regedit.exe");
    if (normalized.compare(regedit, Qt::CaseInsensitive) == 0)
        return replaced(normalized.size(), sysWow64 + QStringLiteral("\\regedit.exe"));
    return RedirectedPath(path, QString(), QString());
}

} // namespace win::sim

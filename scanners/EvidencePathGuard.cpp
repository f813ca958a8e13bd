#include "scanners/EvidencePathGuard.h"

#include "common/EnvironmentPath.h"
#include "platform/FileSystem.h"

namespace {

bool isAbsoluteWindowsPath(const QString& path)
{
    return path.size() >= 3 && path.at(0).isLetter() && path.at(1) == ':'
           && (path.at(2) == '\\' || path.at(2) == '/');
}

bool hasRelativeComponent(const QString& normalized)
{
    const QStringList parts = normalized.split('\\');
    return parts.contains(QStringLiteral("..")) || parts.contains(QStringLiteral("."));
}

// The folders whose removal would break Windows, the installed programs or a
// user's account. A variable the machine does not define is left out.
QStringList protectedFolders()
{
    static const char* const variables[] = {
        "%SystemRoot%", "%windir%", "%ProgramFiles%", "%ProgramFiles(x86)%", "%ProgramW6432%",
        "%ProgramData%", "%ALLUSERSPROFILE%", "%PUBLIC%", "%USERPROFILE%", "%APPDATA%",
        "%LOCALAPPDATA%", "%USERPROFILE%\\AppData\\LocalLow"};
    QStringList folders;
    for (const char* variable : variables) {
        const QString folder = expandEnvironmentPath(QString::fromLatin1(variable));
        if (!folder.contains('%') && isAbsoluteWindowsPath(folder))
            folders.append(win::normalizedPath(folder));
    }
    return folders;
}

} // namespace

EvidencePathGuard::EvidencePathGuard()
    : m_protectedFolders(protectedFolders())
{
    const QString profile = expandEnvironmentPath(QStringLiteral("%USERPROFILE%"));
    if (!profile.contains('%') && isAbsoluteWindowsPath(profile))
        m_profilesRoot = win::parentPathOf(profile);
}

bool EvidencePathGuard::accepts(const QString& path) const
{
    if (path.contains('%') || !isAbsoluteWindowsPath(path))
        return false;
    const QString normalized = win::normalizedPath(path);
    if (normalized.size() <= 3 || hasRelativeComponent(normalized))
        return false;
    return !isAboveProtectedFolder(normalized) && !isProfileOrAppDataRoot(normalized);
}

bool EvidencePathGuard::isAboveProtectedFolder(const QString& normalized) const
{
    for (const QString& folder : m_protectedFolders) {
        if (win::isSameOrInside(folder, normalized))
            return true;
    }
    return false;
}

// Any account's profile counts, not only the current user's: "C:\Users\X",
// "C:\Users\X\AppData" and its Roaming, Local and LocalLow folders.
bool EvidencePathGuard::isProfileOrAppDataRoot(const QString& normalized) const
{
    if (m_profilesRoot.isEmpty() || !win::isSameOrInside(normalized, m_profilesRoot))
        return false;
    const QStringList below = normalized.mid(m_profilesRoot.size()).split('\\', Qt::SkipEmptyParts);
    if (below.size() <= 1)
        return true;
    if (below.at(1).compare(QLatin1String("AppData"), Qt::CaseInsensitive) != 0)
        return false;
    if (below.size() == 2)
        return true;
    static const QStringList roots = {QStringLiteral("Roaming"), QStringLiteral("Local"),
                                      QStringLiteral("LocalLow")};
    return below.size() == 3 && roots.contains(below.at(2), Qt::CaseInsensitive);
}

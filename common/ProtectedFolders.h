#pragma once

#include <QString>
#include <QStringList>

// The program's one rule of what it must never delete: the folders whose
// loss would break Windows, the installed programs, a user's account or this
// program itself. Every component that deletes asks it, through FileRemover.
//
// The folders are read once, when the object is made, from the machine's
// environment and the program's own place. Every decision is taken on a path
// as Windows resolves it (win::fullPathName: "." components, trailing dots
// and spaces and doubled or mixed separators make no difference), letter case
// ignored, and on its long form (win::getLongPathName), so that a short 8.3
// alias ("C:\PROGRA~1") names what it stands for. Paths are given expanded;
// one that still holds a '%', is not fully qualified ("X:\..."), holds a ".."
// component or a character no name may hold (a stream's ':', a NUL, a
// wildcard), or has a short name whose long form cannot be learnt, is always
// refused.
//
// The protected folders: every drive's root; the Windows folder, its System32
// and SysWOW64; both Program Files folders; ProgramData; the profiles folder
// (C:\Users) and every profile in it, and in each profile Desktop, Documents,
// Downloads, Pictures, Music, Videos, AppData, AppData\Local,
// AppData\Roaming and AppData\LocalLow, also where the user moved them;
// and the program's portable layout: the folder holding the agreement flag
// (<program folder>\..\..) and everything below it, or, when that folder is
// a drive's root, the flag and the program's own folder (<program folder>\..).
class ProtectedFolders
{
public:
    // The running machine's folders and the running program's layout.
    ProtectedFolders();
    // The same for a program lying in `programFolder` (a Windows path; empty
    // when the program lies on none of the machine's drives).
    explicit ProtectedFolders(const QString& programFolder);

    // Emptying `folder` (deleting what lies below it) is refused for an
    // unusable path, a protected folder, and anything inside the portable
    // layout. A folder below a protected one is allowed: caches live there.
    bool refusesEmptying(const QString& folder) const;
    // Removing `path` whole is refused for an unusable path, a protected
    // folder, a folder that holds one (every folder above one), and anything
    // inside the portable layout.
    bool refusesRemoving(const QString& path) const;
    // The protected folders strictly inside `folder`, as resolved paths: a
    // walk that empties `folder` must leave them and all below them alone.
    QStringList protectedInside(const QString& folder) const;

    // The resolved path, or empty for a path the rule always refuses.
    static QString resolved(const QString& path);
    // Both resolved; `path` is `folder` or lies below it.
    static bool isSameOrBelow(const QString& path, const QString& folder);

private:
    bool isProtected(const QString& resolvedPath) const;
    bool isProfileFolder(const QString& resolvedPath) const;
    bool isInsidePortableLayout(const QString& resolvedPath) const;

    QStringList m_systemFolders;   // resolved
    QStringList m_profiles;        // resolved, the profiles the machine names
    QStringList m_profilesRoots;   // resolved, the folders that hold profiles
    QStringList m_portableLayout;  // resolved, empty when the program is on no drive
};

#pragma once

#include <QString>
#include <QStringList>

// Decides whether a path may be kept as junkware evidence. Evidence paths are
// what the deep optimisation later removes, so only a plain absolute path
// below the machine's fixed folders qualifies: never a drive root, the
// Windows folder, the program folders, ProgramData, a user profile or its
// AppData roots, nor any folder that holds one of those.
class EvidencePathGuard
{
public:
    // Reads the machine's fixed folders once, through its environment.
    EvidencePathGuard();

    // `path` must already be expanded.
    bool accepts(const QString& path) const;

private:
    bool isAboveProtectedFolder(const QString& normalized) const;
    bool isProfileOrAppDataRoot(const QString& normalized) const;

    QStringList m_protectedFolders;  // normalized
    QString m_profilesRoot;          // normalized parent of the user's profile
};

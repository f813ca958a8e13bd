#pragma once

#include <QHash>
#include <QSet>
#include <QString>

// Tells whether paths exist on the machine and remembers every answer for
// its own life. Resolving startup commands tries prefixes that many entries
// share ("C:\Program.exe", "C:\Program Files\Vendor.exe"), and a folder found
// missing once rules out everything inside it, however deep, so one scan asks
// the file system each question once.
class PathProbe
{
public:
    bool exists(const QString& path);  // a file or a folder
    bool isFile(const QString& path);

private:
    enum class Kind { Missing, File, Folder };
    Kind kindOf(const QString& path);
    bool isInsideMissingFolder(const QString& key) const;

    // Keys are full paths as Windows resolves them (win::fullPathName),
    // folded (win::foldCase); folders without a trailing separator but the
    // root's.
    QHash<QString, Kind> m_known;
    QSet<QString> m_missingFolders;  // folders that are not there (or are no folders)
};

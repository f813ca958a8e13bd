#pragma once

#include <QHash>
#include <QString>

class ProtectedFolders;

// The folders that installed and running programs still use: the install
// location, the uninstaller's folder and the icon's folder of every uninstall
// entry, and the folder every running process was started from. What an uninstall left
// behind lies in none of them and holds none of them; anything else still
// belongs to a program, and deleting it would break the program or its own
// uninstall. Read once, when the object is made.
class ProgramFolders
{
public:
    // Folders the rule protects as a whole (Program Files, a drive's root)
    // hold many programs and are nobody's own folder: they are not counted.
    explicit ProgramFolders(const ProtectedFolders& rule);

    // Who still uses `path` (it lies in such a folder or holds one), as the
    // line of a run names it: "已安装：<program>" or "运行中：<file name>";
    // empty when nobody does.
    QString userOf(const QString& path) const;

private:
    void readUninstallEntries();
    void readRunningProcesses();
    void add(const QString& folder, const QString& user);

    const ProtectedFolders& m_rule;
    QHash<QString, QString> m_folders;   // folded resolved folder → its user
    QHash<QString, QString> m_holders;   // folded resolved folder above one of them → that one's user
};

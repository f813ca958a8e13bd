#pragma once

#include "platform/RegistryKey.h"

#include <QString>
#include <QVector>

// One place from which Windows starts programs at sign-in that the program
// reads, counts or switches: a Run key or a Startup folder. The table below is
// the one list of them; every scan, count and switch reads it, so a view or a
// hive is right or wrong for all of them at once.
//
// Every key is opened in the 64-bit view: the program is a 32-bit process, and
// without the flag HKLM\SOFTWARE would lead it into WOW6432Node. The 32-bit
// Run key is therefore named by its full WOW6432Node path.
//
// Windows 8 and later keep whether the user switched an entry off in
// Explorer's StartupApproved keys, each in the entry's own hive: a value named
// as the Run value, or as the Startup-folder file with its extension, below
// StartupApproved\Run (the 64-bit Run keys), \Run32 (the 32-bit machine Run
// key) or \StartupFolder. Windows reads no such state for RunOnce and policy
// Run entries, nor for any entry on Windows 7.
struct StartupLocation
{
    enum class Source { RunKey, Folder };

    Source source = Source::RunKey;
    win::Hive hive = win::Hive::CurrentUser;  // the key's hive; for a folder, whose folder it is
    QString keyPath;           // a Run key below its hive
    QString folderVariable;    // a Startup folder: the environment variable of its base
    QString folderBelow;       // and the path below it
    int findingType = 0;       // the startup scanner's location number
    QString findingLabel;      // the scanner's label
    QString managerLabel;      // the startup manager's label
    bool runsOnce = false;
    QString approvalSubkey;    // below StartupApproved in `hive`; empty where Windows keeps no state
    QString backupName;        // the name of the program's own backup of switched-off entries

    bool isFolder() const { return source == Source::Folder; }
    // Whether Windows of this version (a WindowsVersion code) decides by an
    // approval value whether the entry starts.
    bool keepsApprovalOn(int windowsVersion) const;
    // "HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Run".
    QString fullKeyPath() const;
    // How an entry of this location is named to the user: a Run value by its
    // name, a Startup-folder file by its name without the last extension
    // ("Tool.exe.lnk" is "Tool.exe"). The entry itself, and its approval
    // value, keep the whole file name, so two files of one base name stay two.
    QString shownName(const QString& entryName) const;
    // The Startup folder as a Windows path, read from the environment as
    // this program sees it; without the variable, a path that does not exist.
    QString folderPath() const;
    // The program's backup folder for this Startup folder's switched-off
    // files: beside it, below the same variable, so on the same drive.
    QString backupFolderPath() const;
    // The program's backup key for this location's switched-off values, in
    // the entry's own hive (64-bit view).
    QString backupKeyPath() const;

    // Rows in the startup scanner's order: the Run keys of its types 1 to 6,
    // then the common and the user's Startup folder.
    static const QVector<StartupLocation>& all();
    static const StartupLocation* withManagerLabel(const QString& label);
    static QVector<const StartupLocation*> ofFindingType(int type);

    // The key below which each location's approval values lie.
    static const QString ApprovedKeyBase;
};

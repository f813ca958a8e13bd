#pragma once

#include "common/StartupLocation.h"

#include <QString>
#include <QVector>

// The program's own way to switch off an entry for which Windows keeps no
// switched-off state (RunOnce and policy Run entries, every entry on Windows
// 7): a Run value moves, type and data kept, into a backup key of the
// program's in the entry's own hive, and a Startup-folder file into a backup
// folder below the same variable as its Startup folder, so on its drive.
// Giving it back moves it back. A backup is named by its entry and a suffix; a
// second backup of one entry gets a number, so that an older one is never
// overwritten. Nothing is removed from its place before its backup reads back
// as it was.
class StartupBackup
{
public:
    enum class Outcome { Absent, Done, Failed };

    struct Held
    {
        QString backupName;
        QString entryName;
        QString command;   // the value's text, or the backup file's path
    };

    // Moves the value or file `sourceName` of the location into the backup,
    // as a backup of the entry `entryName`; `backupName` receives its name.
    static Outcome hold(const StartupLocation& location, const QString& sourceName, const QString& entryName,
                        QString* backupName = nullptr);
    // Puts a backup back as the entry `entryName`; refused while the
    // location holds an entry of that name.
    static Outcome giveBack(const StartupLocation& location, const QString& backupName, const QString& entryName);
    // The backups of the location's entries, in the order the key or the
    // folder lists them.
    static QVector<Held> held(const StartupLocation& location);

private:
    // The entry a backup name stands for; false for a name that is no backup's.
    static bool entryNameOf(const QString& backupName, QString* entryName);
    static Outcome holdValue(const StartupLocation& location, const QString& sourceName, const QString& entryName,
                             QString* backupName);
    static Outcome holdFile(const StartupLocation& location, const QString& sourceName, const QString& entryName,
                            QString* backupName);
    static Outcome giveBackValue(const StartupLocation& location, const QString& backupName, const QString& entryName);
    static Outcome giveBackFile(const StartupLocation& location, const QString& backupName, const QString& entryName);
};

#pragma once

#include <QString>

// One autostart entry as the startup manager lists it. `name` is also the key
// for de-duplication and the name of the entry's startup-approval value.
struct StartupItem
{
    QString name;
    QString displayName;
    QString command;
    QString location;      // "HKCU_Run", "HKLM_Run", "HKLM_Run32", "HKCU_RunOnce",
                           // "HKLM_RunOnce", "StartupFolder_User" or "StartupFolder_Common"
    QString locationPath;  // the registry path read, or the Startup-folder file
    bool recommendDisable = false;
    bool disabled = false;
};

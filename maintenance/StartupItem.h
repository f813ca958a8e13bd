#pragma once

#include <QString>

// One autostart entry as the startup manager lists it. An entry is known by
// its location and its name: the Run value's name, or the Startup-folder
// file's name with its extension, which is also the name of its
// startup-approval value.
struct StartupItem
{
    QString name;
    QString displayName;
    QString command;
    QString location;      // "HKCU_Run", "HKLM_Run", "HKLM_Run32", "HKCU_RunOnce",
                           // "HKLM_RunOnce", "StartupFolder_User", "StartupFolder_Common",
                           // or, for a switched-off policy entry, "HKLM_PolicyRun" or "HKCU_PolicyRun"
    QString locationPath;  // the registry path read, or the Startup-folder file
    bool recommendDisable = false;
    bool disabled = false;
    // The program's backup that holds a switched-off entry where Windows
    // keeps no switched-off state; empty for an entry in its place.
    QString heldAs;
};

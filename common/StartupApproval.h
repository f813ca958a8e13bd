#pragma once

#include "common/StartupLocation.h"
#include "platform/RegistryKey.h"

#include <QString>

// Explorer's startup-approval state of the entries of one location (Windows 8
// and later): a REG_BINARY value of 12 bytes named as the entry, whose byte 0
// decides; an odd byte means switched off, an even one or a missing value on.
// The rest of the value (Explorer keeps a time stamp there) is not ours.
class StartupApproval
{
public:
    // Opens the location's approval key for reading. Where this Windows
    // version keeps no state for the location, every entry reads as on.
    StartupApproval(const StartupLocation& location, int windowsVersion);

    bool isOff(const QString& valueName) const;

    // Switches one entry's value: byte 0 becomes 2 or 6 (on), 3 or 7 (off),
    // the other bytes are written back as they were read, with the length
    // they had (a new value has 12 bytes). A value longer than 12 bytes is not
    // ours to read and stays as it is. True only when the value written reads
    // back in the state asked for.
    static bool write(const StartupLocation& location, const QString& valueName, bool on);

private:
    win::RegistryKey m_key;
};

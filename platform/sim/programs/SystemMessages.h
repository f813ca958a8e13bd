#pragma once

#include "platform/WinTypes.h"

#include <QString>

namespace win::sim {

constexpr Error ErrorInvalidDrive = 15;

// The system's own texts for the Win32 error codes the simulated programs
// report (what FormatMessage answers on an English system).
class SystemMessages
{
public:
    static QString text(Error error);
    // "<text> (0x8007xxxx)", the way programs that speak in HRESULTs print it.
    static QString withHResult(Error error);
};

} // namespace win::sim

#pragma once

#include "platform/sim/programs/SimProgram.h"

namespace win::sim {

// ipconfig.exe /flushdns: empties the DNS client's cache. It needs the DNS
// Client service ("Dnscache") running when the machine lists that service.
class SimIpconfig : public SimProgram
{
public:
    using SimProgram::SimProgram;

    ProgramOutput run(const QStringList& arguments) override;
};

} // namespace win::sim

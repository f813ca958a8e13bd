#include "platform/sim/programs/SimIpconfig.h"

#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"

namespace win::sim {

namespace {

const QString Heading = QStringLiteral("\r\nWindows IP Configuration\r\n\r\n");

} // namespace

ProgramOutput SimIpconfig::run(const QStringList& arguments)
{
    if (arguments.size() != 1 || !ProgramArguments::isSwitch(arguments.first(), {"flushdns"}))
        return ProgramOutput::failure(1, QStringLiteral("\r\nError: unrecognized or incomplete command line.\r\n"), QString());
    const SimService* dnsClient = machine().findService(QStringLiteral("Dnscache"));
    if (dnsClient && dnsClient->state != ServiceRunning)
        return ProgramOutput::failure(1, Heading + QStringLiteral("Could not flush the DNS Resolver Cache: "
                                                                  "Function failed during execution.\r\n"),
                                      QString());
    machine().programs().setDnsCacheEntries(0);
    machine().markChanged();
    return ProgramOutput::success(Heading + QStringLiteral("Successfully flushed the DNS Resolver Cache.\r\n"));
}

} // namespace win::sim

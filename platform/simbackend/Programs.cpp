#include "platform/Programs.h"

#include "platform/sim/MachineAccess.h"
#include "platform/sim/programs/AnsiCodePage.h"
#include "platform/sim/programs/ProgramDispatcher.h"

namespace win {

ProgramRun runProgram(const QString& program, const QStringList& arguments, int waitMs, StandardInput input)
{
    sim::MachineAccess access;
    if (!access)
        return ProgramRun();
    access->record({QStringLiteral("run"), program, arguments, waitMs, 0});
    return sim::ProgramDispatcher(*access.machine()).run(program, arguments, waitMs, input);
}

QString fromLocal8Bit(const QByteArray& bytes)
{
    sim::MachineAccess access;
    if (!access)
        return QString::fromLocal8Bit(bytes);
    return sim::AnsiCodePage(access->system().ansiCodePage).decode(bytes);
}

} // namespace win

#include "platform/sim/programs/SimProgram.h"

#include "platform/sim/SimMachine.h"

namespace win::sim {

ProgramOutput ProgramOutput::success(const QString& standardOutput)
{
    ProgramOutput output;
    output.standardOutput = standardOutput;
    return output;
}

ProgramOutput ProgramOutput::failure(int exitCode, const QString& standardOutput, const QString& standardError)
{
    ProgramOutput output;
    output.exitCode = exitCode;
    output.standardOutput = standardOutput;
    output.standardError = standardError;
    return output;
}

ProgramOutput ProgramOutput::neverFinishes()
{
    ProgramOutput output;
    output.finishes = false;
    return output;
}

QChar SimProgram::systemDriveLetter() const
{
    const QString directory = m_machine.system().systemDirectory;
    return directory.isEmpty() ? QChar('C') : directory.at(0).toUpper();
}

bool SimProgram::isAdministrator() const
{
    return m_machine.system().administrator;
}

} // namespace win::sim

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

bool SimProgram::windowsIsAtLeast(quint32 major, quint32 minor, quint32 build) const
{
    const SimVersion& version = m_machine.system().version;
    if (version.major != major)
        return version.major > major;
    if (version.minor != minor)
        return version.minor > minor;
    return version.build >= build;
}

} // namespace win::sim

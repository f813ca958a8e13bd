#pragma once

#include "platform/WinTypes.h"
#include "platform/sim/programs/SimProgram.h"
#include "platform/sim/programs/WmiRepository.h"

namespace win::sim {

// wmic.exe: "[/namespace:\\root\x] (<alias> | path <class>) [where <condition>]
// (get <properties> [/value] | call <method>)". Aliases are wmic's own
// short names (cpu, baseboard, diskdrive); a WMI class name given where an
// alias belongs is not one ("Win32_Processor - Alias not found."). A path
// operand may carry its own " where <condition>", as when the caller's
// argument quoting keeps it in one piece.
class SimWmic : public SimProgram
{
public:
    explicit SimWmic(SimMachine& machine);

    ProgramOutput run(const QStringList& arguments) override;

    // wmic's exit code for errors of its own command-line parser.
    static constexpr int ParserErrorExitCode = 44135;

private:
    struct Command
    {
        QString nameSpace = QStringLiteral("root\\cimv2");
        QString className;
        QString condition;     // empty: no where clause
        QString verb;          // "get" when none is given
        QStringList verbArguments;
    };

    bool parse(const QStringList& arguments, Command* command, ProgramOutput* rejection) const;
    ProgramOutput execute(const Command& command) const;
    ProgramOutput get(const WmiClass& wmiClass, const Command& command) const;
    ProgramOutput call(const WmiClass& wmiClass, const Command& command) const;
    // The instances the where clause selects, or the error WMI answers.
    bool select(const WmiClass& wmiClass, const QString& condition, QVector<WmiInstance>* selected,
                ProgramOutput* error) const;
    ProgramOutput wmiError(HResult code, const QString& description) const;
    static ProgramOutput parserError(const QString& message);
    static ProgramOutput noInstances();

    WmiRepository m_repository;
};

} // namespace win::sim

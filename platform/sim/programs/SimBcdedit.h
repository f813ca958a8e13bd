#pragma once

#include "platform/sim/ProgramState.h"
#include "platform/sim/programs/SimProgram.h"

namespace win::sim {

// bcdedit.exe: /enum [active|all], /export <file>, /set <id> <element>
// <value> for the boolean elements of a loader, /timeout <seconds>. Every
// command opens the boot store, which needs elevation. A store without
// loaders gets the one Windows of the machine, {current}, on first use.
class SimBcdedit : public SimProgram
{
public:
    using SimProgram::SimProgram;

    ProgramOutput run(const QStringList& arguments) override;

    // The boot store as /enum prints it (also the content of an export).
    QString enumeration();

private:
    BootStore& store();
    ProgramOutput exportStore(const QString& path);
    ProgramOutput set(const QStringList& arguments);
    ProgramOutput setTimeout(const QString& value);
    QString bootManagerSection();
    QString loaderSection(const BootLoader& loader) const;
    BootLoader* findLoader(const QString& identifier);
    QString defaultDescription() const;
    static ProgramOutput failure(const QString& text);
    static ProgramOutput syntaxError();
};

} // namespace win::sim

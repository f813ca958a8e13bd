#pragma once

#include "platform/sim/programs/SimProgram.h"

namespace win::sim {

// powercfg.exe: /list, /getactivescheme, /setactive <guid|alias>,
// /hibernate on|off and /hibernate /type full|reduced (also "/h", "-" for
// "/", any letter case). Switching hibernation needs elevation; the
// hibernation file "<system drive>:\hiberfil.sys" (hidden, system) comes and
// goes with it, 40 % of physical memory for the full type, 20 % reduced.
class SimPowercfg : public SimProgram
{
public:
    using SimProgram::SimProgram;

    ProgramOutput run(const QStringList& arguments) override;

private:
    ProgramOutput list() const;
    ProgramOutput activeScheme() const;
    ProgramOutput setActive(const QStringList& arguments);
    ProgramOutput hibernate(const QStringList& arguments);
    void setHibernation(bool on);
    void placeHiberfile() const;
    QString hiberfilePath() const;
    QString schemeLine(const QString& guid) const;
    static ProgramOutput invalidParameters();
};

} // namespace win::sim

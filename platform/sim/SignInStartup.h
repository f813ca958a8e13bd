#pragma once

#include <QString>

namespace win::sim {

class SimMachine;

// Whether Windows would start an entry at its user's next sign-in on a
// simulated machine, by the rules of the machine's Windows version. A
// question of tests about the machine's state; the program never asks it.
//
// Windows runs every text value of the Run, RunOnce and policy Run keys of
// both hives (the machine's Run key in both registry views) and every file of
// the two Startup folders. From Windows 8 on, Explorer skips a Run or Startup
// folder entry whose approval value says it is switched off: a value named as
// the entry (a file by its name with its extension) below
// Explorer\StartupApproved\Run, \Run32 (the 32-bit machine Run key) or
// \StartupFolder, in the entry's own hive and, for the machine, in the 64-bit
// branch; byte 0 odd means off. RunOnce and policy entries have no such state,
// and Windows 7 reads none.
class SignInStartup
{
public:
    enum class Place {
        UserRun, MachineRun, MachineRun32, UserRunOnce, MachineRunOnce, UserPolicyRun, MachinePolicyRun,
        UserStartupFolder, CommonStartupFolder
    };

    explicit SignInStartup(SimMachine& machine) : m_machine(machine) {}

    bool wouldStart(Place place, const QString& name) const;

private:
    bool isPresent(Place place, const QString& name) const;
    bool isSwitchedOff(Place place, const QString& name) const;
    QString environmentVariable(const QString& name) const;

    SimMachine& m_machine;
};

} // namespace win::sim

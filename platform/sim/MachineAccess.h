#pragma once

#include "platform/sim/SimMachine.h"


namespace win::sim {

// The façades' way into the current machine: holds its lock for one call.
// A call made while no machine is installed finds machine() null and fails
// the way the real call fails without its resource.
class MachineAccess
{
public:
    MachineAccess() : m_machine(SimMachine::current())
    {
        if (m_machine)
            m_machine->mutex().lock();
    }
    ~MachineAccess()
    {
        if (m_machine)
            m_machine->mutex().unlock();
    }
    MachineAccess(const MachineAccess&) = delete;
    MachineAccess& operator=(const MachineAccess&) = delete;

    SimMachine* machine() const { return m_machine; }
    SimMachine* operator->() const { return m_machine; }
    explicit operator bool() const { return m_machine != nullptr; }

private:
    SimMachine* m_machine;
};

} // namespace win::sim

#pragma once

#include "platform/sim/MachineSnapshot.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace win::sim {

class SimMachine;

// Saves what changes in a machine into its folder, from a thread of its
// own. The thread sleeps until the machine reports a change, lets further
// changes gather for `intervalMs`, takes what changed under the machine's
// lock (SimMachine::changesSince) and writes it without the lock; nothing
// wakes it while nothing changes. A save that fails is reported as a
// warning and tried again, whole, with the next change. Destroying the
// autosave writes what is left.
class MachineAutosave
{
public:
    MachineAutosave(SimMachine& machine, int intervalMs);
    ~MachineAutosave();
    MachineAutosave(const MachineAutosave&) = delete;
    MachineAutosave& operator=(const MachineAutosave&) = delete;

    // How many saves have written something, and how often the thread woke;
    // for tests and benchmarks.
    int savesWritten() const;
    int wakeUps() const;

private:
    void run();
    void heardChange();
    void saveChanges();

    SimMachine& m_machine;
    const int m_intervalMs;
    SavedMachine m_saved;   // the saving thread's, and the destructor's once it ended
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_changed = false;
    bool m_stopping = false;
    int m_savesWritten = 0;
    int m_wakeUps = 0;
    std::thread m_thread;
};

} // namespace win::sim

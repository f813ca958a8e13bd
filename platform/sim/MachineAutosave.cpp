#include "platform/sim/MachineAutosave.h"

#include "platform/sim/SimMachine.h"

#include <QtGlobal>
#include <chrono>

namespace win::sim {

MachineAutosave::MachineAutosave(SimMachine& machine, int intervalMs)
    : m_machine(machine)
    , m_intervalMs(intervalMs)
    , m_saved(machine.savedAsLoaded())
{
    m_machine.setChangeListener([this] { heardChange(); });
    m_thread = std::thread([this] { run(); });
}

MachineAutosave::~MachineAutosave()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    m_machine.setChangeListener(nullptr);
    saveChanges();
}

int MachineAutosave::savesWritten() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_savesWritten;
}

int MachineAutosave::wakeUps() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_wakeUps;
}

// Called under the machine's lock, on whichever thread changed it.
void MachineAutosave::heardChange()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_changed = true;
    }
    m_wake.notify_one();
}

void MachineAutosave::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        while (!m_changed && !m_stopping) {
            m_wake.wait(lock);
            ++m_wakeUps;
        }
        // The changes that follow the first are written with it.
        m_wake.wait_for(lock, std::chrono::milliseconds(m_intervalMs), [this] { return m_stopping; });
        if (m_stopping)
            return;
        m_changed = false;
        lock.unlock();
        saveChanges();
        lock.lock();
    }
}

void MachineAutosave::saveChanges()
{
    const MachineSnapshot changes = m_machine.changesSince(m_saved);
    if (changes.isEmpty())
        return;
    QString error;
    if (!changes.write(&m_saved, &error)) {
        qWarning("Tessaro: the simulated machine could not be saved: %s", qPrintable(error));
        // Whatever was written is written again.
        m_saved = SavedMachine();
        return;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    ++m_savesWritten;
}

} // namespace win::sim

#pragma once

#include "platform/sim/MachineLock.h"
#include "platform/sim/MachineSnapshot.h"
#include "platform/sim/ProgramState.h"
#include "platform/sim/RegistryStore.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimFileSystem.h"
#include "platform/sim/SimState.h"
#include "platform/sim/TableIndex.h"

#include <QJsonObject>
#include <QString>
#include <QVector>
#include <atomic>
#include <functional>

namespace win::sim {

// One simulated Windows machine: a folder with machine.json (facts and
// tables), registry/*.reg (the hives in regedit's text format) and drives/<letter>
// (one real folder per drive). Every platform call of the program lands here
// while the machine is current. All state is guarded by one recursive mutex,
// because the engine and the phase-2 executor call in from worker threads.
class SimMachine
{
public:
    SimMachine();
    ~SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // The machine that the platform calls reach; null when none is installed.
    static SimMachine* current();
    static void makeCurrent(SimMachine* machine);

    // Loads a machine folder. A malformed folder answers false with a message
    // naming the file and the line or field; nothing is written.
    bool load(const QString& folder, QString* error);
    // Writes machine.json and the hives back, each file written whole and then
    // renamed over the old one.
    bool save(QString* error);
    bool saveTo(const QString& folder, QString* error);
    QString folder() const { return m_folder; }

    // What changed since `saved`, to be written without the machine's lock;
    // take it under the lock. The folder as loaded counts as saved
    // (savedAsLoaded), so a machine nothing changed is never written again.
    MachineSnapshot changesSince(const SavedMachine& saved) const;
    SavedMachine savedAsLoaded() const;

    MachineLock& mutex() const { return m_mutex; }
    // Every change of the machine passes here. The first change after
    // changesSince() calls the listener, on the thread that made it and
    // under the machine's lock; the changes after it call it no more until
    // the next changesSince().
    void markChanged()
    {
        if (!m_changeHeard.load(std::memory_order_relaxed) && !m_changeHeard.exchange(true) && m_changeListener)
            m_changeListener();
    }
    // The next change calls the new listener.
    void setChangeListener(std::function<void()> listener);

    SimSystem& system() { return m_system; }
    const SimSystem& system() const { return m_system; }
    RegistryStore& registry() { return m_registry; }
    SimFileSystem& files() { return m_files; }
    ProgramState& programs() { return m_programs; }
    SimClock& clock() { return m_clock; }

    bool is64Bit() const { return m_system.architecture == ProcessorArchitectureAmd64
                                  || m_system.architecture == ProcessorArchitectureArm64; }
    // IsWow64Process for the program: a 32-bit program on 64-bit Windows.
    bool isWow64Process() const
    {
        return is64Bit() && (m_system.programArchitecture == ProcessorArchitectureIntel
                             || m_system.programArchitecture == ProcessorArchitectureArm);
    }

    void record(const JournalEntry& entry);
    QVector<JournalEntry> journal() const;
    void clearJournal();

    // Handles of services, the service manager and processes, as the façades
    // hand them out; tests check that every one was closed.
    struct ServiceHandleData { QString serviceName; quint32 access = 0; bool manager = false; };
    struct ProcessHandleData { quint32 pid = 0; quint32 access = 0; };
    quintptr openServiceHandle(const ServiceHandleData& data);
    quintptr openProcessHandle(const ProcessHandleData& data);
    bool serviceHandle(quintptr handle, ServiceHandleData* data) const;
    bool processHandle(quintptr handle, ProcessHandleData* data) const;
    void closeHandle(quintptr handle);
    int openHandleCount() const;

    SimService* findService(const QString& name);
    SimProcess* findProcess(quint32 pid);
    // The file is the image of a process in the process table.
    bool isRunningImage(const QString& windowsPath) const;
    SimTask* findTask(const QString& path);
    SimWindow* findWindow(quintptr handle);

private:
    bool loadMachineJson(const QString& path, QString* error);
    // Every section of machine.json, the facts standing as the marker.
    QJsonObject jsonSections() const;

    mutable MachineLock m_mutex;
    QString m_folder;
    mutable std::atomic<bool> m_changeHeard{false};
    std::function<void()> m_changeListener;
    SimSystem m_system;
    RegistryStore m_registry;
    SimFileSystem m_files;
    ProgramState m_programs;
    SimClock m_clock;
    QVector<JournalEntry> m_journal;
    QJsonObject m_otherSections;   // top-level sections of machine.json no part reads
    QHash<quintptr, ServiceHandleData> m_serviceHandles;
    QHash<quintptr, ProcessHandleData> m_processHandles;
    quintptr m_nextHandle = 0x1000;
    TableIndex<SimProcess, quint32> m_processIndex{&SimProcess::pid};
    TableIndex<SimWindow, quintptr> m_windowIndex{&SimWindow::handle};
};

} // namespace win::sim

#include "platform/Processes.h"

#include "platform/sim/MachineAccess.h"

#include <utility>

using win::sim::MachineAccess;
using win::sim::SimMachine;
using win::sim::SimProcess;

namespace win {

namespace {

// What an emptied working set keeps resident.
constexpr quint64 MinimumWorkingSet = 200 * 1024;

Error processFor(MachineAccess& access, quintptr handle, quint32 right, SimProcess** process)
{
    SimMachine::ProcessHandleData data;
    if (!access || !access->processHandle(handle, &data))
        return ErrorInvalidHandle;
    if (!(data.access & right))
        return ErrorAccessDenied;
    *process = access->findProcess(data.pid);
    return *process ? ErrorSuccess : ErrorInvalidHandle;
}

} // namespace

Error snapshotProcesses(QVector<ProcessEntry>* processes)
{
    MachineAccess access;
    if (!access || access->system().processSnapshotFails)
        return ErrorNotEnoughMemory;
    QVector<ProcessEntry> entries;
    entries.reserve(access->system().processes.size());
    for (const SimProcess& process : access->system().processes)
        entries.append({process.pid, process.parentPid, process.exeFile});
    *processes = entries;
    return ErrorSuccess;
}

quint32 currentProcessId()
{
    MachineAccess access;
    return access ? access->system().ownPid : 0;
}




void ProcessHandle::close()
{
    m_handle.reset();
}

Error ProcessHandle::open(quint32 processId, quint32 accessRights)
{
    close();
    MachineAccess access;
    if (!access)
        return ErrorInvalidHandle;
    const SimProcess* process = access->findProcess(processId);
    if (!process)
        return ErrorInvalidParameter;
    // Protected and system processes grant only limited queries.
    const bool limitedOnly = (accessRights & ~ProcessQueryLimitedInformation) == 0;
    if ((process->protectedProcess || processId < 8) && !limitedOnly)
        return ErrorAccessDenied;
    if (processId == 0)
        return ErrorInvalidParameter;
    m_handle.reset(access->openProcessHandle({processId, accessRights}));
    return ErrorSuccess;
}

Error ProcessHandle::queryFullImageName(QString* path, quint32 bufferChars) const
{
    MachineAccess access;
    SimProcess* process = nullptr;
    if (const Error e = processFor(access, m_handle.get(), ProcessQueryLimitedInformation | ProcessQueryInformation, &process))
        return e;
    if (process->imagePath.isEmpty())
        return ErrorInvalidParameter;
    if (quint32(process->imagePath.size()) + 1 > bufferChars)
        return ErrorInsufficientBuffer;
    *path = process->imagePath;
    return ErrorSuccess;
}

Error ProcessHandle::setWorkingSetSize(quint64 minimumBytes, quint64 maximumBytes)
{
    MachineAccess access;
    SimProcess* process = nullptr;
    if (const Error e = processFor(access, m_handle.get(), ProcessSetQuota, &process))
        return e;
    if (minimumBytes != WorkingSetEmpty || maximumBytes != WorkingSetEmpty) {
        if (minimumBytes > maximumBytes)
            return ErrorInvalidParameter;
        return ErrorSuccess;  // new limits take effect as the process pages; nothing is freed now
    }
    return emptyWorkingSet();
}

Error ProcessHandle::emptyWorkingSet()
{
    MachineAccess access;
    SimProcess* process = nullptr;
    if (const Error e = processFor(access, m_handle.get(), ProcessSetQuota, &process))
        return e;
    if (process->workingSetBytes > MinimumWorkingSet) {
        const quint64 released = process->workingSetBytes - MinimumWorkingSet;
        process->workingSetBytes = MinimumWorkingSet;
        auto& memory = access->system().memory;
        memory.availableBytes = qMin(memory.totalBytes, memory.availableBytes + released);
        access->markChanged();
    }
    return ErrorSuccess;
}

Error ProcessHandle::terminate(quint32 exitCode)
{
    Q_UNUSED(exitCode)
    MachineAccess access;
    SimProcess* process = nullptr;
    if (const Error e = processFor(access, m_handle.get(), ProcessTerminate, &process))
        return e;
    auto& system = access->system();
    system.memory.availableBytes = qMin(system.memory.totalBytes,
                                        system.memory.availableBytes + process->workingSetBytes);
    const quint32 pid = process->pid;
    system.processes.erase(std::remove_if(system.processes.begin(), system.processes.end(),
                                          [pid](const SimProcess& p) { return p.pid == pid; }),
                           system.processes.end());
    access->markChanged();
    return ErrorSuccess;
}

namespace detail {

void closeSystemHandle(quintptr handle)
{
    MachineAccess access;
    if (access)
        access->closeHandle(handle);
}

} // namespace detail

} // namespace win

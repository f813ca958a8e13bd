#pragma once

#include "TestMachine.h"

// A service, running and started automatically unless told otherwise, and a
// process, put on a test's machine; each answered for further facts until the
// next one is added.
inline win::sim::SimService& addService(TestMachine& machine, const QString& name, quint32 state = win::ServiceRunning,
                                        quint32 startType = win::ServiceAutoStart)
{
    win::sim::SimService service;
    service.name = name;
    service.state = state;
    service.startType = startType;
    machine->system().services.append(service);
    return machine->system().services.last();
}

inline win::sim::SimProcess& addProcess(TestMachine& machine, quint32 pid, const QString& exeFile,
                                        quint64 workingSetBytes = 0)
{
    win::sim::SimProcess process;
    process.pid = pid;
    process.exeFile = exeFile;
    process.workingSetBytes = workingSetBytes;
    machine->system().processes.append(process);
    return machine->system().processes.last();
}

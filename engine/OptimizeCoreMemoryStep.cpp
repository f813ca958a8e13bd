#include "engine/OptimizeCore.h"

#include "engine/OptimizeCoreHelpers.h"
#include "platform/Processes.h"
#include "platform/SystemFacts.h"

using optimizecore::BytesPerMB;

// Step 2: idle memory.

int OptimizeCore::optimizeMemory()
{
    win::MemoryStatus before;
    win::globalMemoryStatusEx(&before);

    emitProgress(2, 32, QStringLiteral("正在整理系统内存列表..."));
    // The memory-list request is sent without a buffer: the system refuses it
    // and changes nothing, which is all this step relies on.
    if (win::moduleExports(QStringLiteral("ntdll.dll"), "NtSetSystemInformation"))
        win::ntSetSystemInformation(isWin7() ? win::SystemMemoryListInformation : 1, QByteArray());

    emitProgress(2, 34, QStringLiteral("正在回收进程工作集..."));
    trimWorkingSets();

    emitProgress(2, 38, QStringLiteral("正在计算内存释放量..."));
    win::MemoryStatus after;
    win::globalMemoryStatusEx(&after);
    const quint64 beforeMB = before.availablePhysical / BytesPerMB;
    const quint64 afterMB = after.availablePhysical / BytesPerMB;
    const int freed = afterMB > beforeMB ? int(afterMB - beforeMB) : 0;

    emitProgress(2, 39, QStringLiteral("内存优化完成"));
    logError(QStringLiteral("  内存优化: 释放 %1 MB").arg(freed));
    return freed;
}

void OptimizeCore::trimWorkingSets()
{
    QVector<win::ProcessEntry> processes;
    if (win::snapshotProcesses(&processes) != win::ErrorSuccess)
        return;
    const quint32 ownPid = win::currentProcessId();
    for (const win::ProcessEntry& process : processes) {
        if (process.processId < 10 || process.processId == ownPid)
            continue;
        win::ProcessHandle handle;
        if (handle.open(process.processId, win::ProcessSetQuota | win::ProcessQueryInformation) == win::ErrorSuccess)
            handle.setWorkingSetSize(win::WorkingSetEmpty, win::WorkingSetEmpty);
    }
}

#pragma once

#include "platform/ScopedHandle.h"
#include "platform/WinTypes.h"

#include <QString>
#include <QVector>

namespace win {

// PROCESSENTRY32W, as the tool-help snapshot lists it.
struct ProcessEntry
{
    quint32 processId = 0;
    quint32 parentProcessId = 0;
    QString exeFile;  // executable file name, no path
};

// CreateToolhelp32Snapshot + Process32FirstW/NextW in one call.
Error snapshotProcesses(QVector<ProcessEntry>* processes);

// GetCurrentProcessId
quint32 currentProcessId();

// An open process (OpenProcess); closes itself.
class ProcessHandle
{
public:
    ProcessHandle() = default;
    ProcessHandle(ProcessHandle&&) noexcept = default;
    ProcessHandle& operator=(ProcessHandle&&) noexcept = default;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    ~ProcessHandle() = default;

    Error open(quint32 processId, quint32 access);
    bool isValid() const { return m_handle.isValid(); }
    void close();

    // QueryFullProcessImageNameW; ErrorInsufficientBuffer when the path does
    // not fit bufferChars (terminator included).
    Error queryFullImageName(QString* path, quint32 bufferChars) const;
    // SetProcessWorkingSetSize; (SIZE_T)-1 for both empties the working set.
    Error setWorkingSetSize(quint64 minimumBytes, quint64 maximumBytes);
    // K32EmptyWorkingSet
    Error emptyWorkingSet();
    // TerminateProcess
    Error terminate(quint32 exitCode);

private:
    SystemHandle m_handle;
};

constexpr quint64 WorkingSetEmpty = ~quint64(0);

} // namespace win

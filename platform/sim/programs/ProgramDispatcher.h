#pragma once

#include "platform/Programs.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace win::sim {

class SimMachine;
class SimProgram;

// Finds a command-line program the way CreateProcess does for the program
// and runs its simulation: names compare case-insensitively, with or without
// ".exe"; a full path must lead to the program's folder (System32, or
// System32\wbem for wmic) after WOW64's redirection. Under WOW64 the
// program's System32 is SysWOW64, which has no bcdedit.exe (only "Sysnative"
// reaches the 64-bit one). From Windows 11 24H2 (build 26100) wmic is an
// optional feature that a fresh install lacks. machine.json "programs"
// overrides: "present" (wmic installed), "missing", "hangs".
// A hanging program waited for without a limit finishes after the machine's
// "hangMs" (10 minutes of machine time unless set); the clock moves on by the
// time waited, never for real. The caller holds the machine's lock.
class ProgramDispatcher
{
public:
    explicit ProgramDispatcher(SimMachine& machine);
    ~ProgramDispatcher();

    // A program that reads its standard input until it is closed does its
    // work and then waits for the end of the input: with the input left open
    // it runs out the caller's wait (a wait without limit never ends).
    ProgramRun run(const QString& program, const QStringList& arguments, int waitMs,
                   StandardInput input = StandardInput::Closed);
    // Starts the program without waiting: its effects happen, its output is
    // lost. False when the machine has no such program.
    bool startDetached(const QString& program, const QStringList& arguments);

    // The simulated program's base name ("wmic"), or empty when `program`
    // does not lead to one of the machine's programs.
    QString resolve(const QString& program) const;

private:
    enum class FolderView { None, ThirtyTwoBit, Native };
    FolderView folderView(const QString& folder, bool wbem) const;
    std::unique_ptr<SimProgram> create(const QString& name) const;
    void advanceClock(int waitMs) const;

    SimMachine& m_machine;
};

} // namespace win::sim

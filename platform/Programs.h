#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace win {

// The outcome of running a Windows command-line program with a bounded wait.
struct ProgramRun
{
    bool started = false;    // the program was found and started
    bool finished = false;   // it ended within the wait
    int exitCode = 0;        // valid when finished; 0 before, as QProcess::exitCode() reports it
    QByteArray standardOutput;  // what it wrote before the wait ended
    QByteArray standardError;

    // It started, ended within the wait and exited 0: the only run that counts as done.
    bool succeeded() const { return started && finished && exitCode == 0; }
};

constexpr int WaitForever = -1;

// The child's standard input. A QProcess started for reading and writing
// leaves it open; a program that reads it until it is closed (wmic does,
// after printing its answer) then runs until the wait ends. Close it for
// every program that is given no input.
enum class StandardInput { Open, Closed };

// Runs `program` (a name found on the system path, or a full path) with a
// fixed argument list and waits at most waitMs; a program still running when
// the wait ends is killed, as a destroyed QProcess would do.
ProgramRun runProgram(const QString& program, const QStringList& arguments, int waitMs,
                      StandardInput input = StandardInput::Open);

// Decodes program output in the machine's ANSI code page (what
// QString::fromLocal8Bit does on Windows).
QString fromLocal8Bit(const QByteArray& bytes);

} // namespace win

#pragma once

#include <QString>
#include <QStringList>

namespace win::sim {

class SimMachine;

// Console programs end their lines in CR LF.
inline const QString CrLf = QStringLiteral("\r\n");

// What one run of a simulated command-line program produced. The texts are
// encoded in the machine's ANSI code page by the dispatcher.
struct ProgramOutput
{
    int exitCode = 0;
    QString standardOutput;
    QString standardError;
    bool finishes = true;   // false: the program waits for a user or for input

    static ProgramOutput success(const QString& standardOutput = QString());
    static ProgramOutput failure(int exitCode, const QString& standardOutput, const QString& standardError);
    static ProgramOutput neverFinishes();
};

// One Windows command-line program of the simulated machine: it reads its
// arguments the way the real program does, answers with the real program's
// output and exit code, and changes the machine as the real one would. The
// caller holds the machine's lock for the whole run.
class SimProgram
{
public:
    explicit SimProgram(SimMachine& machine) : m_machine(machine) {}
    virtual ~SimProgram() = default;
    SimProgram(const SimProgram&) = delete;
    SimProgram& operator=(const SimProgram&) = delete;

    virtual ProgramOutput run(const QStringList& arguments) = 0;

protected:
    SimMachine& machine() const { return m_machine; }
    // The letter of the drive Windows runs from (of GetSystemDirectoryW).
    QChar systemDriveLetter() const;
    // Whether the user runs the program elevated.
    bool isAdministrator() const;
    // Whether the machine runs this version of Windows or a later one: a
    // program knows the switches of its own Windows only.
    bool windowsIsAtLeast(quint32 major, quint32 minor, quint32 build = 0) const;

private:
    SimMachine& m_machine;
};

} // namespace win::sim

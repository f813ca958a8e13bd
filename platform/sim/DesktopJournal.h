#pragma once

#include <QString>

namespace win::sim {

class SimMachine;

// What the Windows desktop would have done for the program and the
// simulation only notes: a web address or a folder opened, a program started
// without waiting. Each event is one line, the local time and what Windows
// would have done, appended to the journal file in the machine folder and
// printed on standard error, so that a person trying the program sees where
// a click went.
class DesktopJournal
{
public:
    static const char* fileName() { return "journal.txt"; }
    static void note(const SimMachine& machine, const QString& event);
};

} // namespace win::sim

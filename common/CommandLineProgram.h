#pragma once

#include "common/PathProbe.h"

#include <QString>

// The program a command line starts, found the way Windows finds it: a quoted
// path is taken as it stands; an unquoted command with blanks is ambiguous,
// and Windows tries the texts that end before a blank, shortest first and the
// whole command last, each as it is or with ".exe" added when it names no
// extension, and runs the first that exists ("C:\Program Files\X\x.exe /s"
// starts "C:\Program Files\X\x.exe"; a planted "C:\Program.exe" wins). When
// none exists, the text up to the first program extension that ends a word
// stands for it, or else the first word. Commands of startup entries are read
// by 64-bit Windows, so their variables are expanded as it expands them.
class CommandLineProgram
{
public:
    // The probe remembers what earlier commands of one scan asked.
    static QString of(const QString& command, PathProbe& probe);
    static QString of(const QString& command);
};

#pragma once

#include <QString>
#include <initializer_list>

namespace win::sim {

// How Windows command-line programs read their words and switches: any
// letter case, a switch introduced by "/" or "-".
class ProgramArguments
{
public:
    // Whether `argument` is one of `words`.
    static bool isWord(const QString& argument, std::initializer_list<const char*> words);
    // Whether `argument` is "/name" or "-name" for one of `names`.
    static bool isSwitch(const QString& argument, std::initializer_list<const char*> names);
    // The value of "/name:value" for one of `names`; a null string when the
    // argument is no such switch.
    static QString switchValue(const QString& argument, std::initializer_list<const char*> names);
};

} // namespace win::sim

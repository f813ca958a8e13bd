#include "platform/sim/programs/ProgramArguments.h"

namespace win::sim {

bool ProgramArguments::isWord(const QString& argument, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (argument.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool ProgramArguments::isSwitch(const QString& argument, std::initializer_list<const char*> names)
{
    return (argument.startsWith('/') || argument.startsWith('-')) && isWord(argument.mid(1), names);
}

QString ProgramArguments::switchValue(const QString& argument, std::initializer_list<const char*> names)
{
    const int colon = argument.indexOf(':');
    if (colon < 0 || !isSwitch(argument.left(colon), names))
        return QString();
    const QString value = argument.mid(colon + 1);
    return value.isNull() ? QString(QLatin1String("")) : value;
}

} // namespace win::sim

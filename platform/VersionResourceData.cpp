#include "platform/FileFacts.h"

// The names in a version resource, which need no machine.

namespace win {

QString versionStringBlock(quint16 language, quint16 codePage)
{
    return QString::number((quint32(language) << 16) | codePage, 16).rightJustified(8, QLatin1Char('0'));
}

} // namespace win

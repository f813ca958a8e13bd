#include "common/EnvironmentPath.h"

#include "platform/Environment.h"

namespace {

constexpr quint32 UsualBufferChars = 520;

} // namespace

QString expandEnvironmentPath(const QString& path)
{
    if (path.isEmpty())
        return QString();
    QString expanded;
    const quint32 needed = win::expandEnvironmentStrings(path, &expanded, UsualBufferChars);
    if (needed == 0)
        return path;
    if (needed > UsualBufferChars && win::expandEnvironmentStrings(path, &expanded, needed) > needed)
        return path;
    return expanded;
}

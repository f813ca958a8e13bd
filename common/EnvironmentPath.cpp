#include "common/EnvironmentPath.h"

#include "platform/Environment.h"

#include <QRegularExpression>

namespace {

constexpr quint32 UsualBufferChars = 520;

} // namespace

QString expandEnvironmentPath(const QString& path)
{
    if (path.isEmpty())
        return QString();
    // Without a percent sign there is nothing to expand; most paths of a scan
    // are like that, and the machine need not be asked for them.
    if (!path.contains('%'))
        return path;
    QString expanded;
    const quint32 needed = win::expandEnvironmentStrings(path, &expanded, UsualBufferChars);
    if (needed == 0)
        return path;
    if (needed > UsualBufferChars && win::expandEnvironmentStrings(path, &expanded, needed) > needed)
        return path;
    return expanded;
}

QString expandEnvironmentPathFor64Bit(const QString& path)
{
    static const QRegularExpression programFolders(QStringLiteral("%(Common)?ProgramFiles%"),
                                                   QRegularExpression::CaseInsensitiveOption);
    if (!path.contains('%') || !path.contains(programFolders)
        || expandEnvironmentPath(QStringLiteral("%ProgramW6432%")).contains('%'))
        return expandEnvironmentPath(path);
    QString native = path;
    native.replace(programFolders, QStringLiteral("%\\1ProgramW6432%"));
    return expandEnvironmentPath(native);
}

#include "common/NativeSystemPath.h"

#include "common/EnvironmentPath.h"
#include "platform/FileSystem.h"
#include "platform/SystemFacts.h"

namespace {

constexpr quint32 SystemDirectoryChars = 260;

} // namespace

QString nativeSystemPath(const QString& path)
{
    bool wow64 = false;
    QString systemDirectory;
    const quint32 length = win::getSystemDirectory(&systemDirectory, SystemDirectoryChars);
    if (!win::isWow64Process(&wow64) || !wow64 || length == 0 || length >= SystemDirectoryChars)
        return path;
    const QString system = win::normalizedPath(systemDirectory);
    const QString normalized = win::normalizedPath(path);
    if (!win::isSameOrInside(normalized, system))
        return path;
    return win::joinPath(win::parentPathOf(system), QStringLiteral("Sysnative")) + normalized.mid(system.size());
}

QString nativeSystemProgram(const QString& fileName)
{
    bool wow64 = false;
    if (!win::isWow64Process(&wow64) || !wow64)
        return fileName;
    return expandEnvironmentPath(QStringLiteral("%SystemRoot%\\Sysnative\\") + fileName);
}

#include "platform/Desktop.h"

#include "platform/FileSystem.h"
#include "platform/sim/MachineAccess.h"
#include "platform/sim/programs/ProgramDispatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace win {

namespace {

bool isWindowsPath(const QString& path)
{
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    return drivePath.match(path).hasMatch();
}

} // namespace

bool openUrl(const QUrl& url)
{
    sim::MachineAccess access;
    if (!access)
        return false;
    access->record({QStringLiteral("openUrl"), url.toString(), QStringList(), 0, 0});
    return true;
}

// A program of the machine runs its effects at once; any other program is
// only looked for: on the machine's drives for a Windows path, on the host
// for a host path (the program's own helpers beside its executable). Nothing
// of the host is ever executed.
bool startDetached(const QString& program, const QStringList& arguments)
{
    sim::MachineAccess access;
    if (!access)
        return false;
    access->record({QStringLiteral("detached"), program, arguments, 0, 0});
    sim::ProgramDispatcher dispatcher(*access.machine());
    if (!dispatcher.resolve(program).isEmpty())
        return dispatcher.startDetached(program, arguments);
    if (isWindowsPath(program)) {
        FileEntry entry;
        return fileInfo(program, &entry) == ErrorSuccess && entry.isFile();
    }
    return QDir::isAbsolutePath(program) && QFileInfo(program).isFile();
}

} // namespace win

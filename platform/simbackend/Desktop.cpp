#include "platform/Desktop.h"

#include "platform/FileSystem.h"
#include "platform/sim/DesktopJournal.h"
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

// What ShellExecute "open" would show: a web address in the browser, a
// folder in File Explorer, a file in the program it belongs to.
QString openingOf(const QUrl& url)
{
    if (!url.isLocalFile())
        return QStringLiteral("Windows would open %1 in the default browser").arg(url.toString());
    const QString path = QDir::toNativeSeparators(QDir::cleanPath(url.toLocalFile()));
    if (QFileInfo(url.toLocalFile()).isDir())
        return QStringLiteral("Windows would open the folder %1 in File Explorer").arg(path);
    return QStringLiteral("Windows would open %1 with the program it belongs to").arg(path);
}

// A program of the machine runs its effects at once; any other program is
// only looked for: on the machine's drives for a Windows path, on the host
// for a host path (the program's own helpers beside its executable). Nothing
// of the host is ever executed.
bool startsDetached(sim::SimMachine& machine, const QString& program, const QStringList& arguments)
{
    sim::ProgramDispatcher dispatcher(machine);
    if (!dispatcher.resolve(program).isEmpty())
        return dispatcher.startDetached(program, arguments);
    if (isWindowsPath(program)) {
        FileEntry entry;
        return fileInfo(program, &entry) == ErrorSuccess && entry.isFile();
    }
    return QDir::isAbsolutePath(program) && QFileInfo(program).isFile();
}

} // namespace

bool openUrl(const QUrl& url)
{
    sim::MachineAccess access;
    if (!access)
        return false;
    access->record({QStringLiteral("openUrl"), url.toString(), QStringList(), 0, 0});
    sim::DesktopJournal::note(*access.machine(), openingOf(url));
    return true;
}

bool startDetached(const QString& program, const QStringList& arguments)
{
    sim::MachineAccess access;
    if (!access)
        return false;
    access->record({QStringLiteral("detached"), program, arguments, 0, 0});
    const bool started = startsDetached(*access.machine(), program, arguments);
    const QString commandLine = (QStringList{program} + arguments).join(' ');
    sim::DesktopJournal::note(*access.machine(),
                              started ? QStringLiteral("Windows would start %1 without waiting for it").arg(commandLine)
                                      : QStringLiteral("Windows would not start %1: there is no such program").arg(commandLine));
    return started;
}

} // namespace win

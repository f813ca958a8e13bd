#include "platform/sim/DesktopJournal.h"

#include "platform/sim/SimMachine.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace win::sim {

void DesktopJournal::note(const SimMachine& machine, const QString& event)
{
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + "  " + event;
    QTextStream(stderr) << line << '\n';
    // A machine made in memory has no folder: the line goes to the error
    // stream alone.
    if (machine.folder().isEmpty())
        return;
    QFile file(QDir(machine.folder()).filePath(fileName()));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line.toUtf8() + '\n');
}

} // namespace win::sim

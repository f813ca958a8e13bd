#include "MachineFolder.h"

#include "platform/sim/SimMachine.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <unistd.h>

bool copyMachineFolder(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isSymLink()) {
            char linked[4096];
            const ssize_t length = readlink(QFile::encodeName(source).constData(), linked, sizeof(linked));
            if (length <= 0 || length == ssize_t(sizeof(linked))
                || symlink(QByteArray(linked, int(length)).constData(), QFile::encodeName(target).constData()) != 0)
                return false;
        } else if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (!QFile::copy(source, target)) {
            return false;
        }
    }
    return true;
}

bool loadMachineCopy(const QString& from, const QString& to, win::sim::SimMachine& machine, QString* error)
{
    if (!copyMachineFolder(from, to)) {
        *error = QStringLiteral("cannot copy ") + from;
        return false;
    }
    if (!machine.load(to, error))
        return false;
    machine.clock().setRealSleep(false);
    return true;
}

#include "common/WmicQuery.h"

#include "platform/Programs.h"

QString wmicValueOf(const QStringList& arguments, const QString& property, int waitMs)
{
    const win::ProgramRun run
        = win::runProgram(QStringLiteral("wmic"), arguments, waitMs, win::StandardInput::Closed);
    const QString prefix = property + '=';
    const QStringList lines = win::fromLocal8Bit(run.standardOutput).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed();
    }
    return QString();
}

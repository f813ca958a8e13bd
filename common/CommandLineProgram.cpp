#include "common/CommandLineProgram.h"

#include "common/EnvironmentPath.h"
#include "common/NativeSystemPath.h"

#include <QRegularExpression>

namespace {

// Startup commands are started by 64-bit Windows, which expands their
// variables with its own environment and sees its own system folder, not
// this program's redirected view.
bool isExistingFile(const QString& path, PathProbe& probe)
{
    const QString expanded = expandEnvironmentPathFor64Bit(path);
    return !expanded.contains('%') && probe.isFile(nativeSystemPath(expanded));
}

bool hasExtension(const QString& path)
{
    const int separator = qMax(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    return path.indexOf('.', separator + 1) >= 0;
}

QString existingProgram(const QString& candidate, PathProbe& probe)
{
    if (hasExtension(candidate))
        return isExistingFile(candidate, probe) ? candidate : QString();
    const QString withExe = candidate + QStringLiteral(".exe");
    return isExistingFile(withExe, probe) ? withExe : QString();
}

QString firstExistingPrefix(const QString& command, PathProbe& probe)
{
    for (int end = 1; end <= command.size(); ++end) {
        const bool endsWord = end == command.size() || (command.at(end).isSpace() && !command.at(end - 1).isSpace());
        if (!endsWord)
            continue;
        const QString program = existingProgram(command.left(end), probe);
        if (!program.isEmpty())
            return program;
    }
    return QString();
}

QString textUpToProgramExtension(const QString& command)
{
    static const QRegularExpression extension(QStringLiteral("\\.(exe|lnk|bat|cmd)(?=\\s|$)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = extension.match(command);
    return match.hasMatch() ? command.left(match.capturedEnd()) : QString();
}

} // namespace

QString CommandLineProgram::of(const QString& command, PathProbe& probe)
{
    const QString trimmed = command.trimmed();
    if (trimmed.isEmpty())
        return QString();
    if (trimmed.startsWith('"')) {
        const int close = trimmed.indexOf('"', 1);
        if (close >= 1)
            return trimmed.mid(1, close - 1);
    }
    QString program = firstExistingPrefix(trimmed, probe);
    if (program.isEmpty())
        program = textUpToProgramExtension(trimmed);
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    if (program.isEmpty())
        program = trimmed.section(blanks, 0, 0);
    return program;
}

QString CommandLineProgram::of(const QString& command)
{
    PathProbe probe;
    return of(command, probe);
}

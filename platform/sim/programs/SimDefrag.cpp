#include "platform/sim/programs/SimDefrag.h"

#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/SystemMessages.h"

namespace win::sim {

namespace {

const QString DriveOptimizerBanner = QStringLiteral("Microsoft Drive Optimizer\r\nCopyright (c) Microsoft Corp.\r\n\r\n");
const QString DiskDefragmenterBanner
    = QStringLiteral("Microsoft Disk Defragmenter\r\nCopyright (c) 2007 Microsoft Corp.\r\n\r\n");
constexpr int RecommendDefragmentationPercent = 10;

QString reportLine(const QString& name, const QString& value)
{
    return QStringLiteral("\t\t") + name.leftJustified(28, ' ') + QStringLiteral("= ") + value + CrLf;
}

QString passLine(const QString& pass)
{
    return QStringLiteral("\t") + pass + QStringLiteral(":  100% complete.") + CrLf;
}

} // namespace

// Windows 8 renamed the Disk Defragmenter and gave it /D, /L and /O.
bool SimDefrag::isDriveOptimizer() const
{
    return windowsIsAtLeast(6, 2);
}

QString SimDefrag::banner() const
{
    return isDriveOptimizer() ? DriveOptimizerBanner : DiskDefragmenterBanner;
}

ProgramOutput SimDefrag::win32Failure(Error error) const
{
    return ProgramOutput::failure(int(hresultFromWin32(error)), banner() + SystemMessages::withHResult(error) + CrLf,
                                  QString());
}

bool SimDefrag::parse(const QStringList& arguments, bool driveOptimizer, Request* request)
{
    int operations = 0;
    for (const QString& argument : arguments) {
        const QString upper = argument.toUpper();
        if ((upper.size() == 2 || (upper.size() == 3 && upper.at(2) == '\\')) && upper.at(1) == ':' && upper.at(0).isLetter()) {
            if (!request->drive.isNull())
                return false;
            request->drive = upper.at(0);
            continue;
        }
        if (upper.size() != 2 || (upper.at(0) != '/' && upper.at(0) != '-'))
            return false;
        if (!driveOptimizer && QStringLiteral("DLO").contains(upper.at(1)))
            return false;
        switch (upper.at(1).toLatin1()) {
        case 'A': request->operation = Operation::Analysis; ++operations; break;
        case 'D': request->operation = Operation::Defragmentation; ++operations; break;
        case 'L': request->operation = Operation::Retrim; ++operations; break;
        case 'O': request->operation = Operation::Optimize; ++operations; break;
        case 'U': request->progress = true; break;
        case 'V': request->verbose = true; break;
        case 'H':
        case 'M': break;   // priority and parallelism change nothing here
        default: return false;
        }
    }
    return !request->drive.isNull() && operations <= 1;
}

ProgramOutput SimDefrag::run(const QStringList& arguments)
{
    Request request;
    if (!parse(arguments, isDriveOptimizer(), &request))
        return win32Failure(ErrorInvalidParameter);
    if (!isAdministrator())
        return win32Failure(ErrorAccessDenied);
    const SimDrive* drive = machine().files().drive(request.drive);
    if (!drive)
        return win32Failure(ErrorInvalidDrive);
    return perform(request, *drive);
}

ProgramOutput SimDefrag::perform(const Request& request, const SimDrive& drive)
{
    Operation operation = request.operation;
    if (operation == Operation::Optimize)
        operation = drive.kind == DriveKind::Ssd ? Operation::Retrim : Operation::Defragmentation;
    static const char* const Names[] = {"analysis", "defragmentation", "retrim", "optimization"};
    const QString volume = QStringLiteral("(%1:)").arg(drive.letter);
    QString out = banner() + QStringLiteral("Invoking %1 on %2...").arg(QLatin1String(Names[int(operation)]), volume)
                  + CrLf + CrLf + CrLf;
    if (operation == Operation::Retrim && drive.kind != DriveKind::Ssd) {
        return ProgramOutput::failure(NotSupportedByHardware,
                                      out + QStringLiteral("The operation requested is not supported by the hardware "
                                                           "backing the volume. (0x8900002A)") + CrLf,
                                      QString());
    }
    DriveOptimization& state = machine().programs().optimization(drive.letter);
    machine().markChanged();
    if (request.progress)
        out += passLine(QStringLiteral("Analysis"));
    if (operation == Operation::Analysis) {
        ++state.analyses;
    } else if (operation == Operation::Retrim) {
        ++state.retrims;
        out += request.progress ? passLine(QStringLiteral("Retrim")) : QString();
    } else {
        ++state.defragmentations;
        state.fragmentedPercent = 0;
        out += request.progress ? passLine(QStringLiteral("Defragmentation")) : QString();
    }
    out += (request.progress ? CrLf : QString()) + SystemMessages::text(ErrorSuccess) + CrLf;
    if (operation == Operation::Analysis || request.verbose)
        out += CrLf + report(drive, state);
    return ProgramOutput::success(out);
}

QString SimDefrag::report(const SimDrive& drive, const DriveOptimization& state)
{
    QString out = QStringLiteral("Post Defragmentation Report:") + CrLf + CrLf;
    out += QStringLiteral("\tVolume Information:") + CrLf;
    out += reportLine(QStringLiteral("Volume size"), sizeText(drive.totalBytes));
    out += reportLine(QStringLiteral("Free space"), sizeText(drive.freeBytes));
    out += reportLine(QStringLiteral("Total fragmented space"), QString::number(state.fragmentedPercent) + '%');
    out += reportLine(QStringLiteral("Largest free space size"), sizeText(drive.freeBytes));
    out += CrLf + QStringLiteral("\tNote: File fragments larger than 64MB are not included in the fragmentation statistics.")
           + CrLf + CrLf;
    out += state.fragmentedPercent >= RecommendDefragmentationPercent
               ? QStringLiteral("\tIt is recommended that you defragment this volume.")
               : QStringLiteral("\tYou do not need to defragment this volume.");
    return out + CrLf;
}

QString SimDefrag::sizeText(quint64 bytes)
{
    static const char* const Units[] = {"bytes", "KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    return unit == 0 ? QStringLiteral("%1 bytes").arg(bytes)
                     : QStringLiteral("%1 %2").arg(value, 0, 'f', 2).arg(QLatin1String(Units[unit]));
}

} // namespace win::sim

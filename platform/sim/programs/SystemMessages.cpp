#include "platform/sim/programs/SystemMessages.h"

namespace win::sim {

QString SystemMessages::text(Error error)
{
    switch (error) {
    case ErrorSuccess:
        return QStringLiteral("The operation completed successfully.");
    case ErrorFileNotFound:
        return QStringLiteral("The system cannot find the file specified.");
    case ErrorPathNotFound:
        return QStringLiteral("The system cannot find the path specified.");
    case ErrorAccessDenied:
        return QStringLiteral("Access is denied.");
    case ErrorInvalidData:
        return QStringLiteral("The data is invalid.");
    case ErrorSharingViolation:
        return QStringLiteral("The process cannot access the file because it is being used by another process.");
    case ErrorInvalidName:
        return QStringLiteral("The filename, directory name, or volume label syntax is incorrect.");
    case ErrorInvalidDrive:
        return QStringLiteral("The system cannot find the drive specified.");
    default:
        return QStringLiteral("The parameter is incorrect.");
    }
}

QString SystemMessages::withHResult(Error error)
{
    const QString code = QString::number(quint32(hresultFromWin32(error)), 16).toUpper().rightJustified(8, '0');
    return QStringLiteral("%1 (0x%2)").arg(text(error), code);
}

} // namespace win::sim

#include "platform/sim/programs/SimWevtutil.h"

#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"
#include "platform/sim/programs/SystemMessages.h"

namespace win::sim {

ProgramOutput SimWevtutil::run(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    if (arguments.size() < 2 || !ProgramArguments::isWord(command, {"set-log", "sl"}))
        return failure(int(ErrorInvalidParameter), SystemMessages::text(ErrorInvalidParameter));
    return setLog(arguments.at(1), arguments.mid(2));
}

ProgramOutput SimWevtutil::setLog(const QString& logName, const QStringList& options)
{
    EventLogConfig* log = machine().programs().findEventLog(logName);
    if (!log)
        return failure(ChannelNotFound, QStringLiteral("Failed to read configuration for log %1. "
                                                       "The specified channel could not be found.").arg(logName));
    QString sizeText;
    for (const QString& option : options) {
        const QString value = ProgramArguments::switchValue(option, {"ms", "maxsize"});
        if (value.isNull())
            return failure(int(ErrorInvalidParameter), SystemMessages::text(ErrorInvalidParameter));
        sizeText = value;
    }
    const QString saveFailed = QStringLiteral("Failed to save configuration or activate log %1. ").arg(logName);
    bool isNumber = false;
    const quint64 bytes = sizeText.toULongLong(&isNumber);
    if (!sizeText.isNull() && (!isNumber || bytes < MinimumLogBytes))
        return failure(int(ErrorInvalidParameter), saveFailed + SystemMessages::text(ErrorInvalidParameter));
    if (!isAdministrator())
        return failure(int(ErrorAccessDenied), saveFailed + SystemMessages::text(ErrorAccessDenied));
    if (!sizeText.isNull()) {
        log->maxSizeBytes = bytes;
        machine().markChanged();
    }
    return ProgramOutput::success();
}

ProgramOutput SimWevtutil::failure(int exitCode, const QString& text)
{
    return ProgramOutput::failure(exitCode, QString(), text + CrLf);
}

} // namespace win::sim

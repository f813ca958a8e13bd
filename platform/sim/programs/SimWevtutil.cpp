#include "platform/sim/programs/SimWevtutil.h"

#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"
#include "platform/sim/programs/SystemMessages.h"

namespace win::sim {

ProgramOutput SimWevtutil::run(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    if (arguments.size() >= 2 && ProgramArguments::isWord(command, {"get-log", "gl"}))
        return getLog(arguments.at(1), arguments.mid(2));
    if (arguments.size() >= 2 && ProgramArguments::isWord(command, {"set-log", "sl"}))
        return setLog(arguments.at(1), arguments.mid(2));
    return failure(int(ErrorInvalidParameter), SystemMessages::text(ErrorInvalidParameter));
}

ProgramOutput SimWevtutil::channelNotFound(const QString& logName) const
{
    return failure(ChannelNotFound, QStringLiteral("Failed to read configuration for log %1. "
                                                   "The specified channel could not be found.").arg(logName));
}

// The classic logs as wevtutil prints them; only the name and the size come
// from the machine.
ProgramOutput SimWevtutil::getLog(const QString& logName, const QStringList& options)
{
    if (!options.isEmpty())
        return failure(int(ErrorInvalidParameter), SystemMessages::text(ErrorInvalidParameter));
    const EventLogConfig* log = machine().programs().findEventLog(logName);
    if (!log)
        return channelNotFound(logName);
    const QStringList lines = {
        QStringLiteral("name: ") + log->name,
        QStringLiteral("enabled: true"),
        QStringLiteral("type: Admin"),
        QStringLiteral("owningPublisher: "),
        QStringLiteral("isolation: ") + log->name,
        QStringLiteral("channelAccess: O:BAG:SYD:(A;;0xf0007;;;SY)(A;;0x7;;;BA)(A;;0x3;;;IU)(A;;0x3;;;SU)"),
        QStringLiteral("logging:"),
        QStringLiteral("  logFileName: %SystemRoot%\\System32\\Winevt\\Logs\\%1.evtx").arg(log->name),
        QStringLiteral("  retention: false"),
        QStringLiteral("  autoBackup: false"),
        QStringLiteral("  maxSize: %1").arg(log->maxSizeBytes),
        QStringLiteral("publishing:"),
        QStringLiteral("  fileMax: 1")};
    return ProgramOutput::success(lines.join(CrLf) + CrLf + CrLf);
}

ProgramOutput SimWevtutil::setLog(const QString& logName, const QStringList& options)
{
    EventLogConfig* log = machine().programs().findEventLog(logName);
    if (!log)
        return channelNotFound(logName);
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

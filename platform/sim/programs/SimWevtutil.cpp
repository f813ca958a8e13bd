#include "platform/sim/programs/SimWevtutil.h"

#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/SystemMessages.h"

namespace win::sim {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The value of "/name:value" when the argument is that option, else a null string.
QString optionValue(const QString& argument, std::initializer_list<const char*> names)
{
    if (!argument.startsWith('/') && !argument.startsWith('-'))
        return QString();
    const int colon = argument.indexOf(':');
    const QString name = argument.mid(1, colon < 0 ? -1 : colon - 1);
    for (const char* candidate : names) {
        if (colon > 0 && name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0)
            return argument.mid(colon + 1);
    }
    return QString();
}

} // namespace

ProgramOutput SimWevtutil::run(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    if (arguments.size() < 2 || (command.compare(QLatin1String("set-log"), Qt::CaseInsensitive) != 0
                                 && command.compare(QLatin1String("sl"), Qt::CaseInsensitive) != 0))
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
        const QString value = optionValue(option, {"ms", "maxsize"});
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

#include "platform/sim/programs/SimWmic.h"

#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"
#include "platform/sim/programs/WmicFormatter.h"
#include "platform/sim/programs/WqlCondition.h"

#include <QRegularExpression>
#include <algorithm>

namespace win::sim {

namespace {

// WBEM_E_* codes; wmic exits with the code of the error it reports.
constexpr HResult WbemAccessDenied = HResult(0x80041003u);
constexpr HResult WbemNotSupported = HResult(0x8004100Cu);
constexpr HResult WbemInvalidNamespace = HResult(0x8004100Eu);
constexpr HResult WbemInvalidClass = HResult(0x80041010u);
constexpr HResult WbemInvalidQuery = HResult(0x80041017u);
constexpr HResult WbemInvalidMethod = HResult(0x8004102Eu);

const QString& lineEnd()
{
    return WmicFormatter::LineEnd;
}

QString aliasTarget(const QString& alias)
{
    static const QVector<QPair<QString, QString>> aliases = {
        {QStringLiteral("cpu"), QStringLiteral("Win32_Processor")},
        {QStringLiteral("baseboard"), QStringLiteral("Win32_BaseBoard")},
        {QStringLiteral("diskdrive"), QStringLiteral("Win32_DiskDrive")}};
    for (const auto& pair : aliases) {
        if (pair.first.compare(alias, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return QString();
}

// "\\root\default" and "root\default" name the same namespace.
QString namespaceOf(const QString& value)
{
    QString name = value;
    while (name.startsWith('\\'))
        name.remove(0, 1);
    return name;
}

} // namespace

SimWmic::SimWmic(SimMachine& machine) : SimProgram(machine), m_repository(machine)
{
}

ProgramOutput SimWmic::run(const QStringList& arguments)
{
    Command command;
    ProgramOutput rejection;
    return parse(arguments, &command, &rejection) ? execute(command) : rejection;
}

bool SimWmic::parse(const QStringList& arguments, Command* command, ProgramOutput* rejection) const
{
    const auto reject = [rejection](const ProgramOutput& output) {
        *rejection = output;
        return false;
    };
    int i = 0;
    for (; i < arguments.size() && arguments.at(i).startsWith('/'); ++i) {
        const QString nameSpace = ProgramArguments::switchValue(arguments.at(i), {"namespace"});
        if (nameSpace.isNull())
            return reject(parserError(QStringLiteral("Invalid Global Switch.")));
        command->nameSpace = namespaceOf(nameSpace);
    }
    if (i == arguments.size())
        return reject(ProgramOutput::neverFinishes());   // the interactive wmic:root\cli> prompt waits for input
    if (ProgramArguments::isWord(arguments.at(i), {"path"})) {
        if (++i == arguments.size())
            return reject(parserError(QStringLiteral("Invalid Verb.")));
        static const QRegularExpression whereInside(QStringLiteral("\\s+where\\s+"),
                                                    QRegularExpression::CaseInsensitiveOption);
        const QStringList parts = arguments.at(i++).split(whereInside);
        command->className = parts.first().trimmed();
        command->condition = parts.mid(1).join(QStringLiteral(" where "));
    } else {
        command->className = aliasTarget(arguments.at(i));
        if (command->className.isEmpty())
            return reject(parserError(arguments.at(i) + QStringLiteral(" - Alias not found.")));
        command->nameSpace = QStringLiteral("root\\cimv2");
        ++i;
    }
    if (i < arguments.size() && ProgramArguments::isWord(arguments.at(i), {"where"})) {
        if (i + 1 == arguments.size())
            return reject(parserError(QStringLiteral("Invalid Verb.")));
        command->condition = arguments.at(i + 1);
        i += 2;
    }
    command->verb = i < arguments.size() ? arguments.at(i).toLower() : QStringLiteral("get");
    command->verbArguments = arguments.mid(i + 1);
    return true;
}

ProgramOutput SimWmic::execute(const Command& command) const
{
    if (command.verb != QLatin1String("get") && command.verb != QLatin1String("call"))
        return parserError(QStringLiteral("Invalid Verb."));
    if (!m_repository.hasNamespace(command.nameSpace))
        return wmiError(WbemInvalidNamespace, QStringLiteral("Invalid namespace"));
    const WmiClass* wmiClass = m_repository.findClass(command.nameSpace, command.className);
    if (!wmiClass)
        return wmiError(WbemInvalidClass, QStringLiteral("Invalid class"));
    return command.verb == QLatin1String("get") ? get(*wmiClass, command) : call(*wmiClass, command);
}

ProgramOutput SimWmic::get(const WmiClass& wmiClass, const Command& command) const
{
    bool listFormat = false;
    QStringList requested;
    for (const QString& argument : command.verbArguments) {
        const QString format = ProgramArguments::switchValue(argument, {"format"});
        if (ProgramArguments::isSwitch(argument, {"value"}) || ProgramArguments::isWord(format, {"list"}))
            listFormat = true;
        else if (ProgramArguments::isWord(format, {"table"}))
            listFormat = false;
        else if (argument.startsWith('/'))
            return parserError(QStringLiteral("Invalid Verb Switch."));
        else
            requested += argument.split(',', Qt::SkipEmptyParts);
    }
    QStringList properties;
    for (const QString& name : requested) {
        const QString property = wmiClass.propertyName(name.trimmed());
        if (property.isEmpty())
            return wmiError(WbemInvalidQuery, QStringLiteral("Invalid query"));
        if (!properties.contains(property))
            properties << property;
    }
    if (properties.isEmpty())
        properties = wmiClass.properties;
    // WMI hands the selected properties back in the order of their names.
    std::sort(properties.begin(), properties.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QVector<WmiInstance> selected;
    ProgramOutput error;
    if (!select(wmiClass, command.condition, &selected, &error))
        return error;
    if (selected.isEmpty())
        return noInstances();
    return ProgramOutput::success(listFormat ? WmicFormatter::list(properties, selected)
                                             : WmicFormatter::table(properties, selected));
}

ProgramOutput SimWmic::call(const WmiClass& wmiClass, const Command& command) const
{
    if (command.verbArguments.isEmpty() || !wmiClass.hasMethod(command.verbArguments.first()))
        return wmiError(WbemInvalidMethod, QStringLiteral("Invalid method"));
    QVector<WmiInstance> selected;
    ProgramOutput error;
    if (!select(wmiClass, command.condition, &selected, &error))
        return error;
    if (selected.isEmpty())
        return noInstances();
    // None of the methods the simulated classes declare is carried out.
    return wmiError(WbemNotSupported, QStringLiteral("Not supported"));
}

bool SimWmic::select(const WmiClass& wmiClass, const QString& condition, QVector<WmiInstance>* selected,
                     ProgramOutput* error) const
{
    WqlCondition where;
    const auto unknownProperty = [&wmiClass](const QString& name) { return wmiClass.propertyName(name).isEmpty(); };
    if (!condition.isEmpty()) {
        const bool parsed = where.parse(condition);
        const QStringList named = where.properties();
        if (!parsed || std::any_of(named.begin(), named.end(), unknownProperty)) {
            *error = wmiError(WbemInvalidQuery, QStringLiteral("Invalid query"));
            return false;
        }
    }
    if (wmiClass.requiresAdministrator && !isAdministrator()) {
        *error = wmiError(WbemAccessDenied, QStringLiteral("Access denied"));
        return false;
    }
    for (const WmiInstance& instance : m_repository.instances(wmiClass)) {
        bool typeError = false;
        if (condition.isEmpty() || where.matches(instance, &typeError))
            selected->append(instance);
        if (typeError) {
            *error = wmiError(WbemInvalidQuery, QStringLiteral("Invalid query"));
            return false;
        }
    }
    return true;
}

ProgramOutput SimWmic::wmiError(HResult code, const QString& description) const
{
    const QString text = QStringLiteral("Node - ") + machine().system().computerName + lineEnd()
                         + QStringLiteral("ERROR:") + lineEnd() + QStringLiteral("Description = ") + description
                         + lineEnd();
    return ProgramOutput::failure(code, QString(), text);
}

ProgramOutput SimWmic::parserError(const QString& message)
{
    return ProgramOutput::failure(ParserErrorExitCode, QString(), message + lineEnd());
}

ProgramOutput SimWmic::noInstances()
{
    return ProgramOutput::failure(0, QString(), QStringLiteral("No Instance(s) Available.") + lineEnd());
}

} // namespace win::sim

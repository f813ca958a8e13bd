#include "platform/sim/programs/SimNetsh.h"

#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"

namespace win::sim {

namespace {

struct TcpGlobalTag
{
    const char* name;
    const char* values;   // "|"-separated words, or "min-max" for a number
};

// The tags of "set global" in the order netsh lists them.
const TcpGlobalTag TcpGlobalTags[] = {
    {"rss", "disabled|enabled|default"},
    {"autotuninglevel", "disabled|highlyrestricted|restricted|normal|experimental"},
    {"congestionprovider", "none|ctcp|default"},
    {"ecncapability", "disabled|enabled|default"},
    {"timestamps", "disabled|enabled|default"},
    {"initialrto", "300-3000"},
    {"rsc", "disabled|enabled|default"},
    {"nonsackrttresiliency", "disabled|enabled|default"},
    {"maxsynretransmissions", "2-8"},
    {"fastopen", "disabled|enabled|default"},
    {"fastopenfallback", "disabled|enabled|default"},
    {"hystart", "disabled|enabled|default"},
    {"prr", "disabled|enabled|default"},
    {"pacingprofile", "off|initialwindow|slowstart|always|default"}};
constexpr int TagCount = int(sizeof(TcpGlobalTags) / sizeof(TcpGlobalTags[0]));

const TcpGlobalTag* findTag(const QString& name)
{
    for (const TcpGlobalTag& tag : TcpGlobalTags) {
        if (name.compare(QLatin1String(tag.name), Qt::CaseInsensitive) == 0)
            return &tag;
    }
    return nullptr;
}

} // namespace

ProgramOutput SimNetsh::run(const QStringList& arguments)
{
    if (arguments.size() >= 4 && ProgramArguments::isWord(arguments.at(0), {"interface", "int"}) && ProgramArguments::isWord(arguments.at(1), {"tcp"})
        && ProgramArguments::isWord(arguments.at(2), {"set"}) && ProgramArguments::isWord(arguments.at(3), {"global"}))
        return setTcpGlobals(arguments.mid(4));
    return failure(QStringLiteral("The following command was not found: %1.").arg(arguments.join(' ')) + CrLf);
}

ProgramOutput SimNetsh::setTcpGlobals(const QStringList& parameters)
{
    if (parameters.isEmpty())
        return failure(QStringLiteral("One or more essential parameters were not entered.") + CrLf
                       + QStringLiteral("Verify the required parameters, and reenter them.") + CrLf + CrLf);
    QMap<QString, QString> values;
    QString rejection;
    if (!assignTags(parameters, &values, &rejection))
        return failure(rejection);
    if (!isAdministrator())
        return failure(QStringLiteral("The requested operation requires elevation (Run as administrator).") + CrLf + CrLf);
    for (auto it = values.begin(); it != values.end(); ++it)
        machine().programs().tcpGlobals().insert(it.key(), it.value());
    machine().markChanged();
    return ProgramOutput::success(QStringLiteral("Ok.") + CrLf + CrLf);
}

bool SimNetsh::assignTags(const QStringList& parameters, QMap<QString, QString>* values, QString* rejection)
{
    const QString syntaxError = QStringLiteral("The syntax supplied for this command is not valid. "
                                               "Check help for the correct syntax.") + CrLf + CrLf;
    for (int i = 0; i < parameters.size(); ++i) {
        const QString& parameter = parameters.at(i);
        const int equals = parameter.indexOf('=');
        const TcpGlobalTag* tag = equals >= 0 ? findTag(parameter.left(equals))
                                              : (i < TagCount ? &TcpGlobalTags[i] : nullptr);
        const QString value = equals >= 0 ? parameter.mid(equals + 1) : parameter;
        const QString name = tag ? QLatin1String(tag->name) : QString();
        if (!tag || values->contains(name)) {
            *rejection = syntaxError;
            return false;
        }
        if (!acceptable(name, value)) {
            *rejection = QStringLiteral("'%1' is not an acceptable value for '%2'.").arg(value, name) + CrLf
                         + QStringLiteral("The parameter is incorrect.") + CrLf + CrLf;
            return false;
        }
        values->insert(name, value.toLower());
    }
    return true;
}

bool SimNetsh::acceptable(const QString& tagName, const QString& value)
{
    const QString allowed = QLatin1String(findTag(tagName)->values);
    const int dash = allowed.indexOf('-');
    if (dash > 0 && allowed.at(0).isDigit()) {
        bool isNumber = false;
        const int number = value.toInt(&isNumber);
        return isNumber && number >= allowed.left(dash).toInt() && number <= allowed.mid(dash + 1).toInt();
    }
    return allowed.split('|').contains(value, Qt::CaseInsensitive);
}

ProgramOutput SimNetsh::failure(const QString& text)
{
    return ProgramOutput::failure(1, text, QString());
}

} // namespace win::sim

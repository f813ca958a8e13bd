#include "platform/sim/programs/SimPowercfg.h"

#include "platform/FileSystem.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"

namespace win::sim {

namespace {

// The aliases powercfg accepts in place of the scheme GUIDs.
QString schemeOfAlias(const QString& argument)
{
    static const QVector<QPair<QString, const char*>> aliases = {
        {QStringLiteral("SCHEME_MIN"), HighPerformanceSchemeGuid},
        {QStringLiteral("SCHEME_MAX"), PowerSaverSchemeGuid},
        {QStringLiteral("SCHEME_BALANCED"), BalancedSchemeGuid}};
    for (const auto& alias : aliases) {
        if (alias.first.compare(argument, Qt::CaseInsensitive) == 0)
            return QLatin1String(alias.second);
    }
    return argument;
}

} // namespace

ProgramOutput SimPowercfg::run(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return invalidParameters();
    const QString& command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (ProgramArguments::isSwitch(command, {"list", "l"}) && rest.isEmpty())
        return list();
    if (ProgramArguments::isSwitch(command, {"getactivescheme"}) && rest.isEmpty())
        return activeScheme();
    if (ProgramArguments::isSwitch(command, {"setactive", "s"}))
        return setActive(rest);
    if (ProgramArguments::isSwitch(command, {"hibernate", "h"}))
        return hibernate(rest);
    return invalidParameters();
}

QString SimPowercfg::schemeLine(const QString& guid) const
{
    const PowerScheme* scheme = machine().programs().findPowerScheme(guid);
    return QStringLiteral("Power Scheme GUID: %1  (%2)").arg(scheme->guid, scheme->name);
}

ProgramOutput SimPowercfg::list() const
{
    const QString active = machine().system().activePowerScheme;
    QString out = CrLf + QStringLiteral("Existing Power Schemes (* Active)") + CrLf
                  + QStringLiteral("-----------------------------------") + CrLf;
    for (const PowerScheme& scheme : machine().programs().power().schemes) {
        out += schemeLine(scheme.guid);
        if (scheme.guid.compare(active, Qt::CaseInsensitive) == 0)
            out += QStringLiteral(" *");
        out += CrLf;
    }
    return ProgramOutput::success(out);
}

ProgramOutput SimPowercfg::activeScheme() const
{
    const QString active = machine().system().activePowerScheme;
    if (!machine().programs().findPowerScheme(active))
        return ProgramOutput::failure(1, QStringLiteral("The power scheme, subgroup or setting specified does not exist.") + CrLf,
                                      QString());
    return ProgramOutput::success(schemeLine(active) + CrLf);
}

ProgramOutput SimPowercfg::setActive(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return invalidParameters();
    const PowerScheme* scheme = machine().programs().findPowerScheme(schemeOfAlias(arguments.first()));
    if (!scheme)
        return ProgramOutput::failure(1, QStringLiteral("The power scheme, subgroup or setting specified does not exist.") + CrLf,
                                      QString());
    machine().system().activePowerScheme = scheme->guid;
    machine().markChanged();
    return ProgramOutput::success();
}

ProgramOutput SimPowercfg::hibernate(const QStringList& arguments)
{
    // The hibernation file types came with Windows 10.
    const bool setType = !arguments.isEmpty() && ProgramArguments::isSwitch(arguments.first(), {"type"});
    if (setType && !windowsIsAtLeast(10, 0))
        return invalidParameters();
    const QString value = (setType ? arguments.value(1) : arguments.value(0)).toLower();
    const bool valid = setType ? (arguments.size() == 2 && (value == QLatin1String("full") || value == QLatin1String("reduced")))
                               : (arguments.size() <= 1 && (arguments.isEmpty() || value == QLatin1String("on")
                                                            || value == QLatin1String("off")));
    if (!valid)
        return invalidParameters();
    if (!isAdministrator())
        return ProgramOutput::failure(1, QStringLiteral("You do not have permission to enable or disable the Hibernate feature.") + CrLf,
                                      QString());
    if (setType) {
        machine().programs().power().reducedHiberfile = value == QLatin1String("reduced");
        if (machine().programs().power().hibernation)
            placeHiberfile();
    } else {
        setHibernation(value != QLatin1String("off"));
    }
    machine().markChanged();
    return ProgramOutput::success();
}

void SimPowercfg::setHibernation(bool on)
{
    machine().programs().power().hibernation = on;
    if (on)
        placeHiberfile();
    else
        deleteFile(hiberfilePath());
}

QString SimPowercfg::hiberfilePath() const
{
    return QString(systemDriveLetter()) + QStringLiteral(":\\hiberfil.sys");
}

// The hibernation file is reserved at once, sized after physical memory.
void SimPowercfg::placeHiberfile() const
{
    const QString path = hiberfilePath();
    const quint64 memory = machine().system().memory.totalBytes;
    const quint64 size = memory / 100 * (machine().programs().power().reducedHiberfile ? 20 : 40);
    FileEntry existing;
    if (fileInfo(path, &existing) != ErrorSuccess && writeFile(path, QByteArray()) != ErrorSuccess)
        return;
    machine().files().setVirtualSize(path, size);
    machine().files().setAttributes(path, FileAttributeHidden | FileAttributeSystem,
                                    FileAttributeHidden | FileAttributeSystem);
}

ProgramOutput SimPowercfg::invalidParameters()
{
    return ProgramOutput::failure(1, QStringLiteral("Invalid Parameters -- try \"/?\" for help") + CrLf, QString());
}

} // namespace win::sim

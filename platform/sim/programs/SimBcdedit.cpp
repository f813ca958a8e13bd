#include "platform/sim/programs/SimBcdedit.h"

#include "platform/FileSystem.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"
#include "platform/sim/programs/SystemMessages.h"

namespace win::sim {

namespace {

const QString Succeeded = QStringLiteral("The operation completed successfully.\r\n");
const QString CommandLineHelp = QStringLiteral("Run \"bcdedit /?\" for command line assistance.\r\n");
constexpr int NameColumnWidth = 24;

// Boolean elements of a Windows Boot Loader that /set accepts.
const QStringList& booleanElements()
{
    static const QStringList names = {
        QStringLiteral("bootdebug"), QStringLiteral("bootems"), QStringLiteral("bootlog"),
        QStringLiteral("debug"), QStringLiteral("ems"), QStringLiteral("nointegritychecks"),
        QStringLiteral("quietboot"), QStringLiteral("recoveryenabled"), QStringLiteral("sos"),
        QStringLiteral("testsigning")};
    return names;
}

// bcdedit shows booleans as Yes/No and accepts on/off, yes/no, true/false, 1/0.
QString booleanValue(const QString& argument)
{
    const QString value = argument.toLower();
    if (value == QLatin1String("on") || value == QLatin1String("yes") || value == QLatin1String("true")
        || value == QLatin1String("1"))
        return QStringLiteral("Yes");
    if (value == QLatin1String("off") || value == QLatin1String("no") || value == QLatin1String("false")
        || value == QLatin1String("0"))
        return QStringLiteral("No");
    return QString();
}

bool isSwitch(const QString& argument, const char* name)
{
    return ProgramArguments::isSwitch(argument, {name});
}

QString line(const QString& name, const QString& value)
{
    return name.leftJustified(NameColumnWidth, ' ') + value + CrLf;
}

QString sectionTitle(const QString& title)
{
    return CrLf + title + CrLf + QString(title.size(), '-') + CrLf;
}

} // namespace

ProgramOutput SimBcdedit::run(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    const bool enumerate = arguments.isEmpty() || isSwitch(command, "enum");
    const bool enumTypeKnown = rest.isEmpty() || ProgramArguments::isWord(rest.first(), {"active", "all"});
    if (enumerate && (rest.size() > 1 || !enumTypeKnown))
        return syntaxError();
    if (!enumerate && !isSwitch(command, "export") && !isSwitch(command, "set") && !isSwitch(command, "timeout"))
        return failure(QStringLiteral("Invalid command line switch: ") + command + CrLf + CommandLineHelp
                       + SystemMessages::text(ErrorInvalidParameter) + CrLf);
    if (!enumerate && rest.size() != (isSwitch(command, "set") ? 3 : 1))
        return syntaxError();
    if (!isAdministrator())
        return failure(QStringLiteral("The boot configuration data store could not be opened.") + CrLf
                       + SystemMessages::text(ErrorAccessDenied) + CrLf);
    if (enumerate)
        return ProgramOutput::success(enumeration());
    if (isSwitch(command, "export"))
        return exportStore(rest.first());
    if (isSwitch(command, "set"))
        return set(rest);
    return setTimeout(rest.first());
}

BootStore& SimBcdedit::store()
{
    BootStore& boot = machine().programs().boot();
    if (boot.loaders.isEmpty()) {
        BootLoader current;
        current.identifier = QStringLiteral("{current}");
        current.drive = QString(systemDriveLetter()) + ':';
        current.description = defaultDescription();
        boot.loaders.append(current);
    }
    return boot;
}

QString SimBcdedit::defaultDescription() const
{
    const SimVersion& version = machine().system().version;
    if (version.major == 10)
        return version.build >= 22000 ? QStringLiteral("Windows 11") : QStringLiteral("Windows 10");
    if (version.major == 6 && version.minor == 3)
        return QStringLiteral("Windows 8.1");
    if (version.major == 6 && version.minor == 2)
        return QStringLiteral("Windows 8");
    return QStringLiteral("Windows 7");
}

QString SimBcdedit::enumeration()
{
    QString out = bootManagerSection();
    for (const BootLoader& loader : store().loaders)
        out += loaderSection(loader);
    return out;
}

QString SimBcdedit::bootManagerSection()
{
    const BootStore& boot = store();
    QString out = sectionTitle(QStringLiteral("Windows Boot Manager"));
    out += line(QStringLiteral("identifier"), QStringLiteral("{bootmgr}"));
    out += line(QStringLiteral("device"), QStringLiteral("partition=\\Device\\HarddiskVolume1"));
    if (boot.uefi)
        out += line(QStringLiteral("path"), QStringLiteral("\\EFI\\Microsoft\\Boot\\bootmgfw.efi"));
    out += line(QStringLiteral("description"), QStringLiteral("Windows Boot Manager"));
    out += line(QStringLiteral("locale"), boot.locale);
    out += line(QStringLiteral("inherit"), QStringLiteral("{globalsettings}"));
    out += line(QStringLiteral("default"), boot.loaders.first().identifier);
    for (int i = 0; i < boot.loaders.size(); ++i)
        out += line(i == 0 ? QStringLiteral("displayorder") : QString(), boot.loaders.at(i).identifier);
    out += line(QStringLiteral("toolsdisplayorder"), QStringLiteral("{memdiag}"));
    out += line(QStringLiteral("timeout"), QString::number(boot.timeout));
    return out;
}

QString SimBcdedit::loaderSection(const BootLoader& loader) const
{
    const BootStore& boot = machine().programs().boot();
    const QString device = QStringLiteral("partition=") + loader.drive;
    const QString winload = boot.uefi ? QStringLiteral("winload.efi") : QStringLiteral("winload.exe");
    QString out = sectionTitle(QStringLiteral("Windows Boot Loader"));
    out += line(QStringLiteral("identifier"), loader.identifier);
    out += line(QStringLiteral("device"), device);
    out += line(QStringLiteral("path"), loader.systemRoot + QStringLiteral("\\system32\\") + winload);
    out += line(QStringLiteral("description"), loader.description);
    out += line(QStringLiteral("locale"), boot.locale);
    out += line(QStringLiteral("inherit"), QStringLiteral("{bootloadersettings}"));
    out += line(QStringLiteral("osdevice"), device);
    out += line(QStringLiteral("systemroot"), loader.systemRoot);
    out += line(QStringLiteral("nx"), QStringLiteral("OptIn"));
    out += line(QStringLiteral("bootmenupolicy"), QStringLiteral("Standard"));
    for (auto it = loader.settings.begin(); it != loader.settings.end(); ++it)
        out += line(it.key(), it.value());
    return out;
}

ProgramOutput SimBcdedit::exportStore(const QString& path)
{
    const Error error = writeFile(path, enumeration().toUtf8());
    if (error != ErrorSuccess)
        return failure(QStringLiteral("The store export operation has failed.") + CrLf + SystemMessages::text(error) + CrLf);
    return ProgramOutput::success(Succeeded);
}

BootLoader* SimBcdedit::findLoader(const QString& identifier)
{
    BootStore& boot = store();
    if (identifier.compare(QLatin1String("{default}"), Qt::CaseInsensitive) == 0)
        return &boot.loaders.first();
    for (BootLoader& loader : boot.loaders) {
        if (loader.identifier.compare(identifier, Qt::CaseInsensitive) == 0)
            return &loader;
    }
    return nullptr;
}

ProgramOutput SimBcdedit::set(const QStringList& arguments)
{
    BootLoader* loader = findLoader(arguments.at(0));
    if (!loader)
        return failure(QStringLiteral("An error occurred while attempting to reference the specified entry.") + CrLf
                       + SystemMessages::text(ErrorFileNotFound) + CrLf);
    const QString element = arguments.at(1).toLower();
    if (!booleanElements().contains(element))
        return failure(QStringLiteral("The element data type specified is not recognized, or does not apply to the specified entry.")
                       + CrLf + CommandLineHelp + QStringLiteral("Element not found.") + CrLf);
    const QString value = booleanValue(arguments.at(2));
    if (value.isEmpty())
        return failure(QStringLiteral("The boolean data is not valid as specified.") + CrLf + CommandLineHelp
                       + SystemMessages::text(ErrorInvalidParameter) + CrLf);
    loader->settings.insert(element, value);
    machine().markChanged();
    return ProgramOutput::success(Succeeded);
}

ProgramOutput SimBcdedit::setTimeout(const QString& value)
{
    bool isNumber = false;
    const int seconds = value.toInt(&isNumber);
    if (!isNumber || seconds < 0)
        return failure(QStringLiteral("The integer data is not valid as specified.") + CrLf + CommandLineHelp
                       + SystemMessages::text(ErrorInvalidParameter) + CrLf);
    store().timeout = seconds;
    machine().markChanged();
    return ProgramOutput::success(Succeeded);
}

ProgramOutput SimBcdedit::failure(const QString& text)
{
    return ProgramOutput::failure(1, QString(), text);
}

ProgramOutput SimBcdedit::syntaxError()
{
    return failure(QStringLiteral("The syntax of the command is incorrect.") + CrLf + CommandLineHelp
                   + SystemMessages::text(ErrorInvalidParameter) + CrLf);
}

} // namespace win::sim

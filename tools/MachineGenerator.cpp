#include "MachineGenerator.h"

#include "platform/FileSystem.h"
#include "platform/RegistryKey.h"
#include "platform/sim/SimMachine.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>

using win::sim::SimMachine;

const char* const MachineGenerator::UserName = "Tester";

namespace {

const double Gib = 1024.0 * 1024.0 * 1024.0;
const int ValuesPerKey = 20;
// A Windows 10 22H2 machine.
const int WindowsMajor = 10;
const int WindowsBuild = 19045;

QString userProfile()
{
    return QStringLiteral("C:\\Users\\") + QLatin1String(MachineGenerator::UserName);
}

QString temporaryFolder()
{
    return userProfile() + QStringLiteral("\\AppData\\Local\\Temp");
}

QJsonObject environment()
{
    const QString profile = userProfile();
    return QJsonObject{{"ALLUSERSPROFILE", "C:\\ProgramData"},
                       {"APPDATA", profile + "\\AppData\\Roaming"},
                       {"LOCALAPPDATA", profile + "\\AppData\\Local"},
                       {"ProgramData", "C:\\ProgramData"},
                       {"ProgramFiles", "C:\\Program Files (x86)"},
                       {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
                       {"ProgramW6432", "C:\\Program Files"},
                       {"SystemDrive", "C:"},
                       {"SystemRoot", "C:\\Windows"},
                       {"TEMP", temporaryFolder()},
                       {"TMP", temporaryFolder()},
                       {"USERNAME", MachineGenerator::UserName},
                       {"USERPROFILE", profile},
                       {"windir", "C:\\Windows"}};
}

QString hostPathOf(SimMachine& machine, const QString& windowsPath)
{
    QString path = machine.files().drive(windowsPath.at(0))->hostFolder + windowsPath.mid(2);
    return path.replace('\\', '/');
}

bool writeSmallFile(const QString& path, int number, QString* error)
{
    QFile file(path);
    const QByteArray content = QByteArray("cached data ") + QByteArray::number(number) + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(content.repeated(1 + number % 8)) < 0) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

MachineGenerator::RegistryValue MachineGenerator::registryValue(int index)
{
    const int keyNumber = index / ValuesPerKey;
    const QString hive = keyNumber % 2 == 0 ? QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE")
                                            : QStringLiteral("HKEY_CURRENT_USER\\Software");
    RegistryValue value;
    value.keyPath = QStringLiteral("%1\\Generated\\Vendor%2\\Product%3")
                        .arg(hive).arg(keyNumber / 50, 3, 10, QChar('0')).arg(keyNumber % 50, 2, 10, QChar('0'));
    value.name = QStringLiteral("Value%1").arg(index % ValuesPerKey, 2, 10, QChar('0'));
    switch (index % 6) {
    case 0:
        value.type = win::RegSz;
        value.data = win::registryTextData(QStringLiteral("Setting text %1").arg(index));
        break;
    case 1:
        value.type = win::RegDword;
        value.data = win::registryDwordData(quint32(index));
        break;
    case 2:
        value.type = win::RegExpandSz;
        value.data = win::registryTextData(QStringLiteral("%ProgramFiles%\\Vendor\\tool%1.exe").arg(index));
        break;
    case 3:
        value.type = win::RegQword;
        value.data = win::registryQwordData(quint64(index) << 20);
        break;
    case 4:
        value.type = win::RegMultiSz;
        value.data = win::registryMultiTextData({QStringLiteral("first %1").arg(index), QStringLiteral("second")});
        break;
    default:
        value.type = win::RegBinary;
        for (int i = 0; i < 16; ++i)
            value.data.append(char((index * 31 + i * 7) & 0xff));
        break;
    }
    return value;
}

// Temporary files of every age up to a year, the way the cache step finds
// them; a checkout gives every real file the same time, so the ages are facts.
QJsonObject MachineGenerator::fileFacts(int files)
{
    const QDateTime newest(QDate(2026, 10, 1), QTime(12, 0), Qt::UTC);
    QJsonObject facts;
    for (int i = 0; i < files; ++i) {
        const QDateTime modified = newest.addSecs(-qint64(i % 365) * 86400 - i % 86400);
        facts.insert(filePath(i), QJsonObject{{"modified", modified.toString(Qt::ISODate)}});
    }
    return facts;
}

QString MachineGenerator::filePath(int index)
{
    return QStringLiteral("%1\\Generated\\Folder%2\\file%3.tmp")
        .arg(temporaryFolder())
        .arg(index / FilesPerFolder, 4, 10, QChar('0'))
        .arg(index, 6, 10, QChar('0'));
}

QJsonObject MachineGenerator::baseMachineJson()
{
    return QJsonObject{
        {"format", 1},
        {"system", QJsonObject{{"version", QJsonObject{{"major", WindowsMajor}, {"minor", 0}, {"build", WindowsBuild}}},
                               {"architecture", "x64"},
                               {"administrator", true},
                               {"computerName", "DESKTOP-GENERATED"},
                               {"memory", QJsonObject{{"totalBytes", 16 * Gib}, {"availableBytes", 6 * Gib}}}}},
        {"environment", environment()},
        {"drives", QJsonObject{{"C", QJsonObject{{"folder", "drives/C"}, {"totalBytes", 512 * Gib},
                                                 {"freeBytes", 120 * Gib}, {"kind", "SSD"},
                                                 {"diskNumber", 0}}}}}};
}

bool MachineGenerator::write(const QString& folder, QString* error) const
{
    QDir dir(folder);
    if (dir.exists(QStringLiteral("machine.json"))) {
        *error = QStringLiteral("%1: already holds a machine").arg(folder);
        return false;
    }
    if (!dir.mkpath(QStringLiteral("registry")) || !dir.mkpath(QStringLiteral("drives/C"))) {
        *error = QStringLiteral("%1: cannot create the machine folders").arg(folder);
        return false;
    }
    QJsonObject machineJson = baseMachineJson();
    if (m_counts.files > 0)
        machineJson.insert(QStringLiteral("files"), fileFacts(m_counts.files));
    QFile json(dir.filePath(QStringLiteral("machine.json")));
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(machineJson).toJson()) < 0) {
        *error = QStringLiteral("%1: %2").arg(json.fileName(), json.errorString());
        return false;
    }
    json.close();
    SimMachine machine;
    if (!machine.load(folder, error))
        return false;
    addSystemFiles(machine);
    addRegistryValues(machine);
    addStartupEntries(machine);
    return addFiles(machine, error) && machine.save(error);
}

void MachineGenerator::addSystemFiles(SimMachine& machine) const
{
    // The hibernation and paging files stand in as empty files with the size
    // Windows would report for them.
    const QString root = machine.files().drive('C')->hostFolder;
    const quint64 memory = machine.system().memory.totalBytes;
    const struct
    {
        const char* name;
        quint64 size;
    } systemFiles[] = {{"hiberfil.sys", memory * 2 / 5}, {"pagefile.sys", memory / 4}};
    for (const auto& systemFile : systemFiles) {
        const QString path = QStringLiteral("C:\\") + QLatin1String(systemFile.name);
        QFile(root + '/' + QLatin1String(systemFile.name)).open(QIODevice::WriteOnly);
        machine.files().setAttributes(path, win::FileAttributeHidden | win::FileAttributeSystem,
                                      win::FileAttributeHidden | win::FileAttributeSystem);
        machine.files().setLocked(path, true);
        machine.files().setVirtualSize(path, systemFile.size);
    }
}

void MachineGenerator::addRegistryValues(SimMachine& machine) const
{
    // The version values Windows 10 keeps in both views, as machine.json's version says.
    for (const char* branch : {"SOFTWARE", "SOFTWARE\\WOW6432Node"}) {
        const QString key = QStringLiteral("HKEY_LOCAL_MACHINE\\%1\\Microsoft\\Windows NT\\CurrentVersion").arg(QLatin1String(branch));
        machine.registry().setValue(key, QStringLiteral("CurrentVersion"), win::RegSz, win::registryTextData(QStringLiteral("6.3")));
        machine.registry().setValue(key, QStringLiteral("CurrentBuildNumber"), win::RegSz, win::registryTextData(QString::number(WindowsBuild)));
        machine.registry().setValue(key, QStringLiteral("CurrentMajorVersionNumber"), win::RegDword, win::registryDwordData(WindowsMajor));
        machine.registry().setValue(key, QStringLiteral("CurrentMinorVersionNumber"), win::RegDword, win::registryDwordData(0));
    }
    for (int i = 0; i < m_counts.registryValues; ++i) {
        const RegistryValue value = registryValue(i);
        machine.registry().setValue(value.keyPath, value.name, value.type, value.data);
    }
}

bool MachineGenerator::addFiles(SimMachine& machine, QString* error) const
{
    if (m_counts.files <= 0)
        return true;
    return writeFileTree(hostPathOf(machine, temporaryFolder()) + QStringLiteral("/Generated"), m_counts.files,
                         FilesPerFolder, error);
}

void MachineGenerator::addStartupEntries(SimMachine& machine) const
{
    static const char* const runKeys[] = {
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"};
    const int kinds = int(sizeof(runKeys) / sizeof(runKeys[0])) + 1;   // and the Startup folder
    const QString startupFolder = hostPathOf(
        machine, userProfile() + QStringLiteral("\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"));
    QDir().mkpath(startupFolder);
    for (int i = 0; i < m_counts.startupEntries; ++i) {
        const QString name = QStringLiteral("Agent%1").arg(i, 4, 10, QChar('0'));
        const QString program = QStringLiteral("C:\\Program Files\\Vendor%1\\agent.exe").arg(i);
        if (i % kinds == kinds - 1) {
            // A shortcut of the simulated machine names its target on its first line.
            QFile shortcut(startupFolder + '/' + name + QStringLiteral(".lnk"));
            if (shortcut.open(QIODevice::WriteOnly))
                shortcut.write(program.toUtf8() + '\n');
            continue;
        }
        machine.registry().setValue(QLatin1String(runKeys[i % kinds]), name, win::RegSz,
                                    win::registryTextData('"' + program + QStringLiteral("\" /background")));
    }
}

bool MachineGenerator::writeFileTree(const QString& hostFolder, int files, int filesPerFolder, QString* error)
{
    QDir root(hostFolder);
    QString folder;
    for (int i = 0; i < files; ++i) {
        if (i % filesPerFolder == 0) {
            folder = root.filePath(QStringLiteral("Folder%1").arg(i / filesPerFolder, 4, 10, QChar('0')));
            if (!root.mkpath(folder)) {
                *error = QStringLiteral("%1: cannot create the folder").arg(folder);
                return false;
            }
        }
        if (!writeSmallFile(folder + QStringLiteral("/file%1.tmp").arg(i, 6, 10, QChar('0')), i, error))
            return false;
    }
    return true;
}

#include "TestMachine.h"

#include "platform/RegistryKey.h"

#include <QDir>
#include <cstring>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace {

QJsonObject defaultEnvironment()
{
    return QJsonObject{
        {"ALLUSERSPROFILE", "C:\\ProgramData"},
        {"APPDATA", "C:\\Users\\Tester\\AppData\\Roaming"},
        {"CommonProgramFiles", "C:\\Program Files (x86)\\Common Files"},
        {"COMPUTERNAME", "DESKTOP-TEST"},
        {"HOMEDRIVE", "C:"},
        {"HOMEPATH", "\\Users\\Tester"},
        {"LOCALAPPDATA", "C:\\Users\\Tester\\AppData\\Local"},
        {"OS", "Windows_NT"},
        {"Path", "C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem"},
        {"PROCESSOR_ARCHITECTURE", "x86"},
        {"PROCESSOR_ARCHITEW6432", "AMD64"},
        {"ProgramData", "C:\\ProgramData"},
        {"ProgramFiles", "C:\\Program Files (x86)"},
        {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
        {"ProgramW6432", "C:\\Program Files"},
        {"PUBLIC", "C:\\Users\\Public"},
        {"SystemDrive", "C:"},
        {"SystemRoot", "C:\\Windows"},
        {"TEMP", "C:\\Users\\Tester\\AppData\\Local\\Temp"},
        {"TMP", "C:\\Users\\Tester\\AppData\\Local\\Temp"},
        {"USERNAME", "Tester"},
        {"USERPROFILE", "C:\\Users\\Tester"},
        {"windir", "C:\\Windows"}};
}

} // namespace

QJsonObject TestMachine::defaultMachineJson()
{
    const double gib = 1024.0 * 1024.0 * 1024.0;
    return QJsonObject{
        {"format", 1},
        {"system", QJsonObject{
                       {"version", QJsonObject{{"major", 10}, {"minor", 0}, {"build", 19045}}},
                       {"architecture", "x64"},
                       {"administrator", true},
                       {"computerName", "DESKTOP-TEST"},
                       {"memory", QJsonObject{{"totalBytes", 8 * gib}, {"availableBytes", 4 * gib}}},
                       {"power", QJsonObject{{"acLineStatus", 1}, {"batteryFlag", 128}, {"batteryPercent", 255}}},
                       {"processorId", "BFEBFBFF000906EA"},
                       {"baseboardSerial", "PF2ABCDE"}}},
        {"environment", defaultEnvironment()},
        {"drives", QJsonObject{{"C", QJsonObject{{"folder", "drives/C"}, {"totalBytes", 256 * gib},
                                                 {"freeBytes", 100 * gib}, {"kind", "SSD"},
                                                 {"diskNumber", 0}}}}}};
}

TestMachine::TestMachine(const QJsonObject& overrides)
    : m_machine(std::make_unique<win::sim::SimMachine>())
{
    QJsonObject json = defaultMachineJson();
    for (auto it = overrides.begin(); it != overrides.end(); ++it)
        json.insert(it.key(), it.value());
    QDir(m_dir.path()).mkpath(QStringLiteral("registry"));
    const QJsonObject drives = json.value(QStringLiteral("drives")).toObject();
    for (auto it = drives.begin(); it != drives.end(); ++it)
        QDir(m_dir.path()).mkpath(it.value().toObject().value(QStringLiteral("folder")).toString());
    QFile file(m_dir.filePath(QStringLiteral("machine.json")));
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(json).toJson());
    file.close();
    if (!m_machine->load(m_dir.path(), &m_error))
        qWarning("test machine did not load: %s", qPrintable(m_error));
    m_machine->clock().setRealSleep(false);
    win::sim::SimMachine::makeCurrent(m_machine.get());
    if (!overrides.contains(QStringLiteral("system")))
        setWindowsVersion(10, 0, 19045);
}

void TestMachine::setWindowsVersion(quint32 major, quint32 minor, quint32 build)
{
    m_machine->system().version = {major, minor, build, QString()};
    for (const char* branch : {"SOFTWARE", "SOFTWARE\\WOW6432Node"}) {
        const QString key = QStringLiteral("HKEY_LOCAL_MACHINE\\%1\\Microsoft\\Windows NT\\CurrentVersion").arg(QLatin1String(branch));
        auto& registry = m_machine->registry();
        registry.setValue(key, QStringLiteral("CurrentVersion"), win::RegSz,
                          win::registryTextData(major >= 10 ? QStringLiteral("6.3") : QStringLiteral("%1.%2").arg(major).arg(minor)));
        registry.setValue(key, QStringLiteral("CurrentBuildNumber"), win::RegSz, win::registryTextData(QString::number(build)));
        if (major >= 10) {
            registry.setValue(key, QStringLiteral("CurrentMajorVersionNumber"), win::RegDword, win::registryDwordData(major));
            registry.setValue(key, QStringLiteral("CurrentMinorVersionNumber"), win::RegDword, win::registryDwordData(minor));
        } else {
            win::RegistryKey handle;
            handle.open(win::Hive::LocalMachine, key.mid(int(strlen("HKEY_LOCAL_MACHINE\\"))),
                        win::KeySetValue | win::KeyWow64_64Key);
            handle.deleteValue(QStringLiteral("CurrentMajorVersionNumber"));
            handle.deleteValue(QStringLiteral("CurrentMinorVersionNumber"));
        }
    }
}

void TestMachine::setText(const QString& keyPath, const QString& name, const QString& text, quint32 type)
{
    m_machine->registry().setValue(keyPath, name, type, win::registryTextData(text));
}

void TestMachine::setDword(const QString& keyPath, const QString& name, quint32 value)
{
    m_machine->registry().setValue(keyPath, name, win::RegDword, win::registryDwordData(value));
}

QString TestMachine::text(const QString& keyPath, const QString& name) const
{
    quint32 type = 0;
    QByteArray data;
    return m_machine->registry().value(keyPath, name, &type, &data) ? win::registryText(data) : QString();
}

bool TestMachine::hasValue(const QString& keyPath, const QString& name) const
{
    quint32 type = 0;
    QByteArray data;
    return m_machine->registry().value(keyPath, name, &type, &data);
}

quint32 TestMachine::dword(const QString& keyPath, const QString& name) const
{
    quint32 type = 0;
    QByteArray data;
    if (!m_machine->registry().value(keyPath, name, &type, &data) || data.size() != 4)
        return 0xFFFFFFFFu;
    return quint8(data[0]) | quint32(quint8(data[1])) << 8 | quint32(quint8(data[2])) << 16 | quint32(quint8(data[3])) << 24;
}

TestMachine::~TestMachine()
{
    win::sim::SimMachine::makeCurrent(nullptr);
}

QString TestMachine::driveFolder(QChar letter) const
{
    return m_dir.filePath(QStringLiteral("drives/") + letter.toUpper());
}

QString TestMachine::hostPath(const QString& windowsPath) const
{
    // Test fixtures are written with the case they are given; the program
    // reaches them through the machine's own path mapping.
    QString rest = windowsPath.mid(2);
    rest.replace('\\', '/');
    return driveFolder(windowsPath.at(0)) + rest;
}

QString TestMachine::addFile(const QString& windowsPath, const QByteArray& content)
{
    const QString path = hostPath(windowsPath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

QString TestMachine::addFolder(const QString& windowsPath)
{
    const QString path = hostPath(windowsPath);
    QDir().mkpath(path);
    return path;
}

win::sim::SimService& TestMachine::addService(const QString& name, quint32 state, quint32 startType)
{
    win::sim::SimService service;
    service.name = name;
    service.state = state;
    service.startType = startType;
    m_machine->system().services.append(service);
    return m_machine->system().services.last();
}

win::sim::SimProcess& TestMachine::addProcess(quint32 pid, const QString& imagePath, quint64 workingSetBytes)
{
    win::sim::SimProcess process;
    process.pid = pid;
    process.imagePath = imagePath;
    process.exeFile = imagePath.mid(imagePath.lastIndexOf('\\') + 1);
    process.workingSetBytes = workingSetBytes;
    m_machine->system().processes.append(process);
    return m_machine->system().processes.last();
}

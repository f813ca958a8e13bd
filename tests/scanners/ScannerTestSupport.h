#pragma once

// Small builders the scanner tests and the report-step benchmark share: they
// put registry values, trust answers, processes, windows and signature files
// onto a TestMachine.

#include "TestMachine.h"
#include "platform/RegistryKey.h"
#include "platform/sim/SimMachine.h"
#include "scanners/SignatureStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace scannertest {

// Registry values go through TestMachine::setText and setDword (storage
// paths: "HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\..." names the 32-bit
// branch itself). Values of other types:
inline void setRaw(TestMachine& machine, const QString& keyPath, const QString& name, quint32 type,
                   const QByteArray& data)
{
    machine->registry().setValue(keyPath, name, type, data);
}

inline void trustFile(TestMachine& machine, const QString& windowsPath)
{
    machine->system().trust.insert(windowsPath, win::S_Ok);
}

inline void addProcess(TestMachine& machine, quint32 pid, const QString& imagePath)
{
    machine.addProcess(pid, imagePath).parentPid = 4;
}

inline quintptr addWindow(TestMachine& machine, quint32 pid, const QString& title,
                          const QString& className = QStringLiteral("AdWindowClass"), bool visible = true,
                          qint32 exStyle = 0)
{
    win::sim::SimWindow window;
    window.handle = 0x10000 + quintptr(machine->system().windows.size()) * 4;
    window.visible = visible;
    window.className = className;
    window.title = title;
    window.exStyle = exStyle;
    window.pid = pid;
    machine->system().windows.append(window);
    return window.handle;
}

inline void addService(TestMachine& machine, const QString& name, quint32 type = win::ServiceWin32OwnProcess)
{
    win::sim::SimService& service = machine.addService(name, win::ServiceStopped, win::ServiceDemandStart);
    service.displayName = name + QStringLiteral(" Service");
    service.serviceType = type;
}

// One pattern of adware.json; `detection` holds the lists by their file keys.
inline QJsonObject pattern(const QString& id, const QJsonObject& detection,
                           const QString& category = QStringLiteral("adware"),
                           const QString& riskLevel = QStringLiteral("medium"))
{
    return QJsonObject{{"id", id},
                       {"name", id + QStringLiteral(" Name")},
                       {"name_cn", QString()},
                       {"category", category},
                       {"risk_level", riskLevel},
                       {"description", id + QStringLiteral(" description")},
                       {"removal_notes", QString()},
                       {"detection", detection}};
}

inline void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
}

// Writes adware.json (and whitelist.json when given) into `dir` and loads
// the process-wide store from it.
inline bool loadSignatures(const QTemporaryDir& dir, const QJsonArray& patterns,
                           const QJsonObject& whitelist = QJsonObject())
{
    writeFile(dir.filePath(QStringLiteral("adware.json")),
              QJsonDocument(QJsonObject{{"version", "test"}, {"patterns", patterns}}).toJson());
    if (!whitelist.isEmpty()) {
        writeFile(dir.filePath(QStringLiteral("whitelist.json")),
                  QJsonDocument(QJsonObject{{"whitelist", whitelist}}).toJson());
    }
    return SignatureStore::instance().load(dir.path());
}

inline void unloadSignatures()
{
    SignatureStore::instance().load(QStringLiteral("/nonexistent-signature-folder"));
}

inline QString shippedSignatureFolder()
{
    return QStringLiteral(TESSARO_SOURCE_DIR "/signatures");
}

} // namespace scannertest

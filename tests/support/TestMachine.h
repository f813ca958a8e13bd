#pragma once

#include "platform/sim/SimMachine.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>

// A small simulated Windows machine for one test: a 64-bit Windows 10 home PC
// with an administrator user "Tester", drive C in a temporary folder, and a
// clock that does not sleep for real. It is the current machine for the life
// of the object. Tests change its state through the machine's components and
// assert on what the program did to it.
class TestMachine
{
public:
    // `overrides` replaces whole top-level sections of the default machine.json.
    explicit TestMachine(const QJsonObject& overrides = QJsonObject());
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    win::sim::SimMachine& machine() { return *m_machine; }
    win::sim::SimMachine* operator->() { return m_machine.get(); }
    QString folder() const { return m_dir.path(); }
    QString driveFolder(QChar letter = 'C') const;
    bool loaded() const { return m_error.isEmpty(); }
    QString loadError() const { return m_error; }

    // A real file on the machine's drive (folders made as needed); answers
    // the host path of the file.
    QString addFile(const QString& windowsPath, const QByteArray& content = QByteArray());
    QString addFolder(const QString& windowsPath);
    QString hostPath(const QString& windowsPath) const;

    // One consistent set of version facts: what RtlGetVersion answers and the
    // CurrentVersion values in both registry views (Windows 7 and 8 keep no
    // version DWORDs, only the "CurrentVersion" text).
    void setWindowsVersion(quint32 major, quint32 minor, quint32 build);

    // Registry writes in storage terms ("HKEY_LOCAL_MACHINE\SOFTWARE\...").
    void setText(const QString& keyPath, const QString& name, const QString& text, quint32 type = win::RegSz);
    void setDword(const QString& keyPath, const QString& name, quint32 value);
    QString text(const QString& keyPath, const QString& name) const;
    bool hasValue(const QString& keyPath, const QString& name) const;
    quint32 dword(const QString& keyPath, const QString& name) const;

    // A service, running and started automatically unless told otherwise,
    // and a process of the program at `imagePath` (a full path or a bare file
    // name); each answered for further facts until the next one is added.
    win::sim::SimService& addService(const QString& name, quint32 state = win::ServiceRunning,
                                     quint32 startType = win::ServiceAutoStart);
    win::sim::SimProcess& addProcess(quint32 pid, const QString& imagePath, quint64 workingSetBytes = 0);

    static QJsonObject defaultMachineJson();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<win::sim::SimMachine> m_machine;
    QString m_error;
};

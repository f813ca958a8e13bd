#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace win::sim {

class MachineAutosave;
class SimMachine;

// The running program's hold on its simulated Windows machine: finds the
// machine folder (the TESSARO_MACHINE environment variable, else the folder
// "machine" beside the portable layout), loads it, makes it the current
// machine and saves changes back while the program runs (from a thread of
// its own, see MachineAutosave) and when it ends.
class MachineSession : public QObject
{
    Q_OBJECT

public:
    explicit MachineSession(QObject* parent = nullptr);
    ~MachineSession() override;

    bool open(const QString& applicationDir);
    QString errorMessage() const { return m_error; }
    QString machineFolder() const { return m_folder; }

    static QString locateMachine(const QString& applicationDir);

    // The autosave while the machine is open; for tests.
    const MachineAutosave* autosave() const { return m_autosave.get(); }

private:
    SimMachine* m_machine = nullptr;
    std::unique_ptr<MachineAutosave> m_autosave;
    QString m_folder;
    QString m_error;
};

} // namespace win::sim

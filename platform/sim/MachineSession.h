#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace win::sim {

class SimMachine;

// The running program's hold on its simulated Windows machine: finds the
// machine folder (the TESSARO_MACHINE environment variable, else the folder
// "machine" beside the portable layout), loads it, makes it the current
// machine and saves changes back while the program runs and when it ends.
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

private:
    void saveIfChanged();

    SimMachine* m_machine = nullptr;
    QString m_folder;
    QString m_error;
    QTimer m_autosave;
    quint64 m_savedChanges = 0;
};

} // namespace win::sim

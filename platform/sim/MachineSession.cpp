#include "platform/sim/MachineSession.h"

#include "platform/sim/MachineAutosave.h"
#include "platform/sim/SimMachine.h"

#include <QDir>
#include <QFileInfo>

namespace win::sim {

namespace {

const char* const MachineVariable = "TESSARO_MACHINE";
constexpr int AutosaveIntervalMs = 2000;

} // namespace

MachineSession::MachineSession(QObject* parent) : QObject(parent)
{
}

// Writes what is left before the machine goes.
MachineSession::~MachineSession()
{
    if (!m_machine)
        return;
    m_autosave.reset();
    SimMachine::makeCurrent(nullptr);
    delete m_machine;
}

QString MachineSession::locateMachine(const QString& applicationDir)
{
    const QString named = qEnvironmentVariable(MachineVariable);
    if (!named.isEmpty())
        return QDir(named).absolutePath();
    return QDir::cleanPath(applicationDir + QStringLiteral("/../../machine"));
}

bool MachineSession::open(const QString& applicationDir)
{
    m_folder = locateMachine(applicationDir);
    if (!QFileInfo(m_folder + QStringLiteral("/machine.json")).isFile()) {
        m_error = QStringLiteral("Tessaro runs against a simulated Windows machine, and none was found at %1.\n"
                                 "Point the environment variable %2 at a machine folder (see the README).")
                      .arg(m_folder, QLatin1String(MachineVariable));
        return false;
    }
    auto* machine = new SimMachine;
    if (!machine->load(m_folder, &m_error)) {
        m_error = QStringLiteral("The simulated machine could not be loaded: %1").arg(m_error);
        delete machine;
        return false;
    }
    m_machine = machine;
    SimMachine::makeCurrent(m_machine);
    m_autosave = std::make_unique<MachineAutosave>(*m_machine, AutosaveIntervalMs);
    return true;
}

} // namespace win::sim

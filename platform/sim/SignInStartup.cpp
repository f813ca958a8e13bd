#include "platform/sim/SignInStartup.h"

#include "platform/FileSystem.h"
#include "platform/sim/SimMachine.h"

namespace win::sim {

namespace {

const QString Machine = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\");
const QString User = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\");
const QString Run = QStringLiteral("Microsoft\\Windows\\CurrentVersion\\Run");
const QString RunOnce = QStringLiteral("Microsoft\\Windows\\CurrentVersion\\RunOnce");
const QString PolicyRun = QStringLiteral("Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run");
const QString Approved = QStringLiteral("Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\");
const QString Programs = QStringLiteral("\\Microsoft\\Windows\\Start Menu\\Programs\\");

// The key of a Run place in storage terms, or empty for a folder.
QString runKeyOf(SignInStartup::Place place)
{
    using Place = SignInStartup::Place;
    switch (place) {
    case Place::UserRun: return User + Run;
    case Place::MachineRun: return Machine + Run;
    case Place::MachineRun32: return Machine + QStringLiteral("WOW6432Node\\") + Run;
    case Place::UserRunOnce: return User + RunOnce;
    case Place::MachineRunOnce: return Machine + RunOnce;
    case Place::UserPolicyRun: return User + PolicyRun;
    case Place::MachinePolicyRun: return Machine + PolicyRun;
    default: return QString();
    }
}

// The key Explorer reads a place's switched-off state from, or empty.
QString approvalKeyOf(SignInStartup::Place place)
{
    using Place = SignInStartup::Place;
    switch (place) {
    case Place::UserRun: return User + Approved + QStringLiteral("Run");
    case Place::MachineRun: return Machine + Approved + QStringLiteral("Run");
    case Place::MachineRun32: return Machine + Approved + QStringLiteral("Run32");
    case Place::UserStartupFolder: return User + Approved + QStringLiteral("StartupFolder");
    case Place::CommonStartupFolder: return Machine + Approved + QStringLiteral("StartupFolder");
    default: return QString();
    }
}

} // namespace

bool SignInStartup::wouldStart(Place place, const QString& name) const
{
    m_machine.mutex().lock();
    const bool starts = isPresent(place, name) && !isSwitchedOff(place, name);
    m_machine.mutex().unlock();
    return starts;
}

bool SignInStartup::isPresent(Place place, const QString& name) const
{
    const QString runKey = runKeyOf(place);
    if (!runKey.isEmpty()) {
        quint32 type = RegNone;
        QByteArray data;
        return m_machine.registry().value(runKey, name, &type, &data) && isRegistryTextType(type)
               && !registryText(data).isEmpty();
    }
    const QString folder = place == Place::UserStartupFolder
                               ? environmentVariable(QStringLiteral("APPDATA")) + Programs + QStringLiteral("Startup")
                               : environmentVariable(QStringLiteral("ProgramData")) + Programs + QStringLiteral("StartUp");
    FileEntry entry;
    return name.compare(QStringLiteral("desktop.ini"), Qt::CaseInsensitive) != 0
           && m_machine.files().fileInfo(joinPath(folder, name), &entry) == ErrorSuccess && entry.isFile();
}

bool SignInStartup::isSwitchedOff(Place place, const QString& name) const
{
    const SimVersion& version = m_machine.system().version;
    const bool readsApproval = version.major > 6 || (version.major == 6 && version.minor >= 2);
    const QString approvalKey = approvalKeyOf(place);
    quint32 type = RegNone;
    QByteArray state;
    return readsApproval && !approvalKey.isEmpty() && m_machine.registry().value(approvalKey, name, &type, &state)
           && !state.isEmpty() && (quint8(state.at(0)) & 1);
}

QString SignInStartup::environmentVariable(const QString& name) const
{
    const QHash<QString, QString>& environment = m_machine.system().environment;
    for (auto it = environment.begin(); it != environment.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return QString();
}

} // namespace win::sim

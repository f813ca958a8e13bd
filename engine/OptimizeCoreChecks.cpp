#include "engine/OptimizeCore.h"

#include "engine/OptimizeCoreHelpers.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"
#include "platform/SystemFacts.h"

using optimizecore::bcdeditProgram;

// The environment checks a run makes before its first step.

namespace {

constexpr quint8 NoSystemBattery = 128;

} // namespace

bool OptimizeCore::checkAdminRights()
{
    bool member = false;
    return win::checkAdministratorsMembership(&member) && member;
}

bool OptimizeCore::checkOsVersion()
{
    if (!win::moduleExports(QStringLiteral("ntdll.dll"), "RtlGetVersion"))
        return false;
    win::OsVersionInfo info;
    win::rtlGetVersion(&info);
    m_osMajor = int(info.majorVersion);
    m_osMinor = int(info.minorVersion);
    m_osBuild = int(info.buildNumber);
    return (m_osMajor == 6 && m_osMinor >= 1) || m_osMajor >= 10;
}

void OptimizeCore::detectDomainMembership()
{
    QString name;
    int status = win::NetSetupUnknownStatus;
    if (win::netGetJoinInformation(&name, &status) == win::ErrorSuccess)
        m_isDomainJoined = status == win::NetSetupDomainName;
}

bool OptimizeCore::queryPowerStatus(bool& hasBattery, bool& onBatteryPower, int& batteryPercent)
{
    win::PowerStatus status;
    if (!win::getSystemPowerStatus(&status))
        return false;
    hasBattery = status.batteryFlag != NoSystemBattery;
    onBatteryPower = status.acLineStatus == 0;
    batteryPercent = status.batteryLifePercent > 100 ? -1 : status.batteryLifePercent;
    return true;
}

bool OptimizeCore::detectSystemDrive(QString& drive)
{
    QString directory;
    const quint32 length = win::getSystemDirectory(&directory, 260);
    if (length == 0 || length >= 260)
        return false;
    drive = directory.left(2);
    return true;
}

bool OptimizeCore::detectDualBoot(const QString& drive)
{
    QVector<win::FileEntry> entries;
    win::listDirectory(drive + '\\', &entries);
    int windowsFolders = 0;
    for (const win::FileEntry& entry : entries) {
        const QString name = entry.name.toLower();
        if (entry.isDirectory() && (name.contains(QLatin1String("windows")) || name.contains(QLatin1String("winnt"))))
            ++windowsFolders;
    }
    // A second system on another partition leaves no folder here, but the
    // boot manager lists its loader; its boot menu must stay visible.
    return windowsFolders > 1 || bootManagerListsSeveralWindows();
}

bool OptimizeCore::bootManagerListsSeveralWindows()
{
    const win::ProgramRun run = win::runProgram(bcdeditProgram(), {QStringLiteral("/enum")}, 5000);
    if (!run.finished || run.exitCode != 0)
        return false;
    int loaders = 0;
    const QStringList lines = win::fromLocal8Bit(run.standardOutput).split('\n');
    for (const QString& line : lines) {
        const QString text = line.trimmed().toLower();
        if (text.startsWith(QLatin1String("path")) && text.contains(QLatin1String("winload")))
            ++loaders;
    }
    return loaders > 1;
}

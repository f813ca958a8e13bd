#include "scanners/StartupLocationScanner.h"

#include "common/CommandLineProgram.h"
#include "common/EnvironmentPath.h"
#include "common/FileSignature.h"
#include "common/NativeSystemPath.h"
#include "common/StartupApproval.h"
#include "common/StartupLocation.h"
#include "common/SystemInfo.h"
#include "platform/CaseFold.h"
#include "platform/ComApartment.h"
#include "platform/FileSystem.h"
#include "platform/RegistryIterators.h"
#include "platform/TaskScheduler.h"
#include "scanners/SignatureStore.h"

#include <algorithm>

namespace {

constexpr quint32 ReadAccess = win::KeyRead | win::KeyWow64_64Key;
constexpr quint32 ValueNameChars = 1024;
constexpr quint32 RunDataBytes = 4096;
constexpr quint32 ShellValueBytes = 8192;
constexpr quint32 ShellExtensionLimit = 60;
constexpr int HijackScore = 10;
constexpr int ShellExtensionScore = 40;

QString riskLabelOf(int riskLevel)
{
    switch (riskLevel) {
    case 0:
        return QStringLiteral("🟢 安全");
    case 1:
        return QStringLiteral("🟡 可疑");
    default:
        return QStringLiteral("🔴 高风险");
    }
}

// The kinds of location the program can switch entries off in.
bool canDisableType(int type)
{
    return !StartupLocation::ofFindingType(type).isEmpty();
}

// Paths are compared with one separator: a Startup-folder entry may come
// written with forward slashes.
QString comparableLower(const QString& path)
{
    QString lower = path.toLower();
    lower.replace('/', '\\');
    return lower;
}

} // namespace

void StartupLocationScanner::scanStartupLocations(ScanReportBundle& report) const
{
    PathProbe probe;
    const int version = windowsVersion();
    for (const StartupLocation& location : StartupLocation::all()) {
        if (!location.isFolder())
            scanRunKey(report, probe, location, version);
    }
    scanWinlogon(report);
    scanAppInitDlls(report);
    scanShellExtensions(report);
    for (const StartupLocation& location : StartupLocation::all()) {
        if (location.isFolder())
            scanStartupFolder(report, probe, location, version);
    }
    scanScheduledTasks(report, probe);
}

// An entry whose approval value Windows reads as off is listed as off.
void StartupLocationScanner::scanRunKey(ScanReportBundle& report, PathProbe& probe, const StartupLocation& location,
                                        int windowsVersion) const
{
    win::RegistryKey key;
    if (key.open(location.hive, location.keyPath, ReadAccess) != win::ErrorSuccess)
        return;
    const StartupApproval approval(location, windowsVersion);
    win::RegistryValueIterator values(key, ValueNameChars, RunDataBytes);
    while (values.next()) {
        if (values.type() != win::RegSz && values.type() != win::RegExpandSz)
            continue;
        const QString command = values.text();
        if (!command.isEmpty()) {
            addStartupFinding(report, probe, values.name(), values.name(), command, location.findingLabel,
                              location.findingType)
                .disabled = approval.isOff(values.name());
        }
    }
}

void StartupLocationScanner::scanWinlogon(ScanReportBundle& report) const
{
    win::RegistryKey key;
    if (key.open(win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"), ReadAccess) != win::ErrorSuccess)
        return;
    const QString expected[][2] = {
        {QStringLiteral("Shell"), QStringLiteral("explorer.exe")},
        {QStringLiteral("Userinit"), QStringLiteral("userinit.exe")},
    };
    for (const auto& pair : expected) {
        QString value;
        if (key.readText(pair[0], &value, ShellValueBytes) != win::ErrorSuccess)
            continue;
        value = value.trimmed();
        if (!value.isEmpty() && !value.toLower().contains(pair[1]))
            addHijackFinding(report, pair[0], value, QStringLiteral("Winlogon"), 7);
    }
}

void StartupLocationScanner::scanAppInitDlls(ScanReportBundle& report) const
{
    win::RegistryKey key;
    if (key.open(win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"), ReadAccess) != win::ErrorSuccess)
        return;
    const QString name = QStringLiteral("AppInit_DLLs");
    QString value;
    if (key.readText(name, &value, ShellValueBytes) != win::ErrorSuccess)
        return;
    value = value.trimmed();
    if (!value.isEmpty())
        addHijackFinding(report, name, value, name, 9);
}

void StartupLocationScanner::scanShellExtensions(ScanReportBundle& report) const
{
    win::RegistryKey key;
    if (key.open(win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"), ReadAccess) != win::ErrorSuccess)
        return;
    win::RegistryKeyInfo info;
    if (key.queryInfo(&info) != win::ErrorSuccess || info.valueCount <= ShellExtensionLimit)
        return;
    StartupFinding finding;
    finding.name = QStringLiteral("Shell Extensions");
    finding.command = QStringLiteral("共 %1 个").arg(info.valueCount);
    finding.location = QStringLiteral("Shell Extensions Approved");
    finding.type = 13;
    finding.score = ShellExtensionScore;
    finding.riskLevel = 2;
    finding.riskLabel = riskLabelOf(2);
    report.startupItems.append(finding);
}

// A folder entry is named by its file name with its extension, as Windows
// names its approval value, and scored by the name without it.
void StartupLocationScanner::scanStartupFolder(ScanReportBundle& report, PathProbe& probe,
                                               const StartupLocation& location, int windowsVersion) const
{
    const QString folder = location.folderPath();
    QVector<win::FileEntry> entries;
    if (!win::pathExists(folder) || win::listDirectory(folder, &entries) != win::ErrorSuccess)
        return;
    const StartupApproval approval(location, windowsVersion);
    static const QStringList patterns = {QStringLiteral("*.exe"), QStringLiteral("*.lnk"),
                                         QStringLiteral("*.bat"), QStringLiteral("*.cmd"),
                                         QStringLiteral("*.vbs")};
    for (const win::FileEntry& entry : entries) {
        if (entry.isDirectory() || !win::matchesAnyWildcard(entry.name, patterns))
            continue;
        addStartupFinding(report, probe, entry.name, location.shownName(entry.name), entry.path,
                          location.findingLabel, location.findingType)
            .disabled = approval.isOff(entry.name);
    }
}

void StartupLocationScanner::scanScheduledTasks(ScanReportBundle& report, PathProbe& probe) const
{
    win::ComApartment com(win::ComApartment::Model::Multithreaded);
    if (!com.succeeded())
        return;
    win::TaskService service;
    win::TaskFolder root;
    QVector<win::RegisteredTask> tasks;
    if (win::failed(service.create()) || win::failed(service.connect())
        || win::failed(service.getFolder(QStringLiteral("\\"), &root))
        || win::failed(root.getTasks(true, &tasks)))
        return;
    const QString label = QStringLiteral("计划任务");
    for (const win::RegisteredTask& task : tasks) {
        bool enabled = false;
        win::TaskDefinition definition;
        if (win::failed(task.enabled(&enabled)) || win::failed(task.definition(&definition)))
            continue;
        const bool startsWithWindows = std::any_of(
            definition.triggers.begin(), definition.triggers.end(), [](const win::TaskTrigger& trigger) {
                return trigger.type == win::TaskTriggerLogon || trigger.type == win::TaskTriggerBoot;
            });
        const QString name = task.name();
        if (enabled && startsWithWindows && !name.isEmpty())
            addStartupFinding(report, probe, name, name, label, label, 12);
    }
}

StartupFinding& StartupLocationScanner::addStartupFinding(ScanReportBundle& report, PathProbe& probe,
                                                          const QString& name, const QString& scoredName,
                                                          const QString& command, const QString& location,
                                                          int type) const
{
    StartupFinding finding;
    finding.name = name;
    finding.command = command;
    finding.location = location;
    finding.type = type;
    finding.score = qBound(0, scoreOf(probe, scoredName, command), 100);
    finding.riskLevel = riskLevelForScore(finding.score);
    finding.riskLabel = riskLabelOf(finding.riskLevel);
    finding.canDisable = canDisableType(type);
    report.startupItems.append(finding);
    return report.startupItems.last();
}

void StartupLocationScanner::addHijackFinding(ScanReportBundle& report, const QString& name,
                                              const QString& command, const QString& location,
                                              int type) const
{
    StartupFinding finding;
    finding.name = name;
    finding.command = command;
    finding.location = location;
    finding.type = type;
    finding.score = HijackScore;
    finding.riskLevel = 2;
    finding.hijacked = true;
    finding.riskLabel = riskLabelOf(2);
    report.startupItems.append(finding);
}

// 25 for a valid signature, 25 for a trusted place (a signed program's place
// always counts as trusted), 25 more for the signature or 10 for a trusted
// program that exists, and 25 for a name no signature knows.
int StartupLocationScanner::scoreOf(PathProbe& probe, const QString& name, const QString& command) const
{
    const QString target = CommandLineProgram::of(command, probe);
    const QString expanded = expandEnvironmentPathFor64Bit(target);
    const QString reached = nativeSystemPath(expanded);
    const bool present = !target.isEmpty() && probe.exists(reached);
    const bool isSigned = present && !expanded.contains('%') && hasValidSignature(reached);

    bool trusted = false;
    if (!target.isEmpty()) {
        const QString lower = comparableLower(expanded);
        const bool temporary = lower.contains(QStringLiteral("\\temp\\"))
                               || lower.contains(QStringLiteral("%temp%"))
                               || lower.contains(QStringLiteral("appdata\\local\\temp"));
        trusted = !temporary
                  && (lower.contains(QStringLiteral("\\program files")) || lower.contains(QStringLiteral(":\\windows"))
                      || lower.startsWith(QStringLiteral("c:\\")) || lower.startsWith(QStringLiteral("d:\\"))
                      || isSigned);
    }

    int score = 0;
    if (isSigned)
        score += 50;
    if (trusted)
        score += 25;
    if (!isSigned && trusted && present)
        score += 10;
    if (!isKnownJunkwareName(name))
        score += 25;
    return score;
}

bool StartupLocationScanner::isKnownJunkwareName(const QString& name)
{
    const SignatureStore& store = SignatureStore::instance();
    if (!store.isLoaded())
        return false;
    const QString folded = win::foldCase(name);
    return store.anySignatureHolds(&AdwareSignature::startupNames, folded)
           || store.anySignatureHolds(&AdwareSignature::processNames, folded);
}

int StartupLocationScanner::riskLevelForScore(int score)
{
    if (score >= 80)
        return 0;
    return score >= 50 ? 1 : 2;
}

bool StartupLocationScanner::hasValidSignature(const QString& path)
{
    return ::hasValidSignature(path);
}

QString StartupLocationScanner::extractTargetPath(const QString& command)
{
    return CommandLineProgram::of(command);
}

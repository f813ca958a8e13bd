#include "scanners/StartupLocationScanner.h"

#include "common/EnvironmentPath.h"
#include "common/NativeSystemPath.h"
#include "platform/CaseFold.h"
#include "platform/ComApartment.h"
#include "platform/FileFacts.h"
#include "platform/FileSystem.h"
#include "platform/RegistryIterators.h"
#include "platform/TaskScheduler.h"
#include "scanners/SignatureStore.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr quint32 ReadAccess = win::KeyRead | win::KeyWow64_64Key;
constexpr quint32 ValueNameChars = 1024;
constexpr quint32 RunDataBytes = 4096;
constexpr quint32 ShellValueBytes = 8192;
constexpr quint32 ShellExtensionLimit = 60;
constexpr int HijackScore = 10;
constexpr int ShellExtensionScore = 40;

struct RunLocation
{
    win::Hive hive;
    const char* path;
    const char* label;
    int type;
};

const RunLocation RunLocations[] = {
    {win::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "HKLM Run", 1},
    {win::Hive::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "HKCU Run", 2},
    {win::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "HKLM RunOnce", 3},
    {win::Hive::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "HKCU RunOnce", 4},
    {win::Hive::LocalMachine, "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "WOW64 Run", 5},
    {win::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", "Policies Run(HKLM)", 6},
    {win::Hive::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", "Policies Run(HKCU)", 6},
};

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

bool canDisableType(int type)
{
    return (type >= 1 && type <= 6) || type == 10 || type == 11;
}

// Paths are compared with one separator: a Startup-folder entry may come
// written with forward slashes.
QString comparableLower(const QString& path)
{
    QString lower = path.toLower();
    lower.replace('/', '\\');
    return lower;
}

// Run entries are started by 64-bit Windows, which expands their variables
// with its own environment and sees its own system folder, not this
// program's redirected view.
bool isExistingFile(const QString& path, PathProbe& probe)
{
    const QString expanded = expandEnvironmentPathFor64Bit(path);
    return !expanded.contains('%') && probe.isFile(nativeSystemPath(expanded));
}

bool hasExtension(const QString& path)
{
    const int separator = qMax(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    return path.indexOf('.', separator + 1) >= 0;
}

// A candidate names a program when it is an existing file; without an
// extension Windows tries it with ".exe", so the scanner does the same.
QString existingProgram(const QString& candidate, PathProbe& probe)
{
    if (hasExtension(candidate))
        return isExistingFile(candidate, probe) ? candidate : QString();
    const QString withExe = candidate + QStringLiteral(".exe");
    return isExistingFile(withExe, probe) ? withExe : QString();
}

// An unquoted command with blanks is ambiguous; Windows tries the prefixes
// that end before a blank, shortest first, the whole command last, and runs
// the first that exists: a planted "C:\Program.exe" wins over
// "C:\Program Files\...".
QString firstExistingPrefix(const QString& command, PathProbe& probe)
{
    for (int end = 1; end <= command.size(); ++end) {
        const bool endsWord = end == command.size() || (command.at(end).isSpace() && !command.at(end - 1).isSpace());
        if (!endsWord)
            continue;
        const QString program = existingProgram(command.left(end), probe);
        if (!program.isEmpty())
            return program;
    }
    return QString();
}

// Without a file to go by, the program is the text up to the first program
// extension that ends a word.
QString textUpToProgramExtension(const QString& command)
{
    static const QRegularExpression extension(QStringLiteral("\\.(exe|lnk|bat|cmd)(?=\\s|$)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = extension.match(command);
    return match.hasMatch() ? command.left(match.capturedEnd()) : QString();
}

} // namespace

void StartupLocationScanner::scanStartupLocations(ScanReportBundle& report) const
{
    PathProbe probe;
    scanRunKeys(report, probe);
    scanWinlogon(report);
    scanAppInitDlls(report);
    scanShellExtensions(report);
    scanStartupFolder(report, probe, QStringLiteral("%ALLUSERSPROFILE%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\"),
                      QStringLiteral("Common Startup"), 10);
    scanStartupFolder(report, probe, QStringLiteral("%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\"),
                      QStringLiteral("User Startup"), 11);
    scanScheduledTasks(report, probe);
}

void StartupLocationScanner::scanRunKeys(ScanReportBundle& report, PathProbe& probe) const
{
    for (const RunLocation& location : RunLocations) {
        scanRunKey(report, probe, location.hive, QString::fromLatin1(location.path),
                   QString::fromUtf8(location.label), location.type);
    }
}

void StartupLocationScanner::scanRunKey(ScanReportBundle& report, PathProbe& probe, win::Hive hive, const QString& path,
                                        const QString& label, int type) const
{
    win::RegistryKey key;
    if (key.open(hive, path, ReadAccess) != win::ErrorSuccess)
        return;
    win::RegistryValueIterator values(key, ValueNameChars, RunDataBytes);
    while (values.next()) {
        if (values.type() != win::RegSz && values.type() != win::RegExpandSz)
            continue;
        const QString command = values.text();
        if (!command.isEmpty())
            addStartupFinding(report, probe, values.name(), command, label, type);
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

void StartupLocationScanner::scanStartupFolder(ScanReportBundle& report, PathProbe& probe, const QString& folder,
                                               const QString& label, int type) const
{
    const QString expanded = expandEnvironmentPath(folder);
    QVector<win::FileEntry> entries;
    if (!win::pathExists(expanded) || win::listDirectory(expanded, &entries) != win::ErrorSuccess)
        return;
    static const QStringList patterns = {QStringLiteral("*.exe"), QStringLiteral("*.lnk"),
                                         QStringLiteral("*.bat"), QStringLiteral("*.cmd"),
                                         QStringLiteral("*.vbs")};
    for (const win::FileEntry& entry : entries) {
        if (entry.isDirectory() || !win::matchesAnyWildcard(entry.name, patterns))
            continue;
        const int dot = entry.name.lastIndexOf('.');
        addStartupFinding(report, probe, entry.name.left(dot), entry.path, label, type);
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
            addStartupFinding(report, probe, name, label, label, 12);
    }
}

void StartupLocationScanner::addStartupFinding(ScanReportBundle& report, PathProbe& probe, const QString& name,
                                               const QString& command, const QString& location,
                                               int type) const
{
    StartupFinding finding;
    finding.name = name;
    finding.command = command;
    finding.location = location;
    finding.type = type;
    finding.score = qBound(0, scoreOf(probe, name, command), 100);
    finding.riskLevel = riskLevelForScore(finding.score);
    finding.riskLabel = riskLabelOf(finding.riskLevel);
    finding.canDisable = canDisableType(type);
    report.startupItems.append(finding);
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
    const QString target = resolveTarget(command, probe);
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
    return win::winVerifyTrust(path) == win::S_Ok;
}

QString StartupLocationScanner::extractTargetPath(const QString& command)
{
    PathProbe probe;
    return resolveTarget(command, probe);
}

QString StartupLocationScanner::resolveTarget(const QString& command, PathProbe& probe)
{
    const QString trimmed = command.trimmed();
    if (trimmed.isEmpty())
        return QString();
    if (trimmed.startsWith('"')) {
        const int close = trimmed.indexOf('"', 1);
        if (close >= 1)
            return trimmed.mid(1, close - 1);
    }
    QString program = firstExistingPrefix(trimmed, probe);
    if (program.isEmpty())
        program = textUpToProgramExtension(trimmed);
    if (program.isEmpty())
        program = trimmed.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0);
    return program;
}

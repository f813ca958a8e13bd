#include "scanners/JunkwareDetector.h"

#include "common/EnvironmentPath.h"
#include "common/StartupLocation.h"
#include "common/UninstallRoot.h"
#include "platform/CaseFold.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/RegistryIterators.h"
#include "platform/ServiceControl.h"
#include "scanners/SignatureStore.h"

namespace {

constexpr quint32 ReadAccess = win::KeyRead | win::KeyWow64_64Key;
constexpr quint32 NameChars = 1024;
} // namespace

void JunkwareDetector::scanJunkware(ScanReportBundle& report)
{
    m_storeLoaded = SignatureStore::instance().isLoaded();
    if (!m_storeLoaded)
        return;
    scanInstalledPrograms(report);
    scanRunningProcesses(report);
    scanRunValues(report);
    scanServices(report);
    scanFilePaths(report);
}

void JunkwareDetector::scanInstalledPrograms(ScanReportBundle& report)
{
    const QString dimension = QStringLiteral("已安装程序");
    forEachUninstallEntry([&](const UninstallRoot& root, const QString&, const win::RegistryKey& program) {
        const QString displayName = uninstallEntryText(program, QStringLiteral("DisplayName"));
        if (!matchesAnySignature(displayName, &AdwareSignature::uninstallKeys))
            return;
        // Only a program that matched is worth a look at its folder.
        const QString evidence = residueEvidence(root.expand(uninstallEntryText(program, QStringLiteral("InstallLocation"))));
        reportMatches(report, displayName, &AdwareSignature::uninstallKeys, dimension, evidence);
    });
}

// An uninstall entry whose folder is gone leaves its install location as
// evidence of what the program left behind.
QString JunkwareDetector::residueEvidence(const QString& expanded) const
{
    if (expanded.isEmpty())
        return QString();
    if (win::pathExists(expanded) || m_protectedFolders.refusesRemoving(expanded))
        return QString();
    return expanded;
}

void JunkwareDetector::scanRunningProcesses(ScanReportBundle& report)
{
    QVector<win::ProcessEntry> processes;
    if (win::snapshotProcesses(&processes) != win::ErrorSuccess)
        return;
    const QString dimension = QStringLiteral("运行中进程");
    const SignatureStore& store = SignatureStore::instance();
    for (const win::ProcessEntry& process : processes) {
        if (!store.isProcessWhitelisted(process.exeFile))
            reportMatches(report, process.exeFile, &AdwareSignature::processNames, dimension);
    }
}

void JunkwareDetector::scanRunValues(ScanReportBundle& report)
{
    const QString dimension = QStringLiteral("开机自启");
    // The keys that start programs at every sign-in; a RunOnce value is an
    // installer's step, not a program's autostart.
    for (const StartupLocation& location : StartupLocation::all()) {
        win::RegistryKey key;
        if (location.isFolder() || location.runsOnce
            || key.open(location.hive, location.keyPath, ReadAccess) != win::ErrorSuccess)
            continue;
        // Only the names count here, so a value with oversized data is no
        // reason to pass it over.
        win::RegistryValueIterator values(key, NameChars);
        while (values.next())
            reportMatches(report, values.name(), &AdwareSignature::startupNames, dimension);
    }
}

void JunkwareDetector::scanServices(ScanReportBundle& report)
{
    win::ServiceManagerHandle manager;
    if (manager.open(win::ScManagerConnect | win::ScManagerEnumerateService) != win::ErrorSuccess)
        return;
    const quint32 types = win::ServiceWin32OwnProcess | win::ServiceWin32ShareProcess;
    quint32 bytesNeeded = 0;
    QVector<win::ServiceStatusProcess> services;
    manager.enumServices(types, win::ServiceStateAll, 0, &bytesNeeded, &services);
    if (bytesNeeded == 0
        || manager.enumServices(types, win::ServiceStateAll, bytesNeeded, &bytesNeeded, &services)
               != win::ErrorSuccess)
        return;
    const QString dimension = QStringLiteral("服务");
    for (const win::ServiceStatusProcess& service : services)
        reportMatches(report, service.serviceName, &AdwareSignature::serviceNames, dimension);
}

void JunkwareDetector::scanFilePaths(ScanReportBundle& report)
{
    const QString dimension = QStringLiteral("文件路径");
    const SignatureStore& store = SignatureStore::instance();
    for (const AdwareSignature& sig : store.signatures()) {
        for (const QString& path : sig.filePaths) {
            if (path.trimmed().isEmpty() || store.isPathWhitelisted(path))
                continue;
            const QString expanded = expandEnvironmentPath(path);
            if (m_protectedFolders.refusesRemoving(expanded) || !win::pathExists(expanded))
                continue;
            addJunkwareFinding(report, sig, dimension, expanded);
        }
    }
}

bool JunkwareDetector::matchesAnySignature(const QString& found, QStringList AdwareSignature::*list) const
{
    return SignatureStore::instance().anySignatureHolds(list, win::foldCase(found));
}

void JunkwareDetector::reportMatches(ScanReportBundle& report, const QString& found,
                                     QStringList AdwareSignature::*list, const QString& dimension,
                                     const QString& evidence)
{
    const SignatureStore& store = SignatureStore::instance();
    const QString folded = win::foldCase(found);
    if (!store.anySignatureHolds(list, folded))
        return;
    for (int i = 0; i < store.signatures().size(); ++i) {
        if (store.fragments(i, list).foundIn(folded))
            addJunkwareFinding(report, store.signatures().at(i), dimension, evidence);
    }
}

void JunkwareDetector::addJunkwareFinding(ScanReportBundle& report, const AdwareSignature& sig,
                                          const QString& dimension, const QString& evidence)
{
    if (SignatureStore::instance().isWhitelisted(sig.id))
        return;
    for (JunkwareFinding& existing : report.junkware) {
        if (existing.id != sig.id)
            continue;
        if (!evidence.isEmpty() && !existing.evidence.contains(evidence))
            existing.evidence.append(evidence);
        return;
    }
    JunkwareFinding finding;
    finding.id = sig.id;
    finding.name = sig.name;
    finding.nameCn = sig.nameCn;
    finding.category = sig.category;
    finding.riskLevel = sig.riskLevel;
    finding.dimension = dimension;
    finding.description = sig.description;
    if (!evidence.isEmpty())
        finding.evidence.append(evidence);
    report.junkware.append(finding);
}

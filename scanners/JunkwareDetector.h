#pragma once

#include "common/ScanReportBundle.h"
#include "common/ProtectedFolders.h"

#include <QString>

struct AdwareSignature;

// Looks for known junk and advertising software by the signatures of the
// store, in five kinds of trace: installed programs, running processes, Run
// values, services and files. One record per signature that hit.
class JunkwareDetector
{
public:
    void scanJunkware(ScanReportBundle& report);

private:
    void scanInstalledPrograms(ScanReportBundle& report);
    void scanRunningProcesses(ScanReportBundle& report);
    void scanRunValues(ScanReportBundle& report);
    void scanServices(ScanReportBundle& report);
    void scanFilePaths(ScanReportBundle& report);

    bool matchesAnySignature(const QString& found, QStringList AdwareSignature::*list) const;
    // Every hit of a signature whose list names a fragment of `found`.
    void reportMatches(ScanReportBundle& report, const QString& found,
                       QStringList AdwareSignature::*list, const QString& dimension,
                       const QString& evidence = QString());
    QString residueEvidence(const QString& expandedInstallLocation) const;
    void addJunkwareFinding(ScanReportBundle& report, const AdwareSignature& sig,
                            const QString& dimension, const QString& evidence);

    bool m_storeLoaded = false;
    // Evidence is what the deep optimisation later removes, so only a path
    // the protection rule lets go whole becomes evidence.
    ProtectedFolders m_protectedFolders;
};

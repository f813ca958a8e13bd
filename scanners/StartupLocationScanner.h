#pragma once

#include "common/ScanReportBundle.h"
#include "common/PathProbe.h"

#include <QString>

struct StartupLocation;

// Lists what starts with Windows from thirteen kinds of location, scores each
// ordinary entry from 0 to 100 and reports tampered shell settings as hijacks.
// It only reads the machine.
class StartupLocationScanner
{
public:
    void scanStartupLocations(ScanReportBundle& report) const;

    // The Authenticode test of a file, the one the pop-up scanner asks too.
    static bool hasValidSignature(const QString& path);
    // The program a command line starts, resolved the way Windows resolves it.
    static QString extractTargetPath(const QString& command);
    // 0 safe (80 and more), 1 suspicious (50 to 79), 2 high risk (below 50).
    static int riskLevelForScore(int score);

private:
    void scanRunKey(ScanReportBundle& report, PathProbe& probe, const StartupLocation& location,
                    int windowsVersion) const;
    void scanWinlogon(ScanReportBundle& report) const;
    void scanAppInitDlls(ScanReportBundle& report) const;
    void scanShellExtensions(ScanReportBundle& report) const;
    void scanStartupFolder(ScanReportBundle& report, PathProbe& probe, const StartupLocation& location,
                           int windowsVersion) const;
    void scanScheduledTasks(ScanReportBundle& report, PathProbe& probe) const;

    // Scores one ordinary entry, its name being `scoredName`, and answers its
    // record; the probe remembers what the scan already asked the file system.
    StartupFinding& addStartupFinding(ScanReportBundle& report, PathProbe& probe, const QString& name,
                                      const QString& scoredName, const QString& command,
                                      const QString& location, int type) const;
    void addHijackFinding(ScanReportBundle& report, const QString& name, const QString& command,
                          const QString& location, int type) const;
    int scoreOf(PathProbe& probe, const QString& name, const QString& command) const;
    static bool isKnownJunkwareName(const QString& name);
};

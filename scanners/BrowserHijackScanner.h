#pragma once

#include "common/ScanReportBundle.h"
#include "platform/RegistryKey.h"

#include <QString>
#include <QStringList>

// Inspects the settings through which browsers are commonly hijacked: home
// pages, search engines and their policies, the Firefox home page, the system
// proxy, the hosts file and the number of browser extensions. It only reads.
class BrowserHijackScanner
{
public:
    void scanBrowserHijack(ScanReportBundle& report);

    // The text at the end of a chain of object members of a JSON file on the
    // machine; empty when the file is unreadable, malformed or the chain breaks.
    static QString readJsonPath(const QString& file, const QStringList& keys);
    // GetEnvironmentVariableW with a buffer of 4096 characters; empty when unset.
    static QString environmentVariable(const QString& name);

private:
    void scanChromium(ScanReportBundle& report, const QString& browser, const QString& preferencesFile,
                      const QString& policyKey);
    void scanPolicy(ScanReportBundle& report, const QString& browser, win::Hive hive,
                    const QString& policyKey);
    void scanFirefox(ScanReportBundle& report);
    void scanProxy(ScanReportBundle& report);
    void scanHostsFile(ScanReportBundle& report);
    void scanExtensions(ScanReportBundle& report, const QString& browser, const QString& folder);

    static void addBrowserFinding(ScanReportBundle& report, const QString& browser, const QString& item,
                                  const QString& currentValue, const QString& normalValue,
                                  bool abnormal, const QString& detail);

    QString m_localAppData;
    QString m_roamingAppData;
};

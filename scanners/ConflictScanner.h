#pragma once

#include "common/ScanReportBundle.h"

#include <QString>
#include <QStringList>

// Advice on the software mix of the machine: the antivirus products that are
// switched on, several installed programs of one kind, and installed
// low-quality programs the signature store knows. It only reads.
class ConflictScanner
{
public:
    void scanConflicts(ScanReportBundle& report) const;

    // Display names of the antivirus products that Windows Security Center
    // reports switched on, without duplicates.
    static QStringList antivirusNames();
    // Display names of installed programs, duplicates kept.
    static QStringList installedProgramNames();
    // Parses wmic's table of "displayName" and "productState".
    static QStringList enabledProductsFromTable(const QString& table);

private:
    void addAntivirusFinding(ScanReportBundle& report, const QStringList& products) const;
    // `folded`: the installed names folded by win::foldCase, one for one.
    void addOverlapFindings(ScanReportBundle& report, const QStringList& installed, const QStringList& folded) const;
    void addLowQualityFindings(ScanReportBundle& report, const QStringList& folded) const;
};

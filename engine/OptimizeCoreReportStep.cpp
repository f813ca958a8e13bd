#include "engine/OptimizeCore.h"

#include "common/FileLogger.h"

#include "scanners/BrowserHijackScanner.h"
#include "scanners/ConflictScanner.h"
#include "scanners/JunkwareDetector.h"
#include "scanners/PopupScanner.h"
#include "scanners/SignatureStore.h"
#include "scanners/StartupLocationScanner.h"

#include <QCoreApplication>

// Step 6, last part: the report of what the scanners found.

void OptimizeCore::runPhase1Scan()
{
    m_report = ScanReportBundle();
    m_report.storage = m_storage;
    m_report.uninstallResidueCount = m_uninstallResidueCount;
    SignatureStore& store = SignatureStore::instance();
    if (!store.isLoaded()) {
        store.load(QCoreApplication::applicationDirPath() + QStringLiteral("/signatures"));
        // A damaged signature file must not pass for a clean machine.
        for (const QString& problem : store.problems())
            FileLogger::instance()->error(QStringLiteral("特征库：") + problem);
    }

    emit progressUpdated(6, 96, QStringLiteral("正在深度分析开机自启..."));
    StartupLocationScanner().scanStartupLocations(m_report);
    emit progressUpdated(6, 97, QStringLiteral("正在检测垃圾软件..."));
    JunkwareDetector().scanJunkware(m_report);
    emit progressUpdated(6, 98, QStringLiteral("正在检查浏览器劫持..."));
    BrowserHijackScanner().scanBrowserHijack(m_report);
    emit progressUpdated(6, 98, QStringLiteral("正在分析弹窗进程..."));
    PopupScanner().scanPopups(m_report);
    emit progressUpdated(6, 99, QStringLiteral("正在检查软件冲突..."));
    ConflictScanner().scanConflicts(m_report);

    logReportRecords();
    logError(QStringLiteral("  Phase1扫描汇总: 自启 %1 项 | 垃圾软件 %2 款 | 浏览器劫持 %3 处 | 可疑弹窗 %4 个 | 冲突/建议 %5 条")
                 .arg(m_report.startupItems.size()).arg(m_report.junkware.size()).arg(m_report.browserHijacks.size())
                 .arg(m_report.popups.size()).arg(m_report.conflicts.size()));
}

void OptimizeCore::logReportRecords()
{
    for (const StartupFinding& f : qAsConst(m_report.startupItems)) {
        if (f.riskLevel >= 1 || f.hijacked)
            logError(QStringLiteral("    扫描[自启]: %1 | %2 | 评分%3 | %4")
                         .arg(f.name, f.location, QString::number(f.score), f.riskLabel));
    }
    for (const JunkwareFinding& f : qAsConst(m_report.junkware))
        logError(QStringLiteral("    扫描[垃圾软件]: %1(%2) | 维度:%3 | 风险:%4")
                     .arg(f.nameCn.isEmpty() ? f.name : f.nameCn, f.id, f.dimension, f.riskLevel));
    for (const BrowserFinding& f : qAsConst(m_report.browserHijacks)) {
        if (f.abnormal)
            logError(QStringLiteral("    扫描[浏览器劫持]: %1 | %2 | 当前值:%3").arg(f.browser, f.item, f.currentValue));
    }
    for (const PopupFinding& f : qAsConst(m_report.popups))
        logError(QStringLiteral("    扫描[可疑弹窗]: %1 (PID %2) | %3")
                     .arg(f.processName, QString::number(f.pid), f.reason));
    for (const ConflictFinding& f : qAsConst(m_report.conflicts))
        logError(QStringLiteral("    扫描[冲突/建议]: %1 | %2").arg(f.title, f.advice));
}

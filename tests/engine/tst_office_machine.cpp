#include "ShippedMachineRun.h"
#include "engine/OptimizeCore.h"
#include "platform/FileSystem.h"
#include "platform/sim/SimMachine.h"

#include <QtTest>

using win::sim::SimMachine;

namespace {

constexpr quint64 MB = 1048576;

const QString Profile = QStringLiteral("C:\\Users\\lixia");
const QString Local = Profile + QStringLiteral("\\AppData\\Local");

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}


} // namespace

// The shipped office machine: a clean, typical Chinese Windows 10 office PC
// (Office, Teams, OneDrive, Edge and WebView2, Chrome, a printer's status
// monitor, an input method, Defender alone). One run of the one-click engine;
// its report must warn of nothing that is not there.
class OfficeMachineTest : public QObject
{
    Q_OBJECT

    ShippedMachineRun m_run;

private slots:
    void initTestCase()
    {
        const QString error = m_run.run(QStringLiteral("office"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void runCompletesWithPlausibleCounts()
    {
        QCOMPARE(m_run.errors, 0);
        QCOMPARE(m_run.finishedSignals, 1);
        const int cleanedMB = m_run.counts.at(0).toInt();
        const int freedMemoryMB = m_run.counts.at(1).toInt();
        const int startupItems = m_run.counts.at(4).toInt();
        // Browser, shader, font and delivery caches and the temporary
        // folders of a tidy machine: tens of megabytes, not gigabytes.
        QVERIFY2(cleanedMB >= 50 && cleanedMB < 500, qPrintable(QString::number(cleanedMB)));
        QVERIFY(m_run.counts.at(2).toInt() >= 20);
        const qint64 freedOnDisk = qint64(m_run.machine->files().drive('C')->freeBytes - m_run.freeBefore)
                                   - qint64(m_run.machine->programs().cleanup().freedBytes);
        QVERIFY2(qAbs(freedOnDisk - qint64(cleanedMB) * qint64(MB)) < qint64(2 * MB),
                 qPrintable(QStringLiteral("%1 bytes freed, %2 MB counted").arg(freedOnDisk).arg(cleanedMB)));
        QVERIFY(freedMemoryMB > 1000);
        QCOMPARE(quint64(freedMemoryMB), m_run.machine->system().memory.availableBytes / MB - m_run.availableBefore / MB);
        // Seven Run entries, the Winlogon and Windows keys' sixteen and six
        // texts and the logon trigger of Edge's update task.
        QCOMPARE(startupItems, 30);
        QCOMPARE(m_run.counts.at(3).toInt(), 6 * startupItems);
        QCOMPARE(m_run.report.uninstallResidueCount, 0);
        QCOMPARE(m_run.machine->openHandleCount(), 0);
    }

    // The drive is little more than half full, so Windows Update's downloads
    // stay; what is in use stays; the user's files are never touched.
    void whatMustStayStays()
    {
        QVERIFY(win::pathExists(QStringLiteral("C:\\Windows\\SoftwareDistribution\\Download\\5f1a2c3d4e5b6a7980c1d2e3f4a5b6c7\\Windows10.0-KB5040427-x64.cab")));
        QCOMPARE(filesBelow(Local + QStringLiteral("\\Temp")), QStringList{QStringLiteral("~DF3A7C21B94E0D15.TMP")});
        QCOMPARE(filesBelow(Local + QStringLiteral("\\Microsoft\\Windows\\Explorer")),
                 sorted({QStringLiteral("iconcache_32.db"), QStringLiteral("thumbcache_256.db")}));
        QVERIFY(filesBelow(Local + QStringLiteral("\\Google\\Chrome\\User Data\\Default\\Cache")).isEmpty());
        QVERIFY(win::pathExists(Local + QStringLiteral("\\Google\\Chrome\\User Data\\Default\\History")));
        QCOMPARE(filesBelow(Profile + QStringLiteral("\\Documents")).size(), 3);
        QVERIFY(win::pathExists(Profile + QStringLiteral("\\OneDrive - 华信商贸\\部门共享\\7月排班表.xlsx")));
        for (const char* name : {"WinDefend", "ClickToRunSvc", "Spooler", "WSearch"})
            QVERIFY2(m_run.machine->findService(QLatin1String(name))->state == win::ServiceRunning, name);
        // The virtual printers of Office and Windows keep the print workflow.
        QCOMPARE(m_run.machine->findService(QStringLiteral("PrintWorkflow"))->startType, quint32(win::ServiceDemandStart));
        QCOMPARE(m_run.machine->findService(QStringLiteral("Fax"))->startType, quint32(win::ServiceDisabled));
    }

    // A clean machine: no junk software, no pop-up, no browser hijack, no
    // replaced Windows setting, no low-quality program, one antivirus.
    void reportFindsNothingToWarnOf()
    {
        QVERIFY(m_run.report.junkware.isEmpty());
        QVERIFY(m_run.report.popups.isEmpty());
        for (const BrowserFinding& finding : qAsConst(m_run.report.browserHijacks))
            QVERIFY2(!finding.abnormal, qPrintable(finding.browser + ' ' + finding.item + ' ' + finding.currentValue));
        for (const StartupFinding& finding : qAsConst(m_run.report.startupItems))
            QVERIFY2(!finding.hijacked, qPrintable(finding.name));
        for (const ConflictFinding& finding : qAsConst(m_run.report.conflicts))
            QVERIFY2(finding.category != QLatin1String("pup"), qPrintable(finding.title));
        QCOMPARE(m_run.report.conflicts.first().title, QStringLiteral("检测到杀毒软件"));
        QCOMPARE(m_run.report.conflicts.first().detail, QStringLiteral("Windows Defender"));
    }

    // Every startup entry of the office programs is found where Windows
    // keeps it, and each signed program that is there scores full marks.
    void startupEntriesAreTheOfficeProgramsOwn()
    {
        QMap<QString, QStringList> found;
        QMap<QString, int> scores;
        for (const StartupFinding& finding : qAsConst(m_run.report.startupItems)) {
            found[finding.location] << finding.name;
            scores.insert(finding.name, finding.score);
        }
        for (QStringList& names : found)
            names.sort();
        QMap<QString, QStringList> expected;
        expected["HKLM Run"] = QStringList{"RtkAudUService", "SecurityHealth"};
        expected["HKCU Run"] = QStringList{"MicrosoftEdgeAutoLaunch_5B3F6E1A9C2D4E7F8A0B1C2D3E4F5A6B", "OneDrive",
                                           "com.squirrel.Teams.Teams"};
        expected["WOW64 Run"] = QStringList{"BrStsMon00", "TeamsMachineInstaller"};
        expected["计划任务"] = QStringList{"MicrosoftEdgeUpdateTaskMachineCore{6A2B1F4C-8D3E-4B5A-9C7D-0E1F2A3B4C5D}"};
        QCOMPARE(found, expected);
        for (const char* name : {"RtkAudUService", "SecurityHealth", "OneDrive", "com.squirrel.Teams.Teams",
                                 "MicrosoftEdgeAutoLaunch_5B3F6E1A9C2D4E7F8A0B1C2D3E4F5A6B", "BrStsMon00"})
            QVERIFY2(scores.value(QLatin1String(name)) == 100, name);
    }
};

QTEST_GUILESS_MAIN(OfficeMachineTest)
#include "tst_office_machine.moc"

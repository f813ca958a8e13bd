#include "ScannerTestSupport.h"
#include "scanners/PopupScanner.h"

#include <QtTest>

using namespace scannertest;

namespace {

const QString FromTemp = QStringLiteral("从临时目录运行");
const QString AdTitle = QStringLiteral("标题含广告/推广特征");
const QString Unsigned = QStringLiteral("无有效数字签名");
const QString AdPopPath = "C:\\Program Files\\AdPop\\adpop.exe";

QVector<PopupFinding> scan()
{
    ScanReportBundle report;
    PopupScanner().scanPopups(report);
    return report.popups;
}

} // namespace

class TestPopupScanner : public QObject
{
    Q_OBJECT

private slots:
    void init() { unloadSignatures(); }

    void windowsThatAreNeverExamined_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("exStyle");
        QTest::addColumn<int>("pid");
        QTest::newRow("invisible") << "AdClass" << "Ad" << false << 0 << 500;
        QTest::newRow("tool window") << "AdClass" << "Ad" << true << int(win::WsExToolWindow | win::WsExTopmost) << 500;
        QTest::newRow("desktop") << "Progman" << "Program Manager" << true << 0 << 500;
        QTest::newRow("taskbar") << "Shell_TrayWnd" << "Taskbar" << true << 0 << 500;
        QTest::newRow("worker") << "WorkerW" << "x" << true << 0 << 500;
        QTest::newRow("shell view") << "SHELLDLL_DefView" << "x" << true << 0 << 500;
        QTest::newRow("blank title") << "AdClass" << "   " << true << 0 << 500;
        QTest::newRow("no process") << "AdClass" << "Ad" << true << 0 << 0;
        QTest::newRow("this program") << "AdClass" << "Ad" << true << 0 << 4242;
    }

    void windowsThatAreNeverExamined()
    {
        QFETCH(QString, className);
        QFETCH(QString, title);
        QFETCH(bool, visible);
        QFETCH(int, exStyle);
        QFETCH(int, pid);
        TestMachine machine;
        machine->system().ownPid = 4242;
        machine.addFile(AdPopPath);
        addProcess(machine, 500, AdPopPath);
        addProcess(machine, 4242, AdPopPath);
        addWindow(machine, quint32(pid), title, className, visible, exStyle);
        QVERIFY(scan().isEmpty());
    }

    void programsThatAreNeverReported_data()
    {
        QTest::addColumn<QString>("imagePath");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("signed, in temp, advertising") << "C:\\Users\\Tester\\AppData\\Local\\Temp\\pop.exe" << true;
        QTest::newRow("name starts with win") << "C:\\Tools\\WinPopHelper.exe" << false;
        QTest::newRow("browser") << "C:\\Tools\\chrome_proxy.exe" << false;
        QTest::newRow("messenger") << "C:\\Tools\\QQMusic.exe" << false;
        QTest::newRow("task manager") << "C:\\Tools\\Taskmgr.exe" << false;
        QTest::newRow("whitelisted process") << "C:\\Tools\\TrustedHelper.exe" << false;
        // A 64-bit system program, whose System32 this program sees redirected.
        QTest::newRow("signed system program") << "C:\\Windows\\System32\\mmc.exe" << true;
    }

    void programsThatAreNeverReported()
    {
        QFETCH(QString, imagePath);
        QFETCH(bool, trusted);
        TestMachine machine;
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, {pattern("a", {})},
                               QJsonObject{{"process_names", QJsonArray{"trustedhelper"}}}));
        machine.addFile(imagePath);
        if (trusted)
            trustFile(machine, imagePath);
        addProcess(machine, 600, imagePath);
        addWindow(machine, 600, "广告 领红包");
        QVERIFY(scan().isEmpty());
    }

    void unreadableImageFallsBackToTitle()
    {
        TestMachine machine;
        addProcess(machine, 700, QString());  // its image path cannot be read
        addWindow(machine, 700, "Win a LOTTERY now");
        addWindow(machine, 700, "Plain window");
        addWindow(machine, 701, "优惠券");  // no such process
        const QVector<PopupFinding> found = scan();
        QCOMPARE(found.size(), 2);
        QCOMPARE(found.at(0).reason, AdTitle);
        QCOMPARE(found.at(0).processName, QString());
        QCOMPARE(found.at(1).pid, 701);
    }

    void lastReasonStands()
    {
        TestMachine machine;
        const QString temp = "C:\\Users\\Tester\\AppData\\Local\\Temp\\setup.exe";
        machine.addFile(temp);
        addProcess(machine, 800, temp);
        addWindow(machine, 800, "Setup");
        const QVector<PopupFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().reason, Unsigned);
    }

    void everyWindowOfAnUnsignedProgramUpToThirty()
    {
        TestMachine machine;
        machine.addFile(AdPopPath);
        addProcess(machine, 500, AdPopPath);
        for (int i = 0; i < 35; ++i)
            addWindow(machine, 500, QString("  Offer %1  ").arg(i));
        const QVector<PopupFinding> found = scan();
        QCOMPARE(found.size(), PopupScanner::MaxRecords);
        for (const PopupFinding& finding : found) {
            QCOMPARE(finding.processName, QString("adpop.exe"));
            QCOMPARE(finding.pid, 500);
            QCOMPARE(finding.reason, Unsigned);
            QVERIFY(finding.suspicious);
            QVERIFY(!finding.signatureValid);
        }
        QCOMPARE(found.first().windowTitle, QString("Offer 0"));
        QCOMPARE(found.last().windowTitle, QString("Offer 29"));
        QCOMPARE(machine->openHandleCount(), 0);
    }

    void advertisingTitles()
    {
        QVERIFY(PopupScanner::isAdTitle("弹窗"));
        QVERIFY(PopupScanner::isAdTitle("Big COUPON inside"));
        QVERIFY(PopupScanner::isAdTitle("Sponsored"));
        QVERIFY(!PopupScanner::isAdTitle("Document1 - Editor"));
        QVERIFY(!PopupScanner::isAdTitle(QString()));
    }
};

QTEST_GUILESS_MAIN(TestPopupScanner)
#include "tst_PopupScanner.moc"

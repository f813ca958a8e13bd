// The main window's side of the deep optimisation: the result page's issue
// cards and entry button lead to the page at the right group, skipping goes
// home, the special confirmations and the checks before a run are answered
// from a timer as a person would.
#include "phase2/GroupCard.h"
#include "phase2/OptCatalogue.h"
#include "phase2/Phase2Page.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestMachine.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QtTest>

namespace {

ScanReportBundle reportWithManyGroups()
{
    ScanReportBundle report;
    for (int i = 0; i < 12; ++i) {
        report.startupItems << StartupFinding{QString("Entry%1").arg(i), "C:\\Temp\\e.exe", "HKCU Run", 2, 40, 2,
                                              false, true, QString::fromUtf8("🔴 高风险")};
    }
    report.junkware = {{"adw-1", "HotNews", "", "adware", "high", "", "", {"C:\\ProgramData\\HotNews"}}};
    report.browserHijacks = {{"Chrome", "home", "x", "", true, "d"}};
    report.popups = {{"ads.exe", "t", 1, false, true, "r"}};
    report.conflicts = {{"antivirus", "Two", "a", "b"}};
    return report;
}

void chooseItem(QWidget* dialog, const QString& choice)
{
    auto* input = static_cast<QInputDialog*>(dialog);
    input->setTextValue(choice);
    input->accept();
}

} // namespace

class TestPhase2RunControl : public QObject
{
    Q_OBJECT

private:
    static Phase2Page* page(Velantrix& w) { return w.findChild<Phase2Page*>(); }
    static ResultPage* result(Velantrix& w) { return w.findChild<ResultPage*>(); }
    static QCheckBox* box(Velantrix& w, const QString& itemId)
    {
        return page(w)->findChild<QWidget*>("itemRow_" + itemId)->findChild<QCheckBox*>();
    }
    static void showResults(Velantrix& w, const ScanReportBundle& report)
    {
        w.show();
        result(w)->setPhase2Data(report);
        page(w)->setReport(report);
    }
    static bool cardInView(Velantrix& w, int group)
    {
        auto* area = page(w)->findChild<QScrollArea*>("p2ScrollArea");
        GroupCard* card = page(w)->card(group);
        const QRect inViewport(card->mapTo(area->viewport(), QPoint(0, 0)), card->size());
        return area->viewport()->rect().intersects(inViewport);
    }
    static void execute(Velantrix& w) { page(w)->findChild<QPushButton*>("executeBtn")->click(); }

private slots:
    void issueCardsLeadToTheirGroup_data();
    void issueCardsLeadToTheirGroup();
    void entryButtonOpensThePageAndSkipGoesHome();
    void eventLogLimitIsAskedWhenTicked_data();
    void eventLogLimitIsAskedWhenTicked();
    void emptySelectionIsRefused();
    void printerWarningListsThePrinters_data();
    void printerWarningListsThePrinters();
};

void TestPhase2RunControl::issueCardsLeadToTheirGroup_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<int>("group");
    QTest::newRow("startup entries") << "cardStartup" << OptCatalogue::StartupGroup;
    QTest::newRow("junk software") << "cardAdw" << OptCatalogue::JunkSoftwareGroup;
    QTest::newRow("browser hijacks") << "cardBhj" << OptCatalogue::JunkSoftwareGroup;
    QTest::newRow("pop-ups") << "cardPop" << OptCatalogue::JunkSoftwareGroup;
}

void TestPhase2RunControl::issueCardsLeadToTheirGroup()
{
    QFETCH(QString, card);
    QFETCH(int, group);
    TestMachine machine;
    Velantrix w;
    showResults(w, reportWithManyGroups());
    w.setTheme(0);

    result(w)->findChild<QPushButton*>(card)->click();
    QVERIFY(!result(w)->isVisible());
    QVERIFY(page(w)->isVisible());
    QCOMPARE(page(w)->geometry(), w.findChild<QWidget*>("contentWidget")->rect());
    QVERIFY(page(w)->styleSheet().contains("#080B14"));
    QVERIFY(page(w)->findChild<QScrollArea*>("p2ScrollArea")->verticalScrollBar()->value() > 0);
    QVERIFY(cardInView(w, group));
    QCOMPARE(page(w)->catalogue()[OptCatalogue::StartupGroup].items.size(), 12);
}

void TestPhase2RunControl::entryButtonOpensThePageAndSkipGoesHome()
{
    TestMachine machine;
    Velantrix w;
    showResults(w, reportWithManyGroups());
    result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    QVERIFY(page(w)->isVisible());
    QVERIFY(!result(w)->isVisible());
    QVERIFY(page(w)->styleSheet().contains("#F0F2F8"));
    QCOMPARE(page(w)->findChild<QScrollArea*>("p2ScrollArea")->verticalScrollBar()->value(), 0);

    w.setTheme(1);  // the visible page follows the theme
    QVERIFY(page(w)->styleSheet().contains("#F5EDE0"));

    page(w)->findChild<QPushButton*>("skipBtn")->click();
    QVERIFY(!page(w)->isVisible());
    QVERIFY(!result(w)->isVisible());
    QVERIFY(w.findChild<QPushButton*>("startBtn")->isVisible());
}

void TestPhase2RunControl::eventLogLimitIsAskedWhenTicked_data()
{
    QTest::addColumn<QString>("choice");
    QTest::newRow("1 GB") << "1 GB";
    QTest::newRow("cancelled") << QString();
}

void TestPhase2RunControl::eventLogLimitIsAskedWhenTicked()
{
    QFETCH(QString, choice);
    TestMachine machine;
    Velantrix w;
    showResults(w, ScanReportBundle());
    result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    QStringList choices;
    QString current;
    ModalAnswer answer([&](QWidget* dialog) {
        auto* input = static_cast<QInputDialog*>(dialog);
        choices = input->comboBoxItems();
        current = input->textValue();
        if (choice.isEmpty())
            input->reject();
        else
            chooseItem(dialog, choice);
    });
    box(w, "A2")->setChecked(true);
    QVERIFY(answer.answered);
    QCOMPARE(answer.windowTitle, QString::fromUtf8("事件日志大小限制"));
    QCOMPARE(answer.text, QString::fromUtf8("请选择系统日志的最大大小限制：\n超出此大小的旧日志将被自动清理。"));
    QCOMPARE(choices, QStringList({"128 MB", "256 MB", "512 MB", "1 GB"}));
    QCOMPARE(current, QString("256 MB"));
    QVERIFY(box(w, "A2")->isChecked());  // a cancelled question keeps the tick

    // Unticking asks nothing.
    ModalAnswer none([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    box(w, "A2")->setChecked(false);
    QTest::qWait(100);
    QVERIFY(!none.answered);
}

void TestPhase2RunControl::emptySelectionIsRefused()
{
    TestMachine machine;
    Velantrix w;
    showResults(w, ScanReportBundle());
    result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    ModalAnswer ok([](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click(); });
    execute(w);
    QVERIFY(ok.answered);
    QCOMPARE(ok.windowTitle, QString::fromUtf8("提示"));
    QCOMPARE(ok.text, QString::fromUtf8("请先勾选要执行的优化项。"));
    QVERIFY(w.findChildren<QThread*>().isEmpty());
    QVERIFY(page(w)->isVisible());
}

void TestPhase2RunControl::printerWarningListsThePrinters_data()
{
    QTest::addColumn<QStringList>("printers");
    QTest::addColumn<QString>("list");
    QTest::newRow("two printers, one named like markup")
        << QStringList{"<b>HP LaserJet</b>", "Microsoft Print to PDF"}
        << QString::fromUtf8("• <b>HP LaserJet</b>\n• Microsoft Print to PDF");
    QTest::newRow("none") << QStringList{} << QString::fromUtf8("（未检测到打印机）");
}

void TestPhase2RunControl::printerWarningListsThePrinters()
{
    QFETCH(QStringList, printers);
    QFETCH(QString, list);
    TestMachine machine;
    for (const QString& name : printers)
        machine->system().printers << win::sim::SimPrinter{name, false, name, QString()};
    Velantrix w;
    showResults(w, ScanReportBundle());
    result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    box(w, "C13")->setChecked(true);
    box(w, "C9")->setChecked(true);

    Qt::TextFormat format = Qt::AutoText;
    ModalAnswer no([&](QWidget* box) {
        format = static_cast<QMessageBox*>(box)->textFormat();
        static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    execute(w);
    QVERIFY(no.answered);
    QCOMPARE(no.windowTitle, QString::fromUtf8("打印后台服务"));
    QCOMPARE(no.text, QString::fromUtf8("检测到您安装了以下打印机：\n") + list
                          + QString::fromUtf8("\n\n停用打印后台服务后，这些打印功能将不可用（打印到PDF、物理打印等）。\n确定停用吗？"));
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(w.findChildren<QThread*>().isEmpty());  // no item runs, not even the other ticked one
    QVERIFY(page(w)->isVisible());
}

QTEST_MAIN(TestPhase2RunControl)
#include "tst_Phase2RunControl.moc"

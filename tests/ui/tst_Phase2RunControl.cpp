// The main window's side of the deep optimisation: the result page's issue
// cards and entry button lead to the page at the right group, skipping goes
// home, the special confirmations and the checks before a run are answered
// from a timer as a person would, a whole run goes from the page to the
// summary and the thanks page, and no one-click run starts beside it.
#include "phase2/GroupCard.h"
#include "phase2/OptCatalogue.h"
#include "phase2/Phase2Page.h"
#include "phase2/Phase2ProgressDialog.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestMachine.h"
#include "ui/EulaDialog.h"
#include "ui/FeedbackPage.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QScrollBar>
#include <QThread>
#include <QJsonArray>
#include <QtTest>

#include <algorithm>
#include <functional>

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

void answer(QWidget* dialog, QMessageBox::StandardButton button)
{
    static_cast<QMessageBox*>(dialog)->button(button)->click();
}

QJsonObject restorePoints(const QList<int>& sequences)
{
    QJsonArray points;
    for (int sequence : sequences) {
        points.append(QJsonObject{{"sequenceNumber", sequence},
                                  {"description", QString("Point %1").arg(sequence)},
                                  {"creationTime", QString("202611%1093012.123456-000").arg(sequence, 2, 10, QChar('0'))}});
    }
    return QJsonObject{{"restorePoints", points}};
}

void addService(TestMachine& machine, const QString& name)
{
    win::sim::SimService service;
    service.name = name;
    service.startType = 2;  // automatic
    service.state = win::ServiceRunning;
    machine->system().services << service;
}

quint32 startType(TestMachine& machine, const QString& name)
{
    return machine->findService(name)->startType;
}

QList<int> restorePointsLeft(TestMachine& machine)
{
    QList<int> left;
    for (const win::sim::RestorePoint& point : machine->programs().restorePoints())
        left << int(point.sequenceNumber);
    std::sort(left.begin(), left.end());
    return left;
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
    // A box's buttons stay on the screen.
    static bool fitsTheScreen(QWidget* box) { return box->height() <= box->screen()->availableGeometry().height(); }
    static void execute(Velantrix& w) { page(w)->findChild<QPushButton*>("executeBtn")->click(); }
    // The thanks page is the feedback page without a service card number.
    static FeedbackPage* thanksPage(Velantrix& w)
    {
        for (FeedbackPage* feedback : w.findChildren<FeedbackPage*>())
            if (!feedback->findChild<QLabel*>("cardNo"))
                return feedback;
        return nullptr;
    }
    static Phase2ProgressDialog* progressDialog(Velantrix& w) { return w.findChild<Phase2ProgressDialog*>(); }
    static QString status(Velantrix& w) { return progressDialog(w)->findChild<QLabel*>("statusLabel")->text(); }
    static bool threadAlive(Velantrix& w)
    {
        for (QThread* thread : w.findChildren<QThread*>())
            if (thread->isRunning())
                return true;
        return false;
    }
    static void openPage(Velantrix& w)
    {
        showResults(w, ScanReportBundle());
        result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    }
    // Ticks one item whose question is answered with `reply`.
    static void tickAnswering(Velantrix& w, const QString& itemId, const std::function<void(QWidget*)>& reply)
    {
        ModalAnswer question(reply);
        box(w, itemId)->setChecked(true);
        QVERIFY(question.answered);
    }

private slots:
    void issueCardsLeadToTheirGroup_data();
    void issueCardsLeadToTheirGroup();
    void entryButtonOpensThePageAndSkipGoesHome();
    void keyboardStaysOnThePage_data();
    void keyboardStaysOnThePage();
    void eventLogLimitIsAskedWhenTicked_data();
    void eventLogLimitIsAskedWhenTicked();
    void emptySelectionIsRefused();
    void printerWarningListsThePrinters_data();
    void printerWarningListsThePrinters();
    void wholeRunFromThePageToTheThanksPage_data();
    void wholeRunFromThePageToTheThanksPage();
    void noRestorePointNothingToKeep();
    void longSummaryKeepsTheBoxOnTheScreen();
    void oneClickRunWaitsForTheDeepOptimisation();
    void closingDuringTheDeepOptimisationWaitsForIt();
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

void TestPhase2RunControl::keyboardStaysOnThePage_data()
{
    QTest::addColumn<QString>("button");  // on the result page
    QTest::addColumn<QString>("reachable");
    QTest::addColumn<QStringList>("covered");
    QTest::newRow("deep optimisation over the home screen")
        << "phase2EntryBtn" << "executeBtn"
        << QStringList{"startBtn", "gameModeBtn", "elderModeBtn", "proModeBtn", "netFixBtn", "runtimeBtn"};
    QTest::newRow("thanks over the result page")
        << "helpfulBtn" << "secondaryBtn" << QStringList{"startBtn", "finishBtn", "phase2EntryBtn", "averageBtn"};
}

// The buttons a page lies over are out of the keyboard's reach: Tab never
// lands on them, and a key on the start button starts no one-click run.
void TestPhase2RunControl::keyboardStaysOnThePage()
{
    QFETCH(QString, button);
    QFETCH(QString, reachable);
    QFETCH(QStringList, covered);
    TestMachine machine;
    Velantrix w;
    showResults(w, ScanReportBundle());
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* opener = result(w)->findChild<QPushButton*>(button);
    opener->setFocus();
    QTest::keyClick(opener, Qt::Key_Space);
    QWidget* shown = QApplication::focusWidget();
    QVERIFY(shown == page(w) || shown == thanksPage(w));  // the page took the keyboard

    QSet<QString> reached;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    QVERIFY(reached.contains(reachable));
    for (const QString& name : covered)
        QVERIFY2(!reached.contains(name), qPrintable(name));

    QTest::keyClick(w.findChild<QPushButton*>("startBtn"), Qt::Key_Space);
    QVERIFY(w.findChildren<QThread*>().isEmpty());
    QVERIFY(shown->isVisible());
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
    QTest::addColumn<QString>("details");  // behind the box's details button
    QTest::newRow("two printers, one named like markup")
        << QStringList{"<b>HP LaserJet</b>", "Microsoft Print to PDF"}
        << QString::fromUtf8("• <b>HP LaserJet</b>\n• Microsoft Print to PDF") << QString();
    QTest::newRow("none") << QStringList{} << QString::fromUtf8("（未检测到打印机）") << QString();
    QStringList many;
    QStringList lines;
    for (int i = 0; i < 200; ++i) {
        many << QString("Printer %1").arg(i);
        lines << QString::fromUtf8("• Printer %1").arg(i);
    }
    QTest::newRow("two hundred: the first ones, all behind the details")
        << many << QStringList(lines.mid(0, 15)).join('\n') + QString::fromUtf8("\n……") << lines.join('\n');
}

void TestPhase2RunControl::printerWarningListsThePrinters()
{
    QFETCH(QStringList, printers);
    QFETCH(QString, list);
    QFETCH(QString, details);
    TestMachine machine;
    for (const QString& name : printers)
        machine->system().printers << win::sim::SimPrinter{name, false, name, QString()};
    Velantrix w;
    showResults(w, ScanReportBundle());
    result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    box(w, "C13")->setChecked(true);
    box(w, "C9")->setChecked(true);

    Qt::TextFormat format = Qt::AutoText;
    QString shownDetails;
    bool fits = false;
    ModalAnswer no([&](QWidget* box) {
        format = static_cast<QMessageBox*>(box)->textFormat();
        shownDetails = static_cast<QMessageBox*>(box)->detailedText();
        fits = fitsTheScreen(box);
        static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    execute(w);
    QVERIFY(no.answered);
    QCOMPARE(no.windowTitle, QString::fromUtf8("打印后台服务"));
    QCOMPARE(no.text, QString::fromUtf8("检测到您安装了以下打印机：\n") + list
                          + QString::fromUtf8("\n\n停用打印后台服务后，这些打印功能将不可用（打印到PDF、物理打印等）。\n确定停用吗？"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shownDetails, details);
    QVERIFY(fits);
    QVERIFY(w.findChildren<QThread*>().isEmpty());  // no item runs, not even the other ticked one
    QVERIFY(page(w)->isVisible());
}

void TestPhase2RunControl::wholeRunFromThePageToTheThanksPage_data()
{
    QTest::addColumn<QString>("eventLogChoice");  // empty: the question is cancelled
    QTest::addColumn<int>("keepPoints");           // 0: the question is cancelled
    QTest::addColumn<quint64>("logBytes");
    QTest::addColumn<QList<int>>("pointsLeft");
    QTest::newRow("chosen") << "512 MB" << 2 << quint64(512) * 1024 * 1024 << QList<int>{12, 30};
    QTest::newRow("cancelled: 256 MB and one point") << "" << 0 << quint64(256) * 1024 * 1024 << QList<int>{30};
}

void TestPhase2RunControl::wholeRunFromThePageToTheThanksPage()
{
    QFETCH(QString, eventLogChoice);
    QFETCH(int, keepPoints);
    QFETCH(quint64, logBytes);
    QFETCH(QList<int>, pointsLeft);
    TestMachine machine(restorePoints({12, 5, 30, 7}));
    addService(machine, "TrkWks");
    addService(machine, "Spooler");
    machine->system().printers << win::sim::SimPrinter{"HP LaserJet", false, "HP LaserJet", QString()};
    Velantrix w;
    openPage(w);

    tickAnswering(w, "A2", [&](QWidget* dialog) {
        if (eventLogChoice.isEmpty())
            static_cast<QDialog*>(dialog)->reject();
        else
            chooseItem(dialog, eventLogChoice);
    });
    QString pointsQuestion;
    tickAnswering(w, "H2", [&](QWidget* dialog) {
        auto* input = static_cast<QInputDialog*>(dialog);
        pointsQuestion = input->labelText();
        QCOMPARE(input->intValue(), 1);
        QCOMPARE(input->intMaximum(), 5);
        if (keepPoints == 0) {
            input->reject();
        } else {
            input->setIntValue(keepPoints);
            input->accept();
        }
    });
    QCOMPARE(pointsQuestion, QString::fromUtf8("检测到 4 个还原点。\n请选择要保留的还原点数量（1-5）：\n建议保留最近 1-3 个。"));
    box(w, "C13")->setChecked(true);
    box(w, "C9")->setChecked(true);

    ModalAnswer yes([](QWidget* box) { answer(box, QMessageBox::Yes); });
    execute(w);
    QVERIFY(yes.answered);
    QVERIFY(!page(w)->isVisible());
    QVERIFY(progressDialog(w)->isVisible());
    QCOMPARE(progressDialog(w)->findChild<QProgressBar*>()->value(), 0);
    QCOMPARE(status(w), QString::fromUtf8("准备执行..."));

    Qt::TextFormat format = Qt::AutoText;
    ModalAnswer ok([&](QWidget* box) {
        format = static_cast<QMessageBox*>(box)->textFormat();
        answer(box, QMessageBox::Ok);
    }, "QMessageBox");
    QTRY_VERIFY_WITH_TIMEOUT(ok.answered, 20000);
    QCOMPARE(ok.windowTitle, QString::fromUtf8("优化完成"));
    QVERIFY(ok.text.startsWith(QString::fromUtf8("您的电脑已经完成优化！\n\n本次共执行 4 项优化：\n")));
    QCOMPARE(format, Qt::PlainText);
    QTRY_VERIFY(thanksPage(w)->isVisible());
    QVERIFY(!result(w)->isVisible());
    QVERIFY(!progressDialog(w)->isVisible());
    QCOMPARE(progressDialog(w)->findChild<QProgressBar*>()->value(), 100);
    QTRY_VERIFY(w.findChildren<QThread*>().isEmpty());

    QCOMPARE(startType(machine, "TrkWks"), 3u);
    QCOMPARE(startType(machine, "Spooler"), 3u);
    for (const char* log : {"Application", "System", "Security"})
        QCOMPARE(quint64(machine->programs().findEventLog(log)->maxSizeBytes), logBytes);
    QCOMPARE(restorePointsLeft(machine), pointsLeft);

    // A second run reuses the dialog and starts again from nothing.
    openPage(w);
    page(w)->findChild<QPushButton*>("restoreDefaultBtn")->click();  // the fixed items keep their ticks
    box(w, "E1")->setChecked(true);
    execute(w);
    QCOMPARE(w.findChildren<Phase2ProgressDialog*>().size(), 1);
    QCOMPARE(status(w), QString::fromUtf8("准备执行..."));
    ModalAnswer secondOk([](QWidget* box) { answer(box, QMessageBox::Ok); }, "QMessageBox");
    QTRY_VERIFY_WITH_TIMEOUT(secondOk.answered, 20000);
    QCOMPARE(machine->programs().tcpGlobals().value("autotuninglevel"), QString("normal"));
}

void TestPhase2RunControl::noRestorePointNothingToKeep()
{
    TestMachine machine;
    Velantrix w;
    openPage(w);
    ModalAnswer ok([](QWidget* box) { answer(box, QMessageBox::Ok); });
    box(w, "H2")->setChecked(true);
    QVERIFY(ok.answered);
    QCOMPARE(ok.dialogClass, QString("QMessageBox"));
    QCOMPARE(ok.windowTitle, QString::fromUtf8("系统还原点清理"));
    QCOMPARE(ok.text, QString::fromUtf8("未检测到系统还原点，无需清理。"));
}

// Each item of a run has its line in the summary: a run of forty shows the
// first lines and keeps every one behind the details button.
void TestPhase2RunControl::longSummaryKeepsTheBoxOnTheScreen()
{
    TestMachine machine;
    ScanReportBundle report;
    for (int i = 0; i < 40; ++i)
        report.startupItems << StartupFinding{QString("Entry%1").arg(i), "C:\\e.exe", "HKCU Run", 2, 40, 2, false, true, "x"};
    Velantrix w;
    showResults(w, report);
    result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    for (int i = 0; i < 40; ++i)
        box(w, QString("ST:2:Entry%1").arg(i))->setChecked(true);

    QString details;
    bool fits = false;
    ModalAnswer ok([&](QWidget* box) {
        details = static_cast<QMessageBox*>(box)->detailedText();
        fits = fitsTheScreen(box);
        answer(box, QMessageBox::Ok);
    }, "QMessageBox");
    execute(w);
    QTRY_VERIFY_WITH_TIMEOUT(ok.answered, 20000);
    const QStringList summary = details.split('\n');
    QCOMPARE(summary.size(), 41);
    QCOMPARE(ok.text, QString::fromUtf8("您的电脑已经完成优化！\n\n") + QStringList(summary.mid(0, 15)).join('\n')
                          + QString::fromUtf8("\n……"));
    QVERIFY(fits);
    QTRY_VERIFY(w.findChildren<QThread*>().isEmpty());
}

// The machine is held, so the deep optimisation waits on its first call for
// as long as the test needs it to be running.
void TestPhase2RunControl::oneClickRunWaitsForTheDeepOptimisation()
{
    TestMachine machine;
    addService(machine, "TrkWks");
    QFile flag(EulaDialog::flagFilePath());
    QVERIFY(flag.open(QIODevice::WriteOnly));
    flag.close();
    Velantrix w;
    openPage(w);
    box(w, "C13")->setChecked(true);
    machine->mutex().lock();
    execute(w);
    QVERIFY(threadAlive(w));
    progressDialog(w)->findChild<QPushButton*>("closeBtn")->click();
    QVERIFY(!progressDialog(w)->isVisible());

    QPushButton* start = w.findChild<QPushButton*>("startBtn");
    QVERIFY(start->isVisible());  // the home screen lies open beneath
    w.setTheme(0);
    start->click();
    QTest::keyClick(start, Qt::Key_Space);
    QCOMPARE(w.findChildren<QThread*>().size(), 1);
    QVERIFY(progressDialog(w)->isVisible());  // the running deep optimisation shows itself again, in the theme now
    QVERIFY(progressDialog(w)->styleSheet().contains("#141923"));
    machine->mutex().unlock();

    ModalAnswer ok([](QWidget* box) { answer(box, QMessageBox::Ok); }, "QMessageBox");
    QTRY_VERIFY_WITH_TIMEOUT(ok.answered, 20000);
    QCOMPARE(startType(machine, "TrkWks"), 3u);
    QTRY_VERIFY(w.findChildren<QThread*>().isEmpty());
    QFile::remove(EulaDialog::flagFilePath());
}

void TestPhase2RunControl::closingDuringTheDeepOptimisationWaitsForIt()
{
    TestMachine machine;
    addService(machine, "TrkWks");
    Velantrix w;
    openPage(w);
    box(w, "C13")->setChecked(true);
    machine->mutex().lock();
    execute(w);
    QThread* worker = w.findChild<QThread*>();
    QVERIFY(worker && worker->isRunning());
    QSignalSpy ended(worker, &QThread::finished);

    w.close();
    QVERIFY(w.isHidden());
    QVERIFY(!progressDialog(w)->isVisible());
    QVERIFY(worker->isRunning());
    machine->mutex().unlock();

    // The program's main runs this loop; it must end once the run has, with
    // no summary box left behind.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(20000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(startType(machine, "TrkWks"), 3u);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestPhase2RunControl)
#include "tst_Phase2RunControl.moc"

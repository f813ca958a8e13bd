// The main window's side of the deep optimisation: the result page's issue
// cards and entry button lead to the page at the right group and take the
// keyboard with them, skipping goes home, the questions asked when an item is
// ticked and the checks before a run are answered from a timer as a person
// would, a whole run goes from the page to the summary and the thanks page,
// and no one-click run starts beside it.
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
#include <QFile>
#include <QInputDialog>
#include <QJsonArray>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

StartupFinding startupFinding(const QString& name)
{
    return {name, "C:\\Temp\\e.exe", "HKCU Run", 2, 40, 2, false, true, QString::fromUtf8("🔴 高风险")};
}

ScanReportBundle reportWithManyGroups()
{
    ScanReportBundle report;
    for (int i = 0; i < 12; ++i)
        report.startupItems << startupFinding(QString("Entry%1").arg(i));
    report.junkware = {{"adw-1", "HotNews", "", "adware", "high", "", "", {"C:\\ProgramData\\HotNews"}}};
    report.browserHijacks = {{"Chrome", "home", "x", "", true, "d"}};
    report.popups = {{"ads.exe", "t", 1, false, true, "r"}};
    report.conflicts = {{"antivirus", "Two", "a", "b"}};
    return report;
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
                                  {"creationTime", QString("202611%1").arg(sequence, 2, 10, QChar('0')) + "093012.123456-000"}});
    }
    return QJsonObject{{"restorePoints", points}};
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

// What a question asked the user offers, in one line.
QString offered(QWidget* dialog)
{
    auto* input = qobject_cast<QInputDialog*>(dialog);
    if (!input)
        return "box";
    if (input->inputMode() == QInputDialog::IntInput)
        return QString("%1 in %2..%3").arg(input->intValue()).arg(input->intMinimum()).arg(input->intMaximum());
    return input->comboBoxItems().join(", ") + "; " + input->textValue();
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
        return page(w)->findChild<QCheckBox*>("itemRow_" + itemId);
    }
    static void showResults(Velantrix& w, const ScanReportBundle& report)
    {
        w.show();
        result(w)->setPhase2Data(report);
        page(w)->setReport(report);
    }
    static void openPage(Velantrix& w, const ScanReportBundle& report = ScanReportBundle())
    {
        showResults(w, report);
        result(w)->findChild<QPushButton*>("phase2EntryBtn")->click();
    }
    static void execute(Velantrix& w) { page(w)->findChild<QPushButton*>("executeBtn")->click(); }
    // A box's buttons stay on the screen.
    static bool fitsTheScreen(QWidget* box) { return box->height() <= box->screen()->availableGeometry().height(); }
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
    // Ticks one item whose question is answered with `reply`.
    static void tickAnswering(Velantrix& w, const QString& itemId, const std::function<void(QWidget*)>& reply)
    {
        ModalAnswer question(reply);
        box(w, itemId)->setChecked(true);
        QVERIFY(question.answered);
    }
    // Starts a run of "C13" on a held machine, so that the run waits on its
    // first call for as long as the test needs it to be running.
    static QThread* startHeldRun(Velantrix& w, TestMachine& machine)
    {
        machine.addService("TrkWks");
        openPage(w);
        box(w, "C13")->setChecked(true);
        machine->mutex().lock();
        execute(w);
        QThread* worker = w.findChild<QThread*>();
        return worker && worker->isRunning() ? worker : nullptr;
    }

private slots:
    void pageOpensFromTheResultPage_data();
    void pageOpensFromTheResultPage();
    void tickingAsks_data();
    void tickingAsks();
    void runRefused_data();
    void runRefused();
    void wholeRunFromThePageToTheThanksPage_data();
    void wholeRunFromThePageToTheThanksPage();
    void longNamesKeepTheBoxesOnTheScreen();
    void oneClickRunWaitsForTheDeepOptimisation();
    void closingDuringTheDeepOptimisationWaitsForIt();
};

void TestPhase2RunControl::pageOpensFromTheResultPage_data()
{
    QTest::addColumn<QString>("button");  // on the result page, pressed with the keyboard
    QTest::addColumn<int>("group");       // -1: the page's top; -2: the thanks page instead
    QTest::newRow("startup entries") << "cardStartup" << OptCatalogue::StartupGroup;
    QTest::newRow("junk software") << "cardAdw" << OptCatalogue::JunkSoftwareGroup;
    QTest::newRow("browser hijacks") << "cardBhj" << OptCatalogue::JunkSoftwareGroup;
    QTest::newRow("pop-ups") << "cardPop" << OptCatalogue::JunkSoftwareGroup;
    QTest::newRow("entry button") << "phase2EntryBtn" << -1;
    QTest::newRow("thanks over the result page") << "helpfulBtn" << -2;
}

// The page opens in the window's theme at its card's group and takes the
// keyboard: Tab never reaches the buttons it lies over, and a key on the
// start button starts no one-click run. The page follows a theme change
// while it shows, and skipping goes home.
void TestPhase2RunControl::pageOpensFromTheResultPage()
{
    QFETCH(QString, button);
    QFETCH(int, group);
    TestMachine machine;
    Velantrix w;
    showResults(w, reportWithManyGroups());
    w.setTheme(0);
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* opener = result(w)->findChild<QPushButton*>(button);
    opener->setFocus();
    QTest::keyClick(opener, Qt::Key_Space);
    QWidget* shown = group == -2 ? static_cast<QWidget*>(thanksPage(w)) : page(w);
    QVERIFY(shown->isVisible());
    QVERIFY(shown->isAncestorOf(QApplication::focusWidget()));

    if (group != -2) {
        QVERIFY(!result(w)->isVisible());
        QCOMPARE(page(w)->geometry(), w.findChild<QWidget*>("contentWidget")->rect());
        QVERIFY(page(w)->styleSheet().contains("#080B14"));
        auto* area = page(w)->findChild<QScrollArea*>("p2ScrollArea");
        QWidget* header = page(w)->card(std::max(group, 0))->findChild<QWidget*>("groupHeader");
        QCOMPARE(area->verticalScrollBar()->value() > 0, group > 0);
        QVERIFY(area->viewport()->rect().contains(QRect(header->mapTo(area->viewport(), QPoint(0, 0)), header->size())));
    }

    QSet<QString> reached;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    QVERIFY(reached.contains(group == -2 ? "secondaryBtn" : "executeBtn"));
    for (const char* covered : {"startBtn", "gameModeBtn", "elderModeBtn", "proModeBtn", "netFixBtn", "runtimeBtn",
                                "finishBtn", "phase2EntryBtn", "averageBtn"})
        QVERIFY2(!reached.contains(covered), covered);
    QTest::keyClick(w.findChild<QPushButton*>("startBtn"), Qt::Key_Space);
    QVERIFY(w.findChildren<QThread*>().isEmpty());
    if (group == -2)
        return;
    w.setTheme(1);
    QVERIFY(page(w)->styleSheet().contains("#F5EDE0"));

    page(w)->findChild<QPushButton*>("skipBtn")->click();
    QVERIFY(!page(w)->isVisible());
    QVERIFY(!result(w)->isVisible());
    QVERIFY(w.findChild<QPushButton*>("startBtn")->isEnabled());
}

void TestPhase2RunControl::tickingAsks_data()
{
    QTest::addColumn<QString>("itemId");
    QTest::addColumn<QList<int>>("points");  // restore points on the machine; -1 first: no wmic, -2: one unreadable
    QTest::addColumn<QString>("title");      // empty: nothing is asked
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("offered");
    const QString sizes = "128 MB, 256 MB, 512 MB, 1 GB; 256 MB";
    QTest::newRow("event-log limit") << "A2" << QList<int>{} << QString::fromUtf8("事件日志大小限制")
                                     << QString::fromUtf8("请选择系统日志的最大大小限制：\n超出此大小的旧日志将被自动清理。")
                                     << sizes;
    QTest::newRow("restore points to keep")
        << "H2" << QList<int>{12, 5, 30, 7} << QString::fromUtf8("系统还原点清理")
        << QString::fromUtf8("检测到 4 个还原点。\n请选择要保留的还原点数量（1-5）：\n建议保留最近 1-3 个。") << "1 in 1..5";
    QTest::newRow("no restore point") << "H2" << QList<int>{} << QString::fromUtf8("系统还原点清理")
                                      << QString::fromUtf8("未检测到系统还原点，无需清理。") << "box";
    // Without wmic (a fresh Windows 11 24H2) the points cannot be listed:
    // the box says so instead of telling of none.
    QTest::newRow("restore points unreadable") << "H2" << QList<int>{-1, 12, 5} << QString::fromUtf8("系统还原点清理")
                                               << QString::fromUtf8("未能读取系统还原点列表，无法清理。") << "box";
    QTest::newRow("restore points not all readable") << "H2" << QList<int>{-2, 12, 5} << QString::fromUtf8("系统还原点清理")
                                                     << QString::fromUtf8("未能完整读取系统还原点列表，无法清理。") << "box";
    QTest::newRow("printer spooler: asked at execution") << "C9" << QList<int>{} << QString() << QString()
                                                         << QString();
}

// A question cancelled, or one that could not be asked, leaves the item
// unticked, and unticking asks nothing. What the answers do to a run is seen
// in the whole run below.
void TestPhase2RunControl::tickingAsks()
{
    QFETCH(QString, itemId);
    QFETCH(QList<int>, points);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, offered);
    const bool marked = !points.isEmpty() && points.first() < 0;
    TestMachine machine(restorePoints(points.mid(marked ? 1 : 0)));
    if (points.startsWith(-1))
        machine->programs().setAvailability("wmic", win::sim::ProgramAvailability::Missing);
    if (points.startsWith(-2))
        machine->programs().restorePoints().first().creationTime.clear();
    Velantrix w;
    openPage(w);
    QString shown;
    ModalAnswer question([&](QWidget* dialog) {
        shown = ::offered(dialog);
        static_cast<QDialog*>(dialog)->reject();
    });
    box(w, itemId)->setChecked(true);
    QTest::qWait(100);
    QCOMPARE(question.answered, !title.isEmpty());
    QCOMPARE(question.windowTitle, title);
    QCOMPARE(question.text, text);
    QCOMPARE(shown, offered);
    QCOMPARE(box(w, itemId)->isChecked(), title.isEmpty());
    QCOMPARE(page(w)->selectedItems().isEmpty(), !title.isEmpty());

    ModalAnswer none([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    box(w, itemId)->setChecked(false);
    QTest::qWait(100);
    QVERIFY(!none.answered);
}

void TestPhase2RunControl::runRefused_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QStringList>("printers");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("details");  // behind the box's details button
    const QString ask = QString::fromUtf8("检测到您安装了以下打印机：\n%1\n\n停用打印后台服务后，这些打印功能将不可用（打印到PDF、物理打印等）。\n确定停用吗？");
    const QString spooler = QString::fromUtf8("打印后台服务");
    QTest::newRow("nothing ticked") << QStringList{} << QStringList{} << QString::fromUtf8("提示")
                                    << QString::fromUtf8("请先勾选要执行的优化项。") << QString();
    QTest::newRow("printers, one named like markup")
        << QStringList{"C13", "C9"} << QStringList{"<b>HP LaserJet</b>", "Microsoft Print to PDF"} << spooler
        << ask.arg(QString::fromUtf8("• <b>HP LaserJet</b>\n• Microsoft Print to PDF")) << QString();
    QTest::newRow("no printer") << QStringList{"C9"} << QStringList{} << spooler
                                << ask.arg(QString::fromUtf8("（未检测到打印机）")) << QString();
    QStringList many;
    QStringList lines;
    for (int i = 0; i < 200; ++i) {
        many << QString("Printer %1").arg(i);
        lines << QString::fromUtf8("• Printer %1").arg(i);
    }
    QTest::newRow("two hundred printers: the first ones, all behind the details")
        << QStringList{"C9"} << many << spooler
        << ask.arg(QStringList(lines.mid(0, 15)).join('\n') + QString::fromUtf8("\n……")) << lines.join('\n');
}

// An empty selection, or "no" to the printer warning, runs nothing at all,
// not even the other ticked items; the warning shows printer names as typed.
void TestPhase2RunControl::runRefused()
{
    QFETCH(QStringList, ticked);
    QFETCH(QStringList, printers);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, details);
    TestMachine machine;
    for (const QString& name : printers)
        machine->system().printers << win::sim::SimPrinter{name, false, name, QString()};
    Velantrix w;
    openPage(w);
    for (const QString& id : ticked)
        box(w, id)->setChecked(true);

    QString shownDetails;
    bool plain = false;
    bool fits = false;
    ModalAnswer refuse([&](QWidget* dialog) {
        auto* box = static_cast<QMessageBox*>(dialog);
        shownDetails = box->detailedText();
        plain = box->textFormat() == Qt::PlainText;
        fits = fitsTheScreen(box);
        box->button(box->standardButtons() & QMessageBox::No ? QMessageBox::No : QMessageBox::Ok)->click();
    });
    execute(w);
    QVERIFY(refuse.answered);
    QCOMPARE(refuse.windowTitle, title);
    QCOMPARE(refuse.text, text);
    QCOMPARE(shownDetails, details);
    if (!printers.isEmpty())
        QVERIFY(plain);
    QVERIFY(fits);
    QVERIFY(w.findChildren<QThread*>().isEmpty());
    QVERIFY(page(w)->isVisible());
}

void TestPhase2RunControl::wholeRunFromThePageToTheThanksPage_data()
{
    QTest::addColumn<QStringList>("logAnswers");  // each time "A2" is ticked; empty: cancelled, "esc": Esc
    QTest::addColumn<QList<int>>("keepAnswers");   // each time "H2" is ticked; 0: cancelled
    QTest::addColumn<int>("itemsRun");
    QTest::addColumn<quint64>("logBytes");
    QTest::addColumn<QList<int>>("pointsLeft");
    const quint64 mb = 1024 * 1024;
    const QList<int> allPoints{5, 7, 12, 30};
    QTest::newRow("chosen") << QStringList{"512 MB"} << QList<int>{2} << 4 << 512 * mb << QList<int>{12, 30};
    QTest::newRow("cancelled after a choice, by a button or Esc: neither runs")
        << QStringList{"1 GB", "esc"} << QList<int>{3, 0} << 2 << 2048 * mb << allPoints;
    QTest::newRow("chosen after a cancel")
        << QStringList{"", "128 MB"} << QList<int>{0, 3} << 4 << 128 * mb << QList<int>{7, 12, 30};
}

void TestPhase2RunControl::wholeRunFromThePageToTheThanksPage()
{
    QFETCH(QStringList, logAnswers);
    QFETCH(QList<int>, keepAnswers);
    QFETCH(int, itemsRun);
    QFETCH(quint64, logBytes);
    QFETCH(QList<int>, pointsLeft);
    TestMachine machine(restorePoints({12, 5, 30, 7}));
    for (win::sim::EventLogConfig& log : machine->programs().eventLogs())
        log.maxSizeBytes = quint64(2048) << 20;
    machine.addService("TrkWks");
    machine.addService("Spooler");
    machine->system().printers << win::sim::SimPrinter{"HP LaserJet", false, "HP LaserJet", QString()};
    Velantrix w;
    openPage(w);

    for (const QString& choice : logAnswers) {
        box(w, "A2")->setChecked(false);
        tickAnswering(w, "A2", [&](QWidget* dialog) {
            auto* input = static_cast<QInputDialog*>(dialog);
            input->setTextValue(choice);
            if (choice == "esc")
                QTest::keyClick(input, Qt::Key_Escape);
            else
                choice.isEmpty() ? input->reject() : input->accept();
        });
    }
    for (int keep : keepAnswers) {
        box(w, "H2")->setChecked(false);
        tickAnswering(w, "H2", [&](QWidget* dialog) {
            auto* input = static_cast<QInputDialog*>(dialog);
            input->setIntValue(keep);
            keep == 0 ? input->reject() : input->accept();
        });
    }
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
    QVERIFY(ok.text.startsWith(QString::fromUtf8("您的电脑已经完成优化！\n\n本次共执行 %1 项优化：\n").arg(itemsRun)));
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

    // A second run reuses the dialog and starts again from nothing. Each of
    // its forty-one items has a line in the summary: the box shows the first
    // lines and keeps every one behind its details button.
    ScanReportBundle report;
    for (int i = 0; i < 40; ++i)
        report.startupItems << startupFinding(QString("Entry%1").arg(i));
    openPage(w, report);
    page(w)->findChild<QPushButton*>("restoreDefaultBtn")->click();  // the fixed items keep their ticks
    box(w, "E1")->setChecked(true);
    for (int i = 0; i < 40; ++i)
        box(w, QString("ST:2:Entry%1").arg(i))->setChecked(true);
    QString details;
    bool fits = false;
    ModalAnswer secondOk([&](QWidget* box) {
        details = static_cast<QMessageBox*>(box)->detailedText();
        fits = fitsTheScreen(box);
        answer(box, QMessageBox::Ok);
    }, "QMessageBox");
    execute(w);
    QCOMPARE(w.findChildren<Phase2ProgressDialog*>().size(), 1);
    QCOMPARE(status(w), QString::fromUtf8("准备执行..."));
    QTRY_VERIFY_WITH_TIMEOUT(secondOk.answered, 20000);
    QCOMPARE(machine->programs().tcpGlobals().value("autotuninglevel"), QString("normal"));
    const QStringList summary = details.split('\n');
    QCOMPARE(summary.size(), 42);
    QCOMPARE(secondOk.text, QString::fromUtf8("您的电脑已经完成优化！\n\n") + QStringList(summary.mid(0, 15)).join('\n')
                                + QString::fromUtf8("\n……"));
    QVERIFY(fits);
}

// A name of the machine may run to thousands of characters: the printer
// warning and the summary still show their buttons, and the whole name lies
// behind the details button.
void TestPhase2RunControl::longNamesKeepTheBoxesOnTheScreen()
{
    TestMachine machine;
    machine.addService("Spooler");
    const QString name = QString::fromUtf8("广告弹窗").repeated(1500);
    machine->system().printers << win::sim::SimPrinter{name, false, name, QString()};
    machine.setText("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", name, "C:\\Temp\\e.exe");
    ScanReportBundle report;
    report.startupItems << startupFinding(name);
    Velantrix w;
    openPage(w, report);
    box(w, "C9")->setChecked(true);
    box(w, "ST:2:" + name)->setChecked(true);

    QStringList details;
    QList<bool> fits;
    const auto look = [&](QWidget* dialog) {
        auto* box = static_cast<QMessageBox*>(dialog);
        details << box->detailedText();
        fits << fitsTheScreen(box);
        box->button(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok)->click();
    };
    ModalAnswer warning(look, "QMessageBox");
    execute(w);
    QVERIFY(warning.answered);
    ModalAnswer summary(look, "QMessageBox");
    QTRY_VERIFY_WITH_TIMEOUT(summary.answered, 20000);
    QCOMPARE(fits, (QList<bool>{true, true}));
    QVERIFY(details.at(0).contains(name));
    QVERIFY(details.at(1).contains(QString::fromUtf8("已禁用开机自启：") + name));
}

// The progress dialog was closed over a running deep optimisation: the start
// button brings it back, in the theme chosen since, and starts nothing.
void TestPhase2RunControl::oneClickRunWaitsForTheDeepOptimisation()
{
    TestMachine machine;
    QFile flag(EulaDialog::flagFilePath());
    QVERIFY(flag.open(QIODevice::WriteOnly));
    flag.close();
    Velantrix w;
    QVERIFY(startHeldRun(w, machine));
    progressDialog(w)->findChild<QPushButton*>("closeBtn")->click();
    QVERIFY(!progressDialog(w)->isVisible());

    QPushButton* start = w.findChild<QPushButton*>("startBtn");
    QVERIFY(start->isVisible());  // the home screen lies open beneath
    w.setTheme(0);
    start->click();
    QTest::keyClick(start, Qt::Key_Space);
    QCOMPARE(w.findChildren<QThread*>().size(), 1);
    QVERIFY(progressDialog(w)->isVisible());
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
    Velantrix w;
    QThread* worker = startHeldRun(w, machine);
    QVERIFY(worker);
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
    QVERIFY(thanksPage(w)->isHidden());
}

QTEST_MAIN(TestPhase2RunControl)
#include "tst_Phase2RunControl.moc"

// The main window on a small simulated machine: the theme switch, the
// agreement gate, a whole run from the start button to the result page, a
// failed environment check, and closing the window while the engine works.
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestMachine.h"
#include "ui/EulaDialog.h"
#include "ui/ProgressPage.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

class TestVelantrix : public QObject
{
    Q_OBJECT

private:
    static QPushButton* button(Velantrix& w, const char* name) { return w.findChild<QPushButton*>(name); }
    static ProgressPage* progress(Velantrix& w) { return w.findChild<ProgressPage*>(); }
    static ResultPage* result(Velantrix& w) { return w.findChild<ResultPage*>(); }
    static bool threadAlive(Velantrix& w)
    {
        for (QThread* thread : w.findChildren<QThread*>())
            if (thread->isRunning())
                return true;
        return false;
    }
    static void acceptAgreement()
    {
        QFile flag(EulaDialog::flagFilePath());
        flag.open(QIODevice::WriteOnly);
        flag.write("1");
    }

private slots:
    void init() { QFile::remove(EulaDialog::flagFilePath()); }
    void cleanup() { QFile::remove(EulaDialog::flagFilePath()); }

    void demoArgumentsAreExact_data();
    void demoArgumentsAreExact();
    void themesReachVisiblePagesOnly();
    void modeButtonsLookCurrentByTheme();
    void agreementGatesTheRun();
    void keyPressDuringARunStartsNoSecondRun();
    void failedCheckShowsTheErrorBoxOnly();
    void closingDuringARunWaitsForTheEngine();
};

void TestVelantrix::demoArgumentsAreExact_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("demo");
    QTest::newRow("cs") << QStringList{"tessaro", "cs"} << true;
    QTest::newRow("--cs") << QStringList{"tessaro", "--cs"} << true;
    QTest::newRow("/cs") << QStringList{"tessaro", "/cs"} << true;
    QTest::newRow("among others") << QStringList{"tessaro", "-x", "/cs", "y"} << true;
    QTest::newRow("-cs") << QStringList{"tessaro", "-cs"} << false;
    QTest::newRow("CS") << QStringList{"tessaro", "CS"} << false;
    QTest::newRow("--CS") << QStringList{"tessaro", "--CS"} << false;
    QTest::newRow("csv") << QStringList{"tessaro", "csv"} << false;
    QTest::newRow("none") << QStringList{"tessaro"} << false;
}

void TestVelantrix::demoArgumentsAreExact()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, demo);
    QCOMPARE(Velantrix::isDemoArgument(arguments), demo);
}

void TestVelantrix::themesReachVisiblePagesOnly()
{
    Velantrix w;
    w.show();
    QVERIFY(!w.isDemoMode());
    QCOMPARE(w.currentTheme(), 2);
    const QString light = w.styleSheet();
    QVERIFY(light.contains("#F0F2F8"));
    button(w, "proModeBtn")->click();  // already current: nothing changes
    QCOMPARE(w.styleSheet(), light);
    QVERIFY(result(w)->styleSheet().isEmpty());

    result(w)->show();  // covers the mode buttons: the theme is set as the page's own path would
    w.setTheme(0);
    QCOMPARE(w.currentTheme(), 0);
    QVERIFY(w.styleSheet().contains("Velantrix { background: #080B14; }"));
    QVERIFY(result(w)->styleSheet().contains("#080B14"));
    QVERIFY(progress(w)->styleSheet().isEmpty());  // hidden: themed when next shown

    w.setTheme(1);
    QVERIFY(result(w)->styleSheet().contains("#F5EDE0"));
    QCOMPARE(button(w, "startBtn")->size(), QSize(280, 52));  // resized only by show or resize events
    w.resize(w.size());
    QResizeEvent resize(w.size(), w.size());
    QCoreApplication::sendEvent(&w, &resize);
    QCOMPARE(button(w, "startBtn")->size(), QSize(280, 56));
    QCOMPARE(result(w)->geometry(), w.findChild<QWidget*>("contentWidget")->rect());
}

void TestVelantrix::modeButtonsLookCurrentByTheme()
{
    Velantrix w;
    w.setTheme(1);
    const QString current = button(w, "elderModeBtn")->styleSheet();
    QVERIFY(current.contains("background:#FF7A45"));
    QVERIFY(button(w, "proModeBtn")->styleSheet() != current);
    QCOMPARE(button(w, "proModeBtn")->styleSheet(), button(w, "gameModeBtn")->styleSheet());
    QVERIFY(button(w, "proModeBtn")->isChecked());  // Qt's own state follows clicks only
    w.setTheme(9);
    QVERIFY(w.styleSheet().isEmpty());
    QVERIFY(button(w, "startBtn")->styleSheet().isEmpty());
}

// Refused, the agreement starts nothing; accepted, a run goes to the result page.
void TestVelantrix::agreementGatesTheRun()
{
    TestMachine machine;
    Velantrix w;
    w.show();
    ModalAnswer refuse([](QWidget* dialog) { clickChild(dialog, "exitBtn"); });
    button(w, "startBtn")->click();
    QCOMPARE(refuse.dialogClass, QString("EulaDialog"));
    QVERIFY(!progress(w)->isVisible());
    QVERIFY(!threadAlive(w));
    QVERIFY(!EulaDialog::isAccepted());

    ModalAnswer agree([](QWidget* dialog) { clickChild(dialog, "agreeBtn"); });
    button(w, "startBtn")->click();
    QCOMPARE(agree.dialogClass, QString("EulaDialog"));
    QVERIFY(EulaDialog::isAccepted());
    QVERIFY(progress(w)->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(result(w)->isVisible(), 60000);
    QVERIFY(!progress(w)->isVisible());
    QTRY_VERIFY(!threadAlive(w));
    QTRY_VERIFY_WITH_TIMEOUT(w.findChildren<QThread*>().isEmpty(), 5000);  // deleted, not only stopped
    QTRY_VERIFY(result(w)->findChild<QLabel*>("healthScore")->text().toInt() >= 85);
}

// With the flag file the agreement is not asked again.
void TestVelantrix::keyPressDuringARunStartsNoSecondRun()
{
    TestMachine machine;
    acceptAgreement();
    Velantrix w;
    w.show();
    ModalAnswer none([](QWidget* dialog) { clickChild(dialog, "exitBtn"); });
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QPushButton* start = button(w, "startBtn");
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(progress(w)->isVisible());
    // The page took the keyboard, and the covered button is out of its reach.
    QCOMPARE(QApplication::focusWidget(), progress(w));
    QVERIFY(!start->isEnabled());
    QTest::keyClick(start, Qt::Key_Space);
    start->click();
    QCOMPARE(w.findChildren<QThread*>().size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(result(w)->isVisible(), 60000);
    QTRY_VERIFY(w.findChildren<QThread*>().isEmpty());
    QTest::qWait(1500);  // a second run would now end and show its results again
    QVERIFY(!progress(w)->isVisible());
    QVERIFY(!none.answered);
}

void TestVelantrix::failedCheckShowsTheErrorBoxOnly()
{
    QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
    system.insert("administrator", false);
    TestMachine machine(QJsonObject{{"system", system}});
    acceptAgreement();
    Velantrix w;
    w.show();
    QString title, text;
    ModalAnswer ok([&](QWidget* box) {
        title = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
        static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    button(w, "startBtn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(ok.answered, 10000);
    QCOMPARE(ok.dialogClass, QString("QMessageBox"));
    QTRY_VERIFY(!progress(w)->isVisible());
    QCOMPARE(title, QString::fromUtf8("优化失败"));
    QCOMPARE(text, QString::fromUtf8("需要管理员权限才能运行优化。"));
    QVERIFY(!result(w)->isVisible());
    QTRY_VERIFY(w.findChildren<QThread*>().isEmpty());
}

void TestVelantrix::closingDuringARunWaitsForTheEngine()
{
    TestMachine machine;
    machine->clock().setRealSleep(true);  // the engine's waits take real time: a long run
    win::sim::SimService slow;            // stopping the font cache takes seconds
    slow.name = QStringLiteral("FontCache");
    slow.state = win::ServiceRunning;
    slow.stopDelayMs = 20000;
    machine->system().services << slow;
    acceptAgreement();
    Velantrix w;
    w.show();
    button(w, "startBtn")->click();
    QTRY_VERIFY(progress(w)->findChild<QLabel*>("centerPercent")->text() != "0%");
    QThread* engine = w.findChild<QThread*>();
    QVERIFY(engine && engine->isRunning());
    QSignalSpy engineEnded(engine, &QThread::finished);

    w.close();
    QVERIFY(w.isHidden());
    QVERIFY(engine->isInterruptionRequested());
    QVERIFY(engine->isRunning());

    // The program's main runs this loop; it must end once the engine has.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(60000);
    QCOMPARE(QCoreApplication::exec(), 0);
    giveUp.stop();
    QCOMPARE(engineEnded.count(), 1);
    QVERIFY(!threadAlive(w));
    QVERIFY(!result(w)->isVisible());
}

QTEST_MAIN(TestVelantrix)
#include "tst_Velantrix.moc"

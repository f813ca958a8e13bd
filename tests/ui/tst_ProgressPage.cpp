// The progress page consumes the engine's progress protocol, whose step index
// and percentage may fall back; lighting must only ever move forward.
#include "EventCounter.h"
#include "ui/CircularProgressBar.h"
#include "ui/ProgressPage.h"
#include "ui/SphereTagCloud.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

class TestProgressPage : public QObject
{
    Q_OBJECT

private:
    static QVector<int> states(const ProgressPage& page)
    {
        QVector<int> result;
        for (const auto& tag : page.tagCloud()->tagList())
            result << tag.state;
        return result;
    }
    static QString text(const ProgressPage& page, const char* name)
    {
        return page.findChild<QLabel*>(name)->text();
    }

private slots:
    // Keywords light one after another up to the share of the percentage,
    // the last two as previous and current; they never go dark again when
    // the step or the percentage falls back. The ring stops at 100, the
    // centre shows what was sent.
    void lighting_data()
    {
        QTest::addColumn<QList<QPoint>>("updates");   // step, percent
        QTest::addColumn<int>("lit");
        QTest::addColumn<QString>("centre");
        QTest::addColumn<int>("ring");
        QTest::newRow("first updates") << QList<QPoint>{{0, 0}, {0, 5}, {1, 10}} << 3 << "10%" << 10;
        QTest::newRow("full percent") << QList<QPoint>{{6, 100}} << 20 << "100%" << 100;
        QTest::newRow("above hundred") << QList<QPoint>{{6, 150}} << 20 << "150%" << 100;
        QTest::newRow("falling back") << QList<QPoint>{{5, 87}, {6, 80}} << 18 << "80%" << 80;
    }

    void lighting()
    {
        QFETCH(QList<QPoint>, updates);
        QFETCH(int, lit);
        ProgressPage page;
        for (const QPoint& update : updates)
            page.onProgressUpdate(update.x(), update.y(), QString());
        QVector<int> expected(20, 0);
        for (int i = 0; i < lit; ++i)
            expected[i] = i == lit - 1 ? 1 : i == lit - 2 ? 2 : 3;
        QCOMPARE(states(page), expected);
        QCOMPARE(page.litKeywords(), lit);
        QTEST(text(page, "centerPercent"), "centre");
        QTEST(page.progressRing()->value(), "ring");
    }

    void repeatedStepKeepsTheStatusText()
    {
        ProgressPage page;
        page.onProgressUpdate(1, 10, QString());
        const QString rowTitle = text(page, "stepTitle");
        page.onProgressUpdate(1, 12, "status");
        QCOMPARE(text(page, "stepTitle"), QString("status"));
        page.onProgressUpdate(1, 14, QString());  // same row: not shown again
        QCOMPARE(text(page, "stepTitle"), QString("status"));
        page.onProgressUpdate(2, 30, QString());
        QVERIFY(text(page, "stepTitle") != rowTitle);
        QVERIFY(text(page, "stepTitle") != QString("status"));
        page.onProgressUpdate(9, 31, QString());  // outside the table: the labels stay
        QVERIFY(text(page, "stepTitle") != QString("status"));
        page.onProgressUpdate(6, 20, QString());  // a new row shows though the percentage fell
        QVERIFY(text(page, "stepDesc").contains(QString::fromUtf8("开机")));  // row 6
        QVERIFY(text(page, "stepTitle").startsWith(QString::fromUtf8("⚡")));
    }

    void doneLightsAllAndSignalsOnceAfterDelay()
    {
        ProgressPage page;
        page.onProgressUpdate(3, 40, QString());
        QSignalSpy finished(&page, &ProgressPage::optimizationFinished);
        QElapsedTimer clock;
        clock.start();
        page.onOptimizationDone();
        QCOMPARE(states(page), QVector<int>(20, 3));
        QCOMPARE(text(page, "centerPercent"), QString("100%"));
        QVERIFY(finished.wait(3000));
        QVERIFY(clock.elapsed() >= 1150);
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);
    }

    void unknownThemeOnlyClearsLighting()
    {
        ProgressPage page;
        page.setTheme(0);
        const QString sheet = page.styleSheet();
        page.onProgressUpdate(2, 50, QString());
        page.setTheme(5);
        QCOMPARE(page.styleSheet(), sheet);
        QCOMPARE(states(page), QVector<int>(20, 0));
        QCOMPARE(page.litKeywords(), 0);
        page.onProgressUpdate(0, 5, QString());  // a new run lights from the first keyword again
        QCOMPARE(states(page).mid(0, 3), (QVector<int>{2, 1, 0}));
    }

    // The window themes the page at every run's start; only a new theme
    // restyles it, which lays out every text of it anew.
    void sameThemeAgainRestylesNothing()
    {
        ProgressPage page;
        page.show();
        page.setTheme(0);
        EventCounter pageRestyled(QEvent::StyleChange);
        EventCounter percentRestyled(QEvent::StyleChange);
        page.findChild<QLabel*>("stepTitle")->installEventFilter(&pageRestyled);
        page.findChild<QLabel*>("centerPercent")->installEventFilter(&percentRestyled);
        page.onProgressUpdate(2, 50, QString());
        page.setTheme(0);
        QCOMPARE(pageRestyled.count, 0);
        QCOMPARE(percentRestyled.count, 0);
        QCOMPARE(states(page), QVector<int>(20, 0));  // the lighting is cleared all the same
        page.setTheme(1);
        QVERIFY(pageRestyled.count > 0);
        QVERIFY(percentRestyled.count > 0);
    }

    void turningSphereLeavesTheHomeScreenBeneathUnpainted_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QColor>("background");
        QTest::newRow("dark") << 0 << QColor("#080B14");
        QTest::newRow("warm") << 1 << QColor("#F5EDE0");
        QTest::newRow("light") << 2 << QColor("#F0F2F8");
    }

    // The page lies over the home screen, whose emoji texts cost much to draw:
    // while the sphere turns, some thirty times a second, only the page is
    // painted again, on its theme's own background.
    void turningSphereLeavesTheHomeScreenBeneathUnpainted()
    {
        QFETCH(int, theme);
        QWidget window;
        window.resize(800, 680);
        auto* home = new QLabel(QStringLiteral("🔍 home"), &window);
        home->setGeometry(window.rect());
        auto* page = new ProgressPage(&window);
        page->setGeometry(window.rect());
        page->setTheme(theme);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();

        EventCounter homePaints;
        EventCounter spherePaints;
        home->installEventFilter(&homePaints);
        page->tagCloud()->installEventFilter(&spherePaints);
        QTRY_VERIFY(spherePaints.count >= 3);
        QCOMPARE(homePaints.count, 0);
        QTEST(window.grab().toImage().pixelColor(5, 5), "background");
    }
};

QTEST_MAIN(TestProgressPage)
#include "tst_ProgressPage.moc"

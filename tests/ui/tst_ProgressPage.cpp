// The progress page consumes the engine's progress protocol, whose step index
// and percentage may fall back; lighting must only ever move forward.
#include "ui/ChineseDesktop.h"
#include "ui/CircularProgressBar.h"
#include "ui/ProgressPage.h"
#include "ui/SphereTagCloud.h"
#include "ui/Velantrix.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

namespace {

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(int* paints) : m_paints(paints) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++*m_paints;
        return false;
    }

private:
    int* m_paints;
};

} // namespace

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
    void initTestCase() { installFontSubstitutes(); }
    void firstUpdatesLightTheFirstKeywords();
    void fullPercentLeavesLastKeywordCurrent();
    void fallingBackLightsNothingAndShowsTheNewRow();
    void repeatedStepKeepsTheStatusText();
    void percentAboveHundredOnlyInTheCentre();
    void doneLightsAllAndSignalsOnceAfterDelay();
    void unknownThemeOnlyClearsLighting();
    void themeColoursTheRing();
    void turningSphereLeavesTheHomeScreenBeneathUnpainted_data();
    void turningSphereLeavesTheHomeScreenBeneathUnpainted();
    void fullPercentFitsTheCentre_data();
    void fullPercentFitsTheCentre();
};

void TestProgressPage::firstUpdatesLightTheFirstKeywords()
{
    ProgressPage page;
    page.onProgressUpdate(0, 0, "a");
    page.onProgressUpdate(0, 5, "b");
    page.onProgressUpdate(1, 10, "c");
    const QVector<int> s = states(page);
    QCOMPARE(s.mid(0, 4), (QVector<int>{3, 2, 1, 0}));
    QCOMPARE(page.litKeywords(), 3);
    QCOMPARE(text(page, "stepTitle"), QString("c"));
}

void TestProgressPage::fullPercentLeavesLastKeywordCurrent()
{
    ProgressPage page;
    page.onProgressUpdate(6, 100, QString());
    const QVector<int> s = states(page);
    QCOMPARE(s[19], 1);
    QCOMPARE(s[18], 2);
    QCOMPARE(s.count(3), 18);
}

void TestProgressPage::fallingBackLightsNothingAndShowsTheNewRow()
{
    ProgressPage page;
    page.onProgressUpdate(5, 87, QString());
    const QVector<int> before = states(page);
    QCOMPARE(page.litKeywords(), 18);
    page.onProgressUpdate(6, 80, QString());
    QCOMPARE(states(page), before);
    QCOMPARE(page.litKeywords(), 18);
    QCOMPARE(page.progressRing()->value(), 80);
    QCOMPARE(text(page, "centerPercent"), QString("80%"));
    QVERIFY(text(page, "stepDesc").contains(QString::fromUtf8("开机")));  // row 6
    QVERIFY(text(page, "stepTitle").startsWith(QString::fromUtf8("⚡")));
}

void TestProgressPage::repeatedStepKeepsTheStatusText()
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
}

void TestProgressPage::percentAboveHundredOnlyInTheCentre()
{
    ProgressPage page;
    page.onProgressUpdate(6, 150, QString());
    QCOMPARE(text(page, "centerPercent"), QString("150%"));
    QCOMPARE(page.progressRing()->value(), 100);
}

void TestProgressPage::doneLightsAllAndSignalsOnceAfterDelay()
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

void TestProgressPage::unknownThemeOnlyClearsLighting()
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

void TestProgressPage::themeColoursTheRing()
{
    ProgressPage page;
    for (int theme : {0, 1, 2}) {
        page.setTheme(theme);
        QVERIFY(page.styleSheet().contains("QWidget#ProgressPage"));
        QVERIFY(page.findChild<QLabel*>("centerPercent")->styleSheet().startsWith("color: #"));
    }
    page.setTheme(1);
    QVERIFY(page.styleSheet().contains("#F5EDE0"));
    QCOMPARE(page.findChild<QLabel*>("centerPercent")->styleSheet(), QString("color: #2D1A08;"));
}

void TestProgressPage::turningSphereLeavesTheHomeScreenBeneathUnpainted_data()
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
void TestProgressPage::turningSphereLeavesTheHomeScreenBeneathUnpainted()
{
    QFETCH(int, theme);
    QFETCH(QColor, background);
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

    int homePaints = 0;
    int spherePaints = 0;
    PaintCounter homeCounter(&homePaints);
    PaintCounter sphereCounter(&spherePaints);
    home->installEventFilter(&homeCounter);
    page->tagCloud()->installEventFilter(&sphereCounter);
    QTRY_VERIFY(spherePaints >= 3);
    QCOMPARE(homePaints, 0);
    QCOMPARE(window.grab().toImage().pixelColor(5, 5), background);
}

void TestProgressPage::fullPercentFitsTheCentre_data()
{
    QTest::addColumn<int>("theme");
    QTest::newRow("dark") << 0;
    QTest::newRow("warm") << 1;
    QTest::newRow("light") << 2;
}

// The page inside the window, whose sheet names the Windows font: "100%" at
// the end of a run must not be cut on either side of its label.
void TestProgressPage::fullPercentFitsTheCentre()
{
    QFETCH(int, theme);
    Velantrix window;
    window.setTheme(theme);
    window.show();
    auto* page = window.findChild<ProgressPage*>();
    page->setGeometry(window.findChild<QWidget*>("contentWidget")->rect());
    page->show();
    page->setTheme(theme);
    page->onProgressUpdate(6, 100, QString());

    auto* centre = page->findChild<QLabel*>("centerPercent");
    centre->ensurePolished();
    QCOMPARE(centre->text(), QString("100%"));
    const QRect box = centre->contentsRect();
    const QRect text = QFontMetrics(centre->font()).boundingRect(box, int(centre->alignment()), centre->text());
    QVERIFY2(box.contains(text), qPrintable(QString("%1 in %2: %3 x %4 in %5 x %6")
                                                .arg(centre->font().family(), QFontInfo(centre->font()).family())
                                                .arg(text.width()).arg(text.height()).arg(box.width()).arg(box.height())));
}

QTEST_MAIN(TestProgressPage)
#include "tst_ProgressPage.moc"

// The result page: its score, its count-up (also when the results arrive
// before the page is shown), its issue and storage cards, and its themes.
#include "EventCounter.h"
#include "ui/ResultPage.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

namespace {

// The style sheet a widget of one name has when it is polished.
class StyleAtPolish : public QObject
{
public:
    explicit StyleAtPolish(const QString& name) : m_name(name) {}
    QStringList sheets;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && watched->objectName() == m_name)
            sheets << static_cast<QWidget*>(watched)->styleSheet();
        return false;
    }

private:
    QString m_name;
};

ScanReportBundle reportWithStorageAdvice()
{
    ScanReportBundle report;
    report.storage.fastStartupReason = QStringLiteral("空间充裕，建议启用快速启动");
    report.storage.hibernationReason = QStringLiteral("快速启动依赖休眠文件，必须保持休眠");
    return report;
}

} // namespace

class TestResultPage : public QObject
{
    Q_OBJECT

private:
    static QString text(const ResultPage& page, const char* name)
    {
        return page.findChild<QLabel*>(name)->text();
    }
    static QPushButton* card(const ResultPage& page, const char* name)
    {
        return page.findChild<QPushButton*>(name);
    }
    static void waitForCountUp(const ResultPage& page, const QString& score)
    {
        QTRY_COMPARE_WITH_TIMEOUT(text(page, "healthScore"), score, 3000);
    }

private slots:
    void healthScoreThresholds_data()
    {
        QTest::addColumn<int>("cleaned");
        QTest::addColumn<int>("memory");
        QTest::addColumn<int>("junk");
        QTest::addColumn<int>("score");
        QTest::newRow("nothing") << 0 << 0 << 0 << 85;
        QTest::newRow("just below every step") << 499 << 199 << 199 << 85;
        QTest::newRow("one step each") << 500 << 200 << 200 << 88;
        QTest::newRow("exactly fourteen") << 7000 << 0 << 0 << 99;
        QTest::newRow("capped") << 100000 << 100000 << 100000 << 99;
    }

    void healthScoreThresholds()
    {
        QFETCH(int, cleaned);
        QFETCH(int, memory);
        QFETCH(int, junk);
        QTEST(ResultPage::healthScoreFor(cleaned, memory, junk), "score");
    }

    void countsUpWhileVisible()
    {
        ResultPage page;
        page.resize(760, 600);
        page.show();
        QCOMPARE(text(page, "healthScore"), QString("95"));
        page.setResults(1520, 450, 1286, 12, 2);
        QCOMPARE(text(page, "cardValue1"), QString("0 MB"));  // rendered at progress 0 first
        QTest::qWait(500);
        const int halfway = text(page, "cardValue1").section(' ', 0, 0).toInt();
        QVERIFY(halfway > 0 && halfway < 1520);
        waitForCountUp(page, "96");
        QCOMPARE(QStringList({text(page, "cardValue1"), text(page, "cardValue2"), text(page, "cardValue3"), text(page, "cardValue4")}),
                 QStringList({"1520 MB", "450 MB", "1286 个", "快 12 秒"}));

        page.setResults(3, 0, 0, 0, 0);  // shown at the old progress, then counted up again
        QCOMPARE(text(page, "cardValue1"), QString("3 MB"));
        waitForCountUp(page, "85");
    }

    void resultsGivenWhileHiddenCountUpOnShow()
    {
        QWidget window;
        window.resize(800, 600);
        auto* page = new ResultPage(&window);
        page->hide();
        window.show();
        page->setResults(1520, 450, 1286, 12, 2);
        QTest::qWait(200);
        QCOMPARE(text(*page, "cardValue1"), QString("0 MB"));
        page->setTheme(2);  // shows the page, as the window does after handing over
        waitForCountUp(*page, "96");
        QCOMPARE(text(*page, "cardValue3"), QString::fromUtf8("1286 个"));
    }

    void spontaneousShowDoesNotRaise()
    {
        QWidget window;
        auto* page = new ResultPage(&window);
        auto* above = new QWidget(&window);
        window.show();
        above->raise();
        QCOMPARE(window.children().last(), above);

        QShowEvent restored;
        QSpontaneKeyEvent::setSpontaneous(&restored);
        static_cast<QObject*>(page)->event(&restored);
        QCOMPARE(window.children().last(), above);

        page->hide();
        page->show();
        QCOMPARE(window.children().last(), page);
    }

    void issueCardsFollowTheReport()
    {
        QWidget window;
        auto* page = new ResultPage(&window);
        window.show();
        ScanReportBundle report;
        StartupFinding hijack;
        hijack.riskLevel = 2;
        hijack.hijacked = true;
        hijack.canDisable = true;
        StartupFinding safe;
        safe.canDisable = true;
        StartupFinding fixedPlace;
        fixedPlace.riskLevel = 2;
        report.startupItems = {hijack, hijack, safe, fixedPlace};
        report.popups.resize(3);
        page->setPhase2Data(report);
        QCOMPARE(card(*page, "cardStartup")->findChildren<QLabel*>()[1]->text(), QString::fromUtf8("2 个"));
        QCOMPARE(card(*page, "cardPop")->findChildren<QLabel*>()[1]->text(), QString::fromUtf8("3 个"));
        auto shown = [page] {
            QList<bool> visible;
            for (const char* name : {"cardStartup", "cardAdw", "cardBhj", "cardPop"})
                visible << card(*page, name)->isVisible();
            return visible;
        };
        QCOMPARE(shown(), QList<bool>({true, false, false, true}));

        page->setPhase2Data(ScanReportBundle());
        QCOMPARE(shown(), QList<bool>({false, false, false, false}));
        QVERIFY(page->findChild<QFrame*>("promptRow")->isVisible());
        QVERIFY(page->findChild<QPushButton*>("phase2EntryBtn")->isVisible());
        QCOMPARE(page->findChildren<QFrame*>("promptRow").size(), 1);  // built once
        QCOMPARE(page->findChildren<QFrame*>("storageCard").size(), 1);
    }

    void issueCardsRelayTheirGroup()
    {
        ResultPage page;
        QSignalSpy clicked(&page, &ResultPage::cardClicked);
        card(page, "cardBhj")->click();
        card(page, "cardStartup")->click();
        card(page, "cardAdw")->click();
        QCOMPARE(QList<QVariantList>(clicked), QList<QVariantList>({{5}, {4}, {5}}));
    }

    void storageCardText()
    {
        StorageDecision s;
        s.fastStartupRecommended = true;
        s.keepHibernation = false;
        s.fastStartupReason = "A";
        s.hibernationReason = "<b>B</b>";
        s.restoreAdvice = "R";
        s.hibernationDisabledNow = true;
        const QString withoutFreed = ResultPage::storageAdvice(s);
        QCOMPARE(withoutFreed.count('\n'), 3);
        QVERIFY(!withoutFreed.contains(" MB"));
        QVERIFY(withoutFreed.endsWith("R"));
        QVERIFY(!withoutFreed.contains(QString::fromUtf8("虚拟内存")));

        s.hibernationFreedMB = 3072;
        const QString withFreed = ResultPage::storageAdvice(s);
        QVERIFY(withFreed.startsWith(withoutFreed + "\n"));
        QVERIFY(withFreed.endsWith("3072 MB"));

        QWidget window;
        auto* page = new ResultPage(&window);
        window.show();
        ScanReportBundle report;
        report.storage = s;
        page->setPhase2Data(report);
        auto* label = page->findChild<QLabel*>("storageCardText");
        QCOMPARE(label->text(), withFreed);
        QCOMPARE(label->textFormat(), Qt::PlainText);  // the machine's texts are never markup
        QVERIFY(page->findChild<QFrame*>("storageCard")->isVisible());
        // Without reasons there is nothing to say: the card goes.
        report.storage = StorageDecision();
        page->setPhase2Data(report);
        QVERIFY(!page->findChild<QFrame*>("storageCard")->isVisible());
    }

    void everyThemeStylesThePage()
    {
        QWidget window;
        auto* page = new ResultPage(&window);
        page->setPhase2Data(ScanReportBundle());
        page->setTheme(0);
        QVERIFY(page->styleSheet().contains("QWidget#ResultPage { background: #080B14; }"));
        QVERIFY(page->findChild<QFrame*>("storageCard")->styleSheet().contains("#141923"));
        const QString dark = page->styleSheet();
        page->setTheme(7);  // unknown: the page keeps its sheet, the storage card turns light
        QCOMPARE(page->styleSheet(), dark);
        QVERIFY(page->findChild<QFrame*>("storageCard")->styleSheet().contains("#FFFFFF"));
    }

    // The window themes the page each time it shows it and the report themes
    // it once more; only a new theme restyles it, which lays out every text
    // of it anew.
    void sameThemeAgainRestylesNothing()
    {
        QWidget window;
        auto* page = new ResultPage(&window);
        window.show();
        page->setTheme(0);
        page->setPhase2Data(reportWithStorageAdvice());
        EventCounter pageRestyled(QEvent::StyleChange);
        EventCounter cardRestyled(QEvent::StyleChange);
        page->findChild<QPushButton*>("finishBtn")->installEventFilter(&pageRestyled);
        page->findChild<QLabel*>("storageCardText")->installEventFilter(&cardRestyled);
        page->setTheme(0);
        page->setPhase2Data(reportWithStorageAdvice());
        QCOMPARE(pageRestyled.count, 0);
        QCOMPARE(cardRestyled.count, 0);
        page->setTheme(1);
        QVERIFY(pageRestyled.count > 0);
        QVERIFY(cardRestyled.count > 0);
    }

    // The storage card joins the shown page in its theme's look; styled only
    // after, it would be laid out once for nothing.
    void storageCardIsPolishedStyled()
    {
        QWidget window;
        auto* page = new ResultPage(&window);
        window.show();
        page->setTheme(0);
        StyleAtPolish watch("storageCard");
        qApp->installEventFilter(&watch);
        page->setPhase2Data(reportWithStorageAdvice());
        qApp->removeEventFilter(&watch);
        QVERIFY(page->findChild<QFrame*>("storageCard")->isVisible());
        QCOMPARE(watch.sheets.size(), 1);
        QVERIFY(watch.sheets.first().contains("#141923"));
    }

    void entryButtonTakesTheThemeColour_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("dark") << 0 << QColor("#00C2FF");
        QTest::newRow("warm") << 1 << QColor("#FF7A45");
    }

    // The button's dashed border and text are drawn in the theme's colour, never
    // in the blue it is built with.
    void entryButtonTakesTheThemeColour()
    {
        QFETCH(int, theme);
        QFETCH(QColor, colour);
        ResultPage page;
        page.resize(760, 600);
        page.setTheme(theme);
        auto* entry = page.findChild<QPushButton*>("phase2EntryBtn");
        const QImage image = entry->grab().toImage();
        auto pixelsOf = [&image](const QColor& wanted) {
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    count += qAbs(c.red() - wanted.red()) + qAbs(c.green() - wanted.green())
                                 + qAbs(c.blue() - wanted.blue()) < 24;
                }
            return count;
        };
        const int themed = pixelsOf(colour);
        const int builtIn = pixelsOf(QColor("#4A90D9"));  // anti-aliased edges may come near it
        QVERIFY2(themed > 50 && builtIn < 5, qPrintable(QString("%1 themed, %2 built-in").arg(themed).arg(builtIn)));
    }
};

QTEST_MAIN(TestResultPage)
#include "tst_ResultPage.moc"

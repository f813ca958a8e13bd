// The feedback page in its two modes: what its buttons relay, the card
// number it hands out, its themes and the glow that pulses while it is shown.
#include "ui/FeedbackPage.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <cmath>

namespace {

QStringList relayedSignals(FeedbackPage& page, const char* button)
{
    QStringList seen;
    QObject::connect(&page, &FeedbackPage::shareData, &page, [&seen] { seen << "shareData"; });
    QObject::connect(&page, &FeedbackPage::finished, &page, [&seen] { seen << "finished"; });
    page.findChild<QPushButton*>(button)->click();
    return seen;
}

QGraphicsDropShadowEffect* glowOf(FeedbackPage& page)
{
    return qobject_cast<QGraphicsDropShadowEffect*>(page.findChild<QPushButton*>("primaryBtn")->graphicsEffect());
}

// The sine of the shared glow phase, as the pulse's blur radius shows it.
double phaseSine(FeedbackPage& page)
{
    return (glowOf(page)->blurRadius() - 25) / 30 * 2 - 1;
}

} // namespace

class TestFeedbackPage : public QObject
{
    Q_OBJECT

private slots:
    void buttonsRelayInOrder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("relayed");
        QTest::newRow("thanks, share") << 0 << "primaryBtn" << QStringList{"shareData", "finished"};
        QTest::newRow("thanks, finish") << 0 << "secondaryBtn" << QStringList{"finished"};
        QTest::newRow("service card") << 1 << "primaryBtn" << QStringList{"finished"};
        QTest::newRow("any other mode") << 7 << "primaryBtn" << QStringList{"finished"};
    }

    void buttonsRelayInOrder()
    {
        QFETCH(int, mode);
        QFETCH(QString, button);
        FeedbackPage page(mode);
        QTEST(relayedSignals(page, qPrintable(button)), "relayed");
        // No card number on the thanks page.
        QCOMPARE(page.findChild<QLabel*>("cardNo") != nullptr, mode != 0);
    }

    // Each part of a card number lies in 1000..9998.
    void cardNumbersStayInRange()
    {
        const QRegularExpression form("^VIP-2026-(?!9999)[1-9]\\d{3}-(?!9999)[1-9]\\d{3}$");
        FeedbackPage page(1);
        QVERIFY(form.match(page.findChild<QLabel*>("cardNo")->text()).hasMatch());
        for (int i = 0; i < 20000; ++i)
            QVERIFY(form.match(FeedbackPage::newCardNumber()).hasMatch());
    }

    void themeSetsSheetAndGlowColour_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QString>("background");
        QTest::addColumn<QColor>("glow");
        QTest::newRow("dark") << 0 << "#080B14" << QColor(0, 194, 255, 80);
        QTest::newRow("warm") << 1 << "#F5EDE0" << QColor(255, 122, 69, 80);
        QTest::newRow("unknown is light") << 3 << "#F0F2F8" << QColor(26, 115, 232, 80);
    }

    void themeSetsSheetAndGlowColour()
    {
        QFETCH(int, theme);
        QFETCH(QString, background);
        for (int mode : {0, 1}) {
            FeedbackPage page(mode);
            page.setTheme(theme);
            QVERIFY(page.styleSheet().startsWith(QString("QWidget#FeedbackPage { background: %1; }").arg(background)));
            QVERIFY(!page.styleSheet().contains("%"  "1"));  // every value filled in
            QTEST(glowOf(page)->color(), "glow");
        }
    }

    void glowPulsesWithinItsBounds()
    {
        FeedbackPage page(0);
        page.setTheme(0);
        page.show();
        QGraphicsDropShadowEffect* glow = glowOf(page);
        QSet<int> alphas;
        for (int i = 0; i < 10; ++i) {
            QTest::qWait(35);
            QCOMPARE(glow->color().blue(), 255);  // the pulse changes only the alpha
            alphas << glow->color().alpha();
        }
        QVERIFY(alphas.size() > 1);
    }

    // A hidden page's glow cannot be seen; its timer rests, so an idle window
    // wakes for nothing, and pulses again once the page is shown.
    void glowRestsWhilePageIsHidden()
    {
        FeedbackPage page(0);
        page.setTheme(0);
        auto* timer = page.findChild<QTimer*>();
        QVERIFY(!timer->isActive());
        const qreal blur = glowOf(page)->blurRadius();
        QTest::qWait(100);
        QCOMPARE(glowOf(page)->blurRadius(), blur);
        page.show();
        QVERIFY(timer->isActive());
        QTRY_VERIFY(glowOf(page)->blurRadius() != blur);
        page.hide();
        QVERIFY(!timer->isActive());
    }

    // Every glow's timer used to advance the one shared phase, hidden or not:
    // with both pages alive it moved 0.04 a tick. The shown page's tick now
    // moves it as far alone.
    void shownGlowKeepsItsPaceForEveryPage()
    {
        FeedbackPage shown(0);
        FeedbackPage hidden(1);
        shown.show();
        QSignalSpy ticks(shown.findChild<QTimer*>(), &QTimer::timeout);
        // Three samples of sin(p), sin(p + d), sin(p + 2d), away from a zero of
        // the middle one: sin(p) + sin(p + 2d) = 2 sin(p + d) cos(d).
        double samples[3] = {0, 0, 0};
        for (int attempt = 0; attempt < 200; ++attempt) {
            for (double& sample : samples) {
                QVERIFY(ticks.wait(1000));
                sample = phaseSine(shown);
            }
            if (std::abs(samples[1]) > 0.3)
                break;
        }
        QVERIFY(std::abs(samples[1]) > 0.3);
        const double step = std::acos(qBound(-1.0, (samples[0] + samples[2]) / (2 * samples[1]), 1.0));
        QVERIFY2(std::abs(step - 0.04) < 0.005, qPrintable(QString::number(step)));
    }

    // The button may lose its effect while the page's timer runs on; the pulse
    // must not reach the deleted effect (the sanitizer would see it).
    void removedGlowIsNotTouched()
    {
        FeedbackPage page(1);
        page.show();
        page.findChild<QPushButton*>("primaryBtn")->setGraphicsEffect(nullptr);
        QTest::qWait(100);
        page.setTheme(1);
    }

    void keyboardReachesTheButtons()
    {
        FeedbackPage page(0);
        page.resize(760, 600);
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        page.setFocus();
        auto* share = page.findChild<QPushButton*>("primaryBtn");
        for (int i = 0; i < 4 && QApplication::focusWidget() != share; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), share);
        QSignalSpy shared(&page, &FeedbackPage::shareData);
        QTest::keyClick(share, Qt::Key_Space);
        QCOMPARE(shared.count(), 1);
        QTest::keyClick(share, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), page.findChild<QPushButton*>("secondaryBtn"));
    }
};

QTEST_MAIN(TestFeedbackPage)
#include "tst_FeedbackPage.moc"

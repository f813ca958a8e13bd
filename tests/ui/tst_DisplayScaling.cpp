// The window at Windows' display scaling, on the work areas of common screens.
// Windows at 125 % and 150 % reports 120 and 144 logical dots per inch;
// QT_FONT_DPI makes the offscreen screen report the same. The offscreen screen
// has no task bar, so each run names the work areas it stands for in
// TESSARO_WORK_AREAS (each screen less its task bar, in the screen's pixels)
// and scales the screen as the program scales a screen with that work area.
// ctest runs it once for each scale that results. In every run the whole
// window scales as one piece: every text still fits its box, and the window,
// with every button in it, fits the work area.
#include "phase2/Phase2Page.h"
#include "tests/support/DemoMode.h"
#include "ui/ChineseDesktop.h"
#include "ui/DisplayScaling.h"
#include "ui/FeedbackPage.h"
#include "ui/ProgressPage.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

// The scale Windows gives the screen: logical DPI / 96.
qreal windowsScale()
{
    return qEnvironmentVariableIntValue("QT_FONT_DPI") / 96.0;
}

// "1366x728 1920x1032": the work areas this run stands for.
QList<QSize> workAreas()
{
    QList<QSize> areas;
    for (const QString& area : qEnvironmentVariable("TESSARO_WORK_AREAS").split(' ', Qt::SkipEmptyParts)) {
        const QStringList sides = area.split('x');
        areas << QSize(sides.value(0).toInt(), sides.value(1).toInt());
    }
    return areas;
}

// The scale the program gives the window on the first of them.
qreal scaleOfThisRun()
{
    const QList<QSize> areas = workAreas();
    return areas.isEmpty() ? 0 : fittingScale(Velantrix::fixedWindowSize(), areas.first(), windowsScale());
}

// Qt keeps a paint device's scale in steps of 1/65536.
bool sameScale(qreal measured, qreal scale)
{
    return qAbs(measured - scale) < 0.001;
}

// What is wrong with a label's text in its box, or nothing.
QString overflowOf(QLabel* label)
{
    if (label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull())
        return QString();
    const QRect box = label->contentsRect();
    const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
    const QRect text = QFontMetrics(label->font()).boundingRect(box, flags, label->text());
    if (box.contains(text))
        return QString();
    return QString("%1 \"%2\": text %3 x %4 in a box of %5 x %6")
        .arg(label->objectName(), label->text().left(20))
        .arg(text.width()).arg(text.height()).arg(box.width()).arg(box.height());
}

QStringList overflowsIn(QWidget* shown)
{
    QStringList found;
    for (QLabel* label : shown->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(shown->window()))
            continue;
        const QString overflow = overflowOf(label);
        if (!overflow.isEmpty())
            found << overflow;
    }
    return found;
}

QPushButton* button(QWidget* in, const char* name)
{
    return in->findChild<QPushButton*>(name);
}

FeedbackPage* shownFeedbackPage(Velantrix& window)
{
    for (FeedbackPage* page : window.findChildren<FeedbackPage*>())
        if (page->isVisible())
            return page;
    return nullptr;
}

// Shows a page of the window as a person reaches it in demo mode.
QWidget* reach(Velantrix& window, const QString& page)
{
    if (page == "home")
        return &window;
    if (page == "progress at its end") {
        auto* progress = window.findChild<ProgressPage*>();
        progress->setGeometry(window.findChild<QWidget*>("contentWidget")->rect());
        progress->show();
        progress->raise();
        progress->setTheme(window.currentTheme());
        progress->onProgressUpdate(6, 100, QString());
        progress->onOptimizationDone();
        return progress;
    }
    button(&window, "startBtn")->click();
    auto* result = window.findChild<ResultPage*>();
    // The figures count up to their last, widest values.
    if (!QTest::qWaitFor([result] { return result->findChild<QLabel*>("cardValue1")->text() == "1520 MB"; }, 5000))
        return nullptr;
    if (page == "result")
        return result;
    if (page == "service card" || page == "thanks") {
        button(result, page == "thanks" ? "helpfulBtn" : "averageBtn")->click();
        return shownFeedbackPage(window);
    }
    button(result, "phase2EntryBtn")->click();
    return window.findChild<Phase2Page*>();
}

// The window in a theme, at one of its pages, laid out.
struct ShownPage
{
    std::unique_ptr<Velantrix> window = std::make_unique<Velantrix>();
    QWidget* page = nullptr;
};

ShownPage show(const QString& page, int theme)
{
    ShownPage shown;
    shown.window->show();
    if (!QTest::qWaitForWindowExposed(shown.window.get()))
        return shown;
    shown.window->setTheme(theme);
    shown.page = reach(*shown.window, page);
    QCoreApplication::processEvents();
    return shown;
}

void addPagesInEveryTheme()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("theme");
    for (const char* page : {"home", "progress at its end", "result", "thanks", "service card", "phase-2"})
        for (int theme : {0, 1, 2})
            QTest::newRow(qPrintable(QString("%1, theme %2").arg(page).arg(theme))) << QString(page) << theme;
}

// Where a control shows: its own place, or for one inside a scroll area the
// area's view, through which it is scrolled into sight.
QRect placeShowing(QWidget* control, QWidget* window)
{
    QWidget* shown = control;
    for (QWidget* up = control->parentWidget(); up && up != window; up = up->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(up))
            shown = area->viewport();
    return QRect(shown->mapTo(window, QPoint(0, 0)), shown->size());
}

} // namespace

class TestDisplayScaling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(windowsScale() >= 1, "run with QT_FONT_DPI set to Windows' logical DPI (96, 120, 144)");
        QVERIFY2(!workAreas().isEmpty(), "run with TESSARO_WORK_AREAS naming the work areas (\"1366x728\")");
        for (const QSize& area : workAreas())
            QCOMPARE(fittingScale(Velantrix::fixedWindowSize(), area, windowsScale()), scaleOfThisRun());
        installFontSubstitutes();
    }

    // Windows' own scale where the window fits, else the largest whole
    // percent that fits, never below 100 %.
    void scaleFitsTheWorkArea_data()
    {
        QTest::addColumn<QSize>("workArea");
        QTest::addColumn<qreal>("windowsScale");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("1366 x 768, Windows 10, 100 %") << QSize(1366, 728) << 1.0 << 1.0;
        QTest::newRow("1366 x 768, Windows 10, 125 %") << QSize(1366, 718) << 1.25 << 1.05;
        QTest::newRow("work area 1366 x 728 at 125 %") << QSize(1366, 728) << 1.25 << 1.07;
        QTest::newRow("1920 x 1080, Windows 10, 125 %") << QSize(1920, 1030) << 1.25 << 1.25;
        QTest::newRow("1920 x 1080, Windows 10, 150 %") << QSize(1920, 1020) << 1.5 << 1.5;
        QTest::newRow("exactly as tall as the window") << QSize(1920, 1020) << 1.75 << 1.5;
        QTest::newRow("1920 x 1080, Windows 11, 100 %") << QSize(1920, 1032) << 1.0 << 1.0;
        QTest::newRow("1920 x 1080, Windows 11, 150 %") << QSize(1920, 1008) << 1.5 << 1.48;
        QTest::newRow("1280 x 720, Windows 10, 100 %") << QSize(1280, 680) << 1.0 << 1.0;
        QTest::newRow("1280 x 720, Windows 10, 125 %") << QSize(1280, 670) << 1.25 << 1.0;
        QTest::newRow("narrower than tall") << QSize(1100, 1400) << 1.5 << 1.27;
        QTest::newRow("smaller than the window at 100 %") << QSize(1024, 560) << 1.0 << 1.0;
        QTest::newRow("3840 x 2160, Windows 11, 200 %") << QSize(3840, 2064) << 2.0 << 2.0;
    }

    void scaleFitsTheWorkArea()
    {
        QFETCH(QSize, workArea);
        QFETCH(qreal, windowsScale);
        QTEST(fittingScale(Velantrix::fixedWindowSize(), workArea, windowsScale), "scale");
    }

    // One factor for the whole window, unrounded: fonts keep their size in
    // the window's own pixels, and the screen's pixels carry the scale.
    void windowScalesAsOnePiece()
    {
        Velantrix window;
        window.show();
        QCOMPARE(window.size(), Velantrix::fixedWindowSize());
        QVERIFY(sameScale(window.devicePixelRatioF(), scaleOfThisRun()));
        QCOMPARE(window.logicalDpiY(), 96);
        // Pictures are drawn at the screen's resolution, not stretched to it.
        QVERIFY(sameScale(window.findChild<QLabel*>("appIcon")->pixmap(Qt::ReturnByValue).devicePixelRatio(),
                          scaleOfThisRun()));
    }

    // Every text still fits its box, and the window opens inside the work
    // area, so every button it shows can be reached by mouse: all in the
    // window's own pixels at this scale.
    void everyPageFits_data() { addPagesInEveryTheme(); }

    void everyPageFits()
    {
        QFETCH(QString, page);
        QFETCH(int, theme);
        const ShownPage shown = show(page, theme);
        QVERIFY(shown.page && shown.page->isVisible());
        Velantrix* window = shown.window.get();
        QStringList faults = overflowsIn(shown.page);
        QCOMPARE(window->pos(), openingPosition(window->screen()->availableGeometry(), window->frameGeometry().size()));
        for (const QSize& area : workAreas()) {
            const QRect workArea(QPoint(0, 0), (QSizeF(area) / scaleOfThisRun()).toSize());
            const QPoint opened = openingPosition(workArea, window->frameGeometry().size());
            for (QPushButton* control : window->findChildren<QPushButton*>()) {
                const QRect place = placeShowing(control, window).translated(opened);
                if (control->isVisibleTo(window) && !workArea.contains(place))
                    faults << QString("%1 reaches %2, %3 in a work area of %4 x %5")
                                  .arg(control->objectName()).arg(place.right()).arg(place.bottom())
                                  .arg(workArea.width()).arg(workArea.height());
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
    }

    // The result page's last button shows whole without scrolling.
    void remoteHelpShowsWhole_data()
    {
        QTest::addColumn<int>("theme");
        for (int theme : {0, 1, 2})
            QTest::newRow(qPrintable(QString("theme %1").arg(theme))) << theme;
    }

    void remoteHelpShowsWhole()
    {
        QFETCH(int, theme);
        const ShownPage result = show("result", theme);
        QVERIFY(result.page);
        auto* area = result.page->findChild<QScrollArea*>("resultScroll");
        QPushButton* help = button(result.page, "remoteHelpBtn");
        const QRect shown(help->mapTo(area->viewport(), QPoint(0, 0)), help->size());
        QVERIFY2(area->viewport()->rect().contains(shown),
                 qPrintable(QString("bottom %1 in a view %2 high").arg(shown.bottom()).arg(area->viewport()->height())));
    }

    // The thanks page holds one card that fits the page: nothing to scroll.
    void thanksPageFitsUnscrolled_data() { remoteHelpShowsWhole_data(); }

    void thanksPageFitsUnscrolled()
    {
        QFETCH(int, theme);
        const ShownPage thanks = show("thanks", theme);
        QVERIFY(thanks.page);
        QScrollBar* bar = thanks.page->findChild<QScrollArea*>("feedbackScroll")->verticalScrollBar();
        QCOMPARE(bar->maximum(), 0);
        QVERIFY(!bar->isVisible());
    }
};

// The screen is scaled before the application exists, as the program scales
// a screen with this work area; demo mode brings every page without a machine.
int main(int argc, char* argv[])
{
    followWindowsDisplayScaling();
    qputenv("QT_SCREEN_SCALE_FACTORS", QByteArray::number(scaleOfThisRun()));
    TestDisplayScaling test;
    return execInDemoMode(&test, argc, argv);
}

#include "tst_DisplayScaling.moc"

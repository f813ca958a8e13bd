// The window at Windows' display scaling. Windows at 125 % and 150 % reports
// 120 and 144 logical dots per inch; QT_FONT_DPI makes the offscreen screen
// report the same, so each run of this test sees one scale (ctest runs it at
// 100, 125 and 150 %). The program scales as on Windows: the whole window as
// one piece, so every text still fits its box and the window its screen.
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
#include <QtTest>

namespace {

// The scale this run imitates, as Windows gives it: logical DPI / 96.
qreal windowsScale()
{
    return qEnvironmentVariableIntValue("QT_FONT_DPI") / 96.0;
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
    if (page == "service card") {
        button(result, "averageBtn")->click();
        for (FeedbackPage* card : window.findChildren<FeedbackPage*>())
            if (card->isVisible())
                return card;
    }
    button(result, "phase2EntryBtn")->click();
    return window.findChild<Phase2Page*>();
}

} // namespace

class TestDisplayScaling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(windowsScale() >= 1, "run with QT_FONT_DPI set to Windows' logical DPI (96, 120, 144)");
        installFontSubstitutes();
    }

    // One factor for the whole window, unrounded: fonts keep their size in
    // the window's own pixels, and the screen's pixels carry the scale.
    void windowScalesAsOnePiece()
    {
        Velantrix window;
        window.show();
        QCOMPARE(window.devicePixelRatioF(), windowsScale());
        QCOMPARE(window.logicalDpiY(), 96);
        // Pictures are drawn at the screen's resolution, not stretched to it.
        QCOMPARE(window.findChild<QLabel*>("appIcon")->pixmap(Qt::ReturnByValue).devicePixelRatio(), windowsScale());
    }

    void everyLabelFitsItsBox_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("theme");
        for (const char* page : {"home", "progress at its end", "result", "service card", "phase-2"})
            for (int theme : {0, 1, 2})
                QTest::newRow(qPrintable(QString("%1, theme %2").arg(page).arg(theme))) << QString(page) << theme;
    }

    void everyLabelFitsItsBox()
    {
        QFETCH(QString, page);
        QFETCH(int, theme);
        Velantrix window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setTheme(theme);
        QWidget* shown = reach(window, page);
        QVERIFY(shown && shown->isVisible());
        QCoreApplication::processEvents();
        const QStringList overflows = overflowsIn(shown);
        QVERIFY2(overflows.isEmpty(), qPrintable(overflows.join("; ")));
    }

    // Windows' work area: the display less the task bar of Windows 10, 40
    // pixels at 100 %, all in the window's own pixels at this scale.
    void windowFitsTheWorkArea()
    {
        const qreal scale = windowsScale();
        const QSize display = scale > 1 ? QSize(1920, 1080) : QSize(1366, 768);
        const QRect workArea(0, 0, qRound(display.width() / scale), qRound(display.height() / scale) - 40);
        Velantrix window;
        window.show();
        const QRect opened(openingPosition(workArea, window.frameGeometry().size()), window.frameGeometry().size());
        QVERIFY2(workArea.contains(opened), qPrintable(QString("%1 x %2 at %3, %4 in %5 x %6")
                                                           .arg(opened.width()).arg(opened.height())
                                                           .arg(opened.x()).arg(opened.y())
                                                           .arg(workArea.width()).arg(workArea.height())));
        QCOMPARE(window.pos(), openingPosition(window.screen()->availableGeometry(), window.size()));
    }
};

// Windows' scaling is set before the application exists, as the program's
// main sets it; demo mode brings every page without a machine.
int main(int argc, char* argv[])
{
    followWindowsDisplayScaling();
    TestDisplayScaling test;
    return execInDemoMode(&test, argc, argv);
}

#include "tst_DisplayScaling.moc"

// The window and its dialogs by keyboard alone, in every theme: each control
// Tab reaches shows that it has the focus, Enter presses the focused button
// in the window as in a dialog, the result page is walked top to bottom and
// left to right, and the deep optimisation's groups fold with Space and Enter.
#include "phase2/GroupCard.h"
#include "phase2/Phase2Page.h"
#include "phase2/Phase2ProgressDialog.h"
#include "tests/support/DemoMode.h"
#include "ui/AboutDialog.h"
#include "ui/EulaDialog.h"
#include "ui/FeedbackPage.h"
#include "ui/ImageDialog.h"
#include "ui/QrCodeDialog.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

QPushButton* button(QWidget* in, const char* name)
{
    return in->findChild<QPushButton*>(name);
}

FeedbackPage* feedbackPage(Velantrix& window, bool serviceCard)
{
    for (FeedbackPage* page : window.findChildren<FeedbackPage*>())
        if ((page->findChild<QWidget*>("cardNo") != nullptr) == serviceCard)
            return page;
    return nullptr;
}

void activate(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

QList<QWidget*> tabStops(QWidget* top)
{
    QList<QWidget*> stops;
    for (QWidget* widget : top->findChildren<QWidget*>())
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(top) && widget->isEnabled())
            stops << widget;
    return stops;
}

// How many pixels of the control's place change by a clearly visible amount
// when it takes the focus.
int pixelsMarkingFocus(QWidget* control, QWidget* elsewhere)
{
    QWidget* top = control->window();
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(up))
            area->ensureWidgetVisible(control);
    const QRect place(control->mapTo(top, QPoint(0, 0)), control->size());
    // The window grabbed whole: a part of it would lack the backgrounds of
    // the control's parents.
    elsewhere->setFocus(Qt::TabFocusReason);
    const QImage before = top->grab().toImage().copy(place);
    control->setFocus(Qt::TabFocusReason);
    const QImage after = top->grab().toImage().copy(place);
    int changed = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QColor a = before.pixelColor(x, y), b = after.pixelColor(x, y);
            changed += qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) > 120;
        }
    return changed;
}

// How many pixels lie between a focused button's ring, two pixels wide at
// its edge, and its centred text; fewer than none where the ring cuts it.
int gapBetweenRingAndText(QPushButton* button)
{
    constexpr int kRingWidth = 2;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    return room.left() - kRingWidth + (room.width() - button->fontMetrics().horizontalAdvance(button->text())) / 2;
}

// Whether the control shows whole inside the scroll areas around it.
bool inView(QWidget* control)
{
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(up)) {
            const QRect shown(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
            if (!area->viewport()->rect().contains(shown))
                return false;
        }
    }
    return true;
}

// Opens a place of the program and answers the window it lies in.
QWidget* open(Velantrix& window, const QString& place, std::unique_ptr<QWidget>& dialog)
{
    const int theme = window.currentTheme();
    if (place == "home")
        return &window;
    button(&window, "startBtn")->click();  // demo mode: the canned results
    if (place == "result")
        return &window;
    if (place == "deep optimisation" || place == "startup card") {
        button(&window, place == "deep optimisation" ? "phase2EntryBtn" : "cardStartup")->click();
        return &window;
    }
    if (place == "thanks" || place == "service card") {
        button(&window, place == "thanks" ? "helpfulBtn" : "averageBtn")->click();
        return &window;
    }
    if (place == "about")
        dialog = std::make_unique<AboutDialog>(&window, theme);
    else if (place == "picture")
        dialog = std::make_unique<ImageDialog>(&window, theme);
    else if (place == "contact")
        dialog = std::make_unique<QrCodeDialog>(&window, theme);
    else if (place == "agreement")
        dialog = std::make_unique<EulaDialog>(&window);
    else {
        auto* progress = new Phase2ProgressDialog(&window);
        progress->setTheme(theme);
        dialog.reset(progress);
    }
    return dialog.get();
}

Phase2Page* deepOptimisationOf(Velantrix& window)
{
    std::unique_ptr<QWidget> noDialog;
    open(window, "deep optimisation", noDialog);
    return window.findChild<Phase2Page*>();
}

// The part of the window that takes the keyboard at that place.
QWidget* shownPart(Velantrix& window, QWidget* top, const QString& place)
{
    if (top != &window || place == "home")
        return top;
    if (place == "result")
        return window.findChild<ResultPage*>();
    if (place == "deep optimisation" || place == "startup card")
        return window.findChild<Phase2Page*>();
    return feedbackPage(window, place == "service card");
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void everyControlShowsItsFocus_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<int>("theme");
        for (const char* place : {"home", "result", "deep optimisation", "thanks", "service card", "about", "picture",
                                  "contact", "agreement", "deep optimisation progress"})
            for (int theme : {0, 1, 2})
                QTest::newRow(qPrintable(QString("%1, theme %2").arg(place).arg(theme))) << QString(place) << theme;
    }

    // A ring around the control: at least as many pixels change as line its
    // two longer sides. A button's ring keeps clear of its text.
    void everyControlShowsItsFocus()
    {
        constexpr int kGapToText = 3;
        QFETCH(QString, place);
        QFETCH(int, theme);
        Velantrix window;
        activate(&window);
        window.setTheme(theme);
        std::unique_ptr<QWidget> dialog;
        QWidget* top = open(window, place, dialog);
        activate(top);
        QWidget* part = shownPart(window, top, place);
        QCoreApplication::processEvents();  // the theme's sizes laid out
        const QList<QWidget*> stops = tabStops(part);
        QVERIFY(stops.size() >= 1);
        QStringList unmarked;
        for (QWidget* control : stops) {
            const int needed = 2 * qMax(control->width(), control->height());
            const int marked = pixelsMarkingFocus(control, part);
            if (marked < needed)
                unmarked << QString("%1 %2 (%3 of %4)").arg(control->metaObject()->className(), control->objectName())
                                .arg(marked).arg(needed);
            if (auto* button = qobject_cast<QPushButton*>(control); button && gapBetweenRingAndText(button) < kGapToText)
                unmarked << QString("%1: %2 pixels between ring and text").arg(button->objectName())
                                .arg(gapBetweenRingAndText(button));
        }
        QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join("; ")));
    }

    // A page that appears takes the keyboard on its first control, in view,
    // where its ring shows and Enter presses it.
    void aPageTakesTheKeyboardOnItsFirstControl_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("control");
        QTest::newRow("result") << "result" << "cardStartup";
        QTest::newRow("deep optimisation") << "deep optimisation" << "searchEdit";
        QTest::newRow("thanks") << "thanks" << "primaryBtn";
        QTest::newRow("service card, below the fold") << "service card" << "primaryBtn";
        QTest::newRow("deep optimisation at a card's group") << "startup card" << "groupHeader";
    }

    void aPageTakesTheKeyboardOnItsFirstControl()
    {
        QFETCH(QString, place);
        Velantrix window;
        activate(&window);
        std::unique_ptr<QWidget> noDialog;
        open(window, place, noDialog);
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(shownPart(window, &window, place)->isAncestorOf(focused));
        QTEST(focused->objectName(), "control");
        QVERIFY(inView(focused));
    }

    // Back from the tool bar, the last row comes into view as a row reached
    // from inside the list does.
    void aRowReachedFromOutsideTheListComesIntoView()
    {
        Velantrix window;
        activate(&window);
        Phase2Page* page = deepOptimisationOf(window);
        QPushButton* selectSafe = button(page, "selectSafeBtn");
        selectSafe->setFocus(Qt::TabFocusReason);
        QTest::keyClick(selectSafe, Qt::Key_Backtab);
        const QList<QWidget*> lastCardStops = page->card(page->catalogue().size() - 1)->tabStops();
        QCOMPARE(QApplication::focusWidget(), lastCardStops.last());
        QVERIFY(inView(QApplication::focusWidget()));
    }

    void enterPressesTheFocusedButton()
    {
        Velantrix window;
        activate(&window);
        QPushButton* start = button(&window, "startBtn");
        start->setFocus(Qt::TabFocusReason);
        QTest::keyClick(start, Qt::Key_Return);
        auto* result = window.findChild<ResultPage*>();
        QVERIFY(result->isVisible());
        QPushButton* finish = button(result, "finishBtn");
        finish->setFocus(Qt::TabFocusReason);
        QTest::keyClick(finish, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!result->isVisible());
        QCOMPARE(QApplication::focusWidget(), start);  // home, where the keyboard began
    }

    // Each stop lies below the one before it, or beside it to the right; from
    // the page's last the window goes on as it reads: the footer below it,
    // then round to the title bar and back to the page.
    void resultPageIsWalkedAsItIsRead()
    {
        Velantrix window;
        activate(&window);
        button(&window, "startBtn")->click();
        auto* result = window.findChild<ResultPage*>();
        QList<QWidget*> walked{QApplication::focusWidget()};
        while (walked.size() < tabStops(result).size()) {
            QTest::keyClick(walked.last(), Qt::Key_Tab);
            QWidget* at = QApplication::focusWidget();
            QVERIFY2(result->isAncestorOf(at), qPrintable(at->objectName()));
            walked << at;
        }
        for (int i = 1; i < walked.size(); ++i) {
            const QRect before(walked[i - 1]->mapTo(result, QPoint(0, 0)), walked[i - 1]->size());
            const QRect next(walked[i]->mapTo(result, QPoint(0, 0)), walked[i]->size());
            const bool below = next.top() >= before.bottom();
            const bool toTheRight = next.left() >= before.right() && next.top() < before.bottom();
            QVERIFY2(below || toTheRight, qPrintable(walked[i - 1]->objectName() + " then " + walked[i]->objectName()));
        }
        QStringList around;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            around << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(around, QStringList({"kefuBtn", "huhangkaBtn", "websiteBtn", "aboutBtn", "minBtn", "closeBtn",
                                      walked.first()->objectName()}));
    }

    // The groups of a report come where they stand, before the tool bar, and
    // the footer after it.
    void deepOptimisationPageIsWalkedAsItIsRead()
    {
        Velantrix window;
        activate(&window);
        Phase2Page* page = deepOptimisationOf(window);
        QList<QWidget*> expected{page->findChild<QWidget*>("searchEdit")};
        for (int group = 0; group < page->catalogue().size(); ++group) {
            expected << page->card(group)->findChild<QWidget*>("groupHeader");
            for (QCheckBox* box : page->card(group)->findChildren<QCheckBox*>())
                expected << box;
        }
        for (const char* name : {"selectSafeBtn", "restoreDefaultBtn", "remoteHelpBtn", "executeBtn", "skipBtn"})
            expected << button(page, name);
        QList<QWidget*> walked{QApplication::focusWidget()};
        while (walked.size() < expected.size()) {
            QTest::keyClick(walked.last(), Qt::Key_Tab);
            walked << QApplication::focusWidget();
        }
        QCOMPARE(walked, expected);
        QTest::keyClick(walked.last(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("kefuBtn"));  // the footer below
    }

    void groupHeadersFoldWithSpaceAndEnter()
    {
        Velantrix window;
        activate(&window);
        Phase2Page* page = deepOptimisationOf(window);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // from the search box
        GroupCard* card = page->card(0);
        QCOMPARE(QApplication::focusWidget(), card->findChild<QWidget*>("groupHeader"));
        const QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys{
            {Qt::Key_Space, Qt::NoModifier}, {Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}};
        bool expanded = card->isExpanded();
        for (const auto& [key, modifiers] : keys) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
            QCOMPARE(card->isExpanded(), !expanded);
            expanded = !expanded;
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // past the folded group's rows
        QCOMPARE(QApplication::focusWidget(), page->card(1)->findChild<QWidget*>("groupHeader"));
    }
};

int main(int argc, char* argv[])
{
    TestKeyboard test;
    return execInDemoMode(&test, argc, argv);
}

#include "tst_Keyboard.moc"

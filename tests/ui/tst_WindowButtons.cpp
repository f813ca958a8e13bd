// Where the window's footer and help buttons and the result page's rating
// buttons lead: the picture dialog, the About box and the feedback pages.
#include "phase2/Phase2Page.h"
#include "tests/support/ModalAnswer.h"
#include "ui/AboutDialog.h"
#include "ui/FeedbackPage.h"
#include "ui/ImageDialog.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

QPushButton* button(QWidget& w, const char* name)
{
    return w.findChild<QPushButton*>(name);
}

FeedbackPage* thanksPage(Velantrix& w)
{
    for (FeedbackPage* page : w.findChildren<FeedbackPage*>())
        if (!page->findChild<QLabel*>("cardNo"))
            return page;
    return nullptr;
}

FeedbackPage* serviceCardPage(Velantrix& w)
{
    for (FeedbackPage* page : w.findChildren<FeedbackPage*>())
        if (page->findChild<QLabel*>("cardNo"))
            return page;
    return nullptr;
}

// Clicks the button and closes the picture dialog it opens; gives the picture.
QImage pictureShownBy(QPushButton* clicked)
{
    QImage shown;
    ModalAnswer person([&shown](QWidget* modal) {
        shown = modal->findChildren<QLabel*>().value(0)->pixmap(Qt::ReturnByValue).toImage();
        modal->findChild<QPushButton*>("imageCloseBtn")->click();
    });
    clicked->click();
    return shown;
}

QImage resource(const QString& path)
{
    return QPixmap(path).scaled(350, 472, Qt::KeepAspectRatio, Qt::SmoothTransformation).toImage();
}

} // namespace

class TestWindowButtons : public QObject
{
    Q_OBJECT

private slots:
    // Whatever was shown before, each button shows its own picture in the one
    // dialog the window keeps.
    void picturesFollowTheButton()
    {
        Velantrix w;
        w.show();
        w.setTheme(0);
        QCOMPARE(pictureShownBy(button(w, "kefuBtn")), resource(":/ICON/2.png"));
        QCOMPARE(pictureShownBy(button(w, "huhangkaBtn")), resource(":/ICON/1.png"));
        QCOMPARE(pictureShownBy(button(w, "kefuBtn")), resource(":/ICON/2.png"));
        QCOMPARE(pictureShownBy(button(*w.findChild<Phase2Page*>(), "remoteHelpBtn")), resource(":/ICON/3.png"));
        QCOMPARE(pictureShownBy(button(w, "huhangkaBtn")), resource(":/ICON/1.png"));
        QCOMPARE(pictureShownBy(button(*w.findChild<ResultPage*>(), "remoteHelpBtn")), resource(":/ICON/3.png"));
        QCOMPARE(w.findChildren<ImageDialog*>().size(), 1);
        auto* dialog = w.findChild<ImageDialog*>();
        QVERIFY(dialog->findChild<QWidget*>("contentWidget")->styleSheet().contains("#1E2230"));
        w.setTheme(1);  // themed when it is next opened, not before
        QVERIFY(dialog->findChild<QWidget*>("contentWidget")->styleSheet().contains("#1E2230"));
        pictureShownBy(button(w, "kefuBtn"));
        QVERIFY(dialog->findChild<QWidget*>("contentWidget")->styleSheet().contains("#FFF8F0"));
    }

    void aboutIsMadeOnceAndRethemed()
    {
        Velantrix w;
        w.show();
        for (int i = 0; i < 2; ++i) {
            ModalAnswer person([](QWidget* modal) { modal->findChild<QPushButton*>("okBtn")->click(); });
            button(w, "aboutBtn")->click();
            QCOMPARE(person.dialogClass, QString("AboutDialog"));
        }
        QCOMPARE(w.findChildren<AboutDialog*>().size(), 1);
        auto* about = w.findChild<AboutDialog*>();
        QCOMPARE(about->windowModality(), Qt::ApplicationModal);
        QVERIFY(about->styleSheet().contains("#FFFFFF"));
        w.setTheme(0);  // an existing About box follows at once
        QVERIFY(about->styleSheet().contains("#151A2D"));
    }

    void ratingsLeadThroughTheFeedbackPages_data()
    {
        QTest::addColumn<QString>("rating");
        QTest::addColumn<bool>("thanks");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("box");
        QTest::newRow("helpful, share") << "helpfulBtn" << true << "primaryBtn" << "已分享";
        QTest::newRow("helpful, finish") << "helpfulBtn" << true << "secondaryBtn" << "";
        QTest::newRow("average, claim") << "averageBtn" << false << "primaryBtn" << "";
    }

    void ratingsLeadThroughTheFeedbackPages()
    {
        QFETCH(QString, rating);
        QFETCH(bool, thanks);
        QFETCH(QString, choice);
        Velantrix w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* result = w.findChild<ResultPage*>();
        result->show();

        button(*result, qPrintable(rating))->click();
        FeedbackPage* page = thanks ? thanksPage(w) : serviceCardPage(w);
        QVERIFY(page->isVisible());
        QVERIFY(result->isVisible());  // the feedback page lies over it
        QCOMPARE(page->geometry(), w.findChild<QWidget*>("contentWidget")->rect());
        QVERIFY(page->isAncestorOf(QApplication::focusWidget()));
        QVERIFY(!(thanks ? serviceCardPage(w) : thanksPage(w))->isVisible());

        ModalAnswer person([](QWidget* modal) {
            if (auto* message = qobject_cast<QMessageBox*>(modal))
                message->button(QMessageBox::Ok)->click();
        });
        button(*page, qPrintable(choice))->click();
        QTEST(person.windowTitle, "box");
        QVERIFY(!page->isVisible());
        QVERIFY(!result->isVisible());  // back home
    }

    void hiddenFeedbackPagesTakeTheTheme()
    {
        Velantrix w;
        w.setTheme(0);
        for (FeedbackPage* page : {thanksPage(w), serviceCardPage(w)}) {
            QVERIFY(!page->isVisible());
            QVERIFY(page->styleSheet().contains("#080B14"));
        }
    }
};

QTEST_MAIN(TestWindowButtons)
#include "tst_WindowButtons.moc"

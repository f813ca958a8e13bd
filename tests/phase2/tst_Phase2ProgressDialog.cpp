// The phase-2 progress dialog: progress on one status line however long the
// item's name, the summary cut to 400 characters and shown as it is, closing
// without ending anything, and its themes.
#include "phase2/Phase2ProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

class TestPhase2ProgressDialog : public QObject
{
    Q_OBJECT

private:
    static QString status(const Phase2ProgressDialog& d) { return d.findChild<QLabel*>("statusLabel")->text(); }
    static int bar(const Phase2ProgressDialog& d) { return d.findChild<QProgressBar*>()->value(); }

private slots:
    void progressThenSummary();
    void longStatusStaysInItsPlace_data();
    void longStatusStaysInItsPlace();
    void themes_data();
    void themes();
};

// Closing the dialog only hides it: the end of the run still reaches it.
void TestPhase2ProgressDialog::progressThenSummary()
{
    Phase2ProgressDialog dialog;
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.size(), QSize(420, 200));
    QCOMPARE(status(dialog), QString::fromUtf8("准备中..."));
    dialog.show();
    dialog.onProgress(33, "<b>Updater</b>");
    QCOMPARE(bar(dialog), 33);
    QCOMPARE(status(dialog), QString("<b>Updater</b>"));
    QCOMPARE(dialog.findChild<QLabel*>("statusLabel")->textFormat(), Qt::PlainText);

    dialog.findChild<QPushButton*>("closeBtn")->click();
    QVERIFY(dialog.isHidden());
    const QString summary = QString(399, 'a') + "bc";
    dialog.onFinished(summary);
    QCOMPARE(bar(dialog), 100);
    QCOMPARE(status(dialog), summary.left(400));
}

void TestPhase2ProgressDialog::longStatusStaysInItsPlace_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("six thousand characters") << QString::fromUtf8("广告弹窗").repeated(1500);
    QTest::newRow("forty lines") << QString("Line\n").repeated(40);
    QTest::newRow("one long word") << QString(3000, 'W');
}

// An item is named by the machine (a startup entry's name may run to
// thousands of characters or hold line breaks): the status never covers the
// bar and never pushes the close button out of the dialog or under the bar.
void TestPhase2ProgressDialog::longStatusStaysInItsPlace()
{
    QFETCH(QString, name);
    Phase2ProgressDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.onProgress(50, QString::fromUtf8("正在执行：") + name);
    QApplication::processEvents();
    auto* label = dialog.findChild<QLabel*>("statusLabel");
    auto* progress = dialog.findChild<QProgressBar*>();
    auto* close = dialog.findChild<QPushButton*>("closeBtn");
    QVERIFY(label->text().startsWith(QString::fromUtf8("正在执行：")));
    QVERIFY(label->geometry().bottom() < progress->geometry().top());
    QVERIFY(label->heightForWidth(label->width()) <= label->height());
    QCOMPARE(progress->height(), 10);
    QVERIFY(progress->geometry().bottom() < close->geometry().top());
    QVERIFY(dialog.rect().contains(close->geometry()));
    QCOMPARE(close->height(), close->sizeHint().height());
}

void TestPhase2ProgressDialog::themes_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<QString>("background");
    QTest::addColumn<QString>("statusColour");
    QTest::newRow("dark") << 0 << "#141923" << "#C7CDD9";
    QTest::newRow("warm") << 1 << "#FFF8F0" << "#5C3D22";
    QTest::newRow("light") << 2 << "#FFFFFF" << "#475569";
    QTest::newRow("unknown is light") << 7 << "#FFFFFF" << "#475569";
}

void TestPhase2ProgressDialog::themes()
{
    QFETCH(int, theme);
    QFETCH(QString, background);
    QFETCH(QString, statusColour);
    Phase2ProgressDialog dialog;
    dialog.setTheme(theme);
    QVERIFY(dialog.styleSheet().startsWith(QString("QDialog { background:%1;").arg(background)));
    QCOMPARE(dialog.findChild<QLabel*>("statusLabel")->styleSheet(), QString("font-size:13px; color:%1;").arg(statusColour));
}

QTEST_MAIN(TestPhase2ProgressDialog)
#include "tst_Phase2ProgressDialog.moc"

// The phase-2 progress dialog: progress, the summary cut to 400 characters
// and shown as it is, closing without ending anything, and its themes.
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

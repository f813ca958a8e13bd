// The agreement dialog and its flag file beside the portable layout.
#include "ui/EulaDialog.h"

#include <QFile>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class TestEulaDialog : public QObject
{
    Q_OBJECT

private:
    static void clickLater(EulaDialog& dialog, const char* button)
    {
        QTimer::singleShot(0, &dialog, [&dialog, button] { dialog.findChild<QPushButton*>(button)->click(); });
    }

private slots:
    void init() { QFile::remove(EulaDialog::flagFilePath()); }
    void cleanup() { QFile::remove(EulaDialog::flagFilePath()); }

    void flagSitsTwoLevelsAboveTheProgram();
    void agreeingWritesTheFlag();
    void exitingLeavesNoFlag();
    void closingLeavesNoFlag();
    void textIsReadOnlyAndStartsAtTheTop();
};

void TestEulaDialog::flagSitsTwoLevelsAboveTheProgram()
{
    QCOMPARE(QDir::cleanPath(EulaDialog::flagFilePath()),
             QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../../eula_accepted.flag"));
    QVERIFY(!EulaDialog::isAccepted());
}

void TestEulaDialog::agreeingWritesTheFlag()
{
    EulaDialog dialog;
    clickLater(dialog, "agreeBtn");
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QFile flag(EulaDialog::flagFilePath());
    QVERIFY(flag.open(QIODevice::ReadOnly));
    QCOMPARE(flag.readAll(), QByteArray("1"));
    QVERIFY(EulaDialog::isAccepted());
}

void TestEulaDialog::exitingLeavesNoFlag()
{
    EulaDialog dialog;
    clickLater(dialog, "exitBtn");
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!EulaDialog::isAccepted());
}

void TestEulaDialog::closingLeavesNoFlag()
{
    EulaDialog dialog;
    QTimer::singleShot(0, &dialog, &QDialog::close);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!EulaDialog::isAccepted());
}

void TestEulaDialog::textIsReadOnlyAndStartsAtTheTop()
{
    EulaDialog dialog;
    auto* text = dialog.findChild<QTextEdit*>("textEdit");
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->textCursor().position(), 0);
    QCOMPARE(dialog.size(), QSize(600, 450));
}

QTEST_MAIN(TestEulaDialog)
#include "tst_EulaDialog.moc"

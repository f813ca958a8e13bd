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

private slots:
    void init() { QFile::remove(EulaDialog::flagFilePath()); }
    void cleanup() { QFile::remove(EulaDialog::flagFilePath()); }

    void onlyAgreeingWritesTheFlag_data()
    {
        QTest::addColumn<QString>("button");   // empty: the window is closed
        QTest::addColumn<int>("result");
        QTest::newRow("agree") << "agreeBtn" << int(QDialog::Accepted);
        QTest::newRow("exit") << "exitBtn" << int(QDialog::Rejected);
        QTest::newRow("closed") << "" << int(QDialog::Rejected);
    }

    // The flag lies two levels above the program: beside the portable layout.
    void onlyAgreeingWritesTheFlag()
    {
        QFETCH(QString, button);
        QFETCH(int, result);
        QCOMPARE(QDir::cleanPath(EulaDialog::flagFilePath()),
                 QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../../eula_accepted.flag"));
        EulaDialog dialog;
        // The text is read from its top and cannot be changed.
        auto* text = dialog.findChild<QTextEdit*>("textEdit");
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->textCursor().position(), 0);
        QTimer::singleShot(0, &dialog, [&dialog, button] {
            if (button.isEmpty())
                dialog.close();
            else
                dialog.findChild<QPushButton*>(qPrintable(button))->click();
        });
        QCOMPARE(dialog.exec(), result);
        QFile flag(EulaDialog::flagFilePath());
        QCOMPARE(flag.open(QIODevice::ReadOnly) ? flag.readAll() : QByteArray(), result == QDialog::Accepted ? "1" : "");
        QCOMPARE(EulaDialog::isAccepted(), result == QDialog::Accepted);
    }
};

QTEST_MAIN(TestEulaDialog)
#include "tst_EulaDialog.moc"

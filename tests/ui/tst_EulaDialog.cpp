// The agreement dialog and its flag file beside the portable layout.
#include "ui/EulaDialog.h"

#include <QApplication>
#include <QFile>
#include <QImage>
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

    // The keyboard starts on 同意并继续 with its ring showing; Enter presses
    // the button that has the keyboard and nothing else, Escape means 退出.
    void keyboardAnswers_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("outcome");  // accepted, rejected, or still open
        QTest::newRow("Enter") << QList<int>{Qt::Key_Return} << "accepted";
        QTest::newRow("keypad Enter") << QList<int>{Qt::Key_Enter} << "accepted";
        QTest::newRow("Space") << QList<int>{Qt::Key_Space} << "accepted";
        QTest::newRow("back to 退出, Enter") << QList<int>{Qt::Key_Backtab, Qt::Key_Return} << "rejected";
        QTest::newRow("on to the text, Enter") << QList<int>{Qt::Key_Tab, Qt::Key_Return} << "still open";
        QTest::newRow("round to 同意并继续, Enter")
            << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return} << "accepted";
        QTest::newRow("Escape") << QList<int>{Qt::Key_Escape} << "rejected";
        QTest::newRow("Escape from the text") << QList<int>{Qt::Key_Tab, Qt::Key_Escape} << "rejected";
    }

    void keyboardAnswers()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, outcome);
        EulaDialog dialog;
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* agree = dialog.findChild<QPushButton*>("agreeBtn");
        QCOMPARE(QApplication::focusWidget(), agree);
        const QImage focused = agree->grab().toImage();
        dialog.findChild<QPushButton*>("exitBtn")->setFocus();
        QVERIFY(agree->grab().toImage() != focused);  // the ring marks where the keyboard is
        agree->setFocus();
        for (int key : keys)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        const QString seen = dialog.isVisible() ? "still open"
                             : dialog.result() == QDialog::Accepted ? "accepted" : "rejected";
        QCOMPARE(seen, outcome);
        QCOMPARE(EulaDialog::isAccepted(), outcome == "accepted");
    }
};

QTEST_MAIN(TestEulaDialog)
#include "tst_EulaDialog.moc"

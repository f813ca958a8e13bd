// The About, image and QR-code dialogs: how they open, take a theme and close,
// with the mouse and with the keyboard.
#include "tests/support/ModalAnswer.h"
#include "ui/AboutDialog.h"
#include "ui/ImageDialog.h"
#include "ui/QrCodeDialog.h"

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QString aboutLogoPath()
{
    return QCoreApplication::applicationDirPath() + "/U512.png";
}

std::unique_ptr<QDialog> makeDialog(const QString& kind, int theme)
{
    if (kind == "about")
        return std::make_unique<AboutDialog>(nullptr, theme);
    if (kind == "image")
        return std::make_unique<ImageDialog>(nullptr, theme);
    return std::make_unique<QrCodeDialog>(nullptr, theme);
}

void pressKey(QWidget* dialog, Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dialog, key);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(aboutLogoPath()); }

    void closeWithMouseAndKeyboard_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("how");   // a button's object name, or keys
        QTest::addColumn<int>("result");
        QTest::newRow("about ✕") << "about" << "closeBtn" << int(QDialog::Accepted);
        QTest::newRow("about 确定") << "about" << "okBtn" << int(QDialog::Accepted);
        QTest::newRow("about Esc") << "about" << "Esc" << int(QDialog::Rejected);
        QTest::newRow("about Enter") << "about" << "Enter" << int(QDialog::Accepted);
        QTest::newRow("about Tab to 确定, Space") << "about" << "TabToOk" << int(QDialog::Accepted);
        QTest::newRow("image ×") << "image" << "imageCloseBtn" << int(QDialog::Rejected);
        QTest::newRow("image Esc") << "image" << "Esc" << int(QDialog::Rejected);
        QTest::newRow("image Space on ×") << "image" << "Space" << int(QDialog::Rejected);
        QTest::newRow("QR code Space on 我知道了") << "qrcode" << "Space" << int(QDialog::Rejected);
    }

    // Run as the window runs them, with exec, and answered once they are up.
    void closeWithMouseAndKeyboard()
    {
        QFETCH(QString, kind);
        QFETCH(QString, how);
        std::unique_ptr<QDialog> dialog = makeDialog(kind, 0);
        ModalAnswer person([how](QWidget* modal) {
            if (how == "Esc")
                pressKey(modal, Qt::Key_Escape);
            else if (how == "Enter")
                pressKey(modal, Qt::Key_Return);
            else if (how == "Space")
                pressKey(modal, Qt::Key_Space);
            else if (how == "TabToOk") {
                auto* ok = modal->findChild<QPushButton*>("okBtn");
                for (int i = 0; i < 5 && QApplication::focusWidget() != ok; ++i)
                    pressKey(modal, Qt::Key_Tab);
                pressKey(modal, Qt::Key_Space);
            } else
                modal->findChild<QPushButton*>(how)->click();
        });
        QTEST(dialog->exec(), "result");
        QVERIFY(person.answered);
    }

    void themes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QList<int>>("themes");   // applied in turn; the sheet of the last one counts
        QTest::addColumn<QString>("sheet");
        QTest::newRow("about other is light") << "about" << QList<int>{1, 9} << "QFrame#container { background: #FFFFFF;";
        QTest::newRow("image other is light") << "image" << QList<int>{0, 5} << "#contentWidget { background: #FFFFFF;";
        QTest::newRow("QR code dark after warm") << "qrcode" << QList<int>{1, 0} << "QDialog { background: #141923;";
        QTest::newRow("QR code other is kept") << "qrcode" << QList<int>{1, 3} << "QDialog { background: #FFF8F0;";
    }

    // The image dialog themes its panel, the others themselves.
    void themes()
    {
        QFETCH(QString, kind);
        QFETCH(QList<int>, themes);
        QFETCH(QString, sheet);
        std::unique_ptr<QDialog> dialog = makeDialog(kind, 2);
        for (int theme : themes) {
            if (auto* about = qobject_cast<AboutDialog*>(dialog.get()))
                about->setTheme(theme);
            else if (auto* image = qobject_cast<ImageDialog*>(dialog.get()))
                image->setTheme(theme);
            else
                qobject_cast<QrCodeDialog*>(dialog.get())->setTheme(theme);
        }
        QWidget* themed = kind == "image" ? dialog->findChild<QWidget*>("contentWidget") : dialog.get();
        QVERIFY2(themed->styleSheet().contains(sheet), qPrintable(themed->styleSheet().left(60)));
    }

    void aboutLogoComesFromTheProgramFolder()
    {
        {
            AboutDialog withoutFile(nullptr, 2);
            QVERIFY(withoutFile.findChild<QLabel*>("logoLabel")->pixmap(Qt::ReturnByValue).isNull());
        }
        QVERIFY(QFile::copy(TESSARO_SOURCE_DIR "/resources/ICON/U512.png", aboutLogoPath()));
        AboutDialog withFile(nullptr, 2);
        QCOMPARE(withFile.findChild<QLabel*>("logoLabel")->pixmap(Qt::ReturnByValue).size(), QSize(96, 96));
    }

    void aboutTextsOpenOverTheDialog_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::newRow("agreement") << "eulaBtn" << "用户协议";
        QTest::newRow("privacy") << "privacyBtn" << "隐私政策";
    }

    // The text box comes and goes; the About box stays open under it.
    void aboutTextsOpenOverTheDialog()
    {
        QFETCH(QString, button);
        AboutDialog about(nullptr, 1);
        about.show();
        ModalAnswer box([](QWidget* modal) {
            if (auto* message = qobject_cast<QMessageBox*>(modal))
                message->button(QMessageBox::Ok)->click();
        });
        about.findChild<QPushButton*>(button)->click();
        QCOMPARE(box.dialogClass, QString("QMessageBox"));
        QTEST(box.windowTitle, "title");
        QVERIFY(about.isVisible());
    }

    void imageIsScaledIntoItsLabel()
    {
        ImageDialog dialog(nullptr, 2);
        auto* label = dialog.findChildren<QLabel*>().value(0);
        QVERIFY(label->hasScaledContents());

        dialog.setImage(":/ICON/1.png");  // drawn at twice the label's size
        QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), QSize(350, 472));
        const QImage card = label->pixmap(Qt::ReturnByValue).toImage();
        dialog.setImage(":/ICON/no-such-picture.png");
        QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage(), card);

        QTemporaryDir dir;
        QImage square(100, 100, QImage::Format_ARGB32);
        square.fill(Qt::red);
        QVERIFY(square.save(dir.filePath("square.png")));
        dialog.setImage(dir.filePath("square.png"));
        QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), QSize(350, 350));
    }

    // A code is read only off white, whatever the theme.
    void qrCodeBoxStaysWhite()
    {
        QrCodeDialog dialog(nullptr, 0);
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* box) {
            return box->size() == QSize(240, 240) && box->styleSheet().startsWith("background: white;");
        }));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_Dialogs.moc"

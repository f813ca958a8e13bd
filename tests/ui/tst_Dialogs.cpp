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

    void aboutIsAFixedFramelessBox();
    void closeWithMouseAndKeyboard_data();
    void closeWithMouseAndKeyboard();
    void themes_data();
    void themes();
    void aboutLogoComesFromTheProgramFolder();
    void aboutTextsOpenOverTheDialog_data();
    void aboutTextsOpenOverTheDialog();
    void imageIsScaledIntoItsLabel();
    void qrCodeBoxStaysWhite();
};

void TestDialogs::aboutIsAFixedFramelessBox()
{
    AboutDialog about(nullptr, 2);
    QCOMPARE(about.minimumSize(), QSize(420, 480));
    QCOMPARE(about.maximumSize(), QSize(420, 480));
    QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(about.testAttribute(Qt::WA_TranslucentBackground));
    // Everything visible lies in the one rounded container.
    auto* container = about.findChild<QWidget*>("container");
    QCOMPARE(about.findChild<QWidget*>("titleBar")->parentWidget(), container);
    QCOMPARE(about.findChild<QWidget*>("contentWidget")->parentWidget(), container);
    QVERIFY(container->graphicsEffect());
    ImageDialog image(nullptr, 0);
    QCOMPARE(image.minimumSize(), QSize(400, 550));
    QCOMPARE(image.maximumSize(), QSize(400, 550));
}

void TestDialogs::closeWithMouseAndKeyboard_data()
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
void TestDialogs::closeWithMouseAndKeyboard()
{
    QFETCH(QString, kind);
    QFETCH(QString, how);
    QFETCH(int, result);
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
    QCOMPARE(dialog->exec(), result);
    QVERIFY(person.answered);
}

void TestDialogs::themes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QList<int>>("themes");   // applied in turn; the sheet of the last one counts
    QTest::addColumn<QString>("sheet");
    QTest::newRow("about dark") << "about" << QList<int>{1, 0} << "QFrame#container { background: #151A2D;";
    QTest::newRow("about warm") << "about" << QList<int>{1} << "QFrame#container { background: #FFF8F0;";
    QTest::newRow("about other is light") << "about" << QList<int>{9} << "QFrame#container { background: #FFFFFF;";
    QTest::newRow("image dark") << "image" << QList<int>{1, 0} << "#contentWidget { background: #1E2230;";
    QTest::newRow("image warm") << "image" << QList<int>{1} << "#contentWidget { background: #FFF8F0;";
    QTest::newRow("image other is light") << "image" << QList<int>{5} << "#contentWidget { background: #FFFFFF;";
    QTest::newRow("QR code dark") << "qrcode" << QList<int>{1, 0} << "QDialog { background: #141923;";
    QTest::newRow("QR code warm") << "qrcode" << QList<int>{1} << "QDialog { background: #FFF8F0;";
    QTest::newRow("QR code other is kept") << "qrcode" << QList<int>{2, 3} << "QDialog { background: #FFFFFF;";
}

// The image dialog themes its panel, the others themselves.
void TestDialogs::themes()
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

void TestDialogs::aboutLogoComesFromTheProgramFolder()
{
    {
        AboutDialog withoutFile(nullptr, 2);
        QVERIFY(withoutFile.findChild<QLabel*>("logoLabel")->pixmap(Qt::ReturnByValue).isNull());
    }
    QVERIFY(QFile::copy(TESSARO_SOURCE_DIR "/resources/ICON/U512.png", aboutLogoPath()));
    AboutDialog withFile(nullptr, 2);
    QCOMPARE(withFile.findChild<QLabel*>("logoLabel")->pixmap(Qt::ReturnByValue).size(), QSize(96, 96));
}

void TestDialogs::aboutTextsOpenOverTheDialog_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::newRow("agreement") << "eulaBtn" << "用户协议";
    QTest::newRow("privacy") << "privacyBtn" << "隐私政策";
}

// The text box comes and goes; the About box stays open under it.
void TestDialogs::aboutTextsOpenOverTheDialog()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    AboutDialog about(nullptr, 1);
    about.show();
    ModalAnswer box([](QWidget* modal) {
        if (auto* message = qobject_cast<QMessageBox*>(modal))
            message->button(QMessageBox::Ok)->click();
    });
    about.findChild<QPushButton*>(button)->click();
    QCOMPARE(box.dialogClass, QString("QMessageBox"));
    QCOMPARE(box.windowTitle, title);
    QVERIFY(about.isVisible());
}

void TestDialogs::imageIsScaledIntoItsLabel()
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

void TestDialogs::qrCodeBoxStaysWhite()
{
    QrCodeDialog dialog(nullptr, 0);
    QCOMPARE(dialog.width(), 380);
    QVERIFY(dialog.height() >= 500);
    QLabel* box = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->size() == QSize(240, 240))
            box = label;
    QVERIFY(box);
    QVERIFY(box->styleSheet().startsWith("background: white; border-radius: 12px; border: 2px dashed #E0E0E0;"));
}

QTEST_MAIN(TestDialogs)
#include "tst_Dialogs.moc"

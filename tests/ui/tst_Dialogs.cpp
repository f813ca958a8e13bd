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

namespace {

QString aboutLogoPath()
{
    return QCoreApplication::applicationDirPath() + "/U512.png";
}

// Runs the dialog as the window does and answers it with `answer` once it
// is up; gives exec's result.
int execAnswered(QDialog& dialog, std::function<void(QWidget*)> answer)
{
    ModalAnswer person(std::move(answer));
    const int result = dialog.exec();
    return person.answered ? result : -1;
}

void click(QWidget* dialog, const char* name)
{
    dialog->findChild<QPushButton*>(name)->click();
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
    void aboutClosesAccepted_data();
    void aboutClosesAccepted();
    void aboutThemes();
    void aboutLogoComesFromTheProgramFolder();
    void aboutTextsOpenOverTheDialog_data();
    void aboutTextsOpenOverTheDialog();
    void imageIsScaledIntoItsLabel();
    void imageClosesRejected_data();
    void imageClosesRejected();
    void imageThemes();
    void qrCodeThemesAndCloses();
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
}

void TestDialogs::aboutClosesAccepted_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("✕") << "closeBtn" << int(QDialog::Accepted);
    QTest::newRow("确定") << "okBtn" << int(QDialog::Accepted);
    QTest::newRow("Esc") << "Esc" << int(QDialog::Rejected);
    QTest::newRow("Enter") << "Enter" << int(QDialog::Accepted);
    QTest::newRow("Tab to 确定, Space") << "TabSpace" << int(QDialog::Accepted);
}

void TestDialogs::aboutClosesAccepted()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    AboutDialog about(nullptr, 0);
    QCOMPARE(execAnswered(about, [how](QWidget* dialog) {
                 if (how == "Esc")
                     pressKey(dialog, Qt::Key_Escape);
                 else if (how == "Enter")
                     pressKey(dialog, Qt::Key_Return);
                 else if (how == "TabSpace") {
                     auto* ok = dialog->findChild<QPushButton*>("okBtn");
                     for (int i = 0; i < 5 && QApplication::focusWidget() != ok; ++i)
                         pressKey(dialog, Qt::Key_Tab);
                     pressKey(dialog, Qt::Key_Space);
                 } else
                     click(dialog, qPrintable(how));
             }),
             result);
}

void TestDialogs::aboutThemes()
{
    AboutDialog about(nullptr, 0);
    QVERIFY(about.styleSheet().contains("QFrame#container { background: #151A2D;"));
    about.setTheme(1);
    QVERIFY(about.styleSheet().contains("QFrame#container { background: #FFF8F0;"));
    about.setTheme(2);
    const QString light = about.styleSheet();
    QVERIFY(light.contains("QFrame#container { background: #FFFFFF;"));
    about.setTheme(9);
    QCOMPARE(about.styleSheet(), light);
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
    click(&about, qPrintable(button));
    QCOMPARE(box.dialogClass, QString("QMessageBox"));
    QCOMPARE(box.windowTitle, title);
    QVERIFY(about.isVisible());
}

void TestDialogs::imageIsScaledIntoItsLabel()
{
    ImageDialog dialog(nullptr, 2);
    QCOMPARE(dialog.minimumSize(), QSize(400, 550));
    QCOMPARE(dialog.maximumSize(), QSize(400, 550));
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

void TestDialogs::imageClosesRejected_data()
{
    QTest::addColumn<int>("key");  // 0: the mouse on "×"
    QTest::newRow("×") << 0;
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("Space on ×") << int(Qt::Key_Space);
    QTest::newRow("Enter on ×") << int(Qt::Key_Return);
}

void TestDialogs::imageClosesRejected()
{
    QFETCH(int, key);
    ImageDialog dialog(nullptr, 0);
    QCOMPARE(execAnswered(dialog, [key](QWidget* modal) {
                 if (key)
                     pressKey(modal, Qt::Key(key));
                 else
                     click(modal, "imageCloseBtn");
             }),
             int(QDialog::Rejected));
}

void TestDialogs::imageThemes()
{
    ImageDialog dialog(nullptr, 0);
    auto* panel = dialog.findChild<QWidget*>("contentWidget");
    QVERIFY(panel->styleSheet().contains("#contentWidget { background: #1E2230;"));
    dialog.setTheme(1);
    QVERIFY(panel->styleSheet().contains("#contentWidget { background: #FFF8F0;"));
    dialog.setTheme(5);
    QVERIFY(panel->styleSheet().contains("#contentWidget { background: #FFFFFF;"));
    QVERIFY(dialog.styleSheet().isEmpty());
}

void TestDialogs::qrCodeThemesAndCloses()
{
    QrCodeDialog dialog(nullptr, 0);
    QCOMPARE(dialog.width(), 380);
    QVERIFY(dialog.height() >= 500);
    QVERIFY(dialog.styleSheet().contains("QDialog { background: #141923;"));
    dialog.setTheme(2);
    const QString light = dialog.styleSheet();
    QVERIFY(light.contains("QDialog { background: #FFFFFF;"));
    dialog.setTheme(3);
    QCOMPARE(dialog.styleSheet(), light);

    QLabel* box = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->size() == QSize(240, 240))
            box = label;
    QVERIFY(box);
    QVERIFY(box->styleSheet().startsWith("background: white; border-radius: 12px; border: 2px dashed #E0E0E0;"));

    QCOMPARE(execAnswered(dialog, [](QWidget* modal) { pressKey(modal, Qt::Key_Space); }), int(QDialog::Rejected));
}

QTEST_MAIN(TestDialogs)
#include "tst_Dialogs.moc"

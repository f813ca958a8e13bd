// The application object as the program opens it: at Windows' display
// scaling, reduced where a window of the program's size would not fit the
// screen's work area. Qt's offscreen screen is 800 x 600 pixels without a task
// bar; a window of 600 x 450 fits it at 100 % and 125 % (QT_FONT_DPI 96 and
// 120), and at 150 % (144) only when reduced to 133 %. ctest runs each.
#include "ui/DisplayScaling.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QtTest>

#include <vector>

namespace {

const QSize kWindowSize(600, 450);

qreal windowsScale()
{
    return qEnvironmentVariableIntValue("QT_FONT_DPI") / 96.0;
}

bool fitsTheScreen(qreal scale)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSizeF workArea = QSizeF(screen->availableGeometry().size()) * screen->devicePixelRatio();
    return kWindowSize.width() * scale <= workArea.width() && kWindowSize.height() * scale <= workArea.height();
}

} // namespace

class TestScaledApplication : public QObject
{
    Q_OBJECT

private slots:
    // Windows' own scale where the window fits, else the largest whole
    // percent that does, never below 100 %.
    void screenTakesTheLargestScaleThatFits()
    {
        const qreal scale = QGuiApplication::primaryScreen()->devicePixelRatio();
        QVERIFY(scale >= 1 && scale <= windowsScale());
        QVERIFY(fitsTheScreen(scale));
        QVERIFY2(qFuzzyCompare(scale, windowsScale()) || !fitsTheScreen(scale + 0.01), qPrintable(QString::number(scale)));
    }

    void windowOpensInsideTheWorkArea()
    {
        QWidget window(nullptr, Qt::FramelessWindowHint);  // as the program's
        window.setFixedSize(kWindowSize);
        const QRect workArea = window.screen()->availableGeometry();
        window.move(openingPosition(workArea, window.size()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(workArea.contains(window.frameGeometry()));
        QVERIFY(qAbs(window.devicePixelRatioF() - QGuiApplication::primaryScreen()->devicePixelRatio()) < 0.001);
    }

    // Qt's own options of the command line reach the application object
    // even when it is made a second time.
    void qtOptionsAreKept()
    {
        QCOMPARE(QGuiApplication::platformName(), QString("offscreen"));
    }
};

int main(int argc, char* argv[])
{
    // The platform comes from the command line alone: without it the
    // application would look for an X display, and there is none.
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    std::vector<char*> arguments(argv, argv + argc);
    char platformOption[] = "-platform";
    char platform[] = "offscreen";
    arguments.insert(arguments.end(), {platformOption, platform, nullptr});
    int count = static_cast<int>(arguments.size()) - 1;
    const std::unique_ptr<QApplication> app = openScaledApplication(count, arguments.data(), kWindowSize);
    TestScaledApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ScaledApplication.moc"

// Renders the home screen, the pages and the dialogs in each of the three
// themes into PNG files, to look at what a person would see:
//   QT_QPA_PLATFORM=offscreen Screenshots <output folder> [125|150]
// With a scale, the window is drawn as Windows shows it at that display
// scaling, into files named with it ("result-dark-150.png"): the home
// screen, the progress page at its end and the pages after it.
// It runs the window in demo mode, so no machine is needed. The startup
// selection dialog lists the entries of the sample machine, read and never
// saved back; it keeps one light style, so when it looks the same over every
// theme of the window one picture of it is written. The deep-optimisation
// page's dialogs that list what the machine holds (printers, restore points)
// show the sample machine's.
#include "maintenance/StartupManager.h"
#include "maintenance/StartupSelectionDialog.h"
#include "phase2/Phase2Page.h"
#include "phase2/Phase2ProgressDialog.h"
#include "platform/sim/SimMachine.h"
#include "ui/AboutDialog.h"
#include "ui/ChineseDesktop.h"
#include "ui/DisplayScaling.h"
#include "ui/ImageDialog.h"
#include "ui/ProgressPage.h"
#include "ui/QrCodeDialog.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <vector>

namespace {

bool save(QWidget& window, const QDir& dir, const QString& name)
{
    QTest::qWait(200);  // let the sphere turn and the count-up settle
    const bool ok = window.grab().save(dir.filePath(name + ".png"));
    QTextStream(stdout) << (ok ? "wrote " : "FAILED ") << dir.filePath(name + ".png") << '\n';
    return ok;
}

void showProgress(Velantrix& window, int theme)
{
    auto* page = window.findChild<ProgressPage*>();
    page->setGeometry(window.findChild<QWidget*>("contentWidget")->rect());
    page->show();
    page->raise();
    page->setTheme(theme);
    const int steps[][2] = {{0, 0}, {0, 5}, {1, 10}, {2, 30}, {3, 40}, {3, 52}};
    for (const auto& update : steps)
        page->onProgressUpdate(update[0], update[1], QString());
}

// The progress page as a run ends, with its closing words. The window then
// goes on to the result page, which is put away again.
bool saveFinished(Velantrix& window, const QDir& dir, const QString& name)
{
    auto* page = window.findChild<ProgressPage*>();
    QSignalSpy ended(page, &ProgressPage::optimizationFinished);
    page->onProgressUpdate(6, 100, QString());
    page->onOptimizationDone();
    const bool ok = save(window, dir, name);
    ended.wait(3000);
    window.findChild<ResultPage*>()->hide();
    return ok && !page->isVisible();
}

// A dialog as it appears over the window: its own pixels (a transparent
// window around a rounded panel) drawn over the window's centre.
bool saveShownDialog(QWidget& window, QWidget& dialog, const QDir& dir, const QString& name)
{
    QTest::qWait(100);
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    const QPixmap panel = dialog.grab();
    painter.drawPixmap((picture.width() - panel.width()) / 2, (picture.height() - panel.height()) / 2, panel);
    painter.end();
    const bool ok = picture.save(dir.filePath(name + ".png"));
    QTextStream(stdout) << (ok ? "wrote " : "FAILED ") << dir.filePath(name + ".png") << '\n';
    return ok;
}

bool saveDialog(QWidget& window, QDialog& dialog, const QDir& dir, const QString& name)
{
    dialog.show();
    const bool ok = saveShownDialog(window, dialog, dir, name);
    dialog.hide();
    return ok;
}

bool saveDialogs(QWidget& window, int theme, const QString& suffix, const QDir& dir)
{
    AboutDialog about(&window, theme);
    bool ok = saveDialog(window, about, dir, "about-" + suffix);
    ImageDialog image(&window, theme);
    image.setImage(QString(":/ICON/%1.png").arg(theme + 1));  // each picture in one theme
    ok = saveDialog(window, image, dir, "image-" + suffix) && ok;
    QrCodeDialog qrCode(&window, theme);
    ok = saveDialog(window, qrCode, dir, "qrcode-" + suffix) && ok;
    return ok;
}

// The startup dialog as it opens over the window, its list scrolled to the top.
QImage startupDialogImage(Velantrix& window, StartupManager& manager)
{
    StartupSelectionDialog dialog(&manager, &window);
    dialog.resize(dialog.minimumSize() + QSize(0, 120));
    dialog.show();
    QTest::qWait(100);
    return dialog.grab().toImage();
}

// Photographs the modal dialog a click opens, then closes it with Escape.
bool saveModal(QWidget& window, const QDir& dir, const QString& name, const std::function<void()>& open)
{
    bool ok = false;
    QTimer::singleShot(300, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ok = saveShownDialog(window, *modal, dir, name);
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    });
    open();
    return ok;
}

QCheckBox* boxOf(Phase2Page* page, const QString& itemId)
{
    return page->findChild<QCheckBox*>("itemRow_" + itemId);
}

bool savePhase2(Velantrix& window, const QDir& dir, const QString& theme)
{
    auto* page = window.findChild<Phase2Page*>();
    window.findChild<QPushButton*>("phase2EntryBtn")->click();
    page->findChild<QPushButton*>("selectSafeBtn")->click();
    bool ok = save(window, dir, "phase2-" + theme);

    page->scrollToGroup(4);
    ok = save(window, dir, "phase2-report-groups-" + theme) && ok;
    QScrollBar* scroll = page->findChild<QScrollArea*>()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    ok = save(window, dir, "phase2-bottom-" + theme) && ok;
    scroll->setValue(0);

    page->findChild<QLineEdit*>("searchEdit")->setText("c1");
    ok = save(window, dir, "phase2-search-" + theme) && ok;
    page->findChild<QLineEdit*>("searchEdit")->clear();

    ok = saveModal(window, dir, "phase2-eventlog-" + theme, [&] { boxOf(page, "A2")->setChecked(true); }) && ok;
    ok = saveModal(window, dir, "phase2-restorepoints-" + theme, [&] { boxOf(page, "H2")->setChecked(true); }) && ok;
    boxOf(page, "C9")->setChecked(true);
    ok = saveModal(window, dir, "phase2-printers-" + theme,
                   [&] { page->findChild<QPushButton*>("executeBtn")->click(); }) && ok;
    // A machine with more printers than the warning lists: the rest lie
    // behind its details button.
    QVector<win::sim::SimPrinter>& printers = win::sim::SimMachine::current()->system().printers;
    const QVector<win::sim::SimPrinter> samplePrinters = printers;
    for (int i = 1; i <= 40; ++i)
        printers << win::sim::SimPrinter{QString::fromUtf8("办公室打印机 %1").arg(i), false, QString(), QString()};
    ok = saveModal(window, dir, "phase2-printers-many-" + theme,
                   [&] { page->findChild<QPushButton*>("executeBtn")->click(); }) && ok;
    printers = samplePrinters;
    boxOf(page, "C9")->setChecked(false);
    ok = saveModal(window, dir, "phase2-demo-" + theme,
                   [&] { page->findChild<QPushButton*>("executeBtn")->click(); }) && ok;
    page->findChild<QPushButton*>("restoreDefaultBtn")->click();
    ok = saveModal(window, dir, "phase2-empty-" + theme,
                   [&] { page->findChild<QPushButton*>("executeBtn")->click(); }) && ok;
    page->hide();
    return ok;
}

bool saveProgressDialog(Velantrix& window, const QDir& dir, int theme, const QString& name)
{
    Phase2ProgressDialog dialog(&window);
    dialog.setTheme(theme);
    dialog.onProgress(40, QString::fromUtf8("正在执行：磁盘诊断服务"));
    return saveDialog(window, dialog, dir, "phase2-progress-" + name);
}

// The main road at a display scaling: the pages whose texts grow with it.
bool saveScaled(const QDir& dir, int percent)
{
    const char* names[] = {"dark", "warm", "light"};
    bool ok = true;
    for (int theme : {0, 1, 2}) {
        const QString suffix = QString("%1-%2").arg(names[theme]).arg(percent);
        Velantrix window;
        window.show();
        window.setTheme(theme);
        ok = save(window, dir, "home-" + suffix) && ok;
        showProgress(window, theme);
        ok = saveFinished(window, dir, "finished-" + suffix) && ok;
        window.findChild<QPushButton*>("startBtn")->click();
        QTest::qWait(1300);
        ok = save(window, dir, "result-" + suffix) && ok;
        window.findChild<QPushButton*>("phase2EntryBtn")->click();
        ok = save(window, dir, "phase2-" + suffix) && ok;
        window.findChild<Phase2Page*>()->hide();
        window.findChild<QPushButton*>("startBtn")->click();
        QTest::qWait(1300);
        window.findChild<QPushButton*>("averageBtn")->click();
        ok = save(window, dir, "servicecard-" + suffix) && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    const int percent = argc == 3 ? QByteArray(argv[2]).toInt() : 100;
    if ((argc != 2 && argc != 3) || percent < 100) {
        QTextStream(stderr) << "usage: Screenshots <output folder> [125|150]\n";
        return 2;
    }
    // Windows at that scaling reports 96 dots per inch for each 100 %.
    qputenv("QT_FONT_DPI", QByteArray::number(96 * percent / 100));
    followWindowsDisplayScaling();
    std::vector<char*> arguments(argv, argv + 2);
    char demoSwitch[] = "--cs";
    arguments.push_back(demoSwitch);
    int count = static_cast<int>(arguments.size());
    QApplication app(count, arguments.data());
    installFontSubstitutes();
    installQtChineseTranslation(app);
    QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(".");
    if (percent != 100)
        return saveScaled(dir, percent) ? 0 : 1;

    win::sim::SimMachine sample;
    QString error;
    if (!sample.load(QStringLiteral(TESSARO_SOURCE_DIR "/machines/sample"), &error)) {
        QTextStream(stderr) << "the sample machine did not load: " << error << '\n';
        return 1;
    }
    win::sim::SimMachine::makeCurrent(&sample);
    StartupManager manager;
    manager.scanItems();
    win::sim::SimMachine::makeCurrent(nullptr);

    const char* names[] = {"dark", "warm", "light"};
    bool ok = true;
    QVector<QImage> dialogs;
    for (int theme : {0, 1, 2}) {
        Velantrix window;
        window.show();
        window.setTheme(theme);
        ok = save(window, dir, QString("home-%1").arg(names[theme])) && ok;

        showProgress(window, theme);
        ok = save(window, dir, QString("progress-%1").arg(names[theme])) && ok;
        ok = saveFinished(window, dir, QString("finished-%1").arg(names[theme])) && ok;
        ok = saveDialogs(window, theme, names[theme], dir) && ok;

        window.findChild<QPushButton*>("startBtn")->click();
        QTest::qWait(1300);
        ok = save(window, dir, QString("result-%1").arg(names[theme])) && ok;
        win::sim::SimMachine::makeCurrent(&sample);
        ok = savePhase2(window, dir, names[theme]) && ok;
        win::sim::SimMachine::makeCurrent(nullptr);
        ok = saveProgressDialog(window, dir, theme, names[theme]) && ok;
        // The window is active again once its dialogs are gone, as on the
        // desktop: the service card scrolls to the button that takes the keyboard.
        QApplication::setActiveWindow(&window);

        window.findChild<QPushButton*>("startBtn")->click();
        QTest::qWait(1300);

        window.findChild<QPushButton*>("helpfulBtn")->click();
        ok = save(window, dir, QString("thanks-%1").arg(names[theme])) && ok;
        window.findChild<QPushButton*>("secondaryBtn")->click();
        window.findChild<QPushButton*>("startBtn")->click();
        QTest::qWait(1300);
        window.findChild<QPushButton*>("averageBtn")->click();
        ok = save(window, dir, QString("servicecard-%1").arg(names[theme])) && ok;

        dialogs << startupDialogImage(window, manager);
    }
    const bool oneLook = dialogs.at(0) == dialogs.at(1) && dialogs.at(1) == dialogs.at(2);
    for (int theme : {0, 1, 2}) {
        const QString name = oneLook ? QString("startup-dialog") : QString("startup-dialog-%1").arg(names[theme]);
        const bool saved = dialogs.at(theme).save(dir.filePath(name + ".png"));
        QTextStream(stdout) << (saved ? "wrote " : "FAILED ") << dir.filePath(name + ".png") << '\n';
        ok = saved && ok;
        if (oneLook)
            break;
    }
    return ok ? 0 : 1;
}

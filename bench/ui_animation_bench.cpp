// CPU used while the progress page animates for 10 s (goal: under 15 % of
// one core). The page is shown in the real main window and fed a progress
// announcement every half second, as a run would.
// Run by hand: QT_QPA_PLATFORM=offscreen ui_animation_bench
#include "ui/ProgressPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Velantrix window;
    window.show();
    auto* page = window.findChild<ProgressPage*>();
    page->setGeometry(window.findChild<QWidget*>("contentWidget")->rect());
    page->show();
    page->raise();
    page->setTheme(window.currentTheme());

    int percent = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, page, [&] {
        percent = qMin(percent + 5, 100);
        page->onProgressUpdate(percent * 7 / 101, percent, QString());
    });
    feed.start(500);

    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    QTimer::singleShot(10000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = wall.elapsed() / 1000.0;
    QTextStream(stdout) << QString("progress page animating %1 s: %2 s CPU = %3 % of one core (goal < 15 %)\n")
                               .arg(seconds, 0, 'f', 1).arg(cpu, 0, 'f', 2).arg(100 * cpu / seconds, 0, 'f', 1);
    return 0;
}

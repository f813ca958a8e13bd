// What the window costs while it is shown:
//  - wake-ups while the home page lies idle for 5 s, after 3 s to settle
//    (goal: none). Every return of the event loop from its wait counts, and
//    the timer events delivered meanwhile are counted by the object they
//    reached;
//  - CPU used while the progress page animates for 10 s (goal: at most 4 %
//    of one core). The page is shown in the real main window and fed a
//    progress announcement every half second, as a run would.
// Run by hand: QT_QPA_PLATFORM=offscreen ui_animation_bench
#include "ui/ProgressPage.h"
#include "ui/Velantrix.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QMap>
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

// Counts the timer events the application delivers, by the class and name
// of the object they reach (and of its parent, for a timer of no name).
class TimerEventCounter : public QObject
{
public:
    QMap<QString, int> counts;

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && receiver->objectName() != QLatin1String("benchClock"))
            ++counts[describe(receiver)];
        return false;
    }

private:
    static QString describe(const QObject* object)
    {
        QString name = QString::fromLatin1(object->metaObject()->className());
        if (!object->objectName().isEmpty())
            name += '#' + object->objectName();
        if (object->parent())
            name += QStringLiteral(" in ") + describe(object->parent());
        return name;
    }
};

// Runs the event loop for `ms` and answers how often it woke from its wait
// for anything but the end of the run.
int wakeUpsWithin(QApplication& app, int ms)
{
    int wakeUps = 0;
    const QMetaObject::Connection counting =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&wakeUps] { ++wakeUps; });
    QTimer clock;
    clock.setObjectName(QStringLiteral("benchClock"));
    clock.setSingleShot(true);
    clock.setTimerType(Qt::PreciseTimer);
    QObject::connect(&clock, &QTimer::timeout, &app, &QCoreApplication::quit);
    clock.start(ms);
    app.exec();
    QObject::disconnect(counting);
    // An event loop that waits for nothing but the end of the run passes
    // twice: once to start waiting, once when the run ends.
    return qMax(0, wakeUps - 2);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    Velantrix window;
    window.show();

    QTimer::singleShot(3000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    TimerEventCounter timers;
    app.installEventFilter(&timers);
    const int idleMs = 5000;
    const int wakeUps = wakeUpsWithin(app, idleMs);
    app.removeEventFilter(&timers);
    out << QString("home page idle %1 s: %2 wake-ups = %3 a second (goal: none)\n")
               .arg(idleMs / 1000.0, 0, 'f', 1).arg(wakeUps).arg(wakeUps * 1000.0 / idleMs, 0, 'f', 1);
    for (auto it = timers.counts.constBegin(); it != timers.counts.constEnd(); ++it)
        out << QString("  %1 timer events: %2\n").arg(it.value()).arg(it.key());
    out.flush();

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
    out << QString("progress page animating %1 s: %2 s CPU = %3 % of one core (goal <= 4 %)\n")
               .arg(seconds, 0, 'f', 1).arg(cpu, 0, 'f', 2).arg(100 * cpu / seconds, 0, 'f', 1);
    return 0;
}

// What the window costs while it is shown, built as main() builds it, with
// its machine session (which saves the machine's changes) on a small machine:
//  - wake-ups while the home page lies idle for 5 s, after 3 s to settle
//    (goal: none). Every return of the window's event loop from its wait
//    counts, and the timer events delivered meanwhile are counted by the
//    object they reached; the autosave's thread must not wake either;
//  - CPU used while the progress page animates (goal: at most 4 % of one
//    core), measured side by side with a plain spinning widget of the
//    sphere's size repainted as often, in alternating rounds of 5 s, so that
//    the load of a shared machine weighs on both alike. The page is shown in
//    the real main window and fed a progress announcement every half
//    second, as a run would.
// Run by hand: QT_QPA_PLATFORM=offscreen ui_animation_bench
#include "BenchFigures.h"
#include "TestMachine.h"
#include "common/FileLogger.h"
#include "platform/sim/MachineAutosave.h"
#include "platform/sim/MachineSession.h"
#include "ui/ChineseDesktop.h"
#include "ui/ProgressPage.h"
#include "ui/Velantrix.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QPainter>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

namespace {

const int Rounds = 3;
const int RoundMs = 5000;

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

// The plainest animation: a line turning as often as the sphere turns, over
// a background of its own, the size of the sphere.
class Spinner : public QWidget
{
public:
    explicit Spinner(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_timer.setInterval(30);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle += 2;
            update();
        });
    }
    void setTurning(bool turning) { turning ? m_timer.start() : m_timer.stop(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(rect(), QColor(240, 242, 248));
        painter.translate(rect().center());
        painter.rotate(m_angle);
        painter.setPen(QPen(QColor(26, 115, 232), 4));
        painter.drawLine(0, 0, width() / 2 - 10, 0);
    }

private:
    QTimer m_timer;
    qreal m_angle = 0;
};

// CPU used while the event loop runs `ms`, as a share of one core.
double cpuShareWithin(QApplication& app, int ms)
{
    QElapsedTimer wall;
    const double before = cpuSeconds();
    wall.start();
    QTimer::singleShot(ms, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    return 100 * (cpuSeconds() - before) / (wall.elapsed() / 1000.0);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tessaro");
    QCoreApplication::setApplicationVersion("2.0.0");
    installFontSubstitutes();
    installQtChineseTranslation(app);
    QTextStream out(stdout);

    TestMachine folder;
    win::sim::SimMachine::makeCurrent(nullptr);
    qputenv("TESSARO_MACHINE", QFile::encodeName(folder.folder()));
    win::sim::MachineSession session;
    if (!session.open(QCoreApplication::applicationDirPath())) {
        out << session.errorMessage() << '\n';
        return 1;
    }
    FileLogger::instance()->init(QCoreApplication::applicationDirPath() + "/logs");
    Velantrix window;
    window.show();

    QTimer::singleShot(3000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    TimerEventCounter timers;
    app.installEventFilter(&timers);
    const int idleMs = 5000;
    const int autosaveBefore = session.autosave()->wakeUps();
    const int wakeUps = wakeUpsWithin(app, idleMs);
    const int autosaveWakeUps = session.autosave()->wakeUps() - autosaveBefore;
    app.removeEventFilter(&timers);
    out << QString("home page idle %1 s: %2 wake-ups = %3 a second; the autosave's thread: %4 (goal: none)\n")
               .arg(idleMs / 1000.0, 0, 'f', 1).arg(wakeUps).arg(wakeUps * 1000.0 / idleMs, 0, 'f', 1)
               .arg(autosaveWakeUps);
    for (auto it = timers.counts.constBegin(); it != timers.counts.constEnd(); ++it)
        out << QString("  %1 timer events: %2\n").arg(it.value()).arg(it.key());
    out.flush();

    QWidget* content = window.findChild<QWidget*>("contentWidget");
    auto* page = window.findChild<ProgressPage*>();
    page->setGeometry(content->rect());
    page->setTheme(window.currentTheme());
    Spinner spinner(content);
    spinner.resize(380, 380);
    spinner.move(content->rect().center() - spinner.rect().center());

    int percent = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, page, [&] {
        percent = percent >= 100 ? 0 : percent + 5;
        page->onProgressUpdate(percent * 7 / 101, percent, QString());
    });
    QVector<double> animation;
    QVector<double> plain;
    for (int round = 0; round < 2 * Rounds; ++round) {
        const bool animating = round % 2 == 0;
        page->setVisible(animating);
        page->raise();
        spinner.setVisible(!animating);
        spinner.raise();
        spinner.setTurning(!animating);
        animating ? feed.start(500) : feed.stop();
        (animating ? animation : plain) << cpuShareWithin(app, RoundMs);
    }
    out << QString("progress page animating: %1 % of one core; a plain spinner beside it: %2 %; "
                   "page / spinner %3 (goal: the page <= 4 %; medians of %4 rounds of %5 s)\n")
               .arg(medianOf(animation), 0, 'f', 1).arg(medianOf(plain), 0, 'f', 1)
               .arg(medianOf(animation) / medianOf(plain), 0, 'f', 2).arg(Rounds).arg(RoundMs / 1000);
    return 0;
}

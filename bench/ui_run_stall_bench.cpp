// How long the window stops answering while a one-click run works through
// a large machine: the main window as main() builds it, with its machine
// session (which saves the machine's changes as the run makes them), on a
// generated machine of 1,000,000 registry values and 100,000, 300,000 and
// 1,000,000 files (or the file counts given), each with a fact in
// machine.json, all of which the cache step deletes. A timer of the window's
// thread ticks every 5 ms; the longest gap between two ticks, less the 5 ms,
// is the longest stall. Measured while the machine lies idle for 5 s after
// the window shows, and from the start button until the result page shows
// and the last changes are saved. The waiting seam does not sleep.
// Each gap is put down to the phase of the run it falls in, told by where the
// window stood at the tick before it and at the tick that ended it: the
// start click with the progress page's first paint, the run under the
// progress page, the result page's first show, and the result page shown
// while the last changes are saved. The longest gap of each phase is printed
// beside the longest of all, so a fixed cost of a first show stands apart
// from one that grows with the machine.
// Each size is measured in a process of its own, as the program opens one
// window per process: a first show is measured as a first show.
// Goals: under 100 ms at 1,000,000 files, and no growth with the files (the
// growth exponent of the run's stall at most 1.1).
// Run by hand, with TMPDIR on a RAM disk large enough for the files:
//   QT_QPA_PLATFORM=offscreen ui_run_stall_bench [files...]
#include "BenchFigures.h"
#include "MachineGenerator.h"
#include "common/FileLogger.h"
#include "platform/sim/MachineSession.h"
#include "platform/sim/SimMachine.h"
#include "ui/ChineseDesktop.h"
#include "ui/ProgressPage.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstring>
#include <functional>

namespace {

const int RegistryValues = 1000000;
const int TickMs = 5;
const char* const kChildVariable = "TESSARO_STALL_CHILD";
const char* const kStallLine = "longest stall during the run in ms: ";

void fail(const QString& what)
{
    QTextStream(stderr) << "ui_run_stall_bench: " << what << '\n';
    std::exit(1);
}

// Where the window stands, as a tick sees it.
enum class Where { Home, StartClick, ProgressUnpainted, Progress, ResultUnpainted, Result };

// The phase of the run a gap falls in, by where the window stood at its two ends.
QString phaseOf(Where from, Where to)
{
    if (from == Where::StartClick || from == Where::ProgressUnpainted || to == Where::ProgressUnpainted)
        return QStringLiteral("start click and progress page shown");
    if (from == Where::ResultUnpainted || to == Where::ResultUnpainted || (from != Where::Result && to == Where::Result))
        return QStringLiteral("result page shown");
    if (to == Where::Result)
        return QStringLiteral("result page, changes saved");
    if (from == Where::Home && to == Where::Home)
        return QStringLiteral("home page");
    return QStringLiteral("run under the progress page");
}

// The longest time the event loop did not get round to the tick, overall and
// in each phase of the run.
class StallProbe
{
public:
    explicit StallProbe(std::function<Where()> where) : m_where(std::move(where))
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(TickMs);
        QObject::connect(&m_tick, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_longest.clear();
        m_order.clear();
        m_clock.start();
        m_last = 0;
        m_lastWhere = m_where();
        m_tick.start();
    }
    // What the window does next, outside the event loop, until the next tick.
    void mark(Where where) { m_lastWhere = where; }
    void stop() { m_tick.stop(); }
    double longestStallMs() const
    {
        qint64 longest = 0;
        for (qint64 gap : m_longest)
            longest = qMax(longest, gap);
        return stallMs(longest);
    }
    QString longestPhase() const
    {
        for (const QString& phase : m_order)
            if (stallMs(m_longest[phase]) == longestStallMs())
                return phase;
        return QString();
    }
    // "phase 12.3 ms; phase 4.5 ms", in the order the phases came.
    QString byPhase() const
    {
        QStringList parts;
        for (const QString& phase : m_order)
            parts << QString("%1 %2 ms").arg(phase).arg(stallMs(m_longest[phase]), 0, 'f', 1);
        return parts.join(QStringLiteral("; "));
    }

private:
    static double stallMs(qint64 gapNs) { return qMax(0.0, gapNs / 1e6 - TickMs); }
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const Where here = m_where();
        const QString phase = phaseOf(m_lastWhere, here);
        if (!m_longest.contains(phase))
            m_order << phase;
        m_longest[phase] = qMax(m_longest.value(phase), now - m_last);
        m_last = now;
        m_lastWhere = here;
    }

    std::function<Where()> m_where;
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    Where m_lastWhere = Where::Home;
    QMap<QString, qint64> m_longest;
    QStringList m_order;
};

// Which of the two pages of a run shows, and whether it has been painted.
class PageWatch : public QObject
{
public:
    PageWatch(QWidget* progress, QWidget* result) : m_progress(progress), m_result(result)
    {
        progress->installEventFilter(this);
        result->installEventFilter(this);
    }
    Where where() const
    {
        if (m_result->isVisible())
            return m_painted.contains(m_result) ? Where::Result : Where::ResultUnpainted;
        if (m_progress->isVisible())
            return m_painted.contains(m_progress) ? Where::Progress : Where::ProgressUnpainted;
        return Where::Home;
    }

protected:
    // The tick after a page's paint event sees it painted.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted.insert(watched);
        return false;
    }

private:
    QWidget* m_progress;
    QWidget* m_result;
    QSet<QObject*> m_painted;
};

// The engine's lines would bury the figures; warnings still show.
void quietEngine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && !message.startsWith(QLatin1String("[OptimizeCore]")))
        QTextStream(stderr) << message << '\n';
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figures
{
    double idle = 0;
    double run = 0;
    double runSeconds = 0;
    QString runPhase;
    QString runByPhase;
};

Figures measure(int files)
{
    QTemporaryDir work;
    const QString folder = work.filePath(QStringLiteral("machine"));
    MachineGenerator::Counts counts;
    counts.registryValues = RegistryValues;
    counts.files = files;
    QString error;
    if (!MachineGenerator(counts).write(folder, &error))
        fail(error);
    qputenv("TESSARO_MACHINE", QFile::encodeName(folder));

    Figures figures;
    {
        win::sim::MachineSession session;
        if (!session.open(QCoreApplication::applicationDirPath()))
            fail(session.errorMessage());
        win::sim::SimMachine::current()->clock().setRealSleep(false);
        Velantrix window;
        auto* result = window.findChild<ResultPage*>();
        const PageWatch pages(window.findChild<ProgressPage*>(), result);
        StallProbe probe([&pages] { return pages.where(); });
        window.show();
        runEventsFor(1000);

        probe.start();
        runEventsFor(5000);
        probe.stop();
        figures.idle = probe.longestStallMs();

        QElapsedTimer run;
        run.start();
        probe.start();
        probe.mark(Where::StartClick);
        window.findChild<QPushButton*>(QStringLiteral("startBtn"))->click();
        while (!result->isVisible()) {
            runEventsFor(100);
            if (run.elapsed() > 30 * 60 * 1000)
                fail(QStringLiteral("the run did not end within half an hour"));
        }
        figures.runSeconds = run.elapsed() / 1000.0;
        runEventsFor(3000);   // the last changes are saved meanwhile
        probe.stop();
        figures.run = probe.longestStallMs();
        figures.runPhase = probe.longestPhase();
        figures.runByPhase = probe.byPhase();
    }
    return figures;
}

// The figures of one machine size, measured in a process of its own: the
// fonts the pages set up on their first show are kept for the life of the
// process, so a second window in the same process would show its pages
// warm, at a fraction of what the program pays.
int runChild(int argc, char** argv, int files)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tessaro");
    // The fonts and translations the program's main() sets up: which fonts
    // answer decides what the first shows of the pages cost.
    installFontSubstitutes();
    installQtChineseTranslation(app);
    qInstallMessageHandler(quietEngine);
    FileLogger::instance()->init(QCoreApplication::applicationDirPath() + "/logs");
    const Figures figures = measure(files);
    QTextStream out(stdout);
    out << QString("%1 files with facts, %2 registry values: longest stall idle %3 ms; during the run (%4 s) %5 ms"
                   " (goal < 100 ms), in: %6\n  longest of each phase: %7\n")
               .arg(files).arg(RegistryValues).arg(figures.idle, 0, 'f', 1).arg(figures.runSeconds, 0, 'f', 1)
               .arg(figures.run, 0, 'f', 1).arg(figures.runPhase, figures.runByPhase);
    out << kStallLine << QString::number(figures.run, 'f', 3) << '\n';
    return 0;
}

// Runs the child for one size, passes its lines on and answers its longest
// stall during the run.
double measureInChild(int files)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QString::number(files)});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        fail(QStringLiteral("the measurement of %1 files failed").arg(files));
    double stall = -1;
    QTextStream out(stdout);
    for (const QString& line : QString::fromUtf8(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String(kStallLine)))
            stall = line.mid(int(strlen(kStallLine))).toDouble();
        else
            out << line << '\n';
    }
    out.flush();
    if (stall < 0)
        fail(QStringLiteral("the measurement of %1 files gave no figure").arg(files));
    return stall;
}

} // namespace

int main(int argc, char** argv)
{
    QVector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << qMax(1, atoi(argv[i]));
    if (sizes.isEmpty())
        sizes = {100000, 300000, 1000000};
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runChild(argc, argv, sizes.first());

    QCoreApplication app(argc, argv);
    // The agreement is taken as given, as after a first run.
    const QString flag = QCoreApplication::applicationDirPath() + "/../../eula_accepted.flag";
    const bool flagWasThere = QFile::exists(flag);
    QFile agreement(flag);
    if (!flagWasThere && (!agreement.open(QIODevice::WriteOnly) || agreement.write("1") != 1))
        fail(QStringLiteral("cannot accept the agreement at ") + flag);
    agreement.close();

    QVector<double> x;
    QVector<double> runStalls;
    for (int files : sizes) {
        x << files;
        runStalls << measureInChild(files);
    }
    QTextStream(stdout) << QString("longest stall during the run, growth exponent: %1 (goal <= 1.1)\n")
                               .arg(growthExponent(x, runStalls), 0, 'f', 2);
    if (!flagWasThere)
        QFile::remove(flag);
    return 0;
}

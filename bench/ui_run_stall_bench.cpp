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
// Goals: under 100 ms at 1,000,000 files, and no growth with the files (the
// growth exponent of the run's stall at most 1.1).
// Run by hand, with TMPDIR on a RAM disk large enough for the files:
//   QT_QPA_PLATFORM=offscreen ui_run_stall_bench [files...]
#include "BenchFigures.h"
#include "MachineGenerator.h"
#include "common/FileLogger.h"
#include "platform/sim/MachineSession.h"
#include "platform/sim/SimMachine.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

const int RegistryValues = 1000000;
const int TickMs = 5;

void fail(const QString& what)
{
    QTextStream(stderr) << "ui_run_stall_bench: " << what << '\n';
    std::exit(1);
}

// The longest time the event loop did not get round to the tick.
class StallProbe
{
public:
    StallProbe()
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(TickMs);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = qMax(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_tick.start();
    }
    double longestStallMs()
    {
        m_tick.stop();
        return qMax(0.0, m_longest / 1e6 - TickMs);
    }

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
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
    StallProbe probe;
    {
        win::sim::MachineSession session;
        if (!session.open(QCoreApplication::applicationDirPath()))
            fail(session.errorMessage());
        win::sim::SimMachine::current()->clock().setRealSleep(false);
        Velantrix window;
        window.show();
        runEventsFor(1000);

        probe.start();
        runEventsFor(5000);
        figures.idle = probe.longestStallMs();

        auto* result = window.findChild<ResultPage*>();
        QElapsedTimer run;
        run.start();
        probe.start();
        window.findChild<QPushButton*>(QStringLiteral("startBtn"))->click();
        while (!result->isVisible()) {
            runEventsFor(100);
            if (run.elapsed() > 30 * 60 * 1000)
                fail(QStringLiteral("the run did not end within half an hour"));
        }
        figures.runSeconds = run.elapsed() / 1000.0;
        runEventsFor(3000);   // the last changes are saved meanwhile
        figures.run = probe.longestStallMs();
    }
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QVector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << qMax(1, atoi(argv[i]));
    if (sizes.isEmpty())
        sizes = {100000, 300000, 1000000};
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tessaro");
    qInstallMessageHandler(quietEngine);
    QTextStream out(stdout);
    FileLogger::instance()->init(QCoreApplication::applicationDirPath() + "/logs");
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
        const Figures figures = measure(files);
        x << files;
        runStalls << figures.run;
        out << QString("%1 files with facts, %2 registry values: longest stall idle %3 ms; during the run (%4 s) %5 ms"
                       " (goal < 100 ms)\n")
                   .arg(files).arg(RegistryValues).arg(figures.idle, 0, 'f', 1).arg(figures.runSeconds, 0, 'f', 1)
                   .arg(figures.run, 0, 'f', 1);
        out.flush();
    }
    out << QString("longest stall during the run, growth exponent: %1 (goal <= 1.1)\n")
               .arg(growthExponent(x, runStalls), 0, 'f', 2);
    if (!flagWasThere)
        QFile::remove(flag);
    return 0;
}

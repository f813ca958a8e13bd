// The deep-optimisation page in the main window, at 500, 1,000 and 2,000 rows
// (or the sizes given), once with startup rows and once with leftover rows
// (each beside its program's row);
// each figure is the median of three rounds, from the call until the page
// has laid itself out and painted:
//  - setReport while the result page is shown, as a run's end calls it
//    (goal at 2,000 rows: under 150 ms);
//  - opening the page from the result page;
//  - typing one letter into the search box, and clearing it again
//    (goal at 2,000 rows: under 50 ms each).
// Each row of figures ends with its growth exponent over the sizes (goal: at
// most 1.1, linear in the rows).
// Run by hand: QT_QPA_PLATFORM=offscreen ui_phase2_page_bench [rows...]
#include "BenchFigures.h"
#include "phase2/Phase2Page.h"
#include "ui/Velantrix.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTextStream>
#include <functional>

namespace {

const int Rounds = 3;

// Runs what the event loop has to do until it has nothing left: layouts,
// paints and the deletion of replaced cards.
void settle()
{
    for (int pass = 0; pass < 20; ++pass) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents))
            break;
    }
}

double timeSettled(const std::function<void()>& action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    settle();
    return timer.nsecsElapsed() / 1e6;
}

// `rows` startup entries that the page offers to switch off, each with a
// command long enough to be cut in its row.
ScanReportBundle startupReport(int rows)
{
    ScanReportBundle report;
    for (int i = 0; i < rows; ++i) {
        StartupFinding finding;
        finding.name = QStringLiteral("Agent%1").arg(i, 5, 10, QChar('0'));
        finding.command = QStringLiteral("\"C:\\Program Files\\Vendor%1\\agent.exe\" /background /silent").arg(i);
        finding.location = QStringLiteral("HKCU Run");
        finding.type = 1;
        finding.score = 40;
        finding.riskLevel = 1 + i % 2;
        finding.canDisable = true;
        finding.riskLabel = QString::fromUtf8("🟠 可疑");
        report.startupItems << finding;
    }
    return report;
}

// `rows` leftover rows: as many programs, each with the folders it left; each
// program has a row of its own above its leftovers, so the page holds twice
// as many rows.
ScanReportBundle leftoverReport(int rows)
{
    ScanReportBundle report;
    for (int i = 0; i < rows; ++i) {
        JunkwareFinding finding;
        finding.id = QStringLiteral("adw-%1").arg(i);
        finding.name = QStringLiteral("Toolbar%1").arg(i);
        finding.riskLevel = QStringLiteral("medium");
        finding.dimension = QString::fromUtf8("文件路径");
        finding.evidence = QStringList{QStringLiteral("C:\\ProgramData\\Toolbar%1").arg(i),
                                       QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\Toolbar%1\\cache").arg(i)};
        report.junkware << finding;
    }
    return report;
}

struct Figures
{
    double setReport = 0;
    double open = 0;
    double type = 0;
    double clear = 0;
};

Figures measure(const ScanReportBundle& report)
{
    QVector<double> setReport, open, type, clear;
    for (int round = 0; round < Rounds; ++round) {
        Velantrix window;
        window.show();
        settle();
        auto* page = window.findChild<Phase2Page*>();
        auto* search = page->findChild<QLineEdit*>(QStringLiteral("searchEdit"));
        setReport << timeSettled([&] { page->setReport(report); });
        open << timeSettled([&] { QMetaObject::invokeMethod(&window, "onPhase2Clicked"); });
        type << timeSettled([&] { search->setText(QStringLiteral("7")); });
        clear << timeSettled([&] { search->clear(); });
    }
    return {medianOf(setReport), medianOf(open), medianOf(type), medianOf(clear)};
}

void printTable(QTextStream& out, const char* what, const QVector<int>& sizes,
                const std::function<ScanReportBundle(int)>& reportOf)
{
    QVector<double> x;
    QVector<Figures> figures;
    for (int rows : sizes) {
        x << rows;
        figures << measure(reportOf(rows));
        const Figures& f = figures.last();
        out << QString("%1, %2 rows: setReport %3 ms, open %4 ms, type %5 ms, clear %6 ms\n")
                   .arg(what).arg(rows).arg(f.setReport, 0, 'f', 1).arg(f.open, 0, 'f', 1)
                   .arg(f.type, 0, 'f', 1).arg(f.clear, 0, 'f', 1);
        out.flush();
    }
    const auto exponent = [&](double Figures::*field) {
        QVector<double> y;
        for (const Figures& f : figures)
            y << f.*field;
        return QString::number(growthExponent(x, y), 'f', 2);
    };
    out << QString("%1, growth exponent: setReport %2, open %3, type %4, clear %5 (goal <= 1.1)\n")
               .arg(what, exponent(&Figures::setReport), exponent(&Figures::open), exponent(&Figures::type),
                    exponent(&Figures::clear));
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    QVector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << qMax(1, atoi(argv[i]));
    // Demo mode: the window asks no update server while it is measured.
    char demo[] = "--cs";
    int windowArgc = 2;
    char* windowArgv[] = {argv[0], demo, nullptr};
    QApplication app(windowArgc, windowArgv);
    QTextStream out(stdout);
    if (sizes.isEmpty())
        sizes = {500, 1000, 2000};
    out << QString("ui_phase2_page_bench: medians of %1 rounds (goals at 2,000 rows: setReport < 150 ms, "
                   "type and clear < 50 ms)\n").arg(Rounds);
    printTable(out, "startup rows", sizes, startupReport);
    printTable(out, "leftover rows", sizes, leftoverReport);
    return 0;
}

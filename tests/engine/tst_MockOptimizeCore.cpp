// The canned run: its announcements in order, one per 800 ms tick, against a
// clock the test drives itself, and once on a real timer.
#include "engine/MockOptimizeCore.h"

#include <QTimer>
#include <QtTest>

namespace {

// Every signal of the canned run as one line, stamped with the test's clock.
class RunRecorder : public QObject
{
public:
    explicit RunRecorder(MockOptimizeCore& core)
    {
        connect(&core, &MockOptimizeCore::progressUpdated, this, [this](int step, int percent, const QString& text) {
            lines << QString("%1 ms: %2 %3 %4").arg(nowMs).arg(step).arg(percent).arg(text);
        });
        connect(&core, &MockOptimizeCore::optimizationFinished, this, [this](int a, int b, int c, int d, int e) {
            lines << QString("%1 ms: finished %2 %3 %4 %5 %6").arg(nowMs).arg(a).arg(b).arg(c).arg(d).arg(e);
        });
        connect(&core, &MockOptimizeCore::errorOccurred, this, [this](const QString& error) {
            lines << "error " + error;
        });
    }
    int nowMs = 0;
    QStringList lines;
};

const QStringList kWholeRun = {
    "0 ms: -1 0 正在检查系统环境...",
    "800 ms: -1 0 正在检查您的电脑...",
    "1600 ms: -1 0 看看是什么系统版本...",
    "2400 ms: -1 0 检查电源和磁盘...",
    "3200 ms: -1 0 准备开始优化啦...",
    "4000 ms: 0 5 准备好啦，开始帮您收拾电脑...",
    "4800 ms: 0 15 正在找没用的垃圾文件...",
    "5600 ms: 1 30 正在清理上网留下的垃圾...",
    "6400 ms: 2 50 正在关掉后台偷偷跑的程序...",
    "7200 ms: 3 70 正在把电脑调到最顺手...",
    "8000 ms: 4 85 正在给硬盘提速...",
    "8800 ms: 5 95 正在看看哪些软件开机自己跑...",
    "9600 ms: 6 100 收拾完啦！",
    "9600 ms: finished 1520 450 1286 12 2",
};

// The test's clock: each tick the core's timer would give, while it runs.
void tickWhileRunning(MockOptimizeCore& core, RunRecorder& recorder, int ticks)
{
    auto* timer = core.findChild<QTimer*>();
    for (int i = 0; i < ticks && timer->isActive(); ++i) {
        recorder.nowMs += timer->interval();
        QMetaObject::invokeMethod(&core, "nextStep");
    }
}

} // namespace

class TestMockOptimizeCore : public QObject
{
    Q_OBJECT

private slots:
    void cannedRunInOrder();
    void runsOnItsOwnTimer();
};

// A restart in the middle of a run begins again at the first row.
void TestMockOptimizeCore::cannedRunInOrder()
{
    MockOptimizeCore core;
    RunRecorder recorder(core);
    auto* timer = core.findChild<QTimer*>();
    QVERIFY(!timer->isActive());
    core.startOptimize();
    QCOMPARE(timer->interval(), 800);
    tickWhileRunning(core, recorder, 7);  // into the work rows
    recorder.lines.clear();
    recorder.nowMs = 0;
    core.startOptimize();
    tickWhileRunning(core, recorder, 20);
    QCOMPARE(recorder.lines, kWholeRun);
    QVERIFY(!timer->isActive());  // no tick follows the last row
}

void TestMockOptimizeCore::runsOnItsOwnTimer()
{
    MockOptimizeCore core;
    core.findChild<QTimer*>()->setInterval(1);
    QSignalSpy progress(&core, &MockOptimizeCore::progressUpdated);
    QSignalSpy finished(&core, &MockOptimizeCore::optimizationFinished);
    core.startOptimize();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(progress.count(), 13);
    QTest::qWait(20);
    QCOMPARE(progress.count(), 13);
}

QTEST_MAIN(TestMockOptimizeCore)
#include "tst_MockOptimizeCore.moc"

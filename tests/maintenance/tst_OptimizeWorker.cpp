#include "ManagerLog.h"
#include "TestMachine.h"
#include "maintenance/OptimizeWorker.h"

#include <QSignalSpy>
#include <QtTest>
#include <thread>

namespace {

const QStringList Tips = {"电脑用久了会产生碎片，就像房间需要打扫一样。", "优化过程安全无毒，请放心。",
                          "定期清理可以让电脑保持流畅运行。", "内存就像工作台，空间越大同时做的事越多。",
                          "关闭不必要的视觉效果可以让电脑更快。", "SSD固态硬盘不需要碎片整理，TRIM就够了。",
                          "开机启动项越少，电脑开机速度越快。", "临时文件是软件运行产生的垃圾，定期清理有益健康。"};

// The first line each step's work writes, in the order of the steps.
const QStringList StepFirstLines = {"开始扫描可清理空间...", "开始执行系统垃圾清理...", "开始内存优化...",
                                    "开始系统设置优化...", "开始磁盘维护..."};

// What a run announced, one line per signal, tips replaced by their check.
struct Announcements
{
    QStringList lines;
    int finished = 0;
    QStringList errors;

    explicit Announcements(OptimizeWorker& worker)
    {
        QObject::connect(&worker, &OptimizeWorker::stepChanged, [this](int index, const QString& name) {
            lines << QStringLiteral("step %1 %2").arg(index).arg(name);
        });
        QObject::connect(&worker, &OptimizeWorker::progressChanged,
                         [this](int percent, const QString& status, const QString& tip) {
                             const QString known = Tips.contains(tip) ? QStringLiteral("tip") : tip;
                             lines << QStringLiteral("%1 %2 %3").arg(percent).arg(status, known);
                         });
        QObject::connect(&worker, &OptimizeWorker::optimizeFinished, [this](bool success) {
            QVERIFY(success);
            ++finished;
        });
        QObject::connect(&worker, &OptimizeWorker::optimizeError, [this](const QString& e) { errors << e; });
    }
};

const QStringList AllAnnouncements = {
    "step 0 环境检测", "5 正在检测系统环境... tip",   "step 1 扫描系统冗余", "10 正在扫描系统冗余... tip",
    "step 2 清理无用缓存", "25 正在清理无用缓存... tip", "step 3 整理闲置内存", "50 正在整理闲置内存... tip",
    "step 4 调整系统设置", "65 正在调整系统设置... tip", "step 5 磁盘维护",     "80 正在进行磁盘维护... tip",
    "step 6 完成优化",     "95 正在完成最后优化... tip", "100 优化完成！ 电脑已经焕然一新啦~"};

// The lines of `log` that open a step's work, in order.
QStringList stepsThatRan(const QStringList& log)
{
    QStringList ran;
    for (const QString& line : log) {
        if (StepFirstLines.contains(line))
            ran << line;
        else if (line.startsWith(QStringLiteral("扫描到 ")) && line.contains(QStringLiteral("个启动项")))
            ran << QStringLiteral("startup scan");
    }
    return ran;
}

// The environment lines of the test machine: Windows 10 on mains power without a battery.
const QStringList EnvironmentLines = {"环境检测结果:", "  系统: Win10 (Build 19045)", "  64位: 是", "  笔记本: 否",
                                      "  域环境: 否", "  电池供电: 否", "  电量: 255%", "  系统盘: C盘"};

} // namespace

class OptimizeWorkerTest : public QObject
{
    Q_OBJECT

private slots:
    // On battery power the disk is left alone and so is the power plan.
    void aCompleteRunGoesThroughTheSevenStepsInOrder_data()
    {
        QTest::addColumn<bool>("onBattery");
        QTest::addColumn<int>("kind");          // of drive C's disk
        QTest::addColumn<int>("settingsCount");
        QTest::addColumn<bool>("diskDone");
        QTest::addColumn<QString>("diskType");
        QTest::addColumn<int>("retrims");
        using win::sim::DriveKind;
        QTest::newRow("on mains power, SSD") << false << int(DriveKind::Ssd) << 1 + 1 + 0 + 5 << true << "固态硬盘(SSD)" << 1;
        QTest::newRow("on mains power, hard disk") << false << int(DriveKind::Hdd) << 1 + 1 + 0 + 5 << true
                                                   << "机械硬盘(HDD)" << 0;
        QTest::newRow("on mains power, a disk of unknown kind") << false << int(DriveKind::Unknown) << 1 + 1 + 0 + 5
                                                                << true << "未知" << 0;
        QTest::newRow("on battery") << true << int(DriveKind::Ssd) << 1 + 0 + 0 + 5 << false << "跳过" << 0;
    }

    void aCompleteRunGoesThroughTheSevenStepsInOrder()
    {
        QFETCH(bool, onBattery);
        QFETCH(int, kind);
        TestMachine machine;
        machine->system().power.acLineStatus = onBattery ? 0 : 1;
        machine->files().drive('C')->kind = win::sim::DriveKind(kind);
        ManagerLog log;
        OptimizeWorker worker;
        Announcements seen(worker);
        const quint64 startedAt = machine->clock().nowMs();

        worker.startOptimize();

        QCOMPARE(seen.lines, AllAnnouncements);
        QCOMPARE(seen.finished, 1);
        QVERIFY(seen.errors.isEmpty());
        const QStringList ranSteps = StepFirstLines.mid(0, onBattery ? 4 : 5) + QStringList({"startup scan"});
        QCOMPARE(stepsThatRan(log.lines()), ranSteps);
        QCOMPARE(log.contains(QStringLiteral("电池模式，跳过磁盘维护")), onBattery);
        // The pauses between steps and the managers' own waits went through
        // the machine's clock (0.5 + 3 × 2 s, 3 s after the cleanup tool,
        // 0.5 s for memory), and so did the duration; the run's real time
        // adds a little.
        const OptimizeStats stats = worker.stats();
        QVERIFY(machine->clock().nowMs() - startedAt >= 10000);
        QVERIFY2(stats.elapsedSeconds >= 10 && stats.elapsedSeconds <= 12, qPrintable(QString::number(stats.elapsedSeconds)));
        QTEST(stats.settingsCount, "settingsCount");
        QTEST(stats.diskDone, "diskDone");
        QTEST(stats.diskType, "diskType");
        QTEST(machine->programs().optimization('C').retrims, "retrims");
        const QStringList closing = log.lines().mid(log.lines().size() - 5);
        QCOMPARE(closing, QStringList({QStringLiteral("优化完成，总耗时: %1 秒").arg(stats.elapsedSeconds), "清理空间: 0 MB",
                                       QStringLiteral("释放内存: %1 MB").arg(stats.freedMemoryMB),
                                       QStringLiteral("设置优化: %1 项").arg(stats.settingsCount),
                                       "========== 优化流程结束 =========="}));
        QCOMPARE(log.lines().first(), QStringLiteral("========== 开始优化流程 =========="));
        QStringList environment = EnvironmentLines;
        if (onBattery)
            environment.replace(5, QStringLiteral("  电池供电: 是"));
        QCOMPARE(log.lines().mid(1, 8), environment);
    }

    void aFailedEnvironmentCheckEndsTheRunBeforeAnyStep_data()
    {
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<int>("major");
        QTest::addColumn<QString>("reason");
        QTest::newRow("standard user") << false << 10 << "[错误] 缺少管理员权限";
        QTest::newRow("Windows XP") << true << 5 << "[错误] 系统版本不支持";
    }

    void aFailedEnvironmentCheckEndsTheRunBeforeAnyStep()
    {
        QFETCH(bool, administrator);
        QFETCH(int, major);
        TestMachine machine;
        machine->system().administrator = administrator;
        if (major != 10)
            machine.setWindowsVersion(quint32(major), 1, 2600);
        ManagerLog log;
        OptimizeWorker worker;
        Announcements seen(worker);

        worker.startOptimize();

        QCOMPARE(seen.lines, AllAnnouncements.mid(0, 2));
        QCOMPARE(seen.errors, QStringList({"系统环境检测失败"}));
        QCOMPARE(seen.finished, 0);
        QVERIFY(stepsThatRan(log.lines()).isEmpty());
        QTEST(log.lines().last(), "reason");
        QCOMPARE(log.lines().size(), 1 + 8 + 1);
    }

    // A request made while a step works lets that step finish and ends the
    // run before the next, without a signal; after the last step there is
    // no next to stop. The request may come from a handler of the worker's
    // own signals or from another thread.
    void aCancelRequestStopsTheRunBetweenSteps_data()
    {
        QTest::addColumn<int>("cancelDuring");
        QTest::addColumn<bool>("fromAnotherThread");
        QTest::addColumn<int>("stepsWorked");
        QTest::addColumn<bool>("finishes");
        QTest::newRow("during step 1") << 1 << false << 1 << false;
        QTest::newRow("during the last step") << 6 << false << 6 << true;
        QTest::newRow("during step 2, from another thread") << 2 << true << 2 << false;
        // The request is forgotten when the run starts.
        QTest::newRow("before the run") << -1 << false << 6 << true;
    }

    void aCancelRequestStopsTheRunBetweenSteps()
    {
        QFETCH(int, cancelDuring);
        QFETCH(bool, fromAnotherThread);
        QFETCH(bool, finishes);
        TestMachine machine;
        ManagerLog log;
        OptimizeWorker worker;
        Announcements seen(worker);
        if (cancelDuring < 0)
            worker.cancelOptimize();
        QObject::connect(&worker, &OptimizeWorker::stepChanged, [&](int index) {
            if (index != cancelDuring)
                return;
            if (fromAnotherThread)
                std::thread([&worker] { worker.cancelOptimize(); }).join();
            else
                worker.cancelOptimize();
        });

        worker.startOptimize();

        QCOMPARE(seen.lines, finishes ? AllAnnouncements : QStringList(AllAnnouncements.mid(0, 2 * (cancelDuring + 1))));
        QCOMPARE(seen.finished, finishes ? 1 : 0);
        QVERIFY(seen.errors.isEmpty());
        QTEST(stepsThatRan(log.lines()).size(), "stepsWorked");
        QVERIFY(log.contains(QStringLiteral("用户取消优化")));
        QCOMPARE(log.contains(QStringLiteral("========== 优化流程结束 ==========")), finishes);
    }
};

QTEST_GUILESS_MAIN(OptimizeWorkerTest)
#include "tst_OptimizeWorker.moc"

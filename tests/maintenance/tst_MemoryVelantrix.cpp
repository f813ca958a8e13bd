#include "ManagerLog.h"
#include "TestMachine.h"
#include "maintenance/MemoryVelantrix.h"

#include <QSignalSpy>
#include <QtTest>

using win::sim::SimFileCache;
using win::sim::SimProcess;
using win::sim::SimWindow;

namespace {

constexpr quint64 MB = 1048576;
constexpr quint64 GB = 1024 * MB;
// What an emptied working set keeps resident on the simulated machine.
constexpr quint64 Resident = 200 * 1024;

SimProcess process(quint32 pid, const QString& exe, quint64 workingSet, bool protectedProcess = false)
{
    SimProcess p;
    p.pid = pid;
    p.exeFile = exe;
    p.workingSetBytes = workingSet;
    p.protectedProcess = protectedProcess;
    return p;
}

void setMemory(TestMachine& machine, quint64 total, quint64 available)
{
    machine->system().memory.totalBytes = total;
    machine->system().memory.availableBytes = available;
}

void setFileCache(TestMachine& machine, quint64 workingSet, quint64 hardMaximum = 0)
{
    SimFileCache& cache = machine->system().fileCache;
    cache.minimumBytes = MB;
    cache.maximumBytes = hardMaximum ? hardMaximum : quint64(1) << 40;
    cache.maxHardLimit = hardMaximum != 0;
    cache.workingSetBytes = workingSet;
}

} // namespace

class MemoryVelantrixTest : public QObject
{
    Q_OBJECT

private slots:
    // The standby list is purged only with the rights it needs; working
    // sets are emptied for every process that may be trimmed and opens.
    void trimsEveryProcessItMayAndMeasuresWhatWasFreed_data()
    {
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<int>("purges");
        QTest::addColumn<QString>("purgeLine");
        QTest::addColumn<quint64>("takenMeanwhile");   // by another program while the run settles
        QTest::newRow("administrator") << true << 1 << "待机内存清理成功" << quint64(0);
        QTest::newRow("standard user") << false << 0 << "待机内存清理失败或不支持" << quint64(0);
        // Less available memory afterwards frees nothing (and never wraps).
        QTest::newRow("less memory afterwards") << true << 1 << "待机内存清理成功" << 1 * GB;
    }

    void trimsEveryProcessItMayAndMeasuresWhatWasFreed()
    {
        QFETCH(bool, administrator);
        QFETCH(QString, purgeLine);
        QFETCH(quint64, takenMeanwhile);
        TestMachine machine;
        machine->system().administrator = administrator;
        setMemory(machine, 4 * GB, 1 * GB);
        setFileCache(machine, 1 * GB);
        machine->system().processes = {process(0, QStringLiteral("System Idle Process"), 8 * 1024, true),
                                       process(640, QStringLiteral("EXPLORER.EXE"), 120 * MB),
                                       process(2200, QStringLiteral("notepad.exe"), 30 * MB),
                                       process(3100, QStringLiteral("QQ.exe"), 300 * MB),
                                       process(3300, QStringLiteral("SearchUI.exe"), 50 * MB),
                                       process(3400, QStringLiteral("AntiCheat.exe"), 80 * MB, true)};
        SimWindow notepad;
        notepad.handle = 0x20a1;
        notepad.pid = 2200;
        machine->system().windows = {notepad};
        machine->system().foregroundWindow = 0x20a1;
        ManagerLog log;
        MemoryVelantrix memory;
        QSignalSpy progress(&memory, &MemoryVelantrix::progressUpdated);
        QSignalSpy completed(&memory, &MemoryVelantrix::optimizeCompleted);
        connect(&memory, &MemoryVelantrix::progressUpdated, [&](int percent) {
            if (percent == 80)
                machine->system().memory.availableBytes -= takenMeanwhile;
        });
        const quint64 startedAt = machine->clock().nowMs();

        const qulonglong freed = memory.optimize();

        // What the two trimmed processes gave up.
        const quint64 released = (300 * MB - Resident) + (50 * MB - Resident);
        const quint64 afterMB = (1 * GB + released - takenMeanwhile) / MB;
        QCOMPARE(freed, qulonglong(afterMB > 1024 ? afterMB - 1024 : 0));
        QCOMPARE(memory.availableBeforeMB(), 1024ull);
        QCOMPARE(memory.availableAfterMB(), afterMB);
        QList<quint64> workingSets;
        for (quint32 pid : {3100, 3300, 640, 2200, 3400})
            workingSets << machine->findProcess(pid)->workingSetBytes;
        QCOMPARE(workingSets, QList<quint64>({Resident, Resident, 120 * MB, 30 * MB, 80 * MB}));
        QTEST(machine->system().standbyListPurges, "purges");
        QVERIFY(machine->clock().nowMs() - startedAt >= 500);
        QCOMPARE(machine->openHandleCount(), 0);

        QCOMPARE(QList<QVariantList>(progress), QList<QVariantList>({{20, "清理待机内存..."}, {50, "整理后台进程内存..."},
                                                                    {80, "调整系统缓存..."}, {100, "内存优化完成"}}));
        QCOMPARE(QList<QVariantList>(completed), QList<QVariantList>({{freed}}));
        QCOMPARE(log.lines(), QStringList({"开始内存优化...", "优化前可用内存: 1024 MB", purgeLine,
                                           "已整理 2 个后台进程的工作集",
                                           QStringLiteral("优化后可用内存: %1 MB").arg(afterMB),
                                           QStringLiteral("内存优化完成，释放: %1 MB").arg(freed)}));
    }

    // The cap is asked for with flags 0, as it is: a maximum is enforced
    // only where a hard one is already in force, and whatever was in force
    // is back when the run ends. A half of memory that does not fit the
    // 32-bit size argument is not passed cut down, and a hard maximum that
    // the 32-bit program cannot read whole, and so not give back, is not
    // touched.
    void theFileCacheCapDoesNotOutliveTheRun_data()
    {
        QTest::addColumn<quint64>("totalMemory");
        QTest::addColumn<quint64>("hardMaximum");
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<QString>("missingProcedure");
        QTest::addColumn<quint64>("cacheAfter");
        QTest::newRow("no hard maximum: nothing enforced") << 4 * GB << quint64(0) << true << QString() << 3 * GB;
        QTest::newRow("a hard maximum above the cap") << 4 * GB << 3 * GB << true << QString() << 2 * GB;
        QTest::newRow("a hard maximum beyond 32 bits") << 4 * GB << 6 * GB << true << QString() << 3 * GB;
        QTest::newRow("half of 8 GB does not fit") << 8 * GB << 3 * GB << true << QString() << 3 * GB;
        QTest::newRow("no quota privilege") << 4 * GB << 3 * GB << false << QString() << 3 * GB;
        QTest::newRow("no SetSystemFileCacheSize") << 4 * GB << 3 * GB << true
                                                   << "kernel32.dll!SetSystemFileCacheSize" << 3 * GB;
        QTest::newRow("no GetSystemFileCacheSize") << 4 * GB << 3 * GB << true
                                                   << "kernel32.dll!GetSystemFileCacheSize" << 3 * GB;
    }

    void theFileCacheCapDoesNotOutliveTheRun()
    {
        QFETCH(quint64, totalMemory);
        QFETCH(quint64, hardMaximum);
        QFETCH(bool, administrator);
        QFETCH(QString, missingProcedure);
        TestMachine machine;
        setMemory(machine, totalMemory, 1 * GB);
        setFileCache(machine, 3 * GB, hardMaximum);
        machine->system().administrator = administrator;
        if (!missingProcedure.isEmpty())
            machine->system().missingProcedures << missingProcedure;
        const SimFileCache before = machine->system().fileCache;
        MemoryVelantrix memory;

        const qulonglong freed = memory.optimize();

        const SimFileCache& after = machine->system().fileCache;
        QTEST(after.workingSetBytes, "cacheAfter");
        QCOMPARE(freed, (before.workingSetBytes - after.workingSetBytes) / MB);
        QCOMPARE(QList<quint64>({after.maxHardLimit, after.minHardLimit, after.minimumBytes, after.maximumBytes}),
                 QList<quint64>({before.maxHardLimit, before.minHardLimit, before.minimumBytes,
                                 before.maxHardLimit ? before.maximumBytes : after.maximumBytes}));
    }
};

QTEST_GUILESS_MAIN(MemoryVelantrixTest)
#include "tst_MemoryVelantrix.moc"

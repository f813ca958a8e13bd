#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"

#include <QtTest>

using win::sim::SimProcess;

namespace {

constexpr quint64 MB = 1048576;
constexpr quint64 EmptiedWorkingSet = 200 * 1024;

SimProcess process(quint32 pid, const QString& exe, quint64 workingSetBytes)
{
    SimProcess p;
    p.pid = pid;
    p.exeFile = exe;
    p.workingSetBytes = workingSetBytes;
    return p;
}

} // namespace

class EngineMemoryTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;

private slots:
    void initTestCase() { m_log = std::make_unique<EngineLog>(); }
    void init() { m_log->clear(); }

    // The system's own processes (ids below 10) and this program are never
    // trimmed, even where Windows would let them be opened.
    void whoseWorkingSetIsEmptied_data()
    {
        QTest::addColumn<quint32>("pid");
        QTest::addColumn<bool>("trimmed");
        QTest::newRow("System Idle Process") << 0u << false;
        QTest::newRow("System") << 4u << false;
        QTest::newRow("id 9") << 9u << false;
        QTest::newRow("id 10") << 10u << true;
        QTest::newRow("an ordinary program") << 3100u << true;
        QTest::newRow("this program") << 4242u << false;
    }

    void whoseWorkingSetIsEmptied()
    {
        QFETCH(quint32, pid);
        QFETCH(bool, trimmed);
        TestMachine machine;
        QCOMPARE(machine->system().ownPid, 4242u);
        machine->system().processes << process(pid, QStringLiteral("program.exe"), 300 * MB);
        OptimizeCore core;
        core.startOptimize();
        QCOMPARE(machine->findProcess(pid)->workingSetBytes, trimmed ? EmptiedWorkingSet : 300 * MB);
        QCOMPARE(core.freedMemoryMB(), trimmed ? 299 : 0);
    }

    // Other programs may take more memory than the step frees while it runs:
    // the gain is then 0, never a negative number.
    void othersTakingMemoryMeanwhileGiveNoGain()
    {
        TestMachine machine;
        machine->system().processes << process(3100, QStringLiteral("browser.exe"), 300 * MB);
        OptimizeCore core;
        connect(&core, &OptimizeCore::progressUpdated, &core, [&machine](int step, int percent) {
            if (step == 2 && percent == 34)
                machine->system().memory.availableBytes -= 1024 * MB;
        });
        core.startOptimize();
        QCOMPARE(machine->findProcess(3100)->workingSetBytes, EmptiedWorkingSet);
        QCOMPARE(core.freedMemoryMB(), 0);
        QVERIFY(m_log->contains(QStringLiteral("  内存优化: 释放 0 MB")));
    }
};

QTEST_GUILESS_MAIN(EngineMemoryTest)
#include "tst_engine_memory.moc"

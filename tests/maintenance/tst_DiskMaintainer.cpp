#include "ManagerLog.h"
#include "TestMachine.h"
#include "maintenance/DiskMaintainer.h"
#include "platform/sim/ProgramState.h"

#include <QSignalSpy>
#include <QtTest>

using win::sim::ProgramAvailability;

namespace {

QStringList defragRuns(TestMachine& machine)
{
    QStringList runs;
    for (const auto& entry : machine->journal()) {
        if (entry.kind == QLatin1String("run") && entry.program == QLatin1String("defrag.exe"))
            runs << QStringLiteral("%1 %2 (%3 ms)").arg(entry.program, entry.arguments.join(' ')).arg(entry.waitMs);
    }
    return runs;
}

QJsonObject driveOfKind(const QString& kind)
{
    QJsonObject drives = TestMachine::defaultMachineJson().value(QStringLiteral("drives")).toObject();
    QJsonObject c = drives.value(QStringLiteral("C")).toObject();
    c.insert(QStringLiteral("kind"), kind);
    drives.insert(QStringLiteral("C"), c);
    return QJsonObject{{"drives", drives}};
}

} // namespace

class DiskMaintainerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<DiskType>(); }

    // The analysis names no media type, so the disk counts as an HDD and is
    // optimised, which the drive optimizer turns into what suits the drive.
    void optimisesDriveCAfterAnalysingIt_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("defragmentations");
        QTest::addColumn<int>("retrims");
        QTest::newRow("hard disk") << "HDD" << 1 << 0;
        QTest::newRow("solid-state disk") << "SSD" << 0 << 1;
    }

    void optimisesDriveCAfterAnalysingIt()
    {
        QFETCH(QString, kind);
        TestMachine machine(driveOfKind(kind));
        ManagerLog log;
        DiskMaintainer disk;
        QSignalSpy progress(&disk, &DiskMaintainer::progressUpdated);
        QSignalSpy completed(&disk, &DiskMaintainer::maintenanceCompleted);
        QCOMPARE(disk.diskType(), DiskType::Unknown);

        QVERIFY(disk.performMaintenance());

        QCOMPARE(disk.diskType(), DiskType::HDD);
        const win::sim::DriveOptimization& optimizer = machine->programs().optimization('C');
        QCOMPARE(optimizer.analyses, 1);
        QTEST(optimizer.defragmentations, "defragmentations");
        QTEST(optimizer.retrims, "retrims");
        QCOMPARE(defragRuns(machine), QStringList({"defrag.exe C: /A (10000 ms)", "defrag.exe C: /O (300000 ms)"}));
        QCOMPARE(progress.size(), 2);
        QCOMPARE(progress.at(0), QVariantList({20, QStringLiteral("正在进行磁盘碎片整理...")}));
        QCOMPARE(progress.at(1), QVariantList({100, QStringLiteral("磁盘碎片整理完成")}));
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed.at(0), QVariantList({true, QVariant::fromValue(DiskType::HDD)}));
        QCOMPARE(log.lines(), QStringList({"开始磁盘维护...", "检测到机械硬盘(HDD)，执行碎片整理", "HDD碎片整理完成"}));
    }

    // Done means started, ended within the wait and exited 0; anything else
    // still ends with progress 100 and one completion signal.
    void aRunThatIsNotDoneFails_data()
    {
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<int>("availability");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<qint64>("waitedMs");
        QTest::newRow("refused without elevation") << false << int(ProgramAvailability::Default) << QString() << qint64(0);
        QTest::newRow("missing") << true << int(ProgramAvailability::Missing)
                                 << QStringLiteral("[错误] 无法启动磁盘优化程序: defrag.exe") << qint64(0);
        QTest::newRow("still going after five minutes")
            << true << int(ProgramAvailability::Hangs) << QStringLiteral("[错误] 磁盘优化超过 300 秒仍未结束，已停止")
            << qint64(10000 + 300000);
    }

    void aRunThatIsNotDoneFails()
    {
        QFETCH(bool, administrator);
        QFETCH(int, availability);
        QFETCH(QString, reason);
        TestMachine machine;
        machine->system().administrator = administrator;
        machine->programs().setAvailability(QStringLiteral("defrag"), ProgramAvailability(availability));
        ManagerLog log;
        DiskMaintainer disk;
        QSignalSpy progress(&disk, &DiskMaintainer::progressUpdated);
        QSignalSpy completed(&disk, &DiskMaintainer::maintenanceCompleted);
        const quint64 startedAt = machine->clock().nowMs();

        QVERIFY(!disk.performMaintenance());

        QFETCH(qint64, waitedMs);
        QVERIFY(qint64(machine->clock().nowMs() - startedAt) >= waitedMs);
        QCOMPARE(machine->programs().optimization('C').defragmentations, 0);
        QCOMPARE(progress.last(), QVariantList({100, QStringLiteral("磁盘碎片整理完成")}));
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed.at(0), QVariantList({false, QVariant::fromValue(DiskType::HDD)}));
        QStringList expected = {"开始磁盘维护...", "检测到机械硬盘(HDD)，执行碎片整理"};
        if (!reason.isEmpty())
            expected << reason;
        expected << QStringLiteral("[错误] HDD碎片整理失败");
        QCOMPARE(log.lines(), expected);
    }
};

QTEST_GUILESS_MAIN(DiskMaintainerTest)
#include "tst_DiskMaintainer.moc"

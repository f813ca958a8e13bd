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
            runs << QStringLiteral("%1 (%2 ms)").arg(entry.arguments.join(' ')).arg(entry.waitMs);
    }
    return runs;
}

void setDriveKind(TestMachine& machine, const QString& kind)
{
    machine->files().drive('C')->kind = kind == QLatin1String("SSD") ? win::sim::DriveKind::Ssd : win::sim::DriveKind::Hdd;
}

} // namespace

class DiskMaintainerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<DiskType>(); }

    // The analysis names no media type, so the disk counts as an HDD and is
    // optimised, which the drive optimizer turns into what suits the drive.
    // Done means started, ended within the wait and exited 0; anything else
    // still ends with progress 100 and one completion signal.
    void maintainsDriveCByItsKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<int>("availability");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("work");        // what the optimizer did
        QTest::addColumn<QString>("reason");      // the error line before the failure line
        QTest::addColumn<qint64>("waitedMs");
        const int usual = int(ProgramAvailability::Default);
        QTest::newRow("hard disk") << "HDD" << true << usual << true << "defragmented" << QString() << qint64(0);
        QTest::newRow("solid-state disk") << "SSD" << true << usual << true << "retrimmed" << QString() << qint64(0);
        QTest::newRow("refused without elevation") << "HDD" << false << usual << false << "" << QString() << qint64(0);
        QTest::newRow("missing") << "HDD" << true << int(ProgramAvailability::Missing) << false << ""
                                 << QStringLiteral("[错误] 无法启动磁盘优化程序: defrag.exe") << qint64(0);
        QTest::newRow("still going after five minutes")
            << "HDD" << true << int(ProgramAvailability::Hangs) << false << ""
            << QStringLiteral("[错误] 磁盘优化超过 300 秒仍未结束，已停止") << qint64(10000 + 300000);
    }

    void maintainsDriveCByItsKind()
    {
        QFETCH(QString, kind);
        QFETCH(bool, administrator);
        QFETCH(int, availability);
        QFETCH(bool, done);
        QFETCH(QString, reason);
        TestMachine machine;
        setDriveKind(machine, kind);
        machine->system().administrator = administrator;
        machine->programs().setAvailability(QStringLiteral("defrag"), ProgramAvailability(availability));
        ManagerLog log;
        DiskMaintainer disk;
        QSignalSpy progress(&disk, &DiskMaintainer::progressUpdated);
        QSignalSpy completed(&disk, &DiskMaintainer::maintenanceCompleted);
        QCOMPARE(disk.diskType(), DiskType::Unknown);
        const quint64 startedAt = machine->clock().nowMs();

        QCOMPARE(disk.performMaintenance(), done);

        QCOMPARE(disk.diskType(), DiskType::HDD);
        QFETCH(qint64, waitedMs);
        QVERIFY(qint64(machine->clock().nowMs() - startedAt) >= waitedMs);
        const win::sim::DriveOptimization& optimizer = machine->programs().optimization('C');
        const QString work = optimizer.defragmentations ? "defragmented" : optimizer.retrims ? "retrimmed" : "";
        QTEST(work, "work");
        if (availability == int(ProgramAvailability::Default))
            QCOMPARE(defragRuns(machine), QStringList({"C: /A (10000 ms)", "C: /O (300000 ms)"}));
        QCOMPARE(QList<QVariantList>(progress), QList<QVariantList>({{20, "正在进行磁盘碎片整理..."}, {100, "磁盘碎片整理完成"}}));
        QCOMPARE(QList<QVariantList>(completed), QList<QVariantList>({{done, QVariant::fromValue(DiskType::HDD)}}));
        QStringList expected = {"开始磁盘维护...", "检测到机械硬盘(HDD)，执行碎片整理"};
        if (!reason.isEmpty())
            expected << reason;
        expected << (done ? QStringLiteral("HDD碎片整理完成") : QStringLiteral("[错误] HDD碎片整理失败"));
        QCOMPARE(log.lines(), expected);
    }
};

QTEST_GUILESS_MAIN(DiskMaintainerTest)
#include "tst_DiskMaintainer.moc"

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
        if (entry.kind == QLatin1String("run") && entry.program.endsWith(QLatin1String("defrag.exe")))
            runs << QStringLiteral("%1 %2 (%3 ms)").arg(entry.program, entry.arguments.join(' ')).arg(entry.waitMs);
    }
    return runs;
}

// The analysis comes first, waited for at most ten seconds.
const QString Analysis = QStringLiteral("C:\\Windows\\Sysnative\\defrag.exe C: /A (10000 ms)");

} // namespace

class DiskMaintainerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<DiskType>(); }

    // The disk's kind decides: TRIM for an SSD, optimisation for a hard
    // disk, and for a disk of unknown kind the optimizer's own choice, or
    // nothing on Windows 7, whose defragmenter has none. The defragmenter has
    // no 32-bit copy, so this 32-bit program starts it through Sysnative.
    // Done means started, ended within the wait and exited 0; anything else
    // still ends with progress 100 and one completion signal.
    void maintainsDriveCByItsKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("windows7");
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<int>("availability");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("work");        // what the optimizer did
        QTest::addColumn<QString>("option");      // empty: the defragmenter is not run
        QTest::addColumn<QStringList>("lines");   // after "开始磁盘维护..."
        QTest::addColumn<QVariantList>("progress");
        QTest::addColumn<qint64>("waitedMs");
        using win::sim::DriveKind;
        const int usual = int(ProgramAvailability::Default);
        const QVariantList hddProgress = {QVariantList{20, "正在进行磁盘碎片整理..."}, QVariantList{100, "磁盘碎片整理完成"}};
        const QVariantList ssdProgress = {QVariantList{20, "正在执行SSD TRIM优化..."}, QVariantList{100, "SSD TRIM优化完成"}};
        const QString hdd = QStringLiteral("检测到机械硬盘(HDD)，执行碎片整理");
        QTest::newRow("hard disk") << int(DriveKind::Hdd) << false << true << usual << true << "defragmented" << "/O"
                                   << QStringList{hdd, "HDD碎片整理完成"} << hddProgress << qint64(0);
        QTest::newRow("solid-state disk") << int(DriveKind::Ssd) << false << true << usual << true << "retrimmed" << "/L"
                                          << QStringList{"检测到固态硬盘(SSD)，执行TRIM优化", "SSD TRIM优化完成"}
                                          << ssdProgress << qint64(0);
        QTest::newRow("unknown kind") << int(DriveKind::Unknown) << false << true << usual << true << "defragmented" << "/O"
                                      << QStringList{"未能识别磁盘类型，按磁盘类型优化", "磁盘优化完成"}
                                      << QVariantList{QVariantList{20, "正在按磁盘类型优化..."}, QVariantList{100, "磁盘优化完成"}}
                                      << qint64(0);
        // Windows 7 has no storage namespace to tell the kind by.
        QTest::newRow("Windows 7") << int(DriveKind::Ssd) << true << true << usual << false << "" << ""
                                   << QStringList{"未能识别磁盘类型，跳过磁盘维护"}
                                   << QVariantList{QVariantList{100, "未能识别磁盘类型，已跳过磁盘维护"}} << qint64(0);
        QTest::newRow("refused without elevation") << int(DriveKind::Hdd) << false << false << usual << false << "" << "/O"
                                                   << QStringList{hdd, "[错误] HDD碎片整理失败"} << hddProgress << qint64(0);
        QTest::newRow("missing") << int(DriveKind::Hdd) << false << true << int(ProgramAvailability::Missing) << false << ""
                                 << "/O"
                                 << QStringList{hdd, "[错误] 无法启动磁盘优化程序: C:\\Windows\\Sysnative\\defrag.exe",
                                                "[错误] HDD碎片整理失败"}
                                 << hddProgress << qint64(0);
        // The process object of an unfinished run answers exit code 0: only
        // the end of the run tells it apart from success.
        QTest::newRow("still going after five minutes")
            << int(DriveKind::Hdd) << false << true << int(ProgramAvailability::Hangs) << false << "" << "/O"
            << QStringList{hdd, "[错误] 磁盘优化超过 300 秒仍未结束，已停止", "[错误] HDD碎片整理失败"} << hddProgress
            << qint64(300000);
    }

    void maintainsDriveCByItsKind()
    {
        QFETCH(int, kind);
        QFETCH(bool, windows7);
        QFETCH(bool, administrator);
        QFETCH(int, availability);
        QFETCH(bool, done);
        QFETCH(QString, option);
        QFETCH(QStringList, lines);
        QFETCH(QVariantList, progress);
        TestMachine machine;
        machine->files().drive('C')->kind = win::sim::DriveKind(kind);
        if (windows7)
            machine.setWindowsVersion(6, 1, 7601);
        machine->system().administrator = administrator;
        machine->programs().setAvailability(QStringLiteral("defrag"), ProgramAvailability(availability));
        ManagerLog log;
        DiskMaintainer disk;
        QSignalSpy progressSeen(&disk, &DiskMaintainer::progressUpdated);
        QSignalSpy completed(&disk, &DiskMaintainer::maintenanceCompleted);
        QCOMPARE(disk.diskType(), DiskType::Unknown);
        const quint64 startedAt = machine->clock().nowMs();

        QCOMPARE(disk.performMaintenance(), done);

        const DiskType detected = windows7 || kind == int(win::sim::DriveKind::Unknown) ? DiskType::Unknown
                                  : kind == int(win::sim::DriveKind::Ssd)               ? DiskType::SSD
                                                                                        : DiskType::HDD;
        QCOMPARE(disk.diskType(), detected);
        QFETCH(qint64, waitedMs);
        QVERIFY(qint64(machine->clock().nowMs() - startedAt) >= waitedMs);
        const win::sim::DriveOptimization& optimizer = machine->programs().optimization('C');
        const QString work = optimizer.defragmentations ? "defragmented" : optimizer.retrims ? "retrimmed" : "";
        QTEST(work, "work");
        if (availability == int(ProgramAvailability::Default))
            QCOMPARE(defragRuns(machine), QStringList{Analysis} + (option.isEmpty() ? QStringList()
                                                           : QStringList{"C:\\Windows\\Sysnative\\defrag.exe C: " + option
                                                                         + " (300000 ms)"}));
        QVariantList seen;
        for (const QVariantList& signal : progressSeen)
            seen << QVariant(signal);
        QCOMPARE(seen, progress);
        QCOMPARE(QList<QVariantList>(completed), QList<QVariantList>({{done, QVariant::fromValue(detected)}}));
        QCOMPARE(log.lines(), QStringList{"开始磁盘维护..."} + lines);
    }

    // What an analysis report names decides before any detection: the SSD
    // words first, in any letter case, then the hard-disk words.
    void analysisKeywords_data()
    {
        QTest::addColumn<QString>("analysis");
        QTest::addColumn<int>("kind");
        const int ssd = int(DiskType::SSD);
        const int hdd = int(DiskType::HDD);
        QTest::newRow("SSD") << "Media type = SSD" << ssd;
        QTest::newRow("ssd in lower case") << "ssd volume" << ssd;
        QTest::newRow("Chinese solid state") << "媒体类型: 固态硬盘" << ssd;
        QTest::newRow("English solid state") << "Solid State Drive" << ssd;
        QTest::newRow("solid state in upper case") << "SOLID STATE" << ssd;
        QTest::newRow("HDD") << "Media type = HDD" << hdd;
        QTest::newRow("Chinese hard disk") << "媒体类型: 机械硬盘" << hdd;
        QTest::newRow("English hard disk") << "Hard Disk Drive" << hdd;
        QTest::newRow("hard disk in lower case") << "hard disk" << hdd;
        QTest::newRow("both kinds: two disks") << "C: Hard Disk Drive, D: Solid State Drive" << ssd;
        QTest::newRow("neither kind") << "Post Defragmentation Report: Total fragmented space = 3%" << int(DiskType::Unknown);
        QTest::newRow("nothing") << "" << int(DiskType::Unknown);
    }

    void analysisKeywords()
    {
        QFETCH(QString, analysis);
        QTEST(int(DiskMaintainer::diskTypeNamedIn(analysis)), "kind");
    }

    // The system drive's kind speaks for C: only when C: is the system
    // drive: with Windows on an SSD as D:, the hard disk C: is still taken
    // for the hard disk it is.
    void systemOnAnotherDriveLeavesCToItsOwnKind()
    {
        const double gib = 1024.0 * 1024.0 * 1024.0;
        TestMachine machine(QJsonObject{
            {"drives", QJsonObject{{"C", QJsonObject{{"folder", "drives/C"}, {"totalBytes", 500 * gib}, {"freeBytes", 200 * gib},
                                                     {"kind", "HDD"}, {"diskNumber", 0}}},
                                   {"D", QJsonObject{{"folder", "drives/D"}, {"totalBytes", 250 * gib}, {"freeBytes", 100 * gib},
                                                     {"kind", "SSD"}, {"diskNumber", 1}}}}}});
        machine->system().systemDirectory = QStringLiteral("D:\\Windows\\system32");
        ManagerLog log;
        DiskMaintainer disk;
        disk.performMaintenance();
        QCOMPARE(disk.diskType(), DiskType::HDD);
        QCOMPARE(log.lines().value(1), QStringLiteral("检测到机械硬盘(HDD)，执行碎片整理"));
    }
};

QTEST_GUILESS_MAIN(DiskMaintainerTest)
#include "tst_DiskMaintainer.moc"

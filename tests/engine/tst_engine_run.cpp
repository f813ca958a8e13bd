#include "EngineLog.h"
#include "LogFileLines.h"
#include "TestMachine.h"
#include "common/FileLogger.h"
#include "engine/OptimizeCore.h"
#include "platform/FileSystem.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

constexpr quint64 MB = 1048576;

QList<QPair<int, int>> rows(const QSignalSpy& progress)
{
    QList<QPair<int, int>> out;
    for (const auto& args : progress)
        out << qMakePair(args.at(0).toInt(), args.at(1).toInt());
    return out;
}

} // namespace

class EngineRunTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;  // installed after the test framework's own message handler
    QTemporaryDir m_logFolder;

private slots:
    void initTestCase()
    {
        m_log = std::make_unique<EngineLog>();
        FileLogger::instance()->init(m_logFolder.path());
        QVERIFY(QFile::exists(FileLogger::instance()->logFilePath()));
    }
    void init() { m_log->clear(); }

    void everyRowIsAnnouncedInItsOrder()
    {
        TestMachine machine;  // Windows 10 desktop on mains, SSD, 61 % of drive C used
        OptimizeCore core;
        QSignalSpy progress(&core, &OptimizeCore::progressUpdated);
        core.startOptimize();
        const QList<QPair<int, int>> expected = {
            {0, 0}, {0, 5},
            {1, 10}, {1, 12}, {1, 15}, {1, 18}, {1, 22}, {1, 24}, {1, 25}, {1, 26}, {1, 27}, {1, 29},
            {2, 30}, {2, 32}, {2, 34}, {2, 38}, {2, 39},
            {3, 40}, {3, 42}, {3, 44}, {3, 46}, {3, 48}, {3, 50}, {3, 52}, {3, 55}, {3, 60}, {3, 64},
            {4, 65}, {4, 66}, {4, 68}, {4, 70}, {4, 74},
            {5, 75}, {5, 76}, {5, 80}, {5, 82}, {5, 83}, {5, 84}, {5, 85},
            {6, 85}, {5, 87}, {5, 92}, {5, 94}, {5, 96}, {5, 99},
            {6, 92}, {6, 95}, {6, 96}, {6, 97}, {6, 98}, {6, 98}, {6, 99}, {6, 100}};
        QCOMPARE(rows(progress), expected);
        const int afterStartupCount = rows(progress).indexOf(qMakePair(5, 99)) + 1;
        QCOMPARE(progress.at(afterStartupCount).at(2).toString(), QStringLiteral("正在扫描卸载残留..."));
        QCOMPARE(progress.last().at(2).toString(), QStringLiteral("优化完成！"));
    }

    void countsReachTheSignalAndTheSummary()
    {
        TestMachine machine;
        machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\a.tmp"), QByteArray(3 * MB, 'a'));
        machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\sub\\b.tmp"), QByteArray(MB / 2, 'b'));
        machine.addFile(QStringLiteral("C:\\Windows\\Temp\\c.log"), QByteArray(MB, 'c'));
        machine.addProcess(3100, QStringLiteral("browser.exe"), 300 * MB);
        machine.setText(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"),
                        QStringLiteral("Tray"), QStringLiteral("C:\\Program Files\\Tray\\tray.exe"));
        machine.setText(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
                        QStringLiteral("Chat"), QStringLiteral("C:\\Chat\\chat.exe"));
        OptimizeCore core;
        QSignalSpy finished(&core, &OptimizeCore::optimizationFinished);
        LogFileLines logFile(FileLogger::instance()->logFilePath());
        core.startOptimize();
        QCOMPARE(finished.count(), 1);
        const QList<QVariant> counts = finished.first();
        QCOMPARE(counts.at(0).toInt(), 4);      // 4.5 MB removed, whole megabytes
        QVERIFY(counts.at(1).toInt() >= 299);    // the browser's working set was emptied
        QCOMPARE(counts.at(2).toInt(), 3);
        QCOMPARE(counts.at(4).toInt(), 2);
        QCOMPARE(counts.at(3).toInt(), 6 * counts.at(4).toInt());
        QCOMPARE(core.cleanedMB(), 4);
        QCOMPARE(core.junkFilesCount(), 3);
        QVERIFY(!win::pathExists(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\sub\\b.tmp")));
        QVERIFY(win::isDirectory(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\sub")));
        const QString summary = QStringLiteral("Phase1 完成汇总：清理 4 MB | 释放内存 %1 MB | 清理文件 3 个 | 开机提速 12 秒 | 自启项 2 个 | 卸载残留 0 个")
                                    .arg(counts.at(1).toInt());
        QVERIFY(m_log->contains(summary));
        // The log file carries every engine line behind the engine's mark,
        // nested lines keeping their indentation.
        const QStringList written = logFile.lines();
        QCOMPARE(written.size(), m_log->lines().size());
        QCOMPARE(written.last(), QStringLiteral("[引擎] ") + summary);
        QVERIFY(written.contains(QStringLiteral("[引擎]   开机自启扫描: 共发现 2 项，预计开机提速 12 秒")));
    }

    // The window asks the thread to stop while the cache step runs: the step
    // still runs to its end (it empties the temporary folder last and starts
    // the services it stopped again), and no later step begins.
    void closingStopsBetweenSteps()
    {
        TestMachine machine;
        machine->files().drive('C')->freeBytes = machine->files().drive('C')->totalBytes / 10;  // 90 % used
        machine.addService(QStringLiteral("FontCache"));
        machine.addService(QStringLiteral("wuauserv"));
        const QString update = QStringLiteral("C:\\Windows\\SoftwareDistribution\\Download\\update.cab");
        const QString temporary = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\setup.tmp");
        machine.addFile(update, "u");
        machine.addFile(temporary, "t");
        QThread thread;
        auto* core = new OptimizeCore;
        core->moveToThread(&thread);
        connect(&thread, &QThread::started, core, &OptimizeCore::startOptimize);
        connect(&thread, &QThread::finished, core, &QObject::deleteLater);
        QSignalSpy progress(core, &OptimizeCore::progressUpdated);
        QSignalSpy finished(core, &OptimizeCore::optimizationFinished);
        connect(core, &OptimizeCore::progressUpdated, core, [&thread](int step, int percent) {
            if (step == 1 && percent == 12)
                thread.requestInterruption();
        }, Qt::DirectConnection);
        thread.start();
        QTRY_VERIFY(m_log->contains(QStringLiteral("程序正在关闭，优化在步骤之间停止")));
        thread.quit();
        QVERIFY(thread.wait(5000));
        QCOMPARE(finished.count(), 0);
        const QList<QPair<int, int>> seen = rows(progress);
        QCOMPARE(seen.last(), qMakePair(1, 29));
        QVERIFY(seen.contains(qMakePair(1, 20)));  // the Windows Update caches were cleaned
        QVERIFY(!win::pathExists(update));
        QVERIFY(!win::pathExists(temporary));
        QCOMPARE(machine->findService(QStringLiteral("wuauserv"))->stopControls, 1);
        QCOMPARE(machine->findService(QStringLiteral("wuauserv"))->state, win::ServiceRunning);
        QCOMPARE(machine->findService(QStringLiteral("FontCache"))->stopControls, 1);
        QCOMPARE(machine->findService(QStringLiteral("FontCache"))->state, win::ServiceRunning);
        QCOMPARE(machine->openHandleCount(), 0);
    }

    // The system's own processes (ids below 10) and this program are never
    // trimmed, even where Windows would let them be opened; other programs
    // taking more memory than the step frees meanwhile make no negative gain.
    void whoseWorkingSetIsEmptied_data()
    {
        QTest::addColumn<quint32>("pid");
        QTest::addColumn<bool>("trimmed");
        QTest::addColumn<int>("takenMeanwhileMB");
        QTest::newRow("System Idle Process") << 0u << false << 0;
        QTest::newRow("System") << 4u << false << 0;
        QTest::newRow("id 9") << 9u << false << 0;
        QTest::newRow("id 10") << 10u << true << 0;
        QTest::newRow("an ordinary program") << 3100u << true << 0;
        QTest::newRow("this program") << 4242u << false << 0;
        QTest::newRow("others take more meanwhile") << 3100u << true << 1024;
    }

    void whoseWorkingSetIsEmptied()
    {
        QFETCH(quint32, pid);
        QFETCH(bool, trimmed);
        QFETCH(int, takenMeanwhileMB);
        TestMachine machine;
        machine.addProcess(pid, QStringLiteral("program.exe"), 300 * MB);
        OptimizeCore core;
        connect(&core, &OptimizeCore::progressUpdated, &core, [&](int step, int percent) {
            if (step == 2 && percent == 34)
                machine->system().memory.availableBytes -= quint64(takenMeanwhileMB) * MB;
        });
        core.startOptimize();
        QCOMPARE(machine->findProcess(pid)->workingSetBytes, trimmed ? 200 * 1024 : 300 * MB);
        const int freed = trimmed && takenMeanwhileMB == 0 ? 299 : 0;
        QCOMPARE(core.freedMemoryMB(), freed);
        QVERIFY(m_log->contains(QStringLiteral("  内存优化: 释放 %1 MB").arg(freed)));
    }
};

QTEST_GUILESS_MAIN(EngineRunTest)
#include "tst_engine_run.moc"

#include "TestMachine.h"
#include "platform/SystemFacts.h"

#include <QtTest>

using win::sim::SimFileCache;

namespace {

constexpr quint64 MB = 1048576;
constexpr quint64 GB = 1024 * MB;

} // namespace

// SetSystemFileCacheSize and GetSystemFileCacheSize as the 32-bit program
// sees them: a maximum binds only while it is hard, and a hard maximum
// below the cache's working set gives the rest back as available memory.
class FileCacheTest : public QObject
{
    Q_OBJECT

private slots:
    void limits_data()
    {
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<bool>("hardBefore");
        QTest::addColumn<quint32>("minimum");
        QTest::addColumn<quint32>("maximum");
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<quint32>("error");
        QTest::addColumn<bool>("hardAfter");
        QTest::addColumn<quint64>("workingSetAfter");
        const quint32 enable = win::FileCacheMaxHardEnable;
        const quint32 disable = win::FileCacheMaxHardDisable;
        QTest::newRow("soft maximum") << true << false << 0u << quint32(GB) << 0u << win::ErrorSuccess << false << 3 * GB;
        QTest::newRow("hard maximum trims") << true << false << 0u << quint32(GB) << enable << win::ErrorSuccess << true << GB;
        QTest::newRow("flags 0 keep a hard maximum") << true << true << 0u << quint32(GB) << 0u << win::ErrorSuccess
                                                     << true << GB;
        QTest::newRow("hard maximum lifted") << true << true << 0u << quint32(GB) << disable << win::ErrorSuccess
                                             << false << 3 * GB;
        QTest::newRow("enable and disable at once") << true << false << 0u << quint32(GB) << (enable | disable)
                                                    << win::ErrorInvalidParameter << false << 3 * GB;
        QTest::newRow("minimum above maximum") << true << false << quint32(2 * GB) << quint32(GB) << enable
                                               << win::ErrorInvalidParameter << false << 3 * GB;
        QTest::newRow("no quota privilege") << false << false << 0u << quint32(GB) << enable << win::ErrorPrivilegeNotHeld
                                            << false << 3 * GB;
    }

    void limits()
    {
        QFETCH(bool, administrator);
        QFETCH(bool, hardBefore);
        QFETCH(quint32, minimum);
        QFETCH(quint32, maximum);
        QFETCH(quint32, flags);
        QFETCH(quint32, error);
        TestMachine machine;
        machine->system().administrator = administrator;
        machine->system().memory = {8 * GB, 1 * GB};
        machine->system().fileCache = {MB, hardBefore ? 4 * GB : quint64(1) << 40, hardBefore, false, 3 * GB};

        win::Error answer = win::ErrorSuccess;
        QCOMPARE(win::setSystemFileCacheSize(minimum, maximum, flags, &answer), error == win::ErrorSuccess);
        QCOMPARE(answer, error);

        const SimFileCache& cache = machine->system().fileCache;
        QTEST(cache.maxHardLimit, "hardAfter");
        QTEST(cache.workingSetBytes, "workingSetAfter");
        QFETCH(quint64, workingSetAfter);
        QCOMPARE(machine->system().memory.availableBytes, 1 * GB + 3 * GB - workingSetAfter);
        win::SizeT readMinimum = 0;
        win::SizeT readMaximum = 0;
        quint32 readFlags = 0;
        QVERIFY(win::getSystemFileCacheSize(&readMinimum, &readMaximum, &readFlags));
        QCOMPARE(readFlags, cache.maxHardLimit ? win::FileCacheMaxHardEnable : 0u);
        QCOMPARE(quint64(readMaximum), qMin(cache.maximumBytes, win::MaxSizeT));
    }
};

QTEST_GUILESS_MAIN(FileCacheTest)
#include "tst_filecache.moc"

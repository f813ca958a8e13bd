#include "common/LocalTimeOfDay.h"

#include <QDateTime>
#include <QtTest>
#include <ctime>

// Each row is a zone and instants of UTC asked for in turn of one clock, with
// the local times of day they must read. Every answer is also the one Qt
// gives when it asks the zone's rules for that very instant.
class LocalTimeOfDayTest : public QObject
{
    Q_OBJECT

    QByteArray m_savedZone;
    bool m_hadZone = false;

private slots:
    void initTestCase()
    {
        m_hadZone = qEnvironmentVariableIsSet("TZ");
        m_savedZone = qgetenv("TZ");
    }

    void cleanupTestCase()
    {
        if (m_hadZone)
            qputenv("TZ", m_savedZone);
        else
            qunsetenv("TZ");
        tzset();
    }

    void readsTheLocalTimeAcrossOffsetChanges_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QStringList>("instants");
        QTest::addColumn<QStringList>("expected");
        // Berlin springs forward at 01:00 UTC and falls back at 01:00 UTC.
        QTest::newRow("spring forward") << QByteArray("Europe/Berlin")
            << QStringList{"2024-03-31T00:59:59.000", "2024-03-31T00:59:59.999", "2024-03-31T01:00:00.000",
                           "2024-03-31T01:00:00.500"}
            << QStringList{"01:59:59", "01:59:59", "03:00:00", "03:00:00"};
        QTest::newRow("fall back") << QByteArray("Europe/Berlin")
            << QStringList{"2024-10-27T00:59:59.999", "2024-10-27T01:00:00.000", "2024-10-27T01:59:59.000"}
            << QStringList{"02:59:59", "02:00:00", "02:59:59"};
        // Lord Howe Island moves its clock by half an hour.
        QTest::newRow("half an hour") << QByteArray("Australia/Lord_Howe")
            << QStringList{"2024-10-05T15:29:59.900", "2024-10-05T15:30:00.100"}
            << QStringList{"01:59:59", "02:30:00"};
        // Rules that change the offset at 02:00:30 local time, inside a minute.
        QTest::newRow("inside a minute") << QByteArray("XST-1XDT,M3.5.0/2:00:30,M10.5.0/3")
            << QStringList{"2024-03-31T01:00:29.000", "2024-03-31T01:00:29.999", "2024-03-31T01:00:30.000"}
            << QStringList{"02:00:29", "02:00:29", "03:00:30"};
        QTest::newRow("the day before UTC's") << QByteArray("America/New_York")
            << QStringList{"2024-01-01T03:00:00.000", "2024-01-01T04:59:59.999", "2024-01-01T05:00:00.000"}
            << QStringList{"22:00:00", "23:59:59", "00:00:00"};
    }

    void readsTheLocalTimeAcrossOffsetChanges()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QStringList, instants);
        QFETCH(QStringList, expected);
        qputenv("TZ", zone);
        tzset();
        LocalTimeOfDay clock;
        for (int i = 0; i < instants.size(); ++i) {
            QDateTime utc = QDateTime::fromString(instants.at(i), Qt::ISODateWithMs);
            utc.setTimeSpec(Qt::UTC);
            const qint64 at = utc.toMSecsSinceEpoch();
            const QString text = clock.at(at);
            QCOMPARE(text, expected.at(i));
            QCOMPARE(text, QDateTime::fromMSecsSinceEpoch(at, Qt::LocalTime).toString(QStringLiteral("HH:mm:ss")));
        }
    }
};

QTEST_GUILESS_MAIN(LocalTimeOfDayTest)
#include "tst_localtimeofday.moc"

#include "platform/SystemRestore.h"
#include "tests/support/TestMachine.h"

#include <QJsonArray>
#include <QtTest>

using namespace win;

namespace {

QJsonObject restorePoints(bool administrator)
{
    QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
    system.insert("administrator", administrator);
    const auto point = [](int sequence) {
        return QJsonObject{{"sequenceNumber", sequence}, {"description", "Windows Update"},
                           {"creationTime", "20261101093012.123456-000"}};
    };
    return QJsonObject{{"system", system}, {"restorePoints", QJsonArray{point(5), point(12)}}};
}

QList<quint32> sequenceNumbers(TestMachine& machine)
{
    QList<quint32> numbers;
    for (const sim::RestorePoint& point : machine->programs().restorePoints())
        numbers << point.sequenceNumber;
    return numbers;
}

} // namespace

class SystemRestoreTest : public QObject
{
    Q_OBJECT

private slots:
    void removesOneRestorePointBySequenceNumber_data();
    void removesOneRestorePointBySequenceNumber();
};

void SystemRestoreTest::removesOneRestorePointBySequenceNumber_data()
{
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<quint32>("sequence");
    QTest::addColumn<quint32>("error");
    QTest::addColumn<QList<quint32>>("left");
    QTest::newRow("existing point") << true << 5u << ErrorSuccess << QList<quint32>{12};
    QTest::newRow("no such point") << true << 7u << ErrorInvalidData << QList<quint32>{5, 12};
    QTest::newRow("standard user") << false << 5u << ErrorAccessDenied << QList<quint32>{5, 12};
}

void SystemRestoreTest::removesOneRestorePointBySequenceNumber()
{
    QFETCH(bool, administrator);
    QFETCH(quint32, sequence);
    QFETCH(quint32, error);
    QFETCH(QList<quint32>, left);
    TestMachine machine(restorePoints(administrator));
    QCOMPARE(srRemoveRestorePoint(sequence), error);
    QCOMPARE(sequenceNumbers(machine), left);
}

QTEST_GUILESS_MAIN(SystemRestoreTest)
#include "tst_systemrestore.moc"

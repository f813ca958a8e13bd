#include "platform/ServiceControl.h"
#include "tests/support/TestMachine.h"

#include <QJsonArray>
#include <QtTest>
#include <map>

using namespace win;

namespace {

QJsonObject service(const char* name, const char* state, const QJsonObject& more = QJsonObject())
{
    QJsonObject json{{"name", name}, {"state", state}, {"startType", "demand"}};
    for (auto it = more.begin(); it != more.end(); ++it)
        json.insert(it.key(), it.value());
    return json;
}

// One handle per service, opened as the engine opens them.
class Services
{
public:
    Services() { m_manager.open(ScManagerConnect); }

    ServiceHandle& operator[](const QString& name)
    {
        ServiceHandle& handle = m_handles[name];
        if (!handle.isValid())
            m_manager.openService(name, ServiceStart | ServiceStop | ServiceQueryStatus, handle);
        return handle;
    }

    Error stop(const QString& name) { return (*this)[name].control(ServiceControlStop, nullptr); }
    quint32 state(const QString& name)
    {
        ServiceStatus status;
        return (*this)[name].queryStatus(&status) == ErrorSuccess ? status.currentState : 0;
    }

private:
    ServiceManagerHandle m_manager;
    std::map<QString, ServiceHandle> m_handles;
};

} // namespace

class ServicesTest : public QObject
{
    Q_OBJECT

private slots:
    void aStopWhileStoppingIsRefused();
    void runningDependentsKeepAServiceRunning();
    void aStartPassesThroughStartPending();
};

void ServicesTest::aStopWhileStoppingIsRefused()
{
    TestMachine machine(QJsonObject{{"services", QJsonArray{service("Slow", "running", {{"stopDelayMs", 1000}})}}});
    Services services;
    QCOMPARE(services.stop("Slow"), ErrorSuccess);
    QCOMPARE(services.state("Slow"), ServiceStopPending);
    QCOMPARE(services.stop("Slow"), ErrorServiceCannotAcceptCtrl);
    machine->clock().advance(1000);
    QCOMPARE(services.state("Slow"), ServiceStopped);
    QCOMPARE(services.stop("Slow"), ErrorServiceNotActive);
}

void ServicesTest::runningDependentsKeepAServiceRunning()
{
    TestMachine machine(QJsonObject{{"services", QJsonArray{
        service("Base", "running"),
        service("Client", "running", {{"dependsOn", QJsonArray{"BASE"}}}),
        service("Idle", "stopped", {{"dependsOn", QJsonArray{"Base"}}})}}});
    Services services;
    QCOMPARE(services.stop("Base"), ErrorDependentServicesRunning);
    QCOMPARE(services.state("Base"), ServiceRunning);
    QCOMPARE(services.stop("Client"), ErrorSuccess);
    QCOMPARE(services.stop("Base"), ErrorSuccess);   // a stopped dependent holds nothing
    QCOMPARE(services.state("Base"), ServiceStopped);
}

void ServicesTest::aStartPassesThroughStartPending()
{
    TestMachine machine(QJsonObject{{"services", QJsonArray{service("Starter", "stopped", {{"startDelayMs", 500}})}}});
    Services services;
    QCOMPARE(services["Starter"].start(), ErrorSuccess);
    ServiceStatus status;
    QCOMPARE(services["Starter"].queryStatus(&status), ErrorSuccess);
    QCOMPARE(status.currentState, ServiceStartPending);
    QCOMPARE(status.waitHintMs, 500u);
    QCOMPARE(status.controlsAccepted, 0u);
    QCOMPARE(services.stop("Starter"), ErrorServiceCannotAcceptCtrl);
    QCOMPARE(services["Starter"].start(), ErrorServiceAlreadyRunning);
    machine->clock().advance(500);
    QCOMPARE(services.state("Starter"), ServiceRunning);
    QCOMPARE(services.stop("Starter"), ErrorSuccess);
}

QTEST_GUILESS_MAIN(ServicesTest)
#include "tst_services.moc"

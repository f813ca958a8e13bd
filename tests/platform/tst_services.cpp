#include "platform/ServiceControl.h"
#include "platform/sim/RaisedException.h"
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
    void aConfigurationOverEightKilobytesIsNeverRead();
    void aCrashingHookRaisesOutOfTheChange();
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


// QueryServiceConfigW returns at most 8 KB: a service whose command line is
// longer cannot have its configuration read, though it can be changed.
void ServicesTest::aConfigurationOverEightKilobytesIsNeverRead()
{
    const QString longCommand = QStringLiteral("C:\\Tools\\svc.exe ") + QString(4100, QLatin1Char('x'));
    TestMachine machine(QJsonObject{{"services", QJsonArray{service("Long", "running", {{"binaryPath", longCommand}}),
                                                            service("Short", "running")}}});
    ServiceManagerHandle manager;
    QCOMPARE(manager.open(ScManagerConnect), ErrorSuccess);
    ServiceHandle handle;
    QCOMPARE(manager.openService("Long", ServiceQueryConfig | ServiceChangeConfig, handle), ErrorSuccess);
    quint32 needed = 0;
    ServiceConfig config;
    QCOMPARE(handle.queryConfig(0, &needed, &config), ErrorInsufficientBuffer);
    QVERIFY(needed > 8192);
    QCOMPARE(handle.queryConfig(needed, &needed, &config), ErrorInsufficientBuffer);
    QVERIFY(config.binaryPathName.isEmpty());
    QCOMPARE(handle.changeConfig(ServiceNoChange, ServiceDisabled, ServiceNoChange), ErrorSuccess);
    QCOMPARE(machine->findService("Long")->startType, ServiceDisabled);

    QCOMPARE(manager.openService("Short", ServiceQueryConfig, handle), ErrorSuccess);
    QCOMPARE(handle.queryConfig(0, &needed, &config), ErrorInsufficientBuffer);
    QCOMPARE(handle.queryConfig(needed, &needed, &config), ErrorSuccess);
    QCOMPARE(config.startType, ServiceDemandStart);
}

// A hook that crashes inside ChangeServiceConfigW raises out of the call
// before anything changed; the service's other calls still answer.
void ServicesTest::aCrashingHookRaisesOutOfTheChange()
{
    TestMachine machine(QJsonObject{{"services", QJsonArray{service("Hooked", "running", {{"changeConfigRaises", true}})}}});
    ServiceManagerHandle manager;
    QCOMPARE(manager.open(ScManagerConnect), ErrorSuccess);
    ServiceHandle handle;
    QCOMPARE(manager.openService("Hooked", ServiceChangeConfig | ServiceQueryStatus, handle), ErrorSuccess);
    quint32 code = 0;
    try {
        handle.changeConfig(ServiceNoChange, ServiceDisabled, ServiceNoChange);
    } catch (const sim::RaisedException& raised) {
        code = raised.code;
    }
    QCOMPARE(code, 0xC0000005u);
    QCOMPARE(machine->findService("Hooked")->startType, ServiceDemandStart);
    ServiceStatus status;
    QCOMPARE(handle.queryStatus(&status), ErrorSuccess);
    QCOMPARE(status.currentState, ServiceRunning);
}

QTEST_GUILESS_MAIN(ServicesTest)
#include "tst_services.moc"

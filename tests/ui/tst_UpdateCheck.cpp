// The once-per-run update check against a real HTTP server on the loopback
// interface: what it asks, which answers offer or demand the updater, and
// that broken configurations, answers and servers end it quietly.
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestMachine.h"
#include "ui/ChineseDesktop.h"
#include "ui/UpdateCheck.h"
#include "ui/Velantrix.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QString configPath()
{
    return QCoreApplication::applicationDirPath() + "/updater.config";
}

void writeConfig(const QByteArray& content)
{
    QFile file(configPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void pointConfigAt(const QString& url)
{
    writeConfig(QString(R"({"update_url": "%1", "device_code": "dev-42"})").arg(url).toUtf8());
}

// What one check showed: its box's title, text, text format and buttons.
struct CheckOutcome
{
    bool boxShown = false;
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons;
    QString details;
    bool fitsTheScreen = false;
};

// Runs one check and waits until its reply is gone, answering any box it
// shows with `button`.

CheckOutcome runCheck(Velantrix& window, QMessageBox::StandardButton button = QMessageBox::NoButton)
{
    CheckOutcome outcome;
    ModalAnswer person([&outcome, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        outcome.boxShown = true;
        outcome.title = box->windowTitle();
        outcome.text = box->text();
        outcome.format = box->textFormat();
        outcome.details = box->detailedText();
        outcome.fitsTheScreen = box->height() <= box->screen()->availableGeometry().height();
        for (QAbstractButton* b : box->buttons())
            outcome.buttons << b->text();
        if (QAbstractButton* answer = box->button(button))
            answer->click();
        else
            box->reject();
    });
    auto* manager = window.findChild<QNetworkAccessManager*>();
    window.checkForUpdate();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(manager->findChildren<QNetworkReply*>().isEmpty(), 20000); }();
    return outcome;
}

int updaterStarts(TestMachine& machine)
{
    int starts = 0;
    for (const auto& entry : machine->journal())
        starts += entry.kind == "detached" && entry.program.endsWith("/updaterwindow.exe")
                  && entry.arguments == QStringList{"--auto"};
    return starts;
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installQtChineseTranslation(*qApp); }
    void cleanup() { QFile::remove(configPath()); }

    void configurationFallsBack_data();
    void configurationFallsBack();
    void configurationIsReadOnlyFromARegularFile();
    void requestNamesVersionPlatformAndDevice_data();
    void requestNamesVersionPlatformAndDevice();
    void onlyHttpsOrTheLoopbackIsAsked_data();
    void onlyHttpsOrTheLoopbackIsAsked();
    void answersOfferOrDemandTheUpdater_data();
    void answersOfferOrDemandTheUpdater();
    void longReleaseNotesKeepTheButtonsOnTheScreen_data();
    void longReleaseNotesKeepTheButtonsOnTheScreen();
    void brokenServersEndQuietly_data();
    void brokenServersEndQuietly();
    void checkRunsOnceAfterTheFirstShow();
};

// Each key applies only as a text that is not empty; anything else keeps
// the defaults (the keys that apply are in the request test).
void TestUpdateCheck::configurationFallsBack_data()
{
    QTest::addColumn<QByteArray>("content");  // empty: no file at all
    QTest::newRow("no file") << QByteArray();
    QTest::newRow("not JSON") << QByteArray(R"({"update_url": "http://x")");
    QTest::newRow("an array") << QByteArray(R"(["http://x"])");
    QTest::newRow("not texts") << QByteArray(R"({"base_url": 5, "update_url": null, "device_code": 7})");
    QTest::newRow("empty texts") << QByteArray(R"({"base_url": "", "device_code": ""})");
}

void TestUpdateCheck::configurationFallsBack()
{
    QFETCH(QByteArray, content);
    if (!content.isEmpty())
        writeConfig(content);
    const updatecheck::UpdaterConfig config = updatecheck::readUpdaterConfig(configPath());
    QCOMPARE(config.updateUrl, QStringLiteral("https://update.tessaro.example/client/version/check"));
    QCOMPARE(config.deviceCode, QStringLiteral("1"));
}

// A FIFO in the file's place would hold the window until something wrote to
// it: the writer here answers any reader that waits, so a read shows.
void TestUpdateCheck::configurationIsReadOnlyFromARegularFile()
{
    QVERIFY(::mkfifo(QFile::encodeName(configPath()).constData(), 0600) == 0);
    std::atomic<bool> done{false};
    std::thread writer([&done] {
        while (!done) {
            const int fd = ::open(QFile::encodeName(configPath()).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                const char config[] = R"({"update_url": "http://fifo/x"})";
                (void)!::write(fd, config, sizeof config - 1);
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const updatecheck::UpdaterConfig config = updatecheck::readUpdaterConfig(configPath());
    done = true;
    writer.join();
    QCOMPARE(config.updateUrl, updatecheck::kDefaultUpdateUrl);
}

void TestUpdateCheck::requestNamesVersionPlatformAndDevice_data()
{
    QTest::addColumn<QString>("config");  // %1: the server's address
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("device");
    QTest::newRow("update url wins, its query replaced")
        << R"({"update_url": "%1/exact/path?old=1", "base_url": "%1/api", "device_code": "dev-42"})"
        << "/exact/path?currentVersion=1.1.1.4&platform=WINDOWS&channel=STABLE" << QByteArray("dev-42");
    QTest::newRow("base url") << R"({"base_url": "%1/api"})"
                              << "/api/version/check?currentVersion=1.1.1.4&platform=WINDOWS&channel=STABLE"
                              << QByteArray("1");
    QTest::newRow("base url with a slash") << R"({"base_url": "%1/api/"})"
                                           << "/api//version/check?currentVersion=1.1.1.4&platform=WINDOWS&channel=STABLE"
                                           << QByteArray("1");
    QTest::newRow("device code in UTF-8") << R"({"update_url": "%1/c", "device_code": "设备"})"
                                          << "/c?currentVersion=1.1.1.4&platform=WINDOWS&channel=STABLE"
                                          << QString("设备").toUtf8();
    // A line break would end the header and start one of the file's choosing.
    QTest::newRow("device code with a line break: nothing asked")
        << R"({"update_url": "%1/c", "device_code": "dev\r\nX-Injected: yes"})" << "" << QByteArray();
    QTest::newRow("device code with a control character: nothing asked")
        << R"({"update_url": "%1/c", "device_code": "dev\u0007"})" << "" << QByteArray();
}

void TestUpdateCheck::requestNamesVersionPlatformAndDevice()
{
    QFETCH(QString, config);
    QFETCH(QString, target);
    QFETCH(QByteArray, device);
    LoopbackHttpServer server;
    server.body = R"({"code":0,"data":{"hasUpdate":false}})";
    writeConfig(config.arg(server.url()).toUtf8());
    Velantrix window;
    QVERIFY(!runCheck(window).boxShown);
    QCOMPARE(server.targets, target.isEmpty() ? QStringList() : QStringList{target});
    QCOMPARE(server.deviceCodes, target.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{device});
}

void TestUpdateCheck::onlyHttpsOrTheLoopbackIsAsked_data()
{
    QTest::addColumn<QString>("url");   // %1: a file holding an offer
    QTest::addColumn<bool>("allowed");
    QTest::newRow("https") << "https://update.example/check" << true;
    QTest::newRow("http on the loopback") << "http://127.0.0.1:8080/check" << true;
    QTest::newRow("http on localhost") << "http://localhost/check" << true;
    QTest::newRow("http on the IPv6 loopback") << "http://[::1]/check" << true;
    QTest::newRow("http elsewhere") << "http://update.example/check" << false;
    QTest::newRow("a local file") << "file://%1" << false;
    QTest::newRow("a file without a host") << "file:%1" << false;
    QTest::newRow("a file on localhost") << "file://localhost%1" << false;
    QTest::newRow("a file on a server") << "file://server%1" << false;
    QTest::newRow("ftp") << "ftp://update.example/check" << false;
    QTest::newRow("https without a host") << "https:///check" << false;
}

// An address the configuration names is asked only when it is our kind of
// endpoint: a local file offering an update offers nothing.
void TestUpdateCheck::onlyHttpsOrTheLoopbackIsAsked()
{
    QFETCH(QString, url);
    QFETCH(bool, allowed);
    QTemporaryDir dir;
    const QString offerFile = dir.filePath("offer.json");
    QFile offer(offerFile);
    QVERIFY(offer.open(QIODevice::WriteOnly));
    offer.write(R"({"code":0,"data":{"hasUpdate":true,"latest":{"version":"9.9","releaseNote":"x"}}})");
    offer.close();
    const QString address = url.arg(offerFile);
    QCOMPARE(updatecheck::isAllowedUpdateUrl(QUrl(address)), allowed);
    if (allowed)
        return;
    TestMachine machine;
    pointConfigAt(address);
    Velantrix window;
    QVERIFY(!runCheck(window).boxShown);
    QCOMPARE(updaterStarts(machine), 0);
}

void TestUpdateCheck::answersOfferOrDemandTheUpdater_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("title");  // empty: no box
    QTest::addColumn<int>("updaterStarts");
    const QByteArray offer = R"({"code":200,"data":{"hasUpdate":true,"latest":{"version":"2.1","releaseNote":"x"}}})";
    QTest::newRow("offered, yes") << offer << int(QMessageBox::Yes) << "发现新版本" << 1;
    QTest::newRow("offered, no") << offer << int(QMessageBox::No) << "发现新版本" << 0;
    QTest::newRow("code missing counts as success")
        << QByteArray(R"({"data":{"hasUpdate":true,"latest":{"version":"2.1","releaseNote":"x"}}})")
        << int(QMessageBox::Yes) << "发现新版本" << 1;
    QTest::newRow("forced inside latest is not forced")
        << QByteArray(R"({"code":0,"data":{"hasUpdate":true,"latest":{"version":"2.1","releaseNote":"x","forceUpdate":true}}})")
        << int(QMessageBox::No) << "发现新版本" << 0;
    QTest::newRow("forced")
        << QByteArray(R"({"code":0,"data":{"hasUpdate":true,"forceUpdate":true,"latest":{"version":"2.1","releaseNote":"x"}}})")
        << int(QMessageBox::Ok) << "需要更新" << 1;
    QTest::newRow("no update") << QByteArray(R"({"code":0,"data":{"hasUpdate":false}})") << 0 << "" << 0;
    QTest::newRow("code 500") << QByteArray(R"({"code":500,"data":{"hasUpdate":true,"latest":{"version":"2.1"}}})")
                              << 0 << "" << 0;
    QTest::newRow("empty version") << QByteArray(R"({"code":0,"data":{"hasUpdate":true,"latest":{"version":""}}})")
                                   << 0 << "" << 0;
    QTest::newRow("data missing") << QByteArray(R"({"code":0})") << 0 << "" << 0;
    QTest::newRow("not JSON") << QByteArray("<html>502 Bad Gateway</html>") << 0 << "" << 0;
    QTest::newRow("an array") << QByteArray(R"([{"code":0}])") << 0 << "" << 0;
}

void TestUpdateCheck::answersOfferOrDemandTheUpdater()
{
    QFETCH(QByteArray, body);
    QFETCH(int, answer);
    QFETCH(QString, title);
    QFETCH(int, updaterStarts);
    TestMachine machine;
    LoopbackHttpServer server;
    server.body = body;
    pointConfigAt(server.url("/client/version/check"));
    Velantrix window;
    const CheckOutcome outcome = runCheck(window, QMessageBox::StandardButton(answer));
    QCOMPARE(outcome.title, title);
    QCOMPARE(::updaterStarts(machine), updaterStarts);
    if (!outcome.boxShown)
        return;
    QVERIFY(outcome.text.contains("2.1"));
    QVERIFY(outcome.text.endsWith("\n\nx"));
    // The server's texts are shown as sent, never rendered as markup.
    QCOMPARE(outcome.format, Qt::PlainText);
    // Qt's own buttons speak Chinese: 是/否 or 确定.
    QVERIFY2(outcome.buttons.join(' ').contains(QRegularExpression("[是否确定]")), qPrintable(outcome.buttons.join(',')));
}

void TestUpdateCheck::longReleaseNotesKeepTheButtonsOnTheScreen_data()
{
    QTest::addColumn<bool>("forced");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("note");
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines << QString::fromUtf8("%1. 修复了若干问题").arg(i);
    QTest::newRow("sixty lines, offered") << false << "2.1" << lines.join('\n');
    QTest::newRow("sixty lines, forced") << true << "2.1" << lines.join('\n');
    QTest::newRow("one long line, forced") << true << "2.1" << QString::fromUtf8("修复了若干问题").repeated(400);
    QStringList versionLines;
    for (int i = 1; i <= 200; ++i)
        versionLines << QString("2.1.%1").arg(i);
    QTest::newRow("a version of two hundred lines, offered") << false << versionLines.join('\n') << "x";
    QTest::newRow("a version of one long line, forced") << true << QString("2.1").repeated(500) << "x";
}

// A release note or version of any length leaves the box's buttons on the
// screen; the whole text lies behind the details button.
void TestUpdateCheck::longReleaseNotesKeepTheButtonsOnTheScreen()
{
    QFETCH(bool, forced);
    QFETCH(QString, version);
    QFETCH(QString, note);
    TestMachine machine;
    LoopbackHttpServer server;
    QJsonObject data{{"hasUpdate", true}, {"latest", QJsonObject{{"version", version}, {"releaseNote", note}}}};
    if (forced)
        data.insert("forceUpdate", true);
    server.body = QJsonDocument(QJsonObject{{"code", 0}, {"data", data}}).toJson();
    pointConfigAt(server.url("/client/version/check"));
    Velantrix window;
    const CheckOutcome outcome = runCheck(window, forced ? QMessageBox::Ok : QMessageBox::Yes);
    QVERIFY(outcome.boxShown);
    QVERIFY(outcome.fitsTheScreen);
    QCOMPARE(outcome.details, version == "2.1" ? note : version + "\n\n" + note);
    QCOMPARE(::updaterStarts(machine), 1);
}

void TestUpdateCheck::brokenServersEndQuietly_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("gzipped");
    using Mode = LoopbackHttpServer::Mode;
    QTest::newRow("status 500") << int(Mode::Answer) << 500 << false << false;
    // A redirect is not followed, and its body is no answer, offer or not.
    QTest::newRow("redirect offering in its body") << int(Mode::Answer) << 302 << false << false;
    QTest::newRow("never answers") << int(Mode::Silent) << 200 << false << false;
    QTest::newRow("endless body, announced") << int(Mode::FloodSized) << 200 << false << false;
    QTest::newRow("endless body, unannounced") << int(Mode::FloodUnsized) << 200 << false << false;
    QTest::newRow("refused") << int(Mode::Answer) << 200 << true << false;
    // A few kilobytes of gzip can unpack to hundreds of megabytes: the check
    // asks for the answer as it is and never unpacks one.
    QTest::newRow("compressed though not asked to") << int(Mode::Answer) << 200 << false << true;
}

// Each ends without a box, with its reply gone, and the window goes on.
void TestUpdateCheck::brokenServersEndQuietly()
{
    QFETCH(int, mode);
    QFETCH(int, status);
    QFETCH(bool, refused);
    QFETCH(bool, gzipped);
    TestMachine machine;
    LoopbackHttpServer server;
    server.mode = LoopbackHttpServer::Mode(mode);
    server.status = status;
    server.body = R"({"code":0,"data":{"hasUpdate":true,"latest":{"version":"2.1","releaseNote":"x"}}})";
    if (gzipped) {
        server.body = QByteArray::fromBase64("H4sIAAAAAAACA6tWSs5PSVWyMtBRSkksSVSyqlbKSCwOLQBygKIlRaWpOko5QHZxCUiqLLWoODM/"
                                             "T8lKyUjPUElHqSg1JzWxONUvH6RYqUKptrYWAPiiog9RAAAA");
        server.contentEncoding = "gzip";
    }
    pointConfigAt(refused ? LoopbackHttpServer::refusingUrl() : server.url("/client/version/check"));
    Velantrix window;
    // Only the silent server waits for the transfer timeout, shortened here;
    // an endless body is dropped long before the real one would end it.
    auto* manager = window.findChild<QNetworkAccessManager*>();
    QCOMPARE(manager->transferTimeout(), updatecheck::kTransferTimeoutMs);
    if (server.mode == LoopbackHttpServer::Mode::Silent)
        manager->setTransferTimeout(300);
    QElapsedTimer took;
    took.start();
    QVERIFY(!runCheck(window).boxShown);
    QVERIFY2(took.elapsed() < updatecheck::kTransferTimeoutMs / 2, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(updaterStarts(machine), 0);
    QCOMPARE(server.targets.size(), refused ? 0 : 1);
    if (server.mode == LoopbackHttpServer::Mode::FloodSized || server.mode == LoopbackHttpServer::Mode::FloodUnsized)
        QVERIFY2(server.floodWritten < server.floodBytes, qPrintable(QString::number(server.floodWritten)));
    window.findChild<QPushButton*>("gameModeBtn")->click();  // still answering
    QCOMPARE(window.currentTheme(), 0);
}

// Scheduled at the first show, sent 1.5 s later, never again.
void TestUpdateCheck::checkRunsOnceAfterTheFirstShow()
{
    LoopbackHttpServer server;
    server.body = R"({"code":0,"data":{"hasUpdate":false}})";
    pointConfigAt(server.url("/client/version/check"));
    Velantrix window;
    window.show();
    QTest::qWait(1000);
    QVERIFY(server.targets.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(server.targets.size(), 1, 3000);
    window.hide();
    window.show();
    QTest::qWait(1800);
    QCOMPARE(server.targets.size(), 1);
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_UpdateCheck.moc"

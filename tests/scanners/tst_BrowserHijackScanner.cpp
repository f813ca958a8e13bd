#include "ScannerTestSupport.h"
#include "scanners/BrowserHijackScanner.h"

#include <QtTest>

using namespace scannertest;

namespace {

const QString Local = "C:\\Users\\Tester\\AppData\\Local";
const QString ChromePrefs = Local + "\\Google\\Chrome\\User Data\\Default\\Preferences";
const QString EdgePrefs = Local + "\\Microsoft\\Edge\\User Data\\Default\\Preferences";
const QString FirefoxProfiles = "C:\\Users\\Tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\";
const QString Hosts = "C:\\Windows\\System32\\drivers\\etc\\hosts";
const QString HomePage = QStringLiteral("首页");
const QString SearchEngine = QStringLiteral("搜索引擎");
const QString PolicyHomePage = QStringLiteral("组策略-首页");

QVector<BrowserFinding> scan()
{
    ScanReportBundle report;
    BrowserHijackScanner().scanBrowserHijack(report);
    return report.browserHijacks;
}

QByteArray preferences(const QString& homePage, const QString& keyword)
{
    return QJsonDocument(QJsonObject{{"homepage", homePage},
                                     {"default_search_provider", QJsonObject{{"keyword", keyword}}}})
        .toJson();
}

// Writes a policy value the way the browsers' administrators do: in the
// registry view the program reads.
void setPolicy(win::Hive hive, const QString& key, const QString& homePage)
{
    win::RegistryKey policy;
    QCOMPARE(policy.create(hive, key, win::KeyWrite), win::ErrorSuccess);
    QCOMPARE(policy.writeText("HomepageLocation", homePage), win::ErrorSuccess);
}

QString rows(const QVector<BrowserFinding>& findings)
{
    QStringList lines;
    for (const BrowserFinding& f : findings)
        lines.append(QStringList({f.browser, f.item, f.currentValue, f.abnormal ? "abnormal" : "normal"}).join('|'));
    return lines.join('\n');
}

} // namespace

class TestBrowserHijackScanner : public QObject
{
    Q_OBJECT

private slots:
    void homePagesAndSearchEngines();
    void unreadablePreferencesGiveNothing();
    void policiesOfBothHives();
    void firefoxProfiles();
    void proxy_data();
    void proxy();
    void hostsFile();
    void extensionCount_data();
    void extensionCount();
    void readJsonPath();
};

void TestBrowserHijackScanner::homePagesAndSearchEngines()
{
    TestMachine machine;
    machine.addFile(ChromePrefs, preferences("https://www.google.com/", "hao123.example"));
    const QString longPage = "https://start.example/" + QString(200, 'p');
    machine.addFile(EdgePrefs, preferences(longPage, "BING"));

    const QVector<BrowserFinding> found = scan();
    QCOMPARE(rows(found), QString("Chrome|%1|https://www.google.com/|normal\n"
                                  "Chrome|%2|hao123.example|abnormal\n"
                                  "Edge|%1|%3|abnormal\n"
                                  "Edge|%2|BING|abnormal")
                                  .arg(HomePage, SearchEngine, longPage.left(120)));
    QCOMPARE(found.at(0).normalValue, QString("浏览器默认首页"));
    QCOMPARE(found.at(1).normalValue, QString("常用搜索引擎"));
    QVERIFY(found.at(0).detail.isEmpty());
}

void TestBrowserHijackScanner::unreadablePreferencesGiveNothing()
{
    TestMachine machine;
    machine.addFile(ChromePrefs, "{\"homepage\": \"https://evil.example\"");
    machine.addFile(EdgePrefs, "{\"homepage\": 42, \"default_search_provider\": \"plain\"}");
    QVERIFY(scan().isEmpty());
}

void TestBrowserHijackScanner::policiesOfBothHives()
{
    TestMachine machine;
    setPolicy(win::Hive::LocalMachine, "SOFTWARE\\Policies\\Google\\Chrome", "https://www.baidu.com");
    setPolicy(win::Hive::CurrentUser, "SOFTWARE\\Policies\\Google\\Chrome", "https://evil.example");
    setPolicy(win::Hive::CurrentUser, "SOFTWARE\\Policies\\Microsoft\\Edge", QString());
    const QVector<BrowserFinding> found = scan();
    QCOMPARE(rows(found), QString("Chrome|%1|https://www.baidu.com|normal\n"
                                  "Chrome|%1|https://evil.example|abnormal\n"
                                  "Edge|%1||abnormal")
                                  .arg(PolicyHomePage));
    QCOMPARE(found.at(0).normalValue, QString("浏览器默认"));
}

void TestBrowserHijackScanner::firefoxProfiles()
{
    TestMachine machine;
    machine.addFile(FirefoxProfiles + "abc.default\\prefs.js",
                    "user_pref(\"browser.startup.homepage\", \"https://hijack.example\");\n");
    machine.addFile(FirefoxProfiles + "def.release\\prefs.js",
                    "user_pref(\"a\", 1);\nuser_pref(\"browser.startup.homepage\",\"about:home\");\n");
    machine.addFile(FirefoxProfiles + "ghi.empty\\prefs.js", "user_pref(\"browser.startup.page\", 1);\n");
    machine.addFolder(FirefoxProfiles + "no.prefs");
    machine.addFile(FirefoxProfiles + "profiles.ini", "user_pref(\"browser.startup.homepage\", \"x\")");

    const QVector<BrowserFinding> found = scan();
    QCOMPARE(found.size(), 2);
    QStringList values = {found.at(0).currentValue, found.at(1).currentValue};
    values.sort();
    QCOMPARE(values, QStringList({"about:home", "https://hijack.example"}));
    for (const BrowserFinding& finding : found) {
        QCOMPARE(finding.browser, QString("Firefox"));
        QCOMPARE(finding.item, QString("首页"));
        QCOMPARE(finding.normalValue, QString("浏览器默认"));
        QCOMPARE(finding.abnormal, finding.currentValue.startsWith("https"));
    }
}

void TestBrowserHijackScanner::proxy_data()
{
    QTest::addColumn<int>("enable");
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("reported");
    QTest::newRow("enabled") << 1 << "127.0.0.1:8888" << true;
    QTest::newRow("enabled without server") << 1 << "" << false;
    QTest::newRow("switched off") << 0 << "127.0.0.1:8888" << false;
    QTest::newRow("no switch") << -1 << "127.0.0.1:8888" << false;
}

void TestBrowserHijackScanner::proxy()
{
    QFETCH(int, enable);
    QFETCH(QString, server);
    QFETCH(bool, reported);
    TestMachine machine;
    win::RegistryKey key;
    QCOMPARE(key.create(win::Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", win::KeyWrite), win::ErrorSuccess);
    if (enable >= 0)
        key.writeDword("ProxyEnable", quint32(enable));
    if (!server.isEmpty())
        key.writeText("ProxyServer", server);
    const QVector<BrowserFinding> found = scan();
    QCOMPARE(found.size(), reported ? 1 : 0);
    if (!reported)
        return;
    QCOMPARE(found.first().browser, QString("系统级"));
    QCOMPARE(found.first().item, QString("代理设置"));
    QCOMPARE(found.first().currentValue, server);
    QCOMPARE(found.first().normalValue, QString("无代理"));
    QCOMPARE(found.first().detail, QString("系统代理已启用，可能是全局代理或劫持"));
    QVERIFY(found.first().abnormal);
}

void TestBrowserHijackScanner::hostsFile()
{
    TestMachine machine;
    machine.addFile(Hosts, "# Copyright\n127.0.0.1 localhost\n::1 localhost\n");
    QVERIFY(scan().isEmpty());
    machine.addFile(Hosts, "# 127.0.0.1 www.google.com\r\n"
                           "127.0.0.1 localhost\r\n"
                           "  1.2.3.4\tWWW.GOOGLE.COM   # redirected\r\n"
                           "0.0.0.0 example.com qq.com\r\n"
                           "5.6.7.8 item.taobao.com\r\n"
                           "9.9.9.9\r\n"
                           "\r\n");
    QVector<BrowserFinding> found = scan();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().browser, QString("系统级"));
    QCOMPARE(found.first().item, QString("Hosts文件"));
    QCOMPARE(found.first().currentValue, QStringLiteral("%1 条常见站点被重定向").arg(2));
    QCOMPARE(found.first().normalValue, QString("无异常条目"));
    QVERIFY(found.first().abnormal);

    machine->system().environment.remove("SystemRoot");
    QVERIFY(scan().isEmpty());
}

void TestBrowserHijackScanner::extensionCount_data()
{
    QTest::addColumn<int>("folders");
    QTest::addColumn<bool>("reported");
    QTest::newRow("15") << 15 << false;
    QTest::newRow("16") << 16 << true;
}

void TestBrowserHijackScanner::extensionCount()
{
    QFETCH(int, folders);
    QFETCH(bool, reported);
    TestMachine machine;
    const QString chrome = Local + "\\Google\\Chrome\\User Data\\Default\\Extensions\\";
    const QString edge = Local + "\\Microsoft\\Edge\\User Data\\Default\\Extensions\\";
    for (int i = 0; i < folders; ++i) {
        machine.addFolder(chrome + QString("ext%1").arg(i));
        machine.addFolder(edge + QString("ext%1").arg(i));
    }
    machine.addFile(chrome + "Temp.json");  // a file is not an extension
    machine.addFile(edge + "Temp.json");
    const QVector<BrowserFinding> found = scan();
    QCOMPARE(found.size(), reported ? 2 : 0);
    if (!reported)
        return;
    QCOMPARE(found.at(0).browser, QString("Chrome"));
    QCOMPARE(found.at(1).browser, QString("Edge"));
    for (const BrowserFinding& finding : found) {
        QCOMPARE(finding.item, QString("扩展数量"));
        QCOMPARE(finding.currentValue, QStringLiteral("%1 个").arg(folders));
        QCOMPARE(finding.normalValue, QString("≤15 个"));
        QCOMPARE(finding.detail, QString("浏览器扩展数量异常偏多，可能存在捆绑扩展"));
    }
}

void TestBrowserHijackScanner::readJsonPath()
{
    TestMachine machine;
    machine.addFile("C:\\data\\p.json", "{\"a\": {\"b\": {\"c\": \"deep\"}, \"n\": 5}, \"s\": \"top\"}");
    const QString file = "C:\\data\\p.json";
    QCOMPARE(BrowserHijackScanner::readJsonPath(file, {"s"}), QString("top"));
    QCOMPARE(BrowserHijackScanner::readJsonPath(file, {"a", "b", "c"}), QString("deep"));
    QCOMPARE(BrowserHijackScanner::readJsonPath(file, {"a", "n"}), QString());
    QCOMPARE(BrowserHijackScanner::readJsonPath(file, {"s", "x"}), QString());
    QCOMPARE(BrowserHijackScanner::readJsonPath(file, {"missing"}), QString());
    QCOMPARE(BrowserHijackScanner::readJsonPath("C:\\data\\none.json", {"s"}), QString());
}

QTEST_GUILESS_MAIN(TestBrowserHijackScanner)
#include "tst_BrowserHijackScanner.moc"

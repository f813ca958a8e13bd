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

// Each finding as "browser|item|current|normal|abnormal or normal|detail".
QString rows(const QVector<BrowserFinding>& findings)
{
    QStringList lines;
    for (const BrowserFinding& f : findings)
        lines.append(QStringList({f.browser, f.item, f.currentValue, f.normalValue, f.abnormal ? "abnormal" : "normal", f.detail})
                         .join('|'));
    return lines.join('\n');
}

} // namespace

class TestBrowserHijackScanner : public QObject
{
    Q_OBJECT

private slots:
    void homePagesAndSearchEngines()
    {
        TestMachine machine;
        machine.addFile(ChromePrefs, preferences("https://www.google.com/", "hao123.example"));
        const QString longPage = "https://start.example/" + QString(200, 'p');
        machine.addFile(EdgePrefs, preferences(longPage, "BING"));
        QCOMPARE(rows(scan()), QString("Chrome|%1|https://www.google.com/|%4|normal|\n"
                                       "Chrome|%2|hao123.example|%5|abnormal|\n"
                                       "Edge|%1|%3|%4|abnormal|\n"
                                       "Edge|%2|BING|%5|abnormal|")
                                   .arg(HomePage, SearchEngine, longPage.left(120), QStringLiteral("浏览器默认首页"),
                                        QStringLiteral("常用搜索引擎")));
    }

    void unreadablePreferencesGiveNothing()
    {
        TestMachine machine;
        machine.addFile(ChromePrefs, "{\"homepage\": \"https://evil.example\"");
        machine.addFile(EdgePrefs, "{\"homepage\": 42, \"default_search_provider\": \"plain\"}");
        QVERIFY(scan().isEmpty());
    }

    void policiesOfBothHives()
    {
        TestMachine machine;
        setPolicy(win::Hive::LocalMachine, "SOFTWARE\\Policies\\Google\\Chrome", "https://www.baidu.com");
        setPolicy(win::Hive::CurrentUser, "SOFTWARE\\Policies\\Google\\Chrome", "https://evil.example");
        setPolicy(win::Hive::CurrentUser, "SOFTWARE\\Policies\\Microsoft\\Edge", QString());
        QCOMPARE(rows(scan()), QString("Chrome|%1|https://www.baidu.com|%2|normal|\n"
                                       "Chrome|%1|https://evil.example|%2|abnormal|\n"
                                       "Edge|%1||%2|abnormal|")
                                   .arg(PolicyHomePage, QStringLiteral("浏览器默认")));
    }

    void firefoxProfiles()
    {
        TestMachine machine;
        machine.addFile(FirefoxProfiles + "abc.default\\prefs.js",
                        "user_pref(\"browser.startup.homepage\", \"https://hijack.example\");\n");
        machine.addFile(FirefoxProfiles + "def.release\\prefs.js",
                        "user_pref(\"a\", 1);\nuser_pref(\"browser.startup.homepage\",\"about:home\");\n");
        machine.addFile(FirefoxProfiles + "ghi.empty\\prefs.js", "user_pref(\"browser.startup.page\", 1);\n");
        machine.addFolder(FirefoxProfiles + "no.prefs");
        machine.addFile(FirefoxProfiles + "profiles.ini", "user_pref(\"browser.startup.homepage\", \"x\")");
        QStringList found = rows(scan()).split('\n');
        found.sort();
        QCOMPARE(found, QStringList({QString("Firefox|%1|about:home|%2|normal|").arg(HomePage, QStringLiteral("浏览器默认")),
                                     QString("Firefox|%1|https://hijack.example|%2|abnormal|")
                                         .arg(HomePage, QStringLiteral("浏览器默认"))}));
    }

    void proxy_data()
    {
        QTest::addColumn<int>("enable");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("reported");
        QTest::newRow("enabled") << 1 << "127.0.0.1:8888" << true;
        QTest::newRow("enabled without server") << 1 << "" << false;
        QTest::newRow("switched off") << 0 << "127.0.0.1:8888" << false;
        QTest::newRow("no switch") << -1 << "127.0.0.1:8888" << false;
    }

    void proxy()
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
        QCOMPARE(rows(scan()), !reported ? QString() : QStringLiteral("系统级|代理设置|%1|无代理|abnormal|系统代理已启用，可能是全局代理或劫持").arg(server));
    }

    void hostsFile()
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
        QCOMPARE(rows(scan()), QStringLiteral("系统级|Hosts文件|%1|无异常条目|abnormal|").arg(QStringLiteral("%1 条常见站点被重定向").arg(2)));
        machine->system().environment.remove("SystemRoot");
        QVERIFY(scan().isEmpty());
    }

    void extensionCount_data()
    {
        QTest::addColumn<int>("folders");
        QTest::addColumn<bool>("reported");
        QTest::newRow("15") << 15 << false;
        QTest::newRow("16") << 16 << true;
    }

    void extensionCount()
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
        const QString row = QStringLiteral("|扩展数量|%1 个|≤15 个|abnormal|浏览器扩展数量异常偏多，可能存在捆绑扩展").arg(folders);
        QCOMPARE(rows(scan()), reported ? "Chrome" + row + "\nEdge" + row : QString());
    }

    void readJsonPath()
    {
        TestMachine machine;
        const QString file = "C:\\data\\p.json";
        machine.addFile(file, "{\"a\": {\"b\": {\"c\": \"deep\"}, \"n\": 5}, \"s\": \"top\"}");
        QCOMPARE(BrowserHijackScanner::readJsonPath(file, {"s"}), QString("top"));
        QCOMPARE(BrowserHijackScanner::readJsonPath(file, {"a", "b", "c"}), QString("deep"));
        for (const QStringList& path : {QStringList{"a", "n"}, QStringList{"s", "x"}, QStringList{"missing"}})
            QCOMPARE(BrowserHijackScanner::readJsonPath(file, path), QString());
        QCOMPARE(BrowserHijackScanner::readJsonPath("C:\\data\\none.json", {"s"}), QString());
    }
};

QTEST_GUILESS_MAIN(TestBrowserHijackScanner)
#include "tst_BrowserHijackScanner.moc"

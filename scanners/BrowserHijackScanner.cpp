#include "scanners/BrowserHijackScanner.h"

#include "common/EnvironmentPath.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

// The policy and proxy keys are read in the registry's default view.
constexpr quint32 DefaultViewRead = win::KeyRead;
constexpr quint32 PolicyValueBytes = 8192;
constexpr quint32 ProxyServerBytes = 4096;
constexpr quint32 EnvironmentChars = 4096;
constexpr int CurrentValueChars = 120;
constexpr int ExtensionLimit = 15;

// Case-sensitive on purpose: the value is tested as the browser wrote it.
bool containsAnyWord(const QString& value, const QStringList& words)
{
    for (const QString& word : words) {
        if (value.contains(word, Qt::CaseSensitive))
            return true;
    }
    return false;
}

const QStringList& homePageWords()
{
    static const QStringList words = {QStringLiteral("google"), QStringLiteral("bing"),
                                      QStringLiteral("baidu")};
    return words;
}

} // namespace

void BrowserHijackScanner::scanBrowserHijack(ScanReportBundle& report)
{
    m_localAppData = expandEnvironmentPath(QStringLiteral("%LOCALAPPDATA%"));
    m_roamingAppData = expandEnvironmentPath(QStringLiteral("%APPDATA%"));
    scanChromium(report, QStringLiteral("Chrome"), m_localAppData + QStringLiteral("\\Google\\Chrome\\User Data\\Default\\Preferences"),
                 QStringLiteral("SOFTWARE\\Policies\\Google\\Chrome"));
    scanChromium(report, QStringLiteral("Edge"), m_localAppData + QStringLiteral("\\Microsoft\\Edge\\User Data\\Default\\Preferences"),
                 QStringLiteral("SOFTWARE\\Policies\\Microsoft\\Edge"));
    scanFirefox(report);
    scanProxy(report);
    scanHostsFile(report);
    scanExtensions(report, QStringLiteral("Chrome"), m_localAppData + QStringLiteral("\\Google\\Chrome\\User Data\\Default\\Extensions"));
    scanExtensions(report, QStringLiteral("Edge"), m_localAppData + QStringLiteral("\\Microsoft\\Edge\\User Data\\Default\\Extensions"));
}

void BrowserHijackScanner::scanChromium(ScanReportBundle& report, const QString& browser,
                                        const QString& preferencesFile, const QString& policyKey)
{
    const QString homePage = readJsonPath(preferencesFile, {QStringLiteral("homepage")});
    if (!homePage.isEmpty()) {
        addBrowserFinding(report, browser, QStringLiteral("首页"), homePage, QStringLiteral("浏览器默认首页"),
                          !containsAnyWord(homePage, homePageWords()), QString());
    }
    const QString keyword = readJsonPath(preferencesFile, {QStringLiteral("default_search_provider"), QStringLiteral("keyword")});
    if (!keyword.isEmpty()) {
        static const QStringList searchWords = {QStringLiteral("google"), QStringLiteral("bing"),
                                                QStringLiteral("baidu"), QStringLiteral("sogou")};
        addBrowserFinding(report, browser, QStringLiteral("搜索引擎"), keyword, QStringLiteral("常用搜索引擎"),
                          !containsAnyWord(keyword, searchWords), QString());
    }
    scanPolicy(report, browser, win::Hive::LocalMachine, policyKey);
    scanPolicy(report, browser, win::Hive::CurrentUser, policyKey);
}

void BrowserHijackScanner::scanPolicy(ScanReportBundle& report, const QString& browser, win::Hive hive,
                                      const QString& policyKey)
{
    win::RegistryKey key;
    QString homePage;
    if (key.open(hive, policyKey, DefaultViewRead) != win::ErrorSuccess
        || key.readText(QStringLiteral("HomepageLocation"), &homePage, PolicyValueBytes) != win::ErrorSuccess)
        return;
    addBrowserFinding(report, browser, QStringLiteral("组策略-首页"), homePage, QStringLiteral("浏览器默认"),
                      !containsAnyWord(homePage, homePageWords()), QString());
}

void BrowserHijackScanner::scanFirefox(ScanReportBundle& report)
{
    const QString profilesFolder = m_roamingAppData + QStringLiteral("\\Mozilla\\Firefox\\Profiles\\");
    QVector<win::FileEntry> profiles;
    if (!win::pathExists(profilesFolder) || win::listDirectory(profilesFolder, &profiles) != win::ErrorSuccess)
        return;
    static const QRegularExpression homePagePref(QStringLiteral("user_pref\\(\"browser\\.startup\\.homepage\",\\s*\"([^\"]+)\"\\)"));
    static const QStringList firefoxWords = {QStringLiteral("about:home"), QStringLiteral("mozilla"),
                                             QStringLiteral("google"), QStringLiteral("baidu")};
    for (const win::FileEntry& profile : profiles) {
        QByteArray prefs;
        if (!profile.isDirectory()
            || win::readFile(profile.path + QStringLiteral("\\prefs.js"), &prefs) != win::ErrorSuccess)
            continue;
        const QRegularExpressionMatch match = homePagePref.match(QString::fromUtf8(prefs));
        if (!match.hasMatch())
            continue;
        const QString homePage = match.captured(1);
        addBrowserFinding(report, QStringLiteral("Firefox"), QStringLiteral("首页"), homePage,
                          QStringLiteral("浏览器默认"), !containsAnyWord(homePage, firefoxWords), QString());
    }
}

void BrowserHijackScanner::scanProxy(ScanReportBundle& report)
{
    win::RegistryKey key;
    quint32 enabled = 0;
    if (key.open(win::Hive::CurrentUser, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"), DefaultViewRead) != win::ErrorSuccess
        || key.readDword(QStringLiteral("ProxyEnable"), &enabled) != win::ErrorSuccess || enabled == 0)
        return;
    QString server;
    key.readText(QStringLiteral("ProxyServer"), &server, ProxyServerBytes);
    addBrowserFinding(report, QStringLiteral("系统级"), QStringLiteral("代理设置"), server,
                      QStringLiteral("无代理"), !server.isEmpty(), QStringLiteral("系统代理已启用，可能是全局代理或劫持"));
}

void BrowserHijackScanner::scanHostsFile(ScanReportBundle& report)
{
    QByteArray content;
    if (win::readFile(environmentVariable(QStringLiteral("SystemRoot")) + QStringLiteral("\\System32\\drivers\\etc\\hosts"), &content)
        != win::ErrorSuccess)
        return;
    static const QStringList redirectedSites = {QStringLiteral("google"), QStringLiteral("baidu"),
                                                QStringLiteral("qq"), QStringLiteral("360"),
                                                QStringLiteral("taobao"), QStringLiteral("facebook")};
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    int redirected = 0;
    for (const QString& rawLine : QString::fromUtf8(content).split('\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QStringLiteral("#")))
            continue;
        const QStringList parts = line.split(blanks, Qt::SkipEmptyParts);
        if (parts.size() >= 2 && containsAnyWord(parts.at(1).toLower(), redirectedSites))
            ++redirected;
    }
    if (redirected > 0) {
        addBrowserFinding(report, QStringLiteral("系统级"), QStringLiteral("Hosts文件"),
                          QStringLiteral("%1 条常见站点被重定向").arg(redirected), QStringLiteral("无异常条目"), true,
                          QString());
    }
}

void BrowserHijackScanner::scanExtensions(ScanReportBundle& report, const QString& browser, const QString& folder)
{
    QVector<win::FileEntry> entries;
    if (!win::pathExists(folder) || win::listDirectory(folder, &entries) != win::ErrorSuccess)
        return;
    const int extensions = int(std::count_if(entries.begin(), entries.end(),
                                             [](const win::FileEntry& entry) { return entry.isDirectory(); }));
    if (extensions > ExtensionLimit) {
        addBrowserFinding(report, browser, QStringLiteral("扩展数量"), QStringLiteral("%1 个").arg(extensions),
                          QStringLiteral("≤15 个"), true, QStringLiteral("浏览器扩展数量异常偏多，可能存在捆绑扩展"));
    }
}

void BrowserHijackScanner::addBrowserFinding(ScanReportBundle& report, const QString& browser, const QString& item,
                                             const QString& currentValue, const QString& normalValue,
                                             bool abnormal, const QString& detail)
{
    if (!abnormal && currentValue.isEmpty())
        return;
    BrowserFinding finding;
    finding.browser = browser;
    finding.item = item;
    finding.currentValue = currentValue.left(CurrentValueChars);
    finding.normalValue = normalValue;
    finding.abnormal = abnormal;
    finding.detail = detail;
    report.browserHijacks.append(finding);
}

QString BrowserHijackScanner::readJsonPath(const QString& file, const QStringList& keys)
{
    QByteArray content;
    if (win::readFile(file, &content) != win::ErrorSuccess)
        return QString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (error.error != QJsonParseError::NoError)
        return QString();
    QJsonValue current = document.object();
    for (const QString& key : keys) {
        if (!current.isObject())
            return QString();
        current = current.toObject().value(key);
    }
    return current.toString();
}

QString BrowserHijackScanner::environmentVariable(const QString& name)
{
    QString value;
    const quint32 length = win::getEnvironmentVariable(name, &value, EnvironmentChars);
    return length == 0 || length >= EnvironmentChars ? QString() : value;
}

#include "maintenance/CleanupManager.h"

#include "common/EnvironmentPath.h"
#include "common/FileLogger.h"
#include "common/FileRemover.h"
#include "common/SystemInfo.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"

#include <QDir>

namespace {

constexpr quint64 BytesPerMB = 1048576;
constexpr int SettleAfterSystemCleanupMs = 3000;

enum Base { Local, Roaming };

struct CacheRow
{
    Base base;
    const char* path;
};

const CacheRow BrowserCaches[] = {
    {Local, "/Google/Chrome/User Data/Default/Cache"},
    {Local, "/Google/Chrome/User Data/Default/Code Cache"},
    {Local, "/Google/Chrome/User Data/Default/Service Worker/CacheStorage"},
    {Local, "/Microsoft/Edge/User Data/Default/Cache"},
    {Local, "/Microsoft/Edge/User Data/Default/Code Cache"},
    {Local, "/Microsoft/Edge/User Data/Default/Service Worker/CacheStorage"},
    {Roaming, "/360chrome/Chrome/User Data/Default/Cache"},
    {Roaming, "/360chrome/Chrome/User Data/Default/Code Cache"},
    {Roaming, "/360se6/User Data/Default/Cache"},
    {Roaming, "/360se6/User Data/Default/Code Cache"},
    {Roaming, "/Tencent/QQBrowser/User Data/Default/Cache"},
    {Roaming, "/Tencent/QQBrowser/User Data/Default/Code Cache"},
    {Roaming, "/SogouExplorer/Cache"},
    {Roaming, "/SogouExplorer/WebkitCache"},
    {Roaming, "/liebao/User Data/Default/Cache"},
    {Roaming, "/liebao/User Data/Default/Code Cache"},
    {Roaming, "/Opera Software/Opera Stable/Cache"},
    {Roaming, "/Opera Software/Opera Stable/Code Cache"},
    {Roaming, "/Opera Software/Opera Stable/Service Worker/CacheStorage"},
    {Local, "/BraveSoftware/Brave-Browser/User Data/Default/Cache"},
    {Local, "/BraveSoftware/Brave-Browser/User Data/Default/Code Cache"},
    {Local, "/BraveSoftware/Brave-Browser/User Data/Default/Service Worker/CacheStorage"},
    {Local, "/Vivaldi/User Data/Default/Cache"},
    {Local, "/Vivaldi/User Data/Default/Code Cache"},
    {Local, "/Vivaldi/User Data/Default/Service Worker/CacheStorage"},
    {Local, "/Yandex/YandexBrowser/User Data/Default/Cache"},
    {Local, "/Yandex/YandexBrowser/User Data/Default/Code Cache"},
    {Local, "/360Chrome/Chrome/User Data/Default/Cache"},
    {Local, "/360Chrome/Chrome/User Data/Default/Code Cache"}};

struct ProfileBrowser
{
    const char* profiles;
    QStringList caches;
};

const QVector<ProfileBrowser>& profileBrowsers()
{
    static const QVector<ProfileBrowser> browsers = {
        {"/Mozilla/Firefox/Profiles", {QStringLiteral("/cache2"), QStringLiteral("/startupCache"), QStringLiteral("/offlinecache")}},
        {"/Waterfox/Profiles", {QStringLiteral("/cache2")}}};
    return browsers;
}

const char* const ProtectedProfileFolders[] = {"/desktop", "/documents", "/downloads", "/pictures", "/videos", "/music"};
const char* const ProtectedSystemFolders[] = {"c:/windows/winsxs", "c:/windows/installer"};

void log(const QString& line)
{
    FileLogger::instance()->log(line);
}

QString megabytes(quint64 bytes)
{
    return QString::number(bytes / BytesPerMB);
}

// A variable that is not set stays unexpanded; such a path names nothing.
QString environmentFolder(const QString& variable)
{
    const QString folder = expandEnvironmentPath(variable);
    return folder.contains('%') ? QString() : win::normalizedPath(folder);
}

// The path as the blacklist compares it: as Windows resolves it (so that
// "C:\Windows.\WinSxS" is the component store), then with forward slashes,
// ".." folded away, in lower case.
QString comparable(const QString& path)
{
    QString forward = path;
    win::fullPathName(path, &forward);
    forward.replace('\\', '/');
    return QDir::cleanPath(forward).toLower();
}

} // namespace

CleanupManager::CleanupManager(QObject* parent) : QObject(parent)
{
}

qulonglong CleanupManager::scanCleanableSpace()
{
    log(QStringLiteral("开始扫描可清理空间..."));

    emit progressUpdated(10, QStringLiteral("扫描系统垃圾..."));
    const quint64 temp = calculateDirectorySize(temporaryFolder());
    log(QStringLiteral("临时目录可清理: %1 MB").arg(megabytes(temp)));

    emit progressUpdated(30, QStringLiteral("扫描浏览器缓存..."));
    quint64 browsers = 0;
    for (const QString& path : browserCachePaths())
        browsers += calculateDirectorySize(path);
    log(QStringLiteral("浏览器缓存可清理: %1 MB").arg(megabytes(browsers)));

    emit progressUpdated(60, QStringLiteral("扫描缩略图缓存..."));
    const quint64 thumbnails = calculateDirectorySize(thumbnailFolder());
    log(QStringLiteral("缩略图缓存可清理: %1 MB").arg(megabytes(thumbnails)));

    emit progressUpdated(100, QStringLiteral("扫描完成"));
    const qulonglong total = (temp + browsers + thumbnails) / BytesPerMB;
    log(QStringLiteral("扫描完成，总计可清理: %1 MB").arg(total));
    emit scanCompleted(total);
    return total;
}

qulonglong CleanupManager::performCleanup()
{
    log(QStringLiteral("开始执行系统垃圾清理..."));

    emit progressUpdated(10, QStringLiteral("执行系统清理..."));
    configureCleanupPreset();
    const quint64 system = runSystemCleanup();
    log(QStringLiteral("系统清理完成，清理: %1 MB").arg(megabytes(system)));

    emit progressUpdated(40, QStringLiteral("清理浏览器缓存..."));
    const quint64 browsers = cleanBrowserCache();
    log(QStringLiteral("浏览器缓存清理完成，清理: %1 MB").arg(megabytes(browsers)));

    emit progressUpdated(60, QStringLiteral("清理临时文件..."));
    const quint64 temp = cleanTempFiles();
    log(QStringLiteral("临时文件清理完成，清理: %1 MB").arg(megabytes(temp)));

    emit progressUpdated(80, QStringLiteral("清理缩略图缓存..."));
    const quint64 thumbnails = cleanThumbnailCache();
    log(QStringLiteral("缩略图缓存清理完成，清理: %1 MB").arg(megabytes(thumbnails)));

    emit progressUpdated(100, QStringLiteral("清理完成"));
    const qulonglong total = (system + browsers + temp + thumbnails) / BytesPerMB;
    log(QStringLiteral("垃圾清理完成，总计清理: %1 MB").arg(total));
    emit cleanupCompleted(total);
    return total;
}

// Measures what emptying the folder could free: a folder the cleanup would
// refuse counts nothing, and a link is neither entered nor counted.
quint64 CleanupManager::calculateDirectorySize(const QString& path) const
{
    if (!win::isDirectory(path) || FileRemover().rule().refusesEmptying(path))
        return 0;
    quint64 bytes = 0;
    win::FileWalker walker(path);
    while (walker.next()) {
        if (!walker.entry().isReparsePoint())
            bytes += walker.entry().size;
    }
    return bytes;
}

quint64 CleanupManager::deleteDirectoryContents(const QString& path) const
{
    const FileRemover remover;
    if (remover.rule().refusesEmptying(path)) {
        FileLogger::instance()->error(QStringLiteral("安全拦截：受保护的文件夹 - ") + path);
        return 0;
    }
    return win::isDirectory(path) ? quint64(remover.emptyFolder(path).bytes) : 0;
}

QStringList CleanupManager::browserCachePaths() const
{
    const QString home = homeFolder();
    if (home.isEmpty())
        return {};
    const QString local = win::joinPath(home, QStringLiteral("AppData\\Local"));
    const QString roaming = win::joinPath(home, QStringLiteral("AppData\\Roaming"));
    QStringList candidates;
    for (const CacheRow& row : BrowserCaches)
        candidates << win::joinPath(row.base == Local ? local : roaming, QLatin1String(row.path));
    for (const ProfileBrowser& browser : profileBrowsers()) {
        QVector<win::FileEntry> profiles;
        if (win::listDirectory(win::joinPath(local, QLatin1String(browser.profiles)), &profiles) != win::ErrorSuccess)
            continue;
        for (const win::FileEntry& profile : profiles) {
            if (!profile.isDirectory() || profile.isReparsePoint())
                continue;
            for (const QString& cache : browser.caches)
                candidates << win::joinPath(profile.path, cache);
        }
    }
    QStringList existing;
    for (const QString& candidate : candidates) {
        if (win::isDirectory(candidate))
            existing << candidate;
    }
    existing.removeDuplicates();
    return existing;
}

// The blacklist is a plain prefix test, so a folder whose name merely begins
// like a protected one is refused too.
bool CleanupManager::isSafePath(const QString& path) const
{
    const QString target = comparable(path);
    QStringList prefixes;
    const QString profile = environmentFolder(QStringLiteral("%USERPROFILE%"));
    if (!profile.isEmpty()) {
        for (const char* folder : ProtectedProfileFolders)
            prefixes << comparable(profile + QLatin1String(folder));
    }
    for (const char* folder : ProtectedSystemFolders)
        prefixes << QLatin1String(folder);
    for (const QString& prefix : prefixes) {
        if (target.startsWith(prefix)) {
            FileLogger::instance()->error(QStringLiteral("安全拦截：路径在黑名单内 - ") + path);
            return false;
        }
    }
    return true;
}

quint64 CleanupManager::cleanBrowserCache() const
{
    quint64 bytes = 0;
    for (const QString& path : browserCachePaths()) {
        if (isSafePath(path))
            bytes += deleteDirectoryContents(path);
    }
    return bytes;
}

quint64 CleanupManager::cleanTempFiles() const
{
    QStringList folders = {temporaryFolder()};
    const QString windows = environmentFolder(QStringLiteral("%WINDIR%"));
    if (!windows.isEmpty())
        folders << win::joinPath(windows, QStringLiteral("Temp"));
    quint64 bytes = 0;
    for (const QString& folder : folders) {
        if (isSafePath(folder))
            bytes += deleteDirectoryContents(folder);
    }
    return bytes;
}

// Only the thumbnail databases of the folder itself go; one that Explorer
// holds open stays and counts nothing.
quint64 CleanupManager::cleanThumbnailCache() const
{
    QVector<win::FileEntry> entries;
    if (!win::isDirectory(thumbnailFolder()) || win::listDirectory(thumbnailFolder(), &entries) != win::ErrorSuccess)
        return 0;
    const FileRemover remover;
    quint64 bytes = 0;
    for (const win::FileEntry& entry : entries) {
        qint64 removed = 0;
        if (!entry.isDirectory() && win::matchesWildcard(entry.name, QStringLiteral("thumbcache_*.db"))
            && remover.removeFile(entry.path, &removed))
            bytes += quint64(removed);
    }
    return bytes;
}

// What the tool freed is what the system drive gained while it ran.
quint64 CleanupManager::runSystemCleanup() const
{
    log(QStringLiteral("运行系统磁盘清理工具..."));
    const quint64 before = systemDriveFreeBytes();
    win::runProgram(QStringLiteral("cleanmgr.exe"), {QStringLiteral("/sagerun:99")}, win::WaitForever);
    win::sleepMs(SettleAfterSystemCleanupMs);
    const quint64 after = systemDriveFreeBytes();
    return after > before ? after - before : 0;
}

// Which categories preset 99 cleans is the machine's own setting
// (StateFlags0099 of the VolumeCaches handlers); it is left as it is.
void CleanupManager::configureCleanupPreset()
{
    if (m_presetConfigured)
        return;
    log(QStringLiteral("配置系统清理预设..."));
    m_presetConfigured = true;
}

QString CleanupManager::homeFolder() const
{
    return environmentFolder(QStringLiteral("%USERPROFILE%"));
}

QString CleanupManager::temporaryFolder() const
{
    return win::normalizedPath(win::tempPath());
}

QString CleanupManager::thumbnailFolder() const
{
    const QString home = homeFolder();
    return home.isEmpty() ? QString() : win::joinPath(home, QStringLiteral("AppData\\Local\\Microsoft\\Windows\\Explorer"));
}

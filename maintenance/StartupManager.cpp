#include "maintenance/StartupManager.h"

#include "common/EnvironmentPath.h"
#include "common/FileLogger.h"
#include "common/NativeSystemPath.h"
#include "common/SystemInfo.h"
#include "platform/ComApartment.h"
#include "platform/Environment.h"
#include "platform/FileFacts.h"
#include "platform/FileSystem.h"
#include "platform/RegistryIterators.h"
#include "platform/RegistryKey.h"

#include <QSet>

#include <algorithm>

namespace {

const QString LegacySuffix = QStringLiteral(".velantrix_bak");
const QString ApprovedKeyBase = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\");

constexpr quint32 ApprovedAccess = win::KeyQueryValue | win::KeySetValue;
constexpr int ApprovedValueBytes = 12;
constexpr quint32 MaxValueNameChars = 16384;
constexpr quint32 PathBufferChars = 260;
constexpr quint32 SubBlockBufferChars = 128;

// Byte 0 of an approval value: 3 and 7 mean switched off.
constexpr quint8 NewEnabled = 2;
constexpr quint8 NewDisabled = 3;
constexpr quint8 ChangedEnabled = 6;
constexpr quint8 ChangedDisabled = 7;

// The Run keys, in scan order. The program is a 32-bit process: without a
// view flag every HKLM\Software path would land in the 32-bit branch, so the
// machine's own Run and RunOnce keys are asked for in the 64-bit view, as the
// startup scanner reads them, and the 32-bit Run key in the 32-bit view.
struct RunKeySource
{
    QString location;
    QString path;
    quint32 view;
};

const QList<RunKeySource>& runKeySources()
{
    static const QList<RunKeySource> sources = {
        {QStringLiteral("HKCU_Run"), QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"), win::KeyWow64_64Key},
        {QStringLiteral("HKLM_Run"), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"), win::KeyWow64_64Key},
        {QStringLiteral("HKLM_Run32"), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"), win::KeyWow64_32Key},
        {QStringLiteral("HKCU_RunOnce"), QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"), win::KeyWow64_64Key},
        {QStringLiteral("HKLM_RunOnce"), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"), win::KeyWow64_64Key},
    };
    return sources;
}

quint32 viewOf(const QString& location)
{
    for (const RunKeySource& source : runKeySources()) {
        if (source.location == location)
            return source.view;
    }
    return win::KeyWow64_64Key;
}

// Opens a key given by its full registry path in the view of its location.
win::Error openRunKey(const QString& path, const QString& location, quint32 access, win::RegistryKey* key)
{
    win::Hive hive;
    QString subKey;
    if (!win::parseRegistryPath(path, &hive, &subKey))
        return win::ErrorFileNotFound;
    return key->open(hive, subKey, access | viewOf(location));
}

// Windows compares value and file names without regard to case.
QString nameKey(const QString& name)
{
    return name.toCaseFolded();
}


QString startupFolderOf(const QString& variable, const QString& below)
{
    QString value;
    quint32 size = win::getEnvironmentVariable(variable, &value, PathBufferChars);
    if (size > PathBufferChars)
        win::getEnvironmentVariable(variable, &value, size);
    return QString(value + below).replace('/', '\\');
}

QString baseNameOf(const QString& fileName)
{
    const int dot = fileName.lastIndexOf('.');
    return dot < 0 ? fileName : fileName.left(dot);
}

QString extensionOf(const QString& fileName)
{
    const int dot = fileName.lastIndexOf('.');
    return dot < 0 ? QString() : fileName.mid(dot + 1);
}

// A Startup-folder entry's command is its path as Qt writes paths.
QString withForwardSlashes(QString path)
{
    return path.replace('\\', '/');
}

quint8 nextStateByte(bool existing, quint8 current, bool enable)
{
    if (!existing)
        return enable ? NewEnabled : NewDisabled;
    if (current == NewDisabled)
        return enable ? NewEnabled : ChangedDisabled;
    if (current == NewEnabled)
        return enable ? ChangedEnabled : NewDisabled;
    return enable ? ChangedEnabled : ChangedDisabled;
}

void log(const QString& line)
{
    FileLogger::instance()->log(line);
}

} // namespace

StartupManager::StartupManager(QObject* parent)
    : QObject(parent)
{
    initKnownNames();
}

StartupManager::~StartupManager() = default;

void StartupManager::initKnownNames()
{
    m_knownNames.append({
        QStringLiteral("QQMusic"), QStringLiteral("NetEaseMusic"), QStringLiteral("cloudmusic"), QStringLiteral("KuGou"), QStringLiteral("KuWo"),
        QStringLiteral("Thunder"), QStringLiteral("XunLei"), QStringLiteral("QQDownload"), QStringLiteral("BitComet"), QStringLiteral("uTorrent"),
        QStringLiteral("BaiduNetdisk"), QStringLiteral("YunPan"), QStringLiteral("OneDrive"), QStringLiteral("Dropbox"), QStringLiteral("eCloud"),
        QStringLiteral("WPS"), QStringLiteral("wps"), QStringLiteral("OfficeClickToRun"), QStringLiteral("PotPlayer"), QStringLiteral("QQPlayer"),
        QStringLiteral("暴风影音"), QStringLiteral("iQIYI"), QStringLiteral("TencentVideo"), QStringLiteral("EdgeAutoLaunch"), QStringLiteral("MicrosoftEdgeAutoLaunch"),
        QStringLiteral("WeChat"), QStringLiteral("WeChatWork"), QStringLiteral("DingTalk"), QStringLiteral("TIM"), QStringLiteral("QQProtect"),
        QStringLiteral("QQNT"), QStringLiteral("Alipay"), QStringLiteral("TaobaoProtect"), QStringLiteral("Sunlogin"), QStringLiteral("向日葵"),
        QStringLiteral("PddWorkbench"), QStringLiteral("Pdd"), QStringLiteral("NvBackend"), QStringLiteral("NVIDIA"), QStringLiteral("SogouInput"),
        QStringLiteral("BaiduInput")
    });
    for (const QString& known : m_knownNames)
        m_lowerKnownNames << known.toLower();
}

QList<StartupItem> StartupManager::scanItems()
{
    m_items.clear();
    const QList<RunKeySource>& sources = runKeySources();

    // The Run keys are read whole before any migration writes to them; a
    // restored backup is listed by the next scan.
    QList<QMap<QString, QString>> runValues;
    for (int i = 0; i < 3; ++i)
        runValues.append(readRunKey(sources.at(i).path, sources.at(i).location));

    QSet<QString> seen;
    for (int i = 0; i < 3; ++i) {
        const RunKeySource& source = sources.at(i);
        const QMap<QString, QString>& values = runValues.at(i);
        for (auto it = values.begin(); it != values.end(); ++it) {
            const QString& name = it.key();
            if (name.endsWith(LegacySuffix)) {
                const QString plainName = name.left(name.size() - LegacySuffix.size());
                if (!seen.contains(nameKey(plainName)))
                    migrateLegacyBackup(plainName, source.location, source.path);
                continue;
            }
            if (seen.contains(nameKey(name)))
                continue;
            StartupItem item;
            item.name = name;
            item.displayName = name;
            item.command = it.value();
            item.location = source.location;
            item.locationPath = source.path;
            item.recommendDisable = isRecommendedToDisable(name, it.value());
            item.disabled = isDisabled(source.location, name);
            const QString description = fileDescription(it.value());
            if (!description.isEmpty())
                item.displayName = description;
            m_items.append(item);
            seen.insert(nameKey(name));
        }
    }

    // RunOnce entries run once and are gone; they are listed as they are.
    for (int i = 3; i < sources.size(); ++i) {
        const RunKeySource& source = sources.at(i);
        const QMap<QString, QString> values = readRunKey(source.path, source.location);
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (seen.contains(nameKey(it.key())))
                continue;
            StartupItem item;
            item.name = it.key();
            item.displayName = it.key();
            item.command = it.value();
            item.location = source.location;
            item.locationPath = source.path;
            m_items.append(item);
            seen.insert(nameKey(it.key()));
        }
    }

    const QString userFolder = startupFolderOf(QStringLiteral("APPDATA"), QStringLiteral("\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"));
    const QString commonFolder = startupFolderOf(QStringLiteral("PROGRAMDATA"), QStringLiteral("\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"));
    const QList<StartupItem> folderItems = scanStartupFolder(userFolder, QStringLiteral("StartupFolder_User"))
                                           + scanStartupFolder(commonFolder, QStringLiteral("StartupFolder_Common"));
    for (const StartupItem& item : folderItems) {
        if (seen.contains(nameKey(item.name)))
            continue;
        m_items.append(item);
        seen.insert(nameKey(item.name));
    }

    const int disabledCount = int(std::count_if(m_items.begin(), m_items.end(),
                                                [](const StartupItem& item) { return item.disabled; }));
    log(QStringLiteral("扫描到 %1 个启动项，其中 %2 个可安全禁用，%3 个已禁用").arg(m_items.size()).arg(recommendedCount()).arg(disabledCount));
    return m_items;
}

// Only text values start programs; the values of subkeys are no entries.
QMap<QString, QString> StartupManager::readRunKey(const QString& path, const QString& location)
{
    QMap<QString, QString> values;
    win::RegistryKey key;
    if (openRunKey(path, location, win::KeyQueryValue, &key) == win::ErrorSuccess) {
        win::RegistryValueIterator it(key, MaxValueNameChars, win::RegistryKey::UnlimitedBuffer);
        while (it.next()) {
            if (it.type() == win::RegSz || it.type() == win::RegExpandSz)
                values.insert(it.name(), it.text());
        }
    }
    log(QStringLiteral("  [%1] 读取到 %2 项").arg(location).arg(values.size()));
    return values;
}

QList<StartupItem> StartupManager::scanStartupFolder(const QString& folder, const QString& location)
{
    QVector<win::FileEntry> entries;
    if (!win::isDirectory(folder) || win::listDirectory(folder, &entries) != win::ErrorSuccess) {
        log(QStringLiteral("  [%1] 文件夹不存在: %2").arg(location, folder));
        return {};
    }
    std::stable_sort(entries.begin(), entries.end(), [](const win::FileEntry& a, const win::FileEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });

    QStringList legacyFiles;
    QStringList normalFiles;
    for (const win::FileEntry& entry : entries) {
        if (entry.isDirectory() || entry.isHidden())
            continue;
        if (entry.name.endsWith(LegacySuffix))
            legacyFiles << entry.name;
        else if (!entry.name.startsWith('.'))
            normalFiles << entry.name;
    }

    QList<StartupItem> items;
    for (const QString& fileName : legacyFiles) {
        StartupItem restored;
        if (migrateLegacyFile(folder, fileName, location, &restored))
            items.append(restored);
    }
    for (const QString& fileName : normalFiles)
        items.append(folderItem(win::joinPath(folder, fileName), location));
    log(QStringLiteral("  [%1] 读取到 %2 项").arg(location).arg(items.size()));
    return items;
}

StartupItem StartupManager::folderItem(const QString& path, const QString& location) const
{
    const QString fileName = win::fileNameOf(path);
    StartupItem item;
    item.name = baseNameOf(fileName);
    item.displayName = item.name;
    item.command = withForwardSlashes(path);
    item.location = location;
    item.locationPath = item.command;
    item.recommendDisable = isRecommendedToDisable(item.name, QString());
    item.disabled = isDisabled(location, approvalValueName(item));
    if (extensionOf(fileName).compare(QStringLiteral("lnk"), Qt::CaseInsensitive) == 0) {
        // The target is a path, not a command line: blanks belong to it.
        const QString target = shortcutTarget(path);
        const QString description = target.isEmpty() ? QString() : descriptionOfFile(target);
        if (!description.isEmpty())
            item.displayName = description;
    }
    return item;
}

bool StartupManager::isRecommendedToDisable(const QString& name, const QString& command) const
{
    const QString lowerName = name.toLower();
    const QString lowerCommand = command.toLower();
    return std::any_of(m_lowerKnownNames.begin(), m_lowerKnownNames.end(), [&](const QString& known) {
        return lowerName.contains(known) || lowerCommand.contains(known);
    });
}

QString StartupManager::exePathOf(const QString& command)
{
    const QString trimmed = command.trimmed();
    if (trimmed.isEmpty())
        return QString();
    if (trimmed.startsWith('"')) {
        const int close = trimmed.indexOf('"', 1);
        if (close >= 1)
            return trimmed.mid(1, close - 1);
    }
    const int blank = trimmed.indexOf(' ', 1);
    return blank >= 1 ? trimmed.left(blank) : trimmed;
}

QString StartupManager::fileDescription(const QString& command)
{
    const QString path = exePathOf(command);
    return path.isEmpty() ? QString() : descriptionOfFile(path);
}

QString StartupManager::descriptionOfFile(const QString& path)
{
    // Startup commands name the system's own folder, which this program
    // reaches through Sysnative under WOW64.
    const QString expanded = nativeSystemPath(expandEnvironmentPath(path));
    const quint32 size = win::FileVersionInfo::size(expanded);
    win::FileVersionInfo info;
    if (size == 0 || !info.load(expanded, size))
        return QString();
    QVector<QPair<quint16, quint16>> translations;
    if (!info.translations(&translations) || translations.isEmpty())
        return QString();
    const QString subBlock = QStringLiteral("\\StringFileInfo\\%1%2\\FileDescription")
                                 .arg(translations.first().first, 4, 16, QLatin1Char('0'))
                                 .arg(translations.first().second, 4, 16, QLatin1Char('0'));
    QString description;
    quint32 lengthChars = 0;
    if (quint32(subBlock.size()) >= SubBlockBufferChars || !info.queryString(subBlock, &description, &lengthChars)
        || lengthChars < 2)
        return QString();
    return description.trimmed();
}

QString StartupManager::shortcutTarget(const QString& shortcutPath)
{
    win::ComApartment com(win::ComApartment::Model::ApartmentThreaded);
    win::ShellLink link;
    QString target;
    if (win::failed(link.create()) || win::failed(link.load(shortcutPath))
        || win::failed(link.getPath(&target, int(PathBufferChars))))
        return QString();
    return target;
}

QString StartupManager::approvedSubkey(const QString& location)
{
    if (location == QStringLiteral("HKLM_Run32"))
        return QStringLiteral("Run32");
    if (location == QStringLiteral("StartupFolder_User") || location == QStringLiteral("StartupFolder_Common"))
        return QStringLiteral("StartupFolder");
    return QStringLiteral("Run");
}

// Explorer names the value of a Run entry as the entry and that of a
// Startup-folder entry by its file name, extension and all ("Tool.lnk"); a
// value of any other name is never read, and its entry starts whatever it says.
QString StartupManager::approvalValueName(const StartupItem& item)
{
    if (approvedSubkey(item.location) != QLatin1String("StartupFolder"))
        return item.name;
    return win::fileNameOf(item.locationPath);
}

bool StartupManager::isDisabled(const QString& location, const QString& valueName) const
{
    win::RegistryKey key;
    QByteArray state;
    if (key.open(win::Hive::CurrentUser, ApprovedKeyBase + approvedSubkey(location), win::KeyQueryValue)
            != win::ErrorSuccess
        || key.queryValue(valueName, nullptr, &state) != win::ErrorSuccess || state.isEmpty())
        return false;
    const quint8 first = quint8(state.at(0));
    return first == NewDisabled || first == ChangedDisabled;
}

// Only byte 0 is ours; the rest of an existing value (Explorer keeps a time
// stamp there) is written back as it was read, with the length it had.
bool StartupManager::setApproved(const QString& location, const QString& valueName, bool enable)
{
    const QString keyPath = ApprovedKeyBase + approvedSubkey(location);
    win::RegistryKey key;
    QByteArray state;
    win::Error result = key.open(win::Hive::CurrentUser, keyPath, ApprovedAccess);
    if (result != win::ErrorSuccess)
        result = key.create(win::Hive::CurrentUser, keyPath, ApprovedAccess);
    if (result == win::ErrorSuccess) {
        result = key.queryValue(valueName, nullptr, &state, ApprovedValueBytes);
        if (result == win::ErrorFileNotFound)
            state.clear();
        if (result == win::ErrorSuccess || result == win::ErrorFileNotFound) {
            const bool existing = !state.isEmpty();
            if (!existing)
                state = QByteArray(ApprovedValueBytes, '\0');
            state[0] = char(nextStateByte(existing, quint8(state.at(0)), enable));
            result = key.setValue(valueName, win::RegBinary, state);
        }
    }
    if (result != win::ErrorSuccess) {
        log(QStringLiteral("修改启动项失败: %1 [%2]").arg(valueName, location));
        return false;
    }
    return true;
}

// The backup is removed only once the entry stands disabled under its plain
// name again; a live value of that name is never overwritten.
void StartupManager::migrateLegacyBackup(const QString& name, const QString& location, const QString& path)
{
    log(QStringLiteral("迁移旧版 .velantrix_bak 启动项: %1 [%2]").arg(name, location));
    win::RegistryKey key;
    if (openRunKey(path, location, win::KeyQueryValue | win::KeySetValue, &key) != win::ErrorSuccess)
        return;
    const QString backupName = name + LegacySuffix;
    QString command;
    quint32 type = win::RegSz;
    if (key.readText(backupName, &command, win::RegistryKey::UnlimitedBuffer, &type) != win::ErrorSuccess
        || command.isEmpty() || key.queryValue(name, nullptr, nullptr) != win::ErrorFileNotFound)
        return;
    if (!setApproved(location, name, false))
        return;
    const quint32 valueType = type == win::RegExpandSz ? win::RegExpandSz : win::RegSz;
    QString written;
    if (key.writeText(name, command, valueType) != win::ErrorSuccess
        || key.readText(name, &written) != win::ErrorSuccess || written != command)
        return;
    key.deleteValue(backupName);
}

// A rename in place never replaces a file of the plain name; the approval
// value is written first, so the restored file never starts unasked.
bool StartupManager::migrateLegacyFile(const QString& folder, const QString& fileName, const QString& location,
                                       StartupItem* restored)
{
    const QString plainFileName = fileName.left(fileName.size() - LegacySuffix.size());
    const QString backupPath = win::joinPath(folder, fileName);
    const QString restoredPath = win::joinPath(folder, plainFileName);
    const QString name = baseNameOf(plainFileName);
    if (plainFileName.isEmpty() || win::pathExists(restoredPath) || !setApproved(location, plainFileName, false)
        || win::moveFile(backupPath, restoredPath) != win::ErrorSuccess)
        return false;
    restored->name = name;
    restored->displayName = name;
    restored->command = withForwardSlashes(restoredPath);
    restored->location = location;
    restored->locationPath = restored->command;
    restored->recommendDisable = true;
    restored->disabled = true;
    log(QStringLiteral("  [%1] 迁移bak并禁用: %2").arg(location, name));
    return true;
}

int StartupManager::disableItems(const QStringList& names)
{
    return switchItems(names, false);
}

int StartupManager::restoreItems(const QStringList& names)
{
    return switchItems(names, true);
}

int StartupManager::switchItems(const QStringList& names, bool enable)
{
    int changed = 0;
    for (StartupItem& item : m_items) {
        if (item.disabled == !enable || !names.contains(item.name, Qt::CaseInsensitive))
            continue;
        if (!setApproved(item.location, approvalValueName(item), enable))
            continue;
        item.disabled = !enable;
        ++changed;
        log((enable ? QStringLiteral("已恢复启动项: %1 [%2]") : QStringLiteral("已禁用启动项: %1 [%2]")).arg(item.name, item.location));
    }
    return changed;
}

int StartupManager::disableAllRecommended()
{
    QStringList names;
    for (const StartupItem& item : m_items) {
        if (item.recommendDisable && !item.disabled)
            names << item.name;
    }
    return disableItems(names);
}

int StartupManager::recommendedCount() const
{
    return int(std::count_if(m_items.begin(), m_items.end(),
                             [](const StartupItem& item) { return item.recommendDisable && !item.disabled; }));
}

QList<StartupItem> StartupManager::items() const
{
    return m_items;
}

bool StartupManager::isApplicable() const
{
    return !isDomainJoined() && !m_items.isEmpty();
}

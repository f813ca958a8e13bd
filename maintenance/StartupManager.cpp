#include "maintenance/StartupManager.h"

#include "common/CommandLineProgram.h"
#include "common/EnvironmentPath.h"
#include "common/FileLogger.h"
#include "common/NativeSystemPath.h"
#include "common/PathProbe.h"
#include "common/StartupApproval.h"
#include "common/StartupLocation.h"
#include "common/SystemInfo.h"
#include "maintenance/StartupBackup.h"
#include "platform/CaseFold.h"
#include "platform/ComApartment.h"
#include "platform/FileFacts.h"
#include "platform/FileSystem.h"
#include "platform/RegistryIterators.h"
#include "platform/RegistryKey.h"

#include <QSet>

#include <algorithm>

namespace {

const QString LegacySuffix = QStringLiteral(".velantrix_bak");

constexpr quint32 MaxValueNameChars = 16384;
constexpr quint32 PathBufferChars = 260;
constexpr quint32 SubBlockBufferChars = 128;

// The locations the manager lists, in its order: the three Run keys, the two
// RunOnce keys, the user's and the common Startup folder. Switched-off policy
// entries are listed from the backup only, so that they can be restored.
const QStringList RunKeyLabels = {QStringLiteral("HKCU_Run"), QStringLiteral("HKLM_Run"), QStringLiteral("HKLM_Run32")};
const QStringList RunOnceLabels = {QStringLiteral("HKCU_RunOnce"), QStringLiteral("HKLM_RunOnce")};
const QStringList FolderLabels = {QStringLiteral("StartupFolder_User"), QStringLiteral("StartupFolder_Common")};
const QStringList PolicyLabels = {QStringLiteral("HKLM_PolicyRun"), QStringLiteral("HKCU_PolicyRun")};

const StartupLocation& locationOf(const QString& label)
{
    return *StartupLocation::withManagerLabel(label);
}

// Windows compares value and file names without regard to case.
QString indexKey(const QString& location, const QString& name)
{
    return location + '\n' + win::foldCase(name);
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

void log(const QString& line)
{
    FileLogger::instance()->log(line);
}

void logFailure(const QString& name, const QString& location)
{
    log(QStringLiteral("修改启动项失败: %1 [%2]").arg(name, location));
}

// Explorer keeps the folder's own settings in it; it is no entry and never started.
bool isFolderSettings(const QString& fileName)
{
    return fileName.compare(QStringLiteral("desktop.ini"), Qt::CaseInsensitive) == 0;
}

// Whether an item bears one of the names, compared as Windows compares them.
auto namedIn(const QStringList& names)
{
    QSet<QString> folded;
    for (const QString& name : names)
        folded.insert(win::foldCase(name));
    return [folded](const StartupItem& item) { return folded.contains(win::foldCase(item.name)); };
}

} // namespace

StartupManager::StartupManager(QObject* parent)
    : QObject(parent)
    , m_windowsVersion(windowsVersion())
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
        m_lowerKnownNames.append(QStringMatcher(known.toLower()));
}

QList<StartupItem> StartupManager::scanItems()
{
    m_items.clear();
    m_index.clear();
    m_windowsVersion = windowsVersion();
    std::map<const StartupLocation*, StartupApproval> approvals;
    m_scanApprovals = &approvals;

    // The Run keys are read whole before any migration writes to them; a
    // backup moved back to its plain name is listed by the next scan.
    QList<QMap<QString, QString>> runValues;
    for (const QString& label : RunKeyLabels)
        runValues.append(readRunKey(locationOf(label)));
    for (int i = 0; i < RunKeyLabels.size(); ++i)
        listRunKey(locationOf(RunKeyLabels.at(i)), runValues.at(i), false);
    // RunOnce entries run once and are gone; they are listed as they are.
    for (const QString& label : RunOnceLabels) {
        const StartupLocation& location = locationOf(label);
        listRunKey(location, readRunKey(location), true);
    }
    for (const QString& label : FolderLabels) {
        for (const StartupItem& item : scanStartupFolder(locationOf(label).folderPath(), label))
            append(item);
    }
    for (const QStringList* labels : {&RunKeyLabels, &RunOnceLabels, &FolderLabels, &PolicyLabels}) {
        for (const QString& label : *labels)
            listHeldEntries(locationOf(label));
    }
    m_scanApprovals = nullptr;

    const int disabledCount = int(std::count_if(m_items.begin(), m_items.end(),
                                                [](const StartupItem& item) { return item.disabled; }));
    log(QStringLiteral("扫描到 %1 个启动项，其中 %2 个可安全禁用，%3 个已禁用").arg(m_items.size()).arg(recommendedCount()).arg(disabledCount));
    return m_items;
}

void StartupManager::append(const StartupItem& item)
{
    m_index[indexKey(item.location, item.name)].append(m_items.size());
    m_items.append(item);
}

// Only text values start programs; the values of subkeys are no entries.
QMap<QString, QString> StartupManager::readRunKey(const StartupLocation& location)
{
    QMap<QString, QString> values;
    win::RegistryKey key;
    if (key.open(location.hive, location.keyPath, win::KeyQueryValue | win::KeyWow64_64Key) == win::ErrorSuccess) {
        win::RegistryValueIterator it(key, MaxValueNameChars, win::RegistryKey::UnlimitedBuffer);
        while (it.next()) {
            if (it.isText())
                values.insert(it.name(), it.text());
        }
    }
    log(QStringLiteral("  [%1] 读取到 %2 项").arg(location.managerLabel).arg(values.size()));
    return values;
}

// A Run key's values, by name; a legacy backup "<name>.velantrix_bak" is
// switched off under its plain name, which the next scan lists. RunOnce
// entries get no legacy handling, no recommendation and no description.
void StartupManager::listRunKey(const StartupLocation& location, const QMap<QString, QString>& values,
                                bool isStartedOnce)
{
    PathProbe probe;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString& name = it.key();
        if (!isStartedOnce && name.endsWith(LegacySuffix)) {
            migrateLegacyBackup(location, name.left(name.size() - LegacySuffix.size()));
            continue;
        }
        StartupItem item;
        item.name = name;
        item.displayName = name;
        item.command = it.value();
        item.location = location.managerLabel;
        item.locationPath = location.fullKeyPath();
        if (!isStartedOnce) {
            item.recommendDisable = isRecommendedToDisable(name, it.value());
            item.disabled = isDisabled(location.managerLabel, name);
            const QString description = fileDescription(it.value(), probe);
            if (!description.isEmpty())
                item.displayName = description;
        }
        append(item);
    }
}

// What the program switched off by moving it into its backup, listed as a
// switched-off entry of its location.
void StartupManager::listHeldEntries(const StartupLocation& location)
{
    PathProbe probe;
    for (const StartupBackup::Held& held : StartupBackup::held(location)) {
        StartupItem item;
        if (location.isFolder()) {
            item = folderItem(location, win::joinPath(location.folderPath(), held.entryName), held.command, true);
        } else {
            item.name = held.entryName;
            item.displayName = held.entryName;
            item.location = location.managerLabel;
            item.disabled = true;
            item.command = held.command;
            item.locationPath = location.fullKeyPath();
            item.recommendDisable = !location.runsOnce && isRecommendedToDisable(held.entryName, held.command);
            const QString description = location.runsOnce ? QString() : fileDescription(held.command, probe);
            if (!description.isEmpty())
                item.displayName = description;
        }
        item.heldAs = held.backupName;
        append(item);
    }
}

QList<StartupItem> StartupManager::scanStartupFolder(const QString& folder, const QString& location)
{
    // Listing a folder that is missing, a file or a link fails: no separate question first.
    QVector<win::FileEntry> entries;
    if (win::listDirectory(folder, &entries) != win::ErrorSuccess) {
        log(QStringLiteral("  [%1] 文件夹不存在: %2").arg(location, folder));
        return {};
    }
    std::stable_sort(entries.begin(), entries.end(), [](const win::FileEntry& a, const win::FileEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });

    // Windows starts hidden and system files as well.
    QStringList legacyFiles;
    QStringList normalFiles;
    for (const win::FileEntry& entry : entries) {
        if (entry.isDirectory() || isFolderSettings(entry.name))
            continue;
        if (entry.name.endsWith(LegacySuffix))
            legacyFiles << entry.name;
        else if (!entry.name.startsWith('.'))
            normalFiles << entry.name;
    }

    const StartupLocation* place = StartupLocation::withManagerLabel(location);
    if (!place || !place->isFolder())
        return {};
    QList<StartupItem> items;
    for (const QString& fileName : legacyFiles) {
        StartupItem restored;
        if (migrateLegacyFile(*place, folder, fileName, &restored))
            items.append(restored);
    }
    for (const QString& fileName : normalFiles) {
        const QString path = win::joinPath(folder, fileName);
        items.append(folderItem(*place, path, path, isDisabled(location, fileName)));
    }
    log(QStringLiteral("  [%1] 读取到 %2 项").arg(location).arg(items.size()));
    return items;
}

// A folder entry is named by its file name with its extension, as Explorer
// names its approval value; it is shown and recommended by the name without
// it. A shortcut is shown by the description of its target, read from
// `shortcutFile` (the file itself, or its backup), when it has one.
StartupItem StartupManager::folderItem(const StartupLocation& location, const QString& path,
                                       const QString& shortcutFile, bool disabled) const
{
    const QString fileName = win::fileNameOf(path);
    StartupItem item;
    item.name = fileName;
    item.displayName = shortcutDescription(shortcutFile, fileName);
    if (item.displayName.isEmpty())
        item.displayName = location.shownName(fileName);
    item.command = withForwardSlashes(path);
    item.location = location.managerLabel;
    item.locationPath = item.command;
    item.recommendDisable = isRecommendedToDisable(location.shownName(fileName), QString());
    item.disabled = disabled;
    return item;
}

// The description of a shortcut's target; empty for any other file.
QString StartupManager::shortcutDescription(const QString& path, const QString& fileName)
{
    if (extensionOf(fileName).compare(QStringLiteral("lnk"), Qt::CaseInsensitive) != 0)
        return QString();
    // The target is a path, not a command line: blanks belong to it.
    const QString target = shortcutTarget(path);
    return target.isEmpty() ? QString() : descriptionOfFile(target);
}

bool StartupManager::isRecommendedToDisable(const QString& name, const QString& command) const
{
    const QString lowerName = name.toLower();
    const QString lowerCommand = command.toLower();
    return std::any_of(m_lowerKnownNames.begin(), m_lowerKnownNames.end(), [&](const QStringMatcher& known) {
        return known.indexIn(lowerName) >= 0 || known.indexIn(lowerCommand) >= 0;
    });
}

QString StartupManager::fileDescription(const QString& command)
{
    PathProbe probe;
    return fileDescription(command, probe);
}

QString StartupManager::exePathOf(const QString& command)
{
    return CommandLineProgram::of(command);
}

QString StartupManager::exePathOf(const QString& command, PathProbe& probe)
{
    return CommandLineProgram::of(command, probe);
}

QString StartupManager::fileDescription(const QString& command, PathProbe& probe)
{
    const QString path = exePathOf(command, probe);
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
    const QString subBlock = QStringLiteral("\\StringFileInfo\\")
                             + win::versionStringBlock(translations.first().first, translations.first().second)
                             + QStringLiteral("\\FileDescription");
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

// A backup "<name>.velantrix_bak" of an earlier version goes back to its
// plain name switched off, or, where Windows keeps no switched-off state,
// straight into the program's backup. Nothing is removed before the written
// state reads back; a live value of the plain name is never overwritten.
void StartupManager::migrateLegacyBackup(const StartupLocation& location, const QString& name)
{
    log(QStringLiteral("迁移旧版 .velantrix_bak 启动项: %1 [%2]").arg(name, location.managerLabel));
    const QString backupName = name + LegacySuffix;
    win::RegistryKey key;
    QString command;
    quint32 type = win::RegSz;
    if (key.open(location.hive, location.keyPath, win::KeyQueryValue | win::KeySetValue | win::KeyWow64_64Key)
            != win::ErrorSuccess
        || key.readText(backupName, &command, win::RegistryKey::UnlimitedBuffer, &type) != win::ErrorSuccess
        || command.isEmpty() || key.queryValue(name, nullptr, nullptr) != win::ErrorFileNotFound)
        return;
    if (!location.keepsApprovalOn(m_windowsVersion)) {
        StartupBackup::hold(location, backupName, name);
        return;
    }
    if (!setApproved(location.managerLabel, name, false))
        return;
    const quint32 valueType = type == win::RegExpandSz ? win::RegExpandSz : win::RegSz;
    QString written;
    if (key.writeText(name, command, valueType) != win::ErrorSuccess
        || key.readText(name, &written) != win::ErrorSuccess || written != command)
        return;
    key.deleteValue(backupName);
}

// A rename in place never replaces a file of the plain name; the approval
// value is written first, so the restored file never starts unasked. Where
// Windows keeps no switched-off state the file goes into the program's
// backup instead, and is listed from there.
bool StartupManager::migrateLegacyFile(const StartupLocation& location, const QString& folder,
                                       const QString& fileName, StartupItem* restored)
{
    const QString plainFileName = fileName.left(fileName.size() - LegacySuffix.size());
    const QString backupPath = win::joinPath(folder, fileName);
    const QString restoredPath = win::joinPath(folder, plainFileName);
    if (plainFileName.isEmpty() || win::pathExists(restoredPath))
        return false;
    if (!location.keepsApprovalOn(m_windowsVersion)) {
        if (StartupBackup::hold(location, fileName, plainFileName) == StartupBackup::Outcome::Done)
            log(QStringLiteral("  [%1] 迁移bak并禁用: %2").arg(location.managerLabel, plainFileName));
        return false;
    }
    if (!setApproved(location.managerLabel, plainFileName, false)
        || win::moveFile(backupPath, restoredPath) != win::ErrorSuccess)
        return false;
    restored->name = plainFileName;
    restored->displayName = location.shownName(plainFileName);
    restored->command = withForwardSlashes(restoredPath);
    restored->location = location.managerLabel;
    restored->locationPath = restored->command;
    restored->recommendDisable = true;
    restored->disabled = true;
    log(QStringLiteral("  [%1] 迁移bak并禁用: %2").arg(location.managerLabel, plainFileName));
    return true;
}

int StartupManager::disableItems(const QStringList& names)
{
    return switchMatching(false, namedIn(names));
}

int StartupManager::restoreItems(const QStringList& names)
{
    return switchMatching(true, namedIn(names));
}

int StartupManager::disableItems(const QString& location, const QStringList& names)
{
    int changed = 0;
    for (const QString& name : names) {
        for (int position : m_index.value(indexKey(location, name))) {
            StartupItem& item = m_items[position];
            if (!item.disabled && switchItem(item, false))
                ++changed;
        }
    }
    return changed;
}

bool StartupManager::disableItem(const StartupItem& listed)
{
    return switchListed(listed, false);
}

bool StartupManager::restoreItem(const StartupItem& listed)
{
    return switchListed(listed, true);
}

int StartupManager::disableAllRecommended()
{
    return switchMatching(false, [](const StartupItem& item) { return item.recommendDisable; });
}

template <typename Matches>
int StartupManager::switchMatching(bool enable, Matches matches)
{
    int changed = 0;
    for (StartupItem& item : m_items) {
        if (item.disabled == enable && matches(item) && switchItem(item, enable))
            ++changed;
    }
    return changed;
}

// One location may list its live entry of a name beside several switched-off
// ones held in the backup; the backup's name tells them apart.
bool StartupManager::switchListed(const StartupItem& listed, bool enable)
{
    for (int position : m_index.value(indexKey(listed.location, listed.name))) {
        StartupItem& item = m_items[position];
        if (item.heldAs == listed.heldAs)
            return item.disabled == enable && switchItem(item, enable);
    }
    return false;
}

bool StartupManager::switchItem(StartupItem& item, bool enable)
{
    const StartupLocation* location = StartupLocation::withManagerLabel(item.location);
    if (!location || !(enable ? switchOn(*location, item) : switchOff(*location, item)))
        return false;
    item.disabled = !enable;
    log((enable ? QStringLiteral("已恢复启动项: %1 [%2]") : QStringLiteral("已禁用启动项: %1 [%2]")).arg(item.name, item.location));
    return true;
}

// Where Windows reads an approval value, that value switches the entry off;
// elsewhere the entry moves into the program's backup.
bool StartupManager::switchOff(const StartupLocation& location, StartupItem& item)
{
    if (location.keepsApprovalOn(m_windowsVersion))
        return setApproved(item.location, item.name, false);
    QString backupName;
    if (StartupBackup::hold(location, item.name, item.name, &backupName) != StartupBackup::Outcome::Done) {
        logFailure(item.name, item.location);
        return false;
    }
    item.heldAs = backupName;
    return true;
}

// An entry back from the backup starts only if no approval value of its
// name, from an earlier switch, still holds it off.
bool StartupManager::switchOn(const StartupLocation& location, StartupItem& item)
{
    if (!item.heldAs.isEmpty()) {
        if (StartupBackup::giveBack(location, item.heldAs, item.name) != StartupBackup::Outcome::Done) {
            logFailure(item.name, item.location);
            return false;
        }
        item.heldAs.clear();
        if (!isDisabled(item.location, item.name))
            return true;
    }
    return setApproved(item.location, item.name, true);
}

QString StartupManager::approvedSubkey(const QString& location)
{
    const StartupLocation* place = StartupLocation::withManagerLabel(location);
    return place ? place->approvalSubkey : QString();
}

// A scan opens each location's approval key once. What its migrations write
// there concerns only entries that the next scan lists.
bool StartupManager::isDisabled(const QString& location, const QString& name) const
{
    const StartupLocation* place = StartupLocation::withManagerLabel(location);
    if (!place)
        return false;
    if (!m_scanApprovals)
        return StartupApproval(*place, m_windowsVersion).isOff(name);
    return m_scanApprovals->try_emplace(place, *place, m_windowsVersion).first->second.isOff(name);
}

// Where this Windows reads no approval value for the location, none is
// written: it would stop nothing.
bool StartupManager::setApproved(const QString& location, const QString& name, bool enable)
{
    const StartupLocation* place = StartupLocation::withManagerLabel(location);
    if (place && place->keepsApprovalOn(m_windowsVersion) && StartupApproval::write(*place, name, enable))
        return true;
    logFailure(name, location);
    return false;
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

QList<StartupItem> StartupManager::itemsAt(const QString& location, const QString& name) const
{
    QList<StartupItem> found;
    for (int position : m_index.value(indexKey(location, name)))
        found.append(m_items.at(position));
    return found;
}

bool StartupManager::isApplicable() const
{
    return !isDomainJoined() && !m_items.isEmpty();
}

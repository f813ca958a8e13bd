#pragma once

#include "maintenance/StartupItem.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringMatcher>
#include <QVector>

#include <map>

class PathProbe;
class StartupApproval;
struct StartupLocation;

// Lists what starts with Windows from the Run and RunOnce keys and the two
// Startup folders, recommends well-known programs for switching off, and
// switches entries off and on where Windows reads their state: through
// Explorer's startup-approval values in the entry's own hive (Windows 8 and
// later, Run keys and Startup folders), and elsewhere (RunOnce and policy
// entries, Windows 7) by moving the entry into the program's own backup, from
// which it is listed as a switched-off entry and put back on restore. Nothing
// is ever deleted. Backups left by an earlier version of the tool
// (".velantrix_bak" names) are switched off the same way at each scan. Every
// operation blocks on the caller's thread and writes its progress to the
// FileLogger.
class StartupManager : public QObject
{
    Q_OBJECT

public:
    explicit StartupManager(QObject* parent = nullptr);
    ~StartupManager() override;

    // Replaces the stored list; the operations below work on that list, so a
    // caller scans first. Each location lists its own entries: one name may
    // stand in several locations, each its own entry.
    QList<StartupItem> scanItems();
    // Disable or restore the stored items of these names (compared without
    // regard to case, as Windows compares them) that are not yet in the target
    // state, in every location. Only items whose state changed count.
    int disableItems(const QStringList& names);
    int restoreItems(const QStringList& names);
    // Disables the entries of these names in one location only.
    int disableItems(const QString& location, const QStringList& names);
    // Switches the one stored entry a listed item stands for: of its location
    // and name, and held in the same backup, or in its place. True when its
    // state changed.
    bool disableItem(const StartupItem& listed);
    bool restoreItem(const StartupItem& listed);
    int disableAllRecommended();
    int recommendedCount() const;
    QList<StartupItem> items() const;
    // The stored entries of one location and name: a switched-off entry held
    // in the backup may stand beside a live one of its name.
    QList<StartupItem> itemsAt(const QString& location, const QString& name) const;
    // False on a machine joined to a domain, where policies own the startup.
    bool isApplicable() const;

    QList<StartupItem> scanStartupFolder(const QString& folder, const QString& location);
    bool isRecommendedToDisable(const QString& name, const QString& command) const;

    // The program a command line starts, found as Windows finds it.
    static QString exePathOf(const QString& command);
    // The FileDescription of the program a command line starts.
    static QString fileDescription(const QString& command);
    static QString shortcutTarget(const QString& shortcutPath);

    // The state of one entry, known by its location and its name (a
    // Startup-folder file's with its extension), where Windows reads it: the
    // subkey below Explorer's StartupApproved key in the entry's own hive,
    // empty where Windows keeps no state (RunOnce); whether its approval
    // value says it is switched off, on the Windows the manager last found; and
    // writing that value, which answers whether it now reads back as asked
    // and logs a failure. Where this Windows reads no value for the
    // location, none is written.
    static QString approvedSubkey(const QString& location);
    bool isDisabled(const QString& location, const QString& name) const;
    bool setApproved(const QString& location, const QString& name, bool enable);

private:
    void initKnownNames();
    // The values of one Run key itself (its subkeys are not entries), by name.
    QMap<QString, QString> readRunKey(const StartupLocation& location);
    void listRunKey(const StartupLocation& location, const QMap<QString, QString>& values, bool isStartedOnce);
    void listHeldEntries(const StartupLocation& location);
    void migrateLegacyBackup(const StartupLocation& location, const QString& name);
    bool migrateLegacyFile(const StartupLocation& location, const QString& folder, const QString& fileName,
                           StartupItem* restored);
    StartupItem folderItem(const StartupLocation& location, const QString& path, const QString& shortcutFile,
                           bool disabled) const;
    void append(const StartupItem& item);

    template <typename Matches>
    int switchMatching(bool enable, Matches matches);
    bool switchListed(const StartupItem& listed, bool enable);
    bool switchItem(StartupItem& item, bool enable);
    bool switchOff(const StartupLocation& location, StartupItem& item);
    bool switchOn(const StartupLocation& location, StartupItem& item);

    static QString exePathOf(const QString& command, PathProbe& probe);
    static QString fileDescription(const QString& command, PathProbe& probe);
    // The description of the target of the shortcut at `path`, whose entry
    // is named `fileName`; empty for a file that is no shortcut.
    static QString shortcutDescription(const QString& path, const QString& fileName);
    // The description of one program file, its path taken as it stands.
    static QString descriptionOfFile(const QString& path);

    QList<StartupItem> m_items;
    QStringList m_knownNames;
    // The known names lower-cased, matched against every entry of every scan.
    QVector<QStringMatcher> m_lowerKnownNames;
    QHash<QString, QVector<int>> m_index;   // location and folded name → positions in m_items
    int m_windowsVersion = 0;               // of the last scan, or of the construction
    // While a scan runs, each location's approval key, opened once.
    std::map<const StartupLocation*, StartupApproval>* m_scanApprovals = nullptr;
};

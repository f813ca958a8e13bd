#pragma once

#include "maintenance/StartupItem.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

// Lists what starts with Windows from the Run and RunOnce keys and the two
// Startup folders, recommends well-known programs for switching off, and
// switches entries off and on through Explorer's startup-approval values in
// the current user's hive, so that nothing is ever deleted. Backups left by
// an earlier version of the tool (".velantrix_bak" names) are moved back and
// marked disabled at each scan. Every operation blocks on the caller's thread
// and writes its progress to the FileLogger.
class StartupManager : public QObject
{
    Q_OBJECT

public:
    explicit StartupManager(QObject* parent = nullptr);
    ~StartupManager() override;

    // Replaces the stored list; the operations below work on that list, so a
    // caller scans first.
    QList<StartupItem> scanItems();
    // Disable or restore the stored items of these names (compared without
    // regard to case, as Windows compares them) that are not yet in the target
    // state. Only items whose approval value was written change and count.
    int disableItems(const QStringList& names);
    int restoreItems(const QStringList& names);
    int disableAllRecommended();
    int recommendedCount() const;
    QList<StartupItem> items() const;
    // False on a machine joined to a domain, where policies own the startup.
    bool isApplicable() const;

    // The values of one Run key itself (its subkeys are not entries), by name.
    QMap<QString, QString> readRunKey(const QString& path, const QString& location);
    QList<StartupItem> scanStartupFolder(const QString& folder, const QString& location);
    bool isRecommendedToDisable(const QString& name, const QString& command) const;

    static QString exePathOf(const QString& command);
    // The FileDescription of the program a command line starts.
    static QString fileDescription(const QString& command);
    static QString shortcutTarget(const QString& shortcutPath);

    // Startup-approval state: the subkey below StartupApproved a location
    // uses, the name of an entry's value there, whether an entry is switched
    // off, and switching it (true when the value was written; a failure is
    // logged). `valueName` is the approval value's name.
    static QString approvedSubkey(const QString& location);
    static QString approvalValueName(const StartupItem& item);
    bool isDisabled(const QString& location, const QString& valueName) const;
    bool setApproved(const QString& location, const QString& valueName, bool enable);
    // Moves the registry backup "<name>.velantrix_bak" of a Run key back to
    // `name`, disabled; `path` is the key's full registry path.
    void migrateLegacyBackup(const QString& name, const QString& location, const QString& path);

private:
    void initKnownNames();
    int switchItems(const QStringList& names, bool enable);
    bool migrateLegacyFile(const QString& folder, const QString& fileName, const QString& location,
                           StartupItem* restored);
    StartupItem folderItem(const QString& path, const QString& location) const;
    // The description of one program file, its path taken as it stands.
    static QString descriptionOfFile(const QString& path);

    QList<StartupItem> m_items;
    QStringList m_knownNames;
    QStringList m_lowerKnownNames;  // matched against every entry of every scan
};

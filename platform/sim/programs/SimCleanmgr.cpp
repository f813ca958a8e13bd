#include "platform/sim/programs/SimCleanmgr.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/RegistryKey.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/programs/ProgramArguments.h"

namespace win::sim {

namespace {

const QString VolumeCachesKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches");
constexpr quint32 CategorySelected = 2;
constexpr qint64 TemporaryFileAgeDays = 7;
constexpr int MaxPreset = 9999;

int presetOf(const QStringList& arguments)
{
    const QString value = arguments.size() == 1 ? ProgramArguments::switchValue(arguments.first(), {"sagerun"}) : QString();
    bool isNumber = false;
    const int preset = value.toInt(&isNumber);
    return isNumber && preset >= 0 && preset <= MaxPreset ? preset : -1;
}

} // namespace

ProgramOutput SimCleanmgr::run(const QStringList& arguments)
{
    const int preset = presetOf(arguments);
    if (preset < 0)
        return ProgramOutput::neverFinishes();
    quint64 freed = 0;
    for (const QString& category : selectedCategories(preset))
        freed += clean(category);
    CleanupRuns& runs = machine().programs().cleanup();
    ++runs.runs;
    runs.freedBytes += freed;
    machine().markChanged();
    return ProgramOutput::success();
}

QStringList SimCleanmgr::selectedCategories(int preset) const
{
    const QString flagName = QStringLiteral("StateFlags%1").arg(preset, 4, 10, QLatin1Char('0'));
    RegistryKey caches;
    if (caches.open(Hive::LocalMachine, VolumeCachesKey, KeyRead | KeyWow64_64Key) != ErrorSuccess)
        return {};
    QStringList selected;
    QString name;
    for (quint32 index = 0; caches.enumKey(index, &name, 256) == ErrorSuccess; ++index) {
        RegistryKey handler;
        quint32 flags = 0;
        if (caches.openSubKey(name, KeyRead, handler) == ErrorSuccess
            && handler.readDword(flagName, &flags) == ErrorSuccess && flags == CategorySelected)
            selected << name;
    }
    return selected;
}

quint64 SimCleanmgr::clean(const QString& category) const
{
    if (category.compare(QLatin1String("Temporary Files"), Qt::CaseInsensitive) == 0)
        return cleanTemporaryFiles();
    if (category.compare(QLatin1String("Thumbnail Cache"), Qt::CaseInsensitive) == 0)
        return cleanThumbnailCache();
    if (category.compare(QLatin1String("Recycle Bin"), Qt::CaseInsensitive) == 0)
        return emptyRecycleBins();
    return 0;
}

quint64 SimCleanmgr::cleanTemporaryFiles() const
{
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addDays(-TemporaryFileAgeDays);
    const auto old = [&cutoff](const FileEntry& entry) { return entry.lastWriteTime < cutoff; };
    quint64 freed = 0;
    for (const QString& folder : {expanded(QStringLiteral("%TEMP%")), expanded(QStringLiteral("%SystemRoot%\\Temp"))}) {
        if (!folder.contains('%'))
            freed += deleteFilesBelow(folder, old);
    }
    return freed;
}

quint64 SimCleanmgr::cleanThumbnailCache() const
{
    const QString folder = expanded(QStringLiteral("%LOCALAPPDATA%\\Microsoft\\Windows\\Explorer"));
    QVector<FileEntry> entries;
    if (folder.contains('%') || listDirectory(folder, &entries) != ErrorSuccess)
        return 0;
    quint64 freed = 0;
    for (const FileEntry& entry : entries) {
        if (entry.isFile() && !entry.isReparsePoint() && matchesWildcard(entry.name, QStringLiteral("thumbcache_*.db"))
            && deleteFile(entry.path) == ErrorSuccess)
            freed += entry.size;
    }
    return freed;
}

quint64 SimCleanmgr::emptyRecycleBins() const
{
    quint64 freed = 0;
    for (const SimDrive& drive : machine().files().drives()) {
        const QString bin = QString(drive.letter) + QStringLiteral(":\\$Recycle.Bin");
        QVector<FileEntry> userBins;
        if (listDirectory(bin, &userBins) != ErrorSuccess)
            continue;
        for (const FileEntry& userBin : userBins) {
            if (!userBin.isDirectory() || userBin.isReparsePoint())
                continue;
            freed += deleteFilesBelow(userBin.path, [](const FileEntry& entry) {
                return entry.name.compare(QLatin1String("desktop.ini"), Qt::CaseInsensitive) != 0;
            });
            removeEmptyFoldersBelow(userBin.path);
        }
    }
    return freed;
}

template <typename Predicate>
quint64 SimCleanmgr::deleteFilesBelow(const QString& folder, Predicate wanted)
{
    quint64 freed = 0;
    FileWalker walker(folder);
    while (walker.next()) {
        const FileEntry entry = walker.entry();
        if (!entry.isDirectory() && wanted(entry) && walker.deleteCurrentFile() == ErrorSuccess)
            freed += entry.size;
    }
    return freed;
}

void SimCleanmgr::removeEmptyFoldersBelow(const QString& folder)
{
    QVector<FileEntry> entries;
    if (listDirectory(folder, &entries) != ErrorSuccess)
        return;
    for (const FileEntry& entry : entries) {
        if (entry.isDirectory() && !entry.isReparsePoint()) {
            removeEmptyFoldersBelow(entry.path);
            removeDirectory(entry.path);   // refused while something is left in it
        }
    }
}

QString SimCleanmgr::expanded(const QString& text)
{
    QString result;
    const quint32 needed = expandEnvironmentStrings(text, &result, 0);
    expandEnvironmentStrings(text, &result, needed);
    return result;
}

} // namespace win::sim

#include "phase2/ProgramFolders.h"

#include "common/ProtectedFolders.h"
#include "common/UninstallRoot.h"
#include "platform/CaseFold.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "scanners/PopupScanner.h"
#include "scanners/StartupLocationScanner.h"

namespace {

constexpr quint32 ValueBytes = 8192;

QString text(const win::RegistryKey& key, const QString& name)
{
    QString value;
    key.readString(name, &value, ValueBytes);
    return value;
}

} // namespace

ProgramFolders::ProgramFolders(const ProtectedFolders& rule) : m_rule(rule)
{
    readUninstallEntries();
    readRunningProcesses();
}

void ProgramFolders::readUninstallEntries()
{
    forEachUninstallEntry([this](const UninstallRoot& root, const QString& key, const win::RegistryKey& entry) {
        const QString location = root.expand(text(entry, QStringLiteral("InstallLocation")));
        const QString uninstaller = StartupLocationScanner::extractTargetPath(
            root.expand(text(entry, QStringLiteral("UninstallString"))));
        const QString name = text(entry, QStringLiteral("DisplayName")).trimmed();
        const QString user = QStringLiteral("已安装：") + (name.isEmpty() ? key : name);
        add(location, user);
        add(win::parentPathOf(uninstaller), user);
    });
}

void ProgramFolders::readRunningProcesses()
{
    QVector<win::ProcessEntry> processes;
    if (win::snapshotProcesses(&processes) != win::ErrorSuccess)
        return;
    for (const win::ProcessEntry& process : processes) {
        const QString image = PopupScanner::processImagePath(process.processId);
        if (!image.isEmpty())
            add(win::parentPathOf(image), QStringLiteral("运行中：") + process.exeFile);
    }
}

void ProgramFolders::add(const QString& folder, const QString& user)
{
    if (folder.isEmpty() || m_rule.refusesEmptying(folder))
        return;
    QString path = ProtectedFolders::resolved(folder);
    const QString folded = win::foldCase(path);
    if (m_folders.contains(folded))
        return;
    m_folders.insert(folded, user);
    for (path = win::parentPathOf(path); !path.isEmpty(); path = win::parentPathOf(path)) {
        const QString above = win::foldCase(path);
        if (m_holders.contains(above))
            break;   // and so is every folder above it
        m_holders.insert(above, user);
    }
}

QString ProgramFolders::userOf(const QString& path) const
{
    QString folder = ProtectedFolders::resolved(path);
    if (folder.isEmpty())
        return QString();
    const QString holder = m_holders.value(win::foldCase(folder));
    if (!holder.isEmpty())
        return holder;
    for (; !folder.isEmpty(); folder = win::parentPathOf(folder)) {
        const QString user = m_folders.value(win::foldCase(folder));
        if (!user.isEmpty())
            return user;
    }
    return QString();
}

#include "phase2/ProgramFolders.h"

#include "common/CommandLineProgram.h"
#include "common/ProcessImagePath.h"
#include "common/ProtectedFolders.h"
#include "common/UninstallRoot.h"
#include "platform/CaseFold.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"

#include <QRegularExpression>

namespace {

// A path as an entry may hold it, in quotes or not.
QString unquoted(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith('"'))
        return trimmed;
    const int close = trimmed.indexOf('"', 1);
    return close > 0 ? trimmed.mid(1, close - 1) : trimmed.mid(1);
}

// The file an uninstall command runs. rundll32 only hosts the DLL named first
// on its command line ("rundll32.exe "C:\X\uninst.dll",Uninstall"): that DLL
// is the uninstaller.
QString uninstallerFile(const QString& command)
{
    const QString program = CommandLineProgram::of(command);
    const QString name = win::fileNameOf(program);
    if (name.compare(QLatin1String("rundll32"), Qt::CaseInsensitive) != 0
        && name.compare(QLatin1String("rundll32.exe"), Qt::CaseInsensitive) != 0)
        return program;
    static const QRegularExpression hostedDll(QStringLiteral("rundll32(?:\\.exe)?\"?\\s+(\"[^\"]*\"|[^,\"]*)"),
                                              QRegularExpression::CaseInsensitiveOption);
    return unquoted(hostedDll.match(command).captured(1));
}

} // namespace

ProgramFolders::ProgramFolders(const ProtectedFolders& rule) : m_rule(rule)
{
    readUninstallEntries();
    readRunningProcesses();
}

// Many entries name no install location (most of those Windows Installer
// writes); their uninstaller or their icon still lies in the program's folder.
void ProgramFolders::readUninstallEntries()
{
    forEachUninstallEntry([this](const UninstallRoot& root, const QString& key, const win::RegistryKey& entry) {
        const QString name = uninstallEntryText(entry, QStringLiteral("DisplayName")).trimmed();
        const QString user = QStringLiteral("已安装：") + (name.isEmpty() ? key : name);
        const auto pathOf = [&root, &entry](const QString& value) {
            return root.expand(uninstallEntryText(entry, value));
        };
        add(unquoted(pathOf(QStringLiteral("InstallLocation"))), user);
        add(win::parentPathOf(uninstallerFile(pathOf(QStringLiteral("UninstallString")))), user);
        // An icon is "file" or "file,index": either way its folder is the file's.
        add(win::parentPathOf(unquoted(pathOf(QStringLiteral("DisplayIcon")))), user);
    });
}

void ProgramFolders::readRunningProcesses()
{
    QVector<win::ProcessEntry> processes;
    if (win::snapshotProcesses(&processes) != win::ErrorSuccess)
        return;
    for (const win::ProcessEntry& process : processes) {
        const QString image = processImagePath(process.processId);
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

#include "common/ProtectedFolders.h"

#include "common/EnvironmentPath.h"
#include "platform/FileSystem.h"
#include "platform/RegistryIterators.h"
#include "platform/RegistryKey.h"
#include "platform/SystemFacts.h"

#include <algorithm>

namespace {

// Where Windows keeps what it and the installed programs need.
const char* const WindowsFolderVariables[] = {"%SystemRoot%", "%windir%"};
const char* const WindowsSubfolders[] = {"System32", "SysWOW64"};
const char* const ProgramFolderVariables[] = {"%ProgramFiles%", "%ProgramFiles(x86)%", "%ProgramW6432%",
                                              "%ProgramData%", "%ALLUSERSPROFILE%"};
// Profiles: the current user's, the shared one, and every account Windows lists.
const char* const ProfileVariables[] = {"%USERPROFILE%", "%PUBLIC%"};
const char* const ProfileListKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// The folders of a profile that hold a user's own things, as paths below it.
const char* const ProfileFolders[] = {"Desktop", "Documents", "Downloads", "Pictures", "Music", "Videos",
                                      "AppData", "AppData\\Local", "AppData\\Roaming", "AppData\\LocalLow"};
// The same folders where the user moved them (a Documents folder on D:).
const char* const UserShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const UserShellFolders[] = {"Desktop", "Personal", "{374DE290-123F-4565-9164-39C4925E467B}",
                                        "My Pictures", "My Music", "My Video", "AppData", "Local AppData"};
const char* const AgreementFlagName = "eula_accepted.flag";

void addResolved(QStringList* folders, const QString& path)
{
    const QString folder = ProtectedFolders::resolved(path);
    if (!folder.isEmpty() && !folders->contains(folder, Qt::CaseInsensitive))
        folders->append(folder);
}

// A drive's root is protected on its own; as a profile or a profiles folder
// it would make every folder on the drive a profile.
void addBelowRoot(QStringList* folders, const QString& path)
{
    if (ProtectedFolders::resolved(path).size() > 3)
        addResolved(folders, path);
}

QString expanded(const char* path)
{
    return expandEnvironmentPath(QString::fromLatin1(path));
}

QStringList windowsFolders()
{
    QStringList folders;
    for (const char* variable : WindowsFolderVariables)
        addResolved(&folders, expanded(variable));
    QString systemDirectory;
    if (win::getSystemDirectory(&systemDirectory, 260) > 0)
        addResolved(&folders, win::parentPathOf(systemDirectory));
    return folders;
}

QStringList systemFolders()
{
    QStringList folders;
    for (const QString& windows : windowsFolders()) {
        addResolved(&folders, windows);
        for (const char* below : WindowsSubfolders)
            addResolved(&folders, windows + '\\' + QLatin1String(below));
    }
    for (const char* variable : ProgramFolderVariables)
        addResolved(&folders, expanded(variable));
    return folders;
}

// The profile folders Windows lists, and the folder that holds new ones.
void readProfileList(QStringList* profiles, QStringList* roots)
{
    win::RegistryKey list;
    if (list.open(win::Hive::LocalMachine, QLatin1String(ProfileListKey), win::KeyRead | win::KeyWow64_64Key)
        != win::ErrorSuccess)
        return;
    QString text;
    if (list.readString(QStringLiteral("ProfilesDirectory"), &text) == win::ErrorSuccess)
        addBelowRoot(roots, expandEnvironmentPath(text));
    win::RegistryKeyIterator accounts(list, 256);
    while (accounts.next()) {
        win::RegistryKey account;
        if (list.openSubKey(accounts.name(), win::KeyQueryValue, account) == win::ErrorSuccess
            && account.readString(QStringLiteral("ProfileImagePath"), &text) == win::ErrorSuccess)
            addBelowRoot(profiles, expandEnvironmentPath(text));
    }
}

void readUserShellFolders(QStringList* folders)
{
    win::RegistryKey key;
    if (key.open(win::Hive::CurrentUser, QLatin1String(UserShellFoldersKey), win::KeyRead) != win::ErrorSuccess)
        return;
    for (const char* name : UserShellFolders) {
        QString text;
        if (key.readString(QLatin1String(name), &text) == win::ErrorSuccess)
            addResolved(folders, expandEnvironmentPath(text));
    }
}

bool isDriveRoot(const QString& resolvedPath)
{
    return resolvedPath.size() == 3;
}

// The layout is the folder holding the agreement flag with all below it.
// Copied straight onto a drive, that folder is the drive's root, which must
// not shield the whole drive: then the flag and the program's own folder are
// the layout.
QStringList portableLayoutOf(const QString& programFolder)
{
    const QString folder = ProtectedFolders::resolved(programFolder);
    if (folder.isEmpty() || isDriveRoot(folder))
        return QStringList();
    const QString ownFolder = win::parentPathOf(folder);
    if (isDriveRoot(ownFolder)) {
        return QStringList{ownFolder + QLatin1String(AgreementFlagName), ownFolder + QStringLiteral("config"),
                           ownFolder + QStringLiteral("tools"), folder};
    }
    const QString flagFolder = win::parentPathOf(ownFolder);
    if (!isDriveRoot(flagFolder))
        return QStringList{flagFolder};
    return QStringList{flagFolder + QLatin1String(AgreementFlagName), ownFolder};
}

bool isStrictlyBelow(const QString& path, const QString& folder)
{
    return path.size() > folder.size() && ProtectedFolders::isSameOrBelow(path, folder);
}

} // namespace

ProtectedFolders::ProtectedFolders() : ProtectedFolders(win::programFolder()) {}

ProtectedFolders::ProtectedFolders(const QString& programFolder)
    : m_systemFolders(systemFolders())
    , m_portableLayout(portableLayoutOf(programFolder))
{
    for (const char* variable : ProfileVariables) {
        const QString profile = expanded(variable);
        addBelowRoot(&m_profiles, profile);
        addBelowRoot(&m_profilesRoots, win::parentPathOf(profile));
    }
    // Without a usable environment the profiles still lie where Windows puts them.
    for (const QString& windows : windowsFolders())
        addBelowRoot(&m_profilesRoots, windows.left(3) + QStringLiteral("Users"));
    readProfileList(&m_profiles, &m_profilesRoots);
    readUserShellFolders(&m_systemFolders);
}

// A name with a "~" may be a short (8.3) alias of a long name, as Windows
// gives them on its own volume ("C:\PROGRA~1" is Program Files, and TEMP is
// often set as "C:\Users\ADMINI~1\..."): the decision is taken on the long
// form, and a path whose long form cannot be learnt is refused.
QString ProtectedFolders::resolved(const QString& path)
{
    QString full;
    if (path.contains('%') || win::fullPathName(path, &full) != win::ErrorSuccess
        || std::any_of(full.cbegin() + 2, full.cend(), win::isForbiddenInName))
        return QString();
    if (full.contains('~') && win::getLongPathName(full, &full) != win::ErrorSuccess)
        return QString();
    return full;
}

bool ProtectedFolders::isSameOrBelow(const QString& path, const QString& folder)
{
    if (folder.isEmpty() || !path.startsWith(folder, Qt::CaseInsensitive))
        return false;
    return path.size() == folder.size() || isDriveRoot(folder) || path.at(folder.size()) == '\\';
}

bool ProtectedFolders::refusesEmptying(const QString& folder) const
{
    const QString path = resolved(folder);
    return path.isEmpty() || isProtected(path) || isInsidePortableLayout(path);
}

bool ProtectedFolders::refusesRemoving(const QString& path) const
{
    const QString target = resolved(path);
    return target.isEmpty() || isProtected(target) || isInsidePortableLayout(target)
           || !protectedInside(target).isEmpty();
}

QStringList ProtectedFolders::protectedInside(const QString& folder) const
{
    const QString outer = resolved(folder);
    QStringList inside;
    if (outer.isEmpty())
        return inside;
    for (const QStringList* folders : {&m_systemFolders, &m_profilesRoots, &m_profiles}) {
        for (const QString& protectedFolder : *folders) {
            if (isStrictlyBelow(protectedFolder, outer))
                inside.append(protectedFolder);
        }
    }
    for (const QString& layout : m_portableLayout) {
        if (isStrictlyBelow(layout, outer))
            inside.append(layout);
    }
    return inside;
}

bool ProtectedFolders::isProtected(const QString& resolvedPath) const
{
    return isDriveRoot(resolvedPath) || m_systemFolders.contains(resolvedPath, Qt::CaseInsensitive)
           || m_profilesRoots.contains(resolvedPath, Qt::CaseInsensitive) || isProfileFolder(resolvedPath);
}

// A profile, or one of its folders that hold a user's own things. Any folder
// directly in a profiles folder counts as a profile, not only the listed ones.
bool ProtectedFolders::isProfileFolder(const QString& resolvedPath) const
{
    QStringList bases = m_profiles;
    for (const QString& root : m_profilesRoots) {
        if (isStrictlyBelow(resolvedPath, root))
            bases.append(root + '\\' + resolvedPath.mid(root.size() + 1).section('\\', 0, 0));
    }
    for (const QString& profile : bases) {
        if (!isSameOrBelow(resolvedPath, profile))
            continue;
        const QString below = resolvedPath.mid(profile.size() + 1);
        if (resolvedPath.size() == profile.size()
            || std::any_of(std::begin(ProfileFolders), std::end(ProfileFolders), [&below](const char* folder) {
                   return below.compare(QLatin1String(folder), Qt::CaseInsensitive) == 0;
               }))
            return true;
    }
    return false;
}

bool ProtectedFolders::isInsidePortableLayout(const QString& resolvedPath) const
{
    return std::any_of(m_portableLayout.begin(), m_portableLayout.end(),
                       [&resolvedPath](const QString& layout) { return isSameOrBelow(resolvedPath, layout); });
}

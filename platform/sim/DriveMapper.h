#pragma once

#include "platform/WinTypes.h"
#include "platform/sim/FolderNameIndex.h"
#include "platform/sim/HostEntry.h"
#include "platform/sim/HostFolder.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace win::sim {

// Maps Windows paths of the simulated machine to paths of its drive folders
// on the host and back. Every component is matched case-insensitively against
// the real folder listing, the way Windows file systems compare names; links
// are never followed, so nothing outside a drive folder can be reached. A
// path spelt as it is stored is answered by the host in one call that
// refuses a link at any component (openat2 with RESOLVE_NO_SYMLINKS); any
// other path, and any path on a host without that call, is walked name by name.
class DriveMapper
{
public:
    // One Windows path as it lies on the host.
    struct Resolved
    {
        Error error = ErrorSuccess;   // syntax, unmapped drive, a link or file on the way
        QChar letter;                 // upper case
        QString windowsPath;          // normalized, real spelling of what exists
        QString hostPath;
        QString existingHostPath;     // the deepest component that exists
        QStringList names;            // host spelling of the components that exist
        QStringList missingNames;     // the trailing components that do not exist yet
        HostEntry entry;              // of the last component, when it exists

        bool exists() const { return error == ErrorSuccess && missingNames.isEmpty(); }
        bool parentExists() const { return error == ErrorSuccess && missingNames.size() <= 1; }
        // What a call that needs the entry answers when it does not resolve.
        Error notFoundError() const;
    };

    void clear()
    {
        m_hostFolders.clear();
        m_shortNameDrives.clear();
        m_names.clear();
    }
    void setDrive(QChar letter, const QString& hostFolder);
    // The drive's entries are found by their short (8.3) names as well, as
    // on an NTFS volume that keeps them (Windows' own volume).
    void setKeepsShortNames(QChar letter) { m_shortNameDrives.insert(letter.toUpper()); }
    QString hostFolder(QChar letter) const { return m_hostFolders.value(letter.toUpper()); }

    Resolved resolve(const QString& windowsPath) const;
    // resolve(windowsPath).exists(), asked of the host in one call where it can.
    bool exists(const QString& windowsPath) const;
    // Open the folder a resolved path names (or the folder holding it) from
    // the drive's folder, never through a link: the host opens the whole
    // path refusing a link at any component, or, where it cannot, the folders
    // are opened one component at a time. A component swapped for a link
    // since it was resolved leaves the result closed, so nothing outside the
    // drive can be reached through it.
    HostFolder openFolder(const Resolved& resolved) const;
    HostFolder openParent(const Resolved& resolved) const;
    // The folder that holds (or is to hold) the last component, opened the
    // same way, and that component's host name; closed when the path's
    // folder does not exist or the path is a drive's root.
    HostFolder openContainer(const Resolved& resolved, QByteArray* name) const;
    // The file a resolved path names, opened with `flags` and O_NOFOLLOW the
    // same way (the host opening the whole path, or else the folder holding
    // it); -1 when that fails.
    int openFile(const Resolved& resolved, int flags) const;
    // Called between resolving a path and opening it, so that a test can
    // change the file system in that moment.
    void setBeforeOpenHook(std::function<void()> hook) { m_beforeOpen = std::move(hook); }
    // The Windows path of a host path inside one of the drive folders, else empty.
    QString windowsPathOf(const QString& hostPath) const;

    // Splits an absolute Windows path, resolved as fullPathName does, into
    // its drive letter and components; ErrorInvalidName for anything else.
    static Error parse(const QString& windowsPath, QChar* letter, QStringList* components);
    // parse() and compose() in one: the path as compose() writes it.
    static Error normalize(const QString& windowsPath, QString* normalized);
    static QString compose(QChar letter, const QStringList& components);

private:
    // The drive's host folder and the path's components; false with
    // `result->error` set when the path is no path of a drive.
    bool locate(const QString& windowsPath, Resolved* result, QString* host, QStringList* components) const;
    static QString hostPathAsSpelt(const QString& host, const QStringList& components);
    static bool resolveAsSpelt(const QString& host, const QStringList& components, Resolved* result);
    void walk(const QString& host, const QStringList& components, Resolved* result) const;
    QString findName(const QByteArray& hostFolder, const QString& name) const;
    static QString findShortName(const QByteArray& hostFolder, const QString& alias);
    static QString windowsPathBelow(QChar letter, const QString& root, const QString& hostPath);

    HostFolder openComponents(const Resolved& resolved, int count) const;
    HostFolder openPath(const Resolved& resolved, int count) const;   // without the hook

    QHash<QChar, QString> m_hostFolders;
    QSet<QChar> m_shortNameDrives;
    // Asked under the machine's lock, like every call of the mapper.
    mutable FolderNameIndex m_names;
    std::function<void()> m_beforeOpen;
};

} // namespace win::sim

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <sys/types.h>
#include <time.h>

namespace win::sim {

// The names in host folders by their folded spelling (win::foldCase), for
// the case-insensitive lookups of Windows paths: without it a name not spelt
// exactly as it is stored costs a read of its whole folder, and a scan that
// asks after many such names in one folder grows with the square of its size.
//
// The index is never stale. Each folder's names are kept with the folder's
// identity and change time (st_ctim: the host sets it whenever an entry is
// created, removed or renamed in the folder, and nobody can set it back), and
// every lookup compares them with the folder as it is now; so a change made
// by the program or from outside is seen at the next lookup. A folder whose
// change time is too recent for a later change to be told apart from it (the
// same tick of the clock, or the same second on a file system that keeps
// whole seconds) is read but not kept.
class FolderNameIndex
{
public:
    // The stored spelling of the entry of `hostFolder` that is `name`
    // ignoring case; empty when there is none or the folder cannot be read.
    QString find(const QByteArray& hostFolder, const QString& name);
    void clear() { m_folders.clear(); }

private:
    struct Stamp
    {
        dev_t device = 0;
        ino_t inode = 0;
        timespec changed{};

        bool operator==(const Stamp& other) const;
    };
    struct Listing
    {
        Stamp stamp;
        QHash<QString, QString> names;   // folded spelling → stored spelling (the first one read)
    };

    QHash<QByteArray, Listing> m_folders;
};

} // namespace win::sim

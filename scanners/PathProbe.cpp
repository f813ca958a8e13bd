#include "scanners/PathProbe.h"

#include "platform/FileSystem.h"

bool PathProbe::exists(const QString& path)
{
    return kindOf(path) != Kind::Missing;
}

bool PathProbe::isFile(const QString& path)
{
    return kindOf(path) == Kind::File;
}

PathProbe::Kind PathProbe::kindOf(const QString& path)
{
    const QString key = win::normalizedPath(path).toLower();
    const auto known = m_known.constFind(key);
    if (known != m_known.constEnd())
        return *known;
    const QString parent = win::parentPathOf(key);
    Kind kind = Kind::Missing;
    if (!m_missingFolders.contains(parent)) {
        win::FileEntry entry;
        const win::Error error = win::fileInfo(path, &entry);
        if (error == win::ErrorSuccess)
            kind = entry.isDirectory() ? Kind::Folder : Kind::File;
        else if (error == win::ErrorPathNotFound && !parent.isEmpty())
            m_missingFolders.insert(parent);
    }
    m_known.insert(key, kind);
    return kind;
}

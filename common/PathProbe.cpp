#include "common/PathProbe.h"

#include "platform/CaseFold.h"
#include "platform/FileSystem.h"

namespace {

constexpr int RootLength = 3;   // "c:\"

// The folder that holds `key`; a root is held by itself.
QString parentKeyOf(const QString& key)
{
    const int separator = key.lastIndexOf('\\');
    return separator < RootLength ? key.left(RootLength) : key.left(separator);
}

} // namespace

bool PathProbe::exists(const QString& path)
{
    return kindOf(path) != Kind::Missing;
}

bool PathProbe::isFile(const QString& path)
{
    return kindOf(path) == Kind::File;
}

bool PathProbe::isInsideMissingFolder(const QString& key) const
{
    if (m_missingFolders.isEmpty() || key.size() <= RootLength)
        return false;
    for (int separator = key.lastIndexOf('\\'); separator >= RootLength - 1;
         separator = key.lastIndexOf('\\', separator - 1)) {
        if (m_missingFolders.contains(separator < RootLength ? key.left(RootLength) : key.left(separator)))
            return true;
        if (separator < RootLength)
            break;
    }
    return false;
}

PathProbe::Kind PathProbe::kindOf(const QString& path)
{
    QString full;
    if (win::fullPathName(path, &full) != win::ErrorSuccess)
        return Kind::Missing;
    const QString key = win::foldCase(full);
    const auto known = m_known.constFind(key);
    if (known != m_known.constEnd())
        return *known;
    Kind kind = Kind::Missing;
    if (!isInsideMissingFolder(key)) {
        win::FileEntry entry;
        const win::Error error = win::fileInfo(full, &entry);
        if (error == win::ErrorSuccess)
            kind = entry.isDirectory() ? Kind::Folder : Kind::File;
        else if (error == win::ErrorPathNotFound)
            m_missingFolders.insert(parentKeyOf(key));
    }
    m_known.insert(key, kind);
    return kind;
}

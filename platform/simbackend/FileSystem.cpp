#include "platform/FileSystem.h"

#include "platform/sim/MachineAccess.h"
#include "platform/sim/SimFileWalker.h"
#include "platform/sim/Wow64FileRedirector.h"

#include <QCoreApplication>

namespace win {

namespace {

// Every file call of the program passes through WOW64's redirector first.
sim::RedirectedPath redirected(const sim::MachineAccess& access, const QString& path)
{
    return sim::Wow64FileRedirector(*access.machine()).redirect(path);
}

QString targetOf(const sim::MachineAccess& access, const QString& path)
{
    return redirected(access, path).target();
}

} // namespace

Error fileInfo(const QString& path, FileEntry* entry)
{
    sim::MachineAccess access;
    if (!access)
        return ErrorPathNotFound;
    const sim::RedirectedPath target = redirected(access, path);
    const Error result = access->files().fileInfo(target.target(), entry);
    if (result == ErrorSuccess)
        target.nameAsCaller(entry);
    return result;
}

Error getLongPathName(const QString& path, QString* longPath)
{
    sim::MachineAccess access;
    if (!access)
        return ErrorPathNotFound;
    const sim::RedirectedPath target = redirected(access, path);
    QString found;
    const Error result = access->files().longPathName(target.target(), &found);
    if (result == ErrorSuccess)
        *longPath = target.asCallerNamed(found);
    return result;
}

bool pathExists(const QString& path)
{
    sim::MachineAccess access;
    return access && access->files().exists(targetOf(access, path));
}

bool isDirectory(const QString& path)
{
    FileEntry entry;
    return fileInfo(path, &entry) == ErrorSuccess && entry.isDirectory() && !entry.isReparsePoint();
}

Error listDirectory(const QString& folder, QVector<FileEntry>* entries)
{
    sim::MachineAccess access;
    if (!access)
        return ErrorPathNotFound;
    const sim::RedirectedPath target = redirected(access, folder);
    const Error result = access->files().listDirectory(target.target(), entries);
    if (result == ErrorSuccess && target.isRedirected()) {
        for (FileEntry& entry : *entries)
            target.nameAsCaller(&entry);
    }
    return result;
}

struct FileWalker::Impl
{
    quint64 generation = 0;   // of the file system the walk started on
    std::unique_ptr<sim::SimFileWalker> walk;
    sim::RedirectedPath folder;
    FileEntry current;        // the walk's entry named as the caller named the folder
    FileEntry none;

    bool belongsTo(const sim::MachineAccess& access) const
    {
        return walk && access && access->files().generation() == generation;
    }
};

FileWalker::FileWalker(const QString& folder, Order order)
    : m_impl(std::make_unique<Impl>())
{
    sim::MachineAccess access;
    if (!access)
        return;
    m_impl->generation = access->files().generation();
    m_impl->folder = redirected(access, folder);
    m_impl->walk = std::make_unique<sim::SimFileWalker>(access->files(), m_impl->folder.target(),
                                                        order == FoldersAfterContents);
}

FileWalker::~FileWalker() = default;

bool FileWalker::next()
{
    sim::MachineAccess access;
    // A walk belongs to the machine it started on.
    if (!m_impl->belongsTo(access) || !m_impl->walk->next(access->files()))
        return false;
    if (m_impl->folder.isRedirected()) {
        m_impl->current = m_impl->walk->entry();
        m_impl->folder.nameAsCaller(&m_impl->current);
    }
    return true;
}

const FileEntry& FileWalker::entry() const
{
    if (!m_impl->walk)
        return m_impl->none;
    return m_impl->folder.isRedirected() ? m_impl->current : m_impl->walk->entry();
}

bool FileWalker::isFolderDone() const
{
    return m_impl->walk && m_impl->walk->isFolderDone();
}

Error FileWalker::deleteCurrentFile()
{
    sim::MachineAccess access;
    if (!m_impl->belongsTo(access))
        return ErrorInvalidHandle;
    const Error result = m_impl->walk->deleteCurrentFile(access->files());
    if (result == ErrorSuccess)
        access->markChanged();
    return result;
}

Error FileWalker::removeCurrentFolder()
{
    sim::MachineAccess access;
    if (!m_impl->belongsTo(access))
        return ErrorInvalidHandle;
    const Error result = m_impl->walk->removeCurrentFolder(access->files());
    if (result == ErrorSuccess)
        access->markChanged();
    return result;
}

Error deleteFile(const QString& path)
{
    sim::MachineAccess access;
    if (!access)
        return ErrorPathNotFound;
    const Error result = access->files().deleteFile(targetOf(access, path));
    if (result == ErrorSuccess)
        access->markChanged();
    return result;
}

Error removeDirectory(const QString& path)
{
    sim::MachineAccess access;
    if (!access)
        return ErrorPathNotFound;
    const Error result = access->files().removeDirectory(targetOf(access, path));
    if (result == ErrorSuccess)
        access->markChanged();
    return result;
}

Error createDirectoryPath(const QString& path)
{
    sim::MachineAccess access;
    return access ? access->files().createDirectoryPath(targetOf(access, path)) : ErrorPathNotFound;
}

Error moveFile(const QString& from, const QString& to)
{
    sim::MachineAccess access;
    if (!access)
        return ErrorPathNotFound;
    const Error result = access->files().moveFile(targetOf(access, from), targetOf(access, to));
    if (result == ErrorSuccess)
        access->markChanged();
    return result;
}

Error readFile(const QString& path, QByteArray* data, qint64 maxBytes)
{
    sim::MachineAccess access;
    return access ? access->files().readFile(targetOf(access, path), data, maxBytes) : ErrorPathNotFound;
}

Error writeFile(const QString& path, const QByteArray& data)
{
    sim::MachineAccess access;
    if (!access)
        return ErrorPathNotFound;
    const Error result = access->files().writeFile(targetOf(access, path), data);
    if (result == ErrorSuccess)
        access->markChanged();
    return result;
}

QString programFolder()
{
    if (!QCoreApplication::instance())
        return QString();
    const QString hostFolder = QCoreApplication::applicationDirPath();
    sim::MachineAccess access;
    return access ? access->files().windowsPathOf(hostFolder) : QString();
}

} // namespace win

#include "platform/FileSystem.h"

#include "platform/sim/MachineAccess.h"
#include "platform/sim/SimFileWalker.h"
#include "platform/sim/Wow64FileRedirector.h"

#include <QCoreApplication>

namespace win {

namespace {

bool isDriveRoot(const QString& normalized)
{
    return normalized.size() == 3 && normalized.at(1) == ':' && normalized.at(2) == '\\';
}

bool sameLetter(QChar a, QChar b)
{
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

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
    FileEntry entry;
    return fileInfo(path, &entry) == ErrorSuccess;
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

bool matchesWildcard(const QString& name, const QString& pattern)
{
    // Greedy match that returns to the last '*' on a mismatch: linear in
    // practice and never recursive.
    int n = 0;
    int p = 0;
    int starAt = -1;
    int resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern.at(p) == '?' || sameLetter(pattern.at(p), name.at(n)))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern.at(p) == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == '*')
        ++p;
    return p == pattern.size();
}

bool matchesAnyWildcard(const QString& name, const QStringList& patterns)
{
    for (const QString& pattern : patterns) {
        if (matchesWildcard(name, pattern))
            return true;
    }
    return false;
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

namespace {

// Walks the components of a fully qualified path as GetFullPathNameW keeps
// them, handing each kept one to `visit` as a position and a length in `path`.
template <typename Visit>
Error visitFullPath(const QString& path, Visit visit)
{
    const auto isSeparator = [](QChar c) { return c == '\\' || c == '/'; };
    if (path.size() < 2 || path.at(1) != ':' || !path.at(0).isLetter() || path.at(0).unicode() > 127
        || (path.size() > 2 && !isSeparator(path.at(2))))
        return ErrorInvalidName;
    const QChar* c = path.constData();
    const int size = path.size();
    int start = 3;
    for (int i = 3; i <= size; ++i) {
        if (i < size && !isSeparator(c[i]))
            continue;
        if (i - start == 2 && c[start] == '.' && c[start + 1] == '.')
            return ErrorInvalidName;
        int end = i;
        while (end > start && (c[end - 1] == '.' || c[end - 1] == ' '))
            --end;
        if (end > start)   // "." and what trims away entirely are dropped
            visit(start, end - start);
        start = i + 1;
    }
    return ErrorSuccess;
}

} // namespace

Error fullPathName(const QString& path, QString* full)
{
    QString resolved;
    resolved.reserve(path.size() + 3);
    const Error error = visitFullPath(path, [&](int at, int length) {
        resolved.append('\\');
        resolved.append(path.constData() + at, length);
    });
    if (error)
        return error;
    if (resolved.isEmpty())
        resolved.append('\\');
    *full = resolved.prepend(QLatin1String(":")).prepend(path.at(0));
    return ErrorSuccess;
}

namespace {

// Whether normalizedPath would give `path` back unchanged; most paths the
// program passes around are, so they are not copied character by character.
bool isNormalized(const QString& path)
{
    const int size = path.size();
    const QChar* c = path.constData();
    for (int i = 0; i < size; ++i) {
        if (c[i] == '/')
            return false;
        if (c[i] == '\\' && i >= 2 && c[i - 1] == '\\')
            return false;
    }
    if (size == 2 && c[1] == ':')
        return false;
    const bool unc = size >= 2 && c[0] == '\\' && c[1] == '\\';
    return !(size > 1 && c[size - 1] == '\\' && !isDriveRoot(path) && !(unc && size == 2));
}

} // namespace

bool isForbiddenInName(QChar c)
{
    switch (c.unicode()) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '?':
    case '*':
        return true;
    default:
        return c.unicode() < 32;
    }
}

QString normalizedPath(const QString& path)
{
    if (isNormalized(path))
        return path;
    QString in = path;
    in.replace('/', '\\');
    const bool unc = in.startsWith(QLatin1String("\\\\"));
    QString out;
    out.reserve(in.size() + 1);
    for (const QChar c : in) {
        if (c == '\\' && out.endsWith('\\') && !(unc && out.size() == 1))
            continue;
        out.append(c);
    }
    while (out.size() > 1 && out.endsWith('\\') && !isDriveRoot(out) && !(unc && out.size() == 2))
        out.chop(1);
    if (out.size() == 2 && out.at(1) == ':')
        out.append('\\');
    return out;
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return normalizedPath(name);
    if (name.isEmpty())
        return normalizedPath(folder);
    return normalizedPath(folder + '\\' + name);
}

QString fileNameOf(const QString& path)
{
    const QString normalized = normalizedPath(path);
    if (isDriveRoot(normalized))
        return QString();
    return normalized.mid(normalized.lastIndexOf('\\') + 1);
}

QString parentPathOf(const QString& path)
{
    const QString normalized = normalizedPath(path);
    const int separator = normalized.lastIndexOf('\\');
    if (isDriveRoot(normalized) || separator < 0)
        return QString();
    return normalizedPath(normalized.left(separator));
}

bool isSameOrInside(const QString& path, const QString& folder)
{
    const QString inner = normalizedPath(path).toLower();
    const QString outer = normalizedPath(folder).toLower();
    if (outer.isEmpty())
        return false;
    return inner == outer || inner.startsWith(outer.endsWith('\\') ? outer : outer + '\\');
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

#include "platform/FileSystem.h"

// The rules of Windows' path texts, which need no machine.

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

} // namespace

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

} // namespace win

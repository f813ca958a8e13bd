#pragma once

#include "platform/WinTypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace win {

constexpr quint32 FileAttributeReadOnly = 0x0001;
constexpr quint32 FileAttributeHidden = 0x0002;
constexpr quint32 FileAttributeSystem = 0x0004;
constexpr quint32 FileAttributeDirectory = 0x0010;
constexpr quint32 FileAttributeArchive = 0x0020;
constexpr quint32 FileAttributeNormal = 0x0080;
constexpr quint32 FileAttributeReparsePoint = 0x0400;

// File-system error codes beside the common ones of WinTypes.h.
constexpr Error ErrorNotSameDevice = 17;
constexpr Error ErrorDirectory = 267;   // "The directory name is invalid"

// One file, folder or link as the file system describes it
// (WIN32_FIND_DATAW / WIN32_FILE_ATTRIBUTE_DATA). A link (junction or
// symbolic link) is described as itself, never as its target.
struct FileEntry
{
    QString name;
    QString path;  // the full Windows path
    quint32 attributes = 0;
    quint64 size = 0;
    QDateTime lastWriteTime;

    bool isDirectory() const { return attributes & FileAttributeDirectory; }
    bool isReparsePoint() const { return attributes & FileAttributeReparsePoint; }
    bool isHidden() const { return attributes & FileAttributeHidden; }
    bool isSystem() const { return attributes & FileAttributeSystem; }
    bool isFile() const { return !isDirectory(); }
};

// Paths are Windows paths: a drive letter, either separator, any letter case,
// trailing separators allowed. A path that passes through a link does not
// resolve: links are never followed. A path that is not absolute, is a UNC
// path, holds ".." or a character Windows forbids in names answers
// ErrorInvalidName; a path on a drive the machine does not have, or through
// a folder that is missing, ErrorPathNotFound; a missing last entry
// ErrorFileNotFound.

// GetFileAttributesExW on the entry itself.
Error fileInfo(const QString& path, FileEntry* entry);
bool pathExists(const QString& path);
bool isDirectory(const QString& path);   // a real folder, not a link to one

// GetLongPathNameW: the path of an existing entry with every short (8.3)
// name ("PROGRA~1") replaced by the long name it stands for, each name
// spelt as stored. Windows keeps short names on its own volume.
Error getLongPathName(const QString& path, QString* longPath);

// FindFirstFileW / FindNextFileW over one folder: every entry but "." and "..".
Error listDirectory(const QString& folder, QVector<FileEntry>* entries);

// Wildcard test of a file name as FindFirstFileW and QDir name filters do it
// (case-insensitive, '*' and '?').
bool matchesWildcard(const QString& name, const QString& pattern);
bool matchesAnyWildcard(const QString& name, const QStringList& patterns);

// Walks the files below a folder, depth first: every file and every link in
// the folder and its subfolders; folders themselves are entered, not
// reported. A link is reported as an entry and never entered. The folder is
// opened once, from its drive's root and never through a link, and the walk
// reads and deletes through open folders: a folder swapped for a link while
// the walk runs is never entered. The current entry can be deleted without
// resolving its path again. A folder that does not resolve, or is a link,
// gives an empty walk.
class FileWalker
{
public:
    enum Order {
        FilesOnly,
        // Every folder below the first is reported as well, once all of its
        // entries were (isFolderDone), so that a tree can go bottom-up.
        FoldersAfterContents
    };

    explicit FileWalker(const QString& folder, Order order = FilesOnly);
    ~FileWalker();
    FileWalker(const FileWalker&) = delete;
    FileWalker& operator=(const FileWalker&) = delete;

    bool next();                  // advances to the next entry; false at the end
    const FileEntry& entry() const;
    bool isFolderDone() const;    // the current entry is a folder reported after its entries
    Error deleteCurrentFile();    // DeleteFileW semantics on the current entry
    // RemoveDirectoryW semantics on the current entry: a folder reported
    // after its entries, or a link to a folder (removed as a link).
    Error removeCurrentFolder();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// DeleteFileW: a link is removed as a link; a locked file answers
// ErrorSharingViolation, a read-only one ErrorAccessDenied, a folder
// ErrorAccessDenied.
Error deleteFile(const QString& path);
// RemoveDirectoryW: an empty folder, or a link to a folder, is removed (the
// link's target is never touched); a folder that still holds entries answers
// ErrorDirNotEmpty, a file ErrorDirectory, a drive's root ErrorAccessDenied.
Error removeDirectory(const QString& path);
// CreateDirectoryW for every missing folder of the path (as
// SHCreateDirectoryExW): ErrorAlreadyExists when nothing was missing.
Error createDirectoryPath(const QString& path);
// MoveFileW: fails with ErrorAlreadyExists when the target exists; a folder
// moves within its drive only (ErrorNotSameDevice).
Error moveFile(const QString& from, const QString& to);
// CreateFileW + ReadFile of the whole file; ErrorInvalidData when the file is
// larger than maxBytes. A link is not read through (ErrorAccessDenied).
Error readFile(const QString& path, QByteArray* data, qint64 maxBytes = qint64(64) << 20);
// CreateFileW(CREATE_ALWAYS) + WriteFile; the folder must exist. A
// read-only file or a link answers ErrorAccessDenied, a locked file
// ErrorSharingViolation.
Error writeFile(const QString& path, const QByteArray& data);

// GetFullPathNameW on a fully qualified path ("X:\..." with either
// separator), without touching the file system: runs of separators become one
// backslash, "." components are dropped, the trailing dots and spaces of every
// component are removed (a component left empty is dropped) and no separator
// trails but the root's; letter case is kept. "X:" alone is the drive's root.
// Unlike GetFullPathNameW it applies no current folder: a relative,
// drive-relative or UNC path, or one with a ".." component, answers
// ErrorInvalidName and leaves `full` untouched. Every file call of the
// platform resolves its paths this way.
Error fullPathName(const QString& path, QString* full);

// A character no file or folder name may hold: the control characters and
// < > : " | ? * (a ':' past the drive names a stream).
bool isForbiddenInName(QChar c);

// Path helpers on Windows paths (no file system access).
QString normalizedPath(const QString& path);  // backslashes, no trailing separator but "C:\"
QString joinPath(const QString& folder, const QString& name);
QString fileNameOf(const QString& path);
QString parentPathOf(const QString& path);
bool isSameOrInside(const QString& path, const QString& folder);  // case-insensitive

// The folder of the running program as a Windows path (GetModuleFileNameW's
// folder); empty when the program does not lie on one of the machine's drives.
QString programFolder();

} // namespace win

#include "platform/sim/SimFileSystem.h"

#include "platform/sim/HostFolder.h"
#include "platform/sim/JsonFields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win::sim {

namespace {

std::atomic<quint64> g_nextGeneration{1};

const char* const DriveKindNames[] = {"Unknown", "SSD", "HDD"};   // in DriveKind order

bool isDriveRoot(const QString& normalizedPath)
{
    return normalizedPath.size() == 3;
}

QByteArray hostBytes(const QString& hostPath)
{
    return QFile::encodeName(hostPath);
}

DriveKind driveKindOf(const JsonFields& fields)
{
    const QString text = fields.string("kind", QStringLiteral("Unknown"));
    for (int i = 0; i < 3; ++i) {
        if (text == QLatin1String(DriveKindNames[i]))
            return DriveKind(i);
    }
    fields.fail(QStringLiteral("kind"), QStringLiteral("expected one of SSD, HDD, Unknown"));
    return DriveKind::Unknown;
}

// A run deletes files below a drive's folder, and nothing outside the machine
// may ever be touched: the folder lies inside the machine folder, below it,
// and neither it nor a folder on the way there is a link. Answers what is
// wrong, or an empty text.
QString driveFolderProblem(const QString& machineFolder, const QString& folder)
{
    const QStringList names = folder.split('/', Qt::SkipEmptyParts);
    if (QDir::isAbsolutePath(folder) || names.isEmpty() || names.contains(QStringLiteral(".."))
        || std::all_of(names.begin(), names.end(), [](const QString& name) { return name == QLatin1String("."); }))
        return QStringLiteral("expected a folder inside the machine folder, such as drives/C");
    QString host = QDir::cleanPath(QDir(machineFolder).absolutePath());
    for (const QString& name : names) {
        host += '/' + name;
        const QFileInfo entry(host);
        if (entry.isSymLink())
            return QStringLiteral("%1 is a link; a drive's folder must be a real folder").arg(host);
        if (!entry.isDir())
            return QStringLiteral("the folder %1 does not exist").arg(host);
    }
    return QString();
}

SimDrive loadDrive(const JsonFields& fields, QChar letter, const QString& machineFolder)
{
    SimDrive drive;
    drive.letter = letter;
    drive.folder = fields.string("folder", QStringLiteral("drives/") + letter);
    drive.hostFolder = QDir::cleanPath(QDir(machineFolder).absoluteFilePath(drive.folder));
    drive.totalBytes = fields.number<quint64>("totalBytes", 0);
    drive.freeBytes = fields.number<quint64>("freeBytes", 0);
    drive.kind = driveKindOf(fields);
    drive.diskNumber = int(fields.number("diskNumber", 0, 0, INT_MAX));
    if (!fields.ok())
        return drive;
    const QString problem = driveFolderProblem(machineFolder, drive.folder);
    if (!problem.isEmpty())
        fields.fail(QStringLiteral("folder"), problem);
    else if (drive.freeBytes > drive.totalBytes)
        fields.fail(QStringLiteral("freeBytes"), QStringLiteral("more than totalBytes"));
    return drive;
}

template <typename Drives>
auto findDrive(Drives& drives, QChar letter) -> decltype(drives.data())
{
    // Drive letters are ASCII: the deletion of every file asks for its drive,
    // and Unicode's case tables would cost more than the search.
    const ushort code = letter.unicode();
    const QChar upper = code >= 'a' && code <= 'z'   ? QChar(code - ('a' - 'A'))
                        : code >= 'A' && code <= 'Z' ? letter
                                                     : letter.toUpper();
    const auto it = std::find_if(drives.begin(), drives.end(), [upper](const SimDrive& d) { return d.letter == upper; });
    return it == drives.end() ? nullptr : &*it;
}

// Takes an opened file (a descriptor, or -1) into `file` when it is a regular
// file; anything else that stands there is closed again unread.
bool adoptRegularFile(int fd, int flags, QFile* file)
{
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    const QIODevice::OpenMode mode = (flags & O_ACCMODE) == O_RDONLY ? QIODevice::ReadOnly : QIODevice::WriteOnly;
    return file->open(fd, mode, QFileDevice::AutoCloseHandle);
}

// Opens a regular file of an open folder, never through a link and never
// waiting on anything else that stands there.
bool openFileAt(int folderFd, const QByteArray& name, int flags, QFile* file)
{
    return adoptRegularFile(openat(folderFd, name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666), flags,
                            file);
}

Error copyFileAt(int fromFd, const QByteArray& fromName, int toFd, const QByteArray& toName)
{
    QFile from;
    QFile to;
    if (!openFileAt(fromFd, fromName, O_RDONLY, &from) || !openFileAt(toFd, toName, O_WRONLY | O_CREAT | O_EXCL, &to))
        return ErrorAccessDenied;
    return to.write(from.readAll()) >= 0 && to.flush() ? ErrorSuccess : ErrorAccessDenied;
}

} // namespace

SimFileSystem::SimFileSystem()
    : m_generation(g_nextGeneration++)
{
}

bool SimFileSystem::load(const QJsonObject& machine, const QString& machineFolder, QString* error)
{
    const JsonFields root(machine, QString(), error, JsonFields::UnknownKeys::Keep);
    const QJsonObject drivesSection = root.object("drives");
    const QJsonObject filesSection = root.object("files");
    if (!root.ok())
        return false;
    QVector<SimDrive> drives;
    FileFactsTable facts;
    if (!loadDrives(drivesSection, machineFolder, &drives, error) || !facts.load(filesSection, error))
        return false;
    m_drives = drives;
    m_facts = facts;
    m_generation = g_nextGeneration++;
    m_mapper.clear();
    for (const SimDrive& drive : m_drives)
        m_mapper.setDrive(drive.letter, drive.hostFolder);
    return true;
}

bool SimFileSystem::loadDrives(const QJsonObject& section, const QString& machineFolder, QVector<SimDrive>* drives,
                               QString* error) const
{
    for (auto it = section.begin(); it != section.end(); ++it) {
        const QString fieldPath = QStringLiteral("drives.") + it.key();
        const QString key = it.key();
        if (key.size() != 1 || key.at(0).unicode() > 127 || !key.at(0).isLetter()) {
            *error = fieldPath + QStringLiteral(": expected a drive letter as the name");
            return false;
        }
        const QChar letter = key.at(0).toUpper();
        if (findDrive(*drives, letter)) {
            *error = fieldPath + QStringLiteral(": the drive is listed twice");
            return false;
        }
        if (!it.value().isObject()) {
            *error = fieldPath + QStringLiteral(": expected an object");
            return false;
        }
        drives->append(loadDrive(JsonFields(it.value().toObject(), fieldPath, error), letter, machineFolder));
        if (!error->isEmpty())
            return false;
    }
    return true;
}

void SimFileSystem::save(QJsonObject& machine) const
{
    QJsonObject drives;
    for (const SimDrive& drive : m_drives) {
        drives.insert(QString(drive.letter),
                      QJsonObject{{"folder", drive.folder},
                                  {"totalBytes", qint64(drive.totalBytes)},
                                  {"freeBytes", qint64(drive.freeBytes)},
                                  {"kind", QLatin1String(DriveKindNames[int(drive.kind)])},
                                  {"diskNumber", drive.diskNumber}});
    }
    machine.insert(QStringLiteral("drives"), drives);
}

void SimFileSystem::addDrive(const SimDrive& drive)
{
    m_drives.append(drive);
    m_mapper.setDrive(drive.letter, drive.hostFolder);
}

SimDrive* SimFileSystem::drive(QChar letter)
{
    return findDrive(m_drives, letter);
}

const SimDrive* SimFileSystem::drive(QChar letter) const
{
    return findDrive(m_drives, letter);
}

std::optional<SimFileFacts> SimFileSystem::facts(const QString& windowsPath) const
{
    const SimFileFacts facts = factsFor(windowsPath);
    if (facts.path.isEmpty() || !m_facts.find(facts.path))
        return std::nullopt;
    return facts;
}

SimFileFacts SimFileSystem::factsFor(const QString& windowsPath) const
{
    QChar letter;
    QStringList components;
    if (DriveMapper::parse(windowsPath, &letter, &components) != ErrorSuccess)
        return SimFileFacts();
    const QString path = DriveMapper::compose(letter, components);
    SimFileFacts facts = m_facts.facts(path);
    facts.path = path;
    return facts;
}

void SimFileSystem::setLocked(const QString& windowsPath, bool locked)
{
    SimFileFacts facts = factsFor(windowsPath);
    facts.locked = locked;
    if (!facts.path.isEmpty())
        m_facts.put(facts);
}

void SimFileSystem::setAttributes(const QString& windowsPath, quint32 mask, quint32 attributes)
{
    mask &= FileAttributeHidden | FileAttributeSystem | FileAttributeReadOnly;
    SimFileFacts facts = factsFor(windowsPath);
    facts.attributes = (facts.attributes & ~mask) | (attributes & mask);
    if (!facts.path.isEmpty())
        m_facts.put(facts);
}

void SimFileSystem::setVirtualSize(const QString& windowsPath, quint64 size)
{
    SimFileFacts facts = factsFor(windowsPath);
    facts.hasSize = true;
    facts.size = size;
    if (!facts.path.isEmpty())
        m_facts.put(facts);
}

FileEntry SimFileSystem::describe(const QString& windowsPath, const QString& name, const HostEntry& host) const
{
    FileEntry entry;
    entry.name = name;
    entry.path = windowsPath;
    describe(&entry, host);
    return entry;
}

void SimFileSystem::describe(FileEntry* entry, const HostEntry& host) const
{
    if (host.link)
        entry->attributes = FileAttributeReparsePoint | (host.linkToFolder ? FileAttributeDirectory : 0);
    else if (host.directory)
        entry->attributes = FileAttributeDirectory;
    else
        entry->attributes = FileAttributeArchive;
    entry->size = host.size;
    qint64 lastWriteMs = host.lastWriteMs;
    if (const FileFact* facts = m_facts.find(entry->path)) {
        entry->attributes |= facts->attributes();
        if (facts->hasSize())
            entry->size = facts->size();
        if (facts->hasModified())
            lastWriteMs = facts->modifiedUtcMs();
    }
    // A walk describes every entry into one FileEntry, and the entries of a
    // folder mostly share their time: building it anew costs more than asking.
    if (entry->lastWriteTime.timeSpec() != Qt::UTC)
        entry->lastWriteTime = QDateTime::fromMSecsSinceEpoch(lastWriteMs, Qt::UTC);
    else if (entry->lastWriteTime.toMSecsSinceEpoch() != lastWriteMs)
        entry->lastWriteTime.setMSecsSinceEpoch(lastWriteMs);
}

FileEntry SimFileSystem::describe(const DriveMapper::Resolved& resolved) const
{
    FileEntry entry = describe(resolved.windowsPath, fileNameOf(resolved.windowsPath), resolved.entry);
    if (isDriveRoot(resolved.windowsPath))
        entry.attributes |= FileAttributeHidden | FileAttributeSystem;
    return entry;
}

Error SimFileSystem::fileInfo(const QString& path, FileEntry* entry) const
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(path);
    if (!resolved.exists())
        return resolved.notFoundError();
    *entry = describe(resolved);
    return ErrorSuccess;
}

Error SimFileSystem::longPathName(const QString& path, QString* longPath) const
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(path);
    if (!resolved.exists())
        return resolved.notFoundError();
    *longPath = resolved.windowsPath;
    return ErrorSuccess;
}

Error SimFileSystem::listDirectory(const QString& folder, QVector<FileEntry>* entries) const
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(folder);
    if (resolved.error != ErrorSuccess)
        return resolved.error;
    if (!resolved.exists() || !resolved.entry.directory)
        return ErrorPathNotFound;   // FindFirstFileW("<folder>\*") passes through it
    HostFolder host = m_mapper.openFolder(resolved);
    if (!host.isOpen())
        return ErrorPathNotFound;
    QVector<FileEntry> found;
    while (const char* name = host.nextName()) {
        const HostEntry item = HostEntry::in(host.fd(), name);
        if (!item.exists)
            continue;
        const QString itemName = HostFolder::decodeName(name);
        found.append(describe(joinPath(resolved.windowsPath, itemName), itemName, item));
    }
    std::sort(found.begin(), found.end(), [](const FileEntry& a, const FileEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    *entries = found;
    return ErrorSuccess;
}

Error SimFileSystem::deletionRefusal(const FileEntry& entry) const
{
    if (entry.isDirectory())
        return ErrorAccessDenied;
    const FileFact* facts = m_facts.find(entry.path);
    if (facts && facts->locked())
        return ErrorSharingViolation;
    if (entry.attributes & FileAttributeReadOnly)
        return ErrorAccessDenied;
    if (m_isRunningImage && m_isRunningImage(entry.path))
        return ErrorAccessDenied;
    return ErrorSuccess;
}

void SimFileSystem::noteDeleted(const FileEntry& entry)
{
    changeFreeBytes(entry.path.at(0), qint64(entry.size));
    m_facts.remove(entry.path);
}

void SimFileSystem::changeFreeBytes(QChar letter, qint64 delta)
{
    SimDrive* target = drive(letter);
    if (!target)
        return;
    const qint64 free = qint64(target->freeBytes) + delta;
    target->freeBytes = free < 0 ? 0 : std::min(quint64(free), target->totalBytes);
}

Error SimFileSystem::deleteFile(const QString& path)
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(path);
    if (!resolved.exists())
        return resolved.notFoundError();
    if (resolved.names.isEmpty())
        return ErrorAccessDenied;   // a drive's root
    const HostFolder parent = m_mapper.openParent(resolved);
    if (!parent.isOpen())
        return ErrorPathNotFound;
    return deleteFileAt(parent.fd(), hostBytes(resolved.names.last()).constData(), describe(resolved));
}

Error SimFileSystem::deleteFileAt(int folderFd, const char* name, const FileEntry& entry)
{
    if (const Error refusal = deletionRefusal(entry))
        return refusal;
    if (unlinkat(folderFd, name, 0) != 0)
        return errorFromErrno(errno);
    noteDeleted(entry);
    return ErrorSuccess;
}

Error SimFileSystem::removeDirectory(const QString& path)
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(path);
    if (!resolved.exists())
        return resolved.notFoundError();
    if (isDriveRoot(resolved.windowsPath))
        return ErrorAccessDenied;
    const FileEntry entry = describe(resolved);
    if (!entry.isDirectory())
        return ErrorDirectory;
    const HostFolder parent = m_mapper.openParent(resolved);
    if (!parent.isOpen())
        return ErrorPathNotFound;
    return removeDirectoryAt(parent.fd(), hostBytes(resolved.names.last()).constData(), entry);
}

Error SimFileSystem::removeDirectoryAt(int folderFd, const char* name, const FileEntry& entry)
{
    if (!entry.isDirectory())
        return ErrorDirectory;
    const FileFact* facts = m_facts.find(entry.path);
    if (facts && facts->locked())
        return ErrorSharingViolation;
    if (entry.attributes & FileAttributeReadOnly)
        return ErrorAccessDenied;
    // A link goes as a link: its target is never looked into. Each removal
    // fails on the other kind, so an entry swapped since it was described
    // stays.
    if (unlinkat(folderFd, name, entry.isReparsePoint() ? 0 : AT_REMOVEDIR) != 0)
        return errno == EEXIST ? ErrorDirNotEmpty : errorFromErrno(errno);
    m_facts.removeTree(entry.path);
    return ErrorSuccess;
}

Error SimFileSystem::createDirectoryPath(const QString& path)
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(path);
    if (resolved.error != ErrorSuccess)
        return resolved.error;
    if (resolved.missingNames.isEmpty())
        return ErrorAlreadyExists;
    HostFolder folder = m_mapper.openFolder(resolved);
    for (const QString& name : resolved.missingNames) {
        const QByteArray hostName = hostBytes(name);
        if (!folder.isOpen())
            return ErrorPathNotFound;
        if (mkdirat(folder.fd(), hostName.constData(), 0777) != 0)
            return errorFromErrno(errno);
        folder = HostFolder(folder.fd(), hostName.constData());
    }
    return ErrorSuccess;
}

Error SimFileSystem::moveFile(const QString& from, const QString& to)
{
    const DriveMapper::Resolved source = m_mapper.resolve(from);
    if (!source.exists())
        return source.notFoundError();
    const DriveMapper::Resolved target = m_mapper.resolve(to);
    if (target.error != ErrorSuccess)
        return target.error;
    if (target.exists())
        return ErrorAlreadyExists;
    if (!target.parentExists())
        return ErrorPathNotFound;
    if (isDriveRoot(source.windowsPath))
        return ErrorAccessDenied;
    const FileEntry entry = describe(source);
    const FileFact* facts = m_facts.find(entry.path);
    if (facts && facts->locked())
        return ErrorSharingViolation;
    const bool otherDrive = source.letter != target.letter;
    if (otherDrive && entry.isDirectory())
        return ErrorNotSameDevice;
    QByteArray sourceName;
    QByteArray targetName;
    const HostFolder sourceFolder = m_mapper.openContainer(source, &sourceName);
    const HostFolder targetFolder = m_mapper.openContainer(target, &targetName);
    if (!sourceFolder.isOpen() || !targetFolder.isOpen())
        return ErrorPathNotFound;
    if (renameat(sourceFolder.fd(), sourceName.constData(), targetFolder.fd(), targetName.constData()) != 0) {
        // Drive folders on different host file systems: copy, then remove.
        if (errno != EXDEV || entry.isReparsePoint())
            return errno == EXDEV ? ErrorNotSameDevice : errorFromErrno(errno);
        if (const Error copied = copyFileAt(sourceFolder.fd(), sourceName, targetFolder.fd(), targetName))
            return copied;
        unlinkat(sourceFolder.fd(), sourceName.constData(), 0);
    }
    m_facts.moveTree(source.windowsPath, target.windowsPath);
    if (otherDrive) {
        changeFreeBytes(source.letter, qint64(entry.size));
        changeFreeBytes(target.letter, -qint64(entry.size));
    }
    return ErrorSuccess;
}

Error SimFileSystem::readFile(const QString& path, QByteArray* data, qint64 maxBytes) const
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(path);
    if (!resolved.exists())
        return resolved.notFoundError();
    if (resolved.entry.directory || resolved.entry.link)
        return ErrorAccessDenied;
    const FileFact* facts = m_facts.find(resolved.windowsPath);
    if (facts && facts->locked())
        return ErrorSharingViolation;
    if (qint64(resolved.entry.size) > maxBytes)
        return ErrorInvalidData;
    QFile file;
    if (!adoptRegularFile(m_mapper.openFile(resolved, O_RDONLY | O_NONBLOCK), O_RDONLY, &file))
        return ErrorAccessDenied;
    *data = file.readAll();
    return ErrorSuccess;
}

Error SimFileSystem::writeFile(const QString& path, const QByteArray& data)
{
    const DriveMapper::Resolved resolved = m_mapper.resolve(path);
    if (resolved.error != ErrorSuccess)
        return resolved.error;
    if (!resolved.parentExists())
        return ErrorPathNotFound;
    quint64 oldSize = 0;
    if (resolved.exists()) {
        const FileEntry entry = describe(resolved);
        if (entry.isDirectory() || entry.isReparsePoint())
            return ErrorAccessDenied;
        if (m_isRunningImage && m_isRunningImage(entry.path))
            return ErrorSharingViolation;
        if (const Error refusal = deletionRefusal(entry))
            return refusal;
        oldSize = entry.size;
    }
    QByteArray name;
    const HostFolder folder = m_mapper.openContainer(resolved, &name);
    QFile file;
    if (!folder.isOpen() || !openFileAt(folder.fd(), name, O_WRONLY | O_CREAT | O_TRUNC, &file)
        || file.write(data) != data.size())
        return ErrorAccessDenied;
    changeFreeBytes(resolved.letter, qint64(oldSize) - data.size());
    SimFileFacts facts = factsFor(resolved.windowsPath);
    if (facts.hasSize || facts.modified.isValid()) {
        facts.hasSize = false;        // the file now has real content,
        facts.modified = QDateTime(); // written just now
        m_facts.put(facts);
    }
    return ErrorSuccess;
}

} // namespace win::sim

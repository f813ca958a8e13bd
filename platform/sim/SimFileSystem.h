#pragma once

#include "platform/FileSystem.h"
#include "platform/sim/DriveMapper.h"
#include "platform/sim/FileFactsTable.h"

#include <QJsonObject>
#include <QString>
#include <QVector>
#include <optional>
#include <functional>

namespace win::sim {

enum class DriveKind { Unknown, Ssd, Hdd };

// One drive of the machine: a real folder on the host plus the sizes and the
// disk that Windows would report for it.
struct SimDrive
{
    QChar letter;             // upper case
    QString folder;           // as machine.json names it, relative to the machine folder
    QString hostFolder;       // absolute
    quint64 totalBytes = 0;
    quint64 freeBytes = 0;
    DriveKind kind = DriveKind::Unknown;
    int diskNumber = 0;
};

// The drives and file facts of a simulated machine ("drives" and "files" of
// machine.json) and the file calls of the program, with Windows' answers.
// The façade holds the machine's lock around every call.
class SimFileSystem
{
public:
    SimFileSystem();

    bool load(const QJsonObject& machine, const QString& machineFolder, QString* error);
    // Writes the "drives" section; the facts are written from factsTable().
    void save(QJsonObject& machine) const;
    // Unique among all file systems and loads of this process, so that a
    // walk can tell that the drives it started on are gone.
    quint64 generation() const { return m_generation; }

    const QVector<SimDrive>& drives() const { return m_drives; }
    // Maps a drive to any host folder, the program's own for one. machine.json
    // maps only folders inside the machine folder; this is for tests that need
    // the program to sit on a drive of the machine.
    void addDrive(const SimDrive& drive);
    SimDrive* drive(QChar letter);
    const SimDrive* drive(QChar letter) const;
    const DriveMapper& mapper() const { return m_mapper; }
    // Windows keeps short (8.3) names on its own volume only.
    void setSystemDrive(QChar letter) { m_mapper.setKeepsShortNames(letter); }

    // The facts of a path; none when it has none.
    std::optional<SimFileFacts> facts(const QString& windowsPath) const;
    const FileFactsTable& factsTable() const { return m_facts; }
    void setLocked(const QString& windowsPath, bool locked);
    // Sets the Hidden, System and ReadOnly attributes of `mask` to those of `attributes`.
    void setAttributes(const QString& windowsPath, quint32 mask, quint32 attributes);
    void setVirtualSize(const QString& windowsPath, quint64 size);

    Error fileInfo(const QString& path, FileEntry* entry) const;
    bool exists(const QString& path) const { return m_mapper.exists(path); }
    Error longPathName(const QString& path, QString* longPath) const;
    Error listDirectory(const QString& folder, QVector<FileEntry>* entries) const;
    Error deleteFile(const QString& path);
    Error removeDirectory(const QString& path);
    Error createDirectoryPath(const QString& path);
    Error moveFile(const QString& from, const QString& to);
    Error readFile(const QString& path, QByteArray* data, qint64 maxBytes) const;
    Error writeFile(const QString& path, const QByteArray& data);
    QString windowsPathOf(const QString& hostPath) const { return m_mapper.windowsPathOf(hostPath); }

    // Shared with the walker, which reads entries of folders it holds open.
    FileEntry describe(const QString& windowsPath, const QString& name, const HostEntry& host) const;
    // The same for an entry whose name and path are set already.
    void describe(FileEntry* entry, const HostEntry& host) const;
    // DeleteFileW and RemoveDirectoryW on the entry `name` of an open folder,
    // described as `entry`, without resolving its path again.
    Error deleteFileAt(int folderFd, const char* name, const FileEntry& entry);
    Error removeDirectoryAt(int folderFd, const char* name, const FileEntry& entry);
    // Called between resolving a path and opening it (see DriveMapper).
    void setBeforeOpenHook(std::function<void()> hook) { m_mapper.setBeforeOpenHook(std::move(hook)); }
    // Tells whether a file is the image of a running process: Windows maps
    // it while the process runs, so it cannot be deleted or written.
    void setRunningImageTest(std::function<bool(const QString& windowsPath)> test) { m_isRunningImage = std::move(test); }

private:
    bool loadDrives(const QJsonObject& section, const QString& machineFolder, QVector<SimDrive>* drives,
                    QString* error) const;
    SimFileFacts factsFor(const QString& windowsPath) const;
    FileEntry describe(const DriveMapper::Resolved& resolved) const;
    void changeFreeBytes(QChar letter, qint64 delta);
    Error moveDirectory(const DriveMapper::Resolved& from, const DriveMapper::Resolved& to);
    // Why DeleteFileW would refuse the entry, or ErrorSuccess.
    Error deletionRefusal(const FileEntry& entry) const;
    // Books a file that was deleted: its drive gains its size, its facts go.
    void noteDeleted(const FileEntry& entry);

    quint64 m_generation;
    QVector<SimDrive> m_drives;
    DriveMapper m_mapper;
    FileFactsTable m_facts;
    std::function<bool(const QString&)> m_isRunningImage;
};

} // namespace win::sim

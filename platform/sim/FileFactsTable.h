#pragma once

#include "platform/sim/FileFact.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringView>
#include <memory>

namespace win::sim {

struct FileFactsFolder;

// The "files" section of machine.json. Facts are kept folder by folder, each
// folder found by its folded path and each name in it by its folded name, so
// that a lookup never touches the disk, never makes a folded copy of the
// path it is asked about (the folder last asked about is kept while no
// folder comes or goes), and removing a tree costs what its own facts cost.
// A copy shares the folders until one side changes one, so that a save can
// take the table as it stands and write it while the machine goes on.
class FileFactsTable
{
public:
    FileFactsTable();
    ~FileFactsTable();
    FileFactsTable(const FileFactsTable& other);
    FileFactsTable& operator=(const FileFactsTable& other);

    bool load(const QJsonObject& section, QString* error);
    // The section as machine.json holds it: a JSON object in the indented
    // form of a member of machine.json's top-level object.
    QByteArray sectionText() const;
    // The same as an object, for a machine of a few facts.
    QJsonObject section() const;

    bool isEmpty() const { return m_count == 0; }
    int size() const { return m_count; }
    // Counts every change; two equal counts mean the same facts.
    quint64 changeCount() const { return m_changes; }

    // The facts of a path as DriveMapper composes it (upper- or lower-case
    // alike); null when it has none. Valid until the table next changes.
    const FileFact* find(const QString& normalizedPath) const;
    // The same with the path; an empty path when it has none.
    SimFileFacts facts(const QString& normalizedPath) const;
    void remove(const QString& normalizedPath);
    // Drops the facts of a path and of everything below it.
    void removeTree(const QString& normalizedPath);
    // Moves the facts of a path and of everything below it to `to`.
    void moveTree(const QString& from, const QString& to);
    // Stores `facts` for its path, or drops the entry when nothing is left.
    void put(const SimFileFacts& facts);

private:
    friend class FileFactsSection;
    using Folder = FileFactsFolder;
    using Folders = QMap<QString, std::shared_ptr<Folder>>;   // by folded path

    const Folder* folderOf(QStringView folderPath) const;
    // The folder to change, no longer shared with a copy; null when it has no facts.
    Folder* writableFolder(QStringView folderPath, bool create);
    void dropIfEmpty(QStringView folderPath, Folder* folder);
    void changed(bool foldersChanged);
    void insert(QStringView folderPath, QStringView name, const FileFact& fact);
    template <class Visit> void forEachInTree(const QString& normalizedPath, Visit visit) const;

    Folders m_folders;
    int m_count = 0;
    quint64 m_changes = 0;
    // Counts folders that came, went or were copied, and copies of the table.
    mutable quint64 m_folderChanges = 0;
    // The folder last asked about, as the question spelt it, and its answer;
    // writable when it is the table's own, shared with no copy.
    mutable QString m_askedFolder;
    mutable const Folder* m_askedAnswer = nullptr;
    mutable bool m_askedWritable = false;
    mutable quint64 m_askedAt = ~quint64(0);
    // The fact last found, while nothing changed: a file call asks about one
    // path several times in a row, and the name of the fact found is
    // compared before any is looked up.
    mutable const Folder* m_foundIn = nullptr;
    mutable int m_foundIndex = -1;
    mutable quint64 m_foundAt = ~quint64(0);
};

} // namespace win::sim

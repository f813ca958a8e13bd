#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QString>

namespace win::sim {

// What the machine knows about a file beyond its real folder entry.
struct SimFileFacts
{
    QString path;             // the Windows path as it was written
    quint32 attributes = 0;   // FileAttributeHidden, FileAttributeSystem, FileAttributeReadOnly
    bool locked = false;      // held open by another process without sharing
    bool hasSize = false;     // `size` is reported instead of the real size
    quint64 size = 0;
    // Reported as the last write time instead of the real one: a machine kept
    // in a repository gets the checkout time on every file, so old files can
    // only be old through this fact. Invalid when the file has none.
    QDateTime modified;

    bool isEmpty() const { return attributes == 0 && !locked && !hasSize && !modified.isValid(); }
};

// The "files" section of machine.json, keyed by the normalized lower-case
// Windows path so that a lookup never touches the disk.
class FileFactsTable
{
public:
    bool load(const QJsonObject& section, QString* error);
    QJsonObject save() const;

    bool isEmpty() const { return m_facts.isEmpty(); }
    // `normalizedPath` as DriveMapper composes it (upper- or lower-case alike).
    const SimFileFacts* find(const QString& normalizedPath) const;
    SimFileFacts take(const QString& normalizedPath);
    // Drops the facts of a path and of everything below it.
    void removeTree(const QString& normalizedPath);
    // Moves the facts of a path and of everything below it to `to`.
    void moveTree(const QString& from, const QString& to);
    // Stores `facts` for its path, or drops the entry when nothing is left.
    void put(const SimFileFacts& facts);

    static QString keyOf(const QString& normalizedPath) { return normalizedPath.toLower(); }

private:
    // Every key enters and leaves m_facts through these, so that m_folders
    // and the saved section stay in step with it.
    void insert(const QString& key, const SimFileFacts& facts);
    QHash<QString, SimFileFacts>::iterator erase(QHash<QString, SimFileFacts>::iterator it);
    void changed(const QString& key, int delta);
    // Whether the folder that holds `normalizedPath` holds a fact at all. A
    // walk asks about every entry of a folder in turn, so the answer for the
    // folder last asked about is kept while no fact changes: the entries of a
    // folder without facts then cost no case folding and no lookup.
    bool mayHoldFacts(const QString& normalizedPath) const;

    QHash<QString, SimFileFacts> m_facts;
    QHash<QString, int> m_folders;   // the key of each folder that holds facts → how many
    quint64 m_changes = 0;
    mutable QString m_askedFolder;   // as spelt by the last question
    mutable bool m_askedHoldsFacts = false;
    mutable quint64 m_askedAt = ~quint64(0);
    // The section as the last load or save had it, while no fact changed
    // since: machine.json is saved every two seconds and its facts seldom change.
    mutable QJsonObject m_section;
    mutable bool m_sectionCurrent = false;
};

} // namespace win::sim

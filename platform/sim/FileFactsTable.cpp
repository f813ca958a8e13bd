#include "platform/sim/FileFactsTable.h"

#include "platform/CaseFold.h"
#include "platform/sim/FileFactsFolder.h"
#include "platform/sim/FileFactsSection.h"

#include <QStringList>
#include <QVector>
#include <atomic>

namespace win::sim {

namespace {

// The form in which machine.json compares folders.
QString folderKey(QStringView folder)
{
    return foldCase(folder.toString());
}

} // namespace

FileFactsTable::FileFactsTable() = default;
FileFactsTable::~FileFactsTable() = default;

// A copy shares the folders; either side copies a folder before it changes
// it, and neither side's last answer is trusted for changing a folder again.
FileFactsTable::FileFactsTable(const FileFactsTable& other)
    : m_folders(other.m_folders)
    , m_count(other.m_count)
    , m_changes(other.m_changes)
{
    ++other.m_folderChanges;
}

FileFactsTable& FileFactsTable::operator=(const FileFactsTable& other)
{
    if (this != &other) {
        m_folders = other.m_folders;
        m_count = other.m_count;
        m_changes = other.m_changes;
        ++m_folderChanges;
        ++other.m_folderChanges;
    }
    return *this;
}

void FileFactsTable::changed(bool foldersChanged)
{
    ++m_changes;
    if (foldersChanged)
        ++m_folderChanges;
}

const FileFactsTable::Folder* FileFactsTable::folderOf(QStringView folderPath) const
{
    if (m_askedAt != m_folderChanges || folderPath != QStringView(m_askedFolder)) {
        m_askedFolder = folderPath.toString();
        const auto it = m_folders.constFind(folderKey(folderPath));
        m_askedAnswer = it == m_folders.constEnd() ? nullptr : it->get();
        m_askedWritable = false;
        m_askedAt = m_folderChanges;
    }
    return m_askedAnswer;
}

FileFactsTable::Folder* FileFactsTable::writableFolder(QStringView folderPath, bool create)
{
    if (m_askedAt == m_folderChanges && m_askedWritable && folderPath == QStringView(m_askedFolder))
        return const_cast<Folder*>(m_askedAnswer);
    const QString key = folderKey(folderPath);
    auto it = m_folders.find(key);
    if (it == m_folders.end()) {
        if (!create)
            return nullptr;
        auto folder = std::make_shared<Folder>();
        folder->path = folderPath.toString();
        it = m_folders.insert(key, folder);
        ++m_folderChanges;
    } else if (it->use_count() > 1) {
        *it = std::make_shared<Folder>(**it);
        ++m_folderChanges;
    } else {
        // A copy that let the folder go (a save that wrote it, on its own
        // thread) was done reading it before.
        std::atomic_thread_fence(std::memory_order_acquire);
    }
    m_askedFolder = folderPath.toString();
    m_askedAnswer = it->get();
    m_askedWritable = true;
    m_askedAt = m_folderChanges;
    return it->get();
}

void FileFactsTable::dropIfEmpty(QStringView folderPath, Folder* folder)
{
    if (folder->live() > 0)
        return;
    m_folders.remove(folderKey(folderPath));
    ++m_folderChanges;
}

const FileFact* FileFactsTable::find(const QString& normalizedPath) const
{
    if (m_count == 0)
        return nullptr;
    const Folder::Place at = Folder::placeOf(normalizedPath);
    const Folder* folder = at.folder.isNull() ? nullptr : folderOf(at.folder);
    if (!folder)
        return nullptr;
    if (m_foundIn != folder || m_foundAt != m_changes || m_foundIndex < 0
        || folder->nameOf(folder->facts.at(m_foundIndex)) != at.name) {
        m_foundIn = folder;
        m_foundIndex = folder->indexOf(at.name, foldedHash(at.name));
        m_foundAt = m_changes;
    }
    return m_foundIndex < 0 ? nullptr : &folder->facts.at(m_foundIndex);
}

SimFileFacts FileFactsTable::facts(const QString& normalizedPath) const
{
    const FileFact* fact = find(normalizedPath);
    if (!fact)
        return SimFileFacts();
    const Folder::Place at = Folder::placeOf(normalizedPath);
    return fact->facts(folderOf(at.folder)->pathOf(*fact));
}

void FileFactsTable::remove(const QString& normalizedPath)
{
    if (!find(normalizedPath))   // a question, cheaper than making the folder the table's own
        return;
    const int index = m_foundIndex;   // a copy of the folder keeps the order of its facts
    const Folder::Place at = Folder::placeOf(normalizedPath);
    Folder* folder = writableFolder(at.folder, false);
    folder->removeAt(index);
    --m_count;
    changed(false);
    dropIfEmpty(at.folder, folder);
}

void FileFactsTable::insert(QStringView folderPath, QStringView name, const FileFact& fact)
{
    Folder* folder = writableFolder(folderPath, true);
    const uint hash = foldedHash(name);
    const int index = folder->indexOf(name, hash);
    if (index >= 0) {
        folder->removeAt(index);
        --m_count;
    }
    folder->add(name, hash, fact);
    ++m_count;
    changed(false);
}

void FileFactsTable::put(const SimFileFacts& facts)
{
    const Folder::Place at = Folder::placeOf(facts.path);
    if (at.folder.isNull())
        return;
    if (facts.isEmpty()) {
        remove(facts.path);
        return;
    }
    insert(at.folder, at.name, FileFact::from(facts));
}

// Visits the folder and the name of every fact of a path and of everything
// below it: the path's own, in the folder that holds it, and those of the
// folders whose folded paths begin with the path's.
template <class Visit>
void FileFactsTable::forEachInTree(const QString& normalizedPath, Visit visit) const
{
    const QString key = folderKey(normalizedPath);
    const QString prefix = key.endsWith('\\') ? key : key + '\\';
    const auto own = m_folders.constFind(key);
    if (own != m_folders.constEnd() && key != prefix)
        visit(own.key(), **own);
    for (auto it = m_folders.lowerBound(prefix); it != m_folders.constEnd() && it.key().startsWith(prefix); ++it)
        visit(it.key(), **it);
}

void FileFactsTable::removeTree(const QString& normalizedPath)
{
    if (m_count == 0)
        return;
    if (normalizedPath.size() > Folder::RootLength)
        remove(normalizedPath);
    QStringList below;
    forEachInTree(normalizedPath, [&below](const QString& key, const Folder&) { below << key; });
    for (const QString& key : qAsConst(below)) {
        m_count -= m_folders.value(key)->live();
        m_folders.remove(key);
        changed(true);
    }
}

void FileFactsTable::moveTree(const QString& from, const QString& to)
{
    if (m_count == 0)
        return;
    QVector<SimFileFacts> moved;
    const SimFileFacts own = facts(from);
    if (!own.path.isEmpty())
        moved << own;
    forEachInTree(from, [&moved](const QString&, const Folder& folder) {
        folder.forEachLive([&](const FileFact& fact) { moved << fact.facts(folder.pathOf(fact)); });
    });
    removeTree(from);
    for (SimFileFacts& facts : moved) {
        facts.path = to + facts.path.mid(from.size());
        insert(Folder::placeOf(facts.path).folder, Folder::placeOf(facts.path).name, FileFact::from(facts));
    }
}

bool FileFactsTable::load(const QJsonObject& section, QString* error)
{
    return FileFactsSection::read(section, this, error);
}

QJsonObject FileFactsTable::section() const
{
    return FileFactsSection::json(*this);
}

QByteArray FileFactsTable::sectionText() const
{
    return FileFactsSection::text(*this);
}

} // namespace win::sim

#include "platform/sim/FileFactsFolder.h"

#include "platform/CaseFold.h"

namespace win::sim {

FileFactsFolder::Place FileFactsFolder::placeOf(const QString& path)
{
    const int separator = path.lastIndexOf('\\');
    if (separator < 0)
        return {};
    const QStringView whole(path);
    if (path.size() <= RootLength)
        return {whole, QStringView(whole.data(), 0)};
    return {whole.left(qMax(separator, RootLength)), whole.mid(separator + 1)};
}

QString FileFactsFolder::joined(QStringView folder, QStringView name)
{
    QString path;
    path.reserve(int(folder.size() + name.size()) + 1);
    path.append(folder.data(), int(folder.size()));
    if (!name.isEmpty() && folder.size() > RootLength)
        path.append(QLatin1Char('\\'));
    path.append(name.data(), int(name.size()));
    return path;
}

int FileFactsFolder::indexOf(QStringView name, uint hash) const
{
    if (table.isEmpty())
        return -1;
    const int mask = table.size() - 1;
    for (int at = int(hash) & mask;; at = (at + 1) & mask) {
        const qint32 slot = table.at(at);
        if (slot == 0)
            return -1;
        if (slot > 0) {
            const FileFact& fact = facts.at(slot - 1);
            if (fact.m_nameHash == hash && equalFolded(nameOf(fact), name))
                return slot - 1;
        }
    }
}

void FileFactsFolder::place(int index)
{
    const int mask = table.size() - 1;
    int at = int(facts.at(index).m_nameHash) & mask;
    while (table.at(at) > 0)
        at = (at + 1) & mask;
    table[at] = index + 1;
}

void FileFactsFolder::rehash(int capacity)
{
    table.fill(0, capacity);
    for (int index = 0; index < facts.size(); ++index) {
        if (!(facts.at(index).m_flags & FileFact::Removed))
            place(index);
    }
}

void FileFactsFolder::add(QStringView name, uint hash, FileFact fact)
{
    if (2 * (facts.size() + 1) > table.size()) {
        int capacity = 8;
        while (capacity < 2 * (live() + 1))
            capacity *= 2;
        if (removed > 0)
            compact(capacity);
        else
            table.fill(0, capacity);
        rehash(capacity);
    }
    fact.m_nameHash = hash;
    fact.m_nameAt = names.size();
    fact.m_nameLength = quint16(name.size());
    names.append(name.data(), int(name.size()));
    facts.append(fact);
    place(facts.size() - 1);
}

void FileFactsFolder::removeAt(int index)
{
    const int mask = table.size() - 1;
    for (int at = int(facts.at(index).m_nameHash) & mask;; at = (at + 1) & mask) {
        if (table.at(at) == index + 1) {
            table[at] = -1;
            break;
        }
    }
    facts[index].m_flags |= FileFact::Removed;
    ++removed;
    // A small folder keeps its gaps until it goes or grows: the folders
    // a cleanup empties are small, and go.
    if (2 * removed > facts.size() && facts.size() > SmallFolder) {
        compact(table.size());
        rehash(table.size());
    }
}

void FileFactsFolder::compact(int capacity)
{
    QString keptNames;
    QVector<FileFact> kept;
    kept.reserve(live());
    for (const FileFact& fact : qAsConst(facts)) {
        if (fact.m_flags & FileFact::Removed)
            continue;
        FileFact moved = fact;
        moved.m_nameAt = keptNames.size();
        const QStringView name = nameOf(fact);
        keptNames.append(name.data(), int(name.size()));
        kept.append(moved);
    }
    names = keptNames;
    facts = kept;
    removed = 0;
    table.fill(0, capacity);
}

} // namespace win::sim

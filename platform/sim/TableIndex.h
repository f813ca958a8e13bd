#pragma once

#include <QHash>
#include <QVector>

namespace win::sim {

// Finds an entry of a table that the machine keeps as a plain vector (the
// processes by id, the windows by handle) without a walk through the whole
// table for every question. The table stays a plain vector that the program
// and tests change as they please, so the index never trusts itself: a
// position it remembers answers only when the entry there still carries the
// key, and any other question goes to the table, which the index then learns
// anew once it finds the key there. An answer is therefore always the one a
// walk through the table would give; keys are unique within a table, as
// process ids and window handles are on Windows.
template <typename Entry, typename Key>
class TableIndex
{
public:
    explicit TableIndex(Key Entry::*key) : m_key(key) {}

    Entry* find(QVector<Entry>& table, Key key)
    {
        const auto known = m_positions.constFind(key);
        if (known != m_positions.constEnd() && *known < table.size() && table.at(*known).*m_key == key)
            return &table[*known];
        for (int i = 0; i < table.size(); ++i) {
            if (table.at(i).*m_key == key) {
                learn(table);
                return &table[i];
            }
        }
        return nullptr;
    }

private:
    void learn(const QVector<Entry>& table)
    {
        m_positions.clear();
        m_positions.reserve(table.size());
        for (int i = table.size() - 1; i >= 0; --i)
            m_positions.insert(table.at(i).*m_key, i);   // from the back, so the first entry of a key stays
    }

    Key Entry::*m_key;
    QHash<Key, int> m_positions;
};

} // namespace win::sim

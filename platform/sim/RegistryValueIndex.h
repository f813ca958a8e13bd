#pragma once

#include <QtGlobal>
#include <vector>

namespace win::sim {

// The slots of a key's values by the hash of their folded names, in one flat
// table (open addressing with linear probing, at most half full): adding a
// slot allocates nothing but the table's growth, and a look-up reads one
// place of the table and the few after it. The table is never told that a
// value went: its slot stays in the table until the owner builds the table
// anew, and the owner's test of a candidate slot passes over it.
class RegistryValueIndex
{
public:
    // Empties the table and sizes it for `count` entries, none for no table.
    // The room the table took stays with it until it is destroyed, as a
    // vector keeps its capacity: a key whose values are removed one by one
    // frees nothing larger than a value on the way.
    void reset(int count);
    void insert(uint hash, int slot);

    // The first slot under `hash` for which `matches(slot)` holds, or -1.
    template <typename Matches>
    int find(uint hash, Matches matches) const
    {
        if (m_entries.empty())
            return -1;
        for (size_t at = home(hash); m_entries[at].slot >= 0; at = (at + 1) & m_mask) {
            if (m_entries[at].hash == hash && matches(m_entries[at].slot))
                return m_entries[at].slot;
        }
        return -1;
    }

private:
    struct Entry
    {
        uint hash = 0;
        int slot = -1;   // -1: free
    };

    // Fibonacci hashing spreads hashes whose low bits differ little.
    size_t home(uint hash) const { return size_t((hash * 2654435769u) >> m_shift); }
    void place(const Entry& entry);

    std::vector<Entry> m_entries;
    size_t m_mask = 0;
    int m_shift = 32;
    int m_count = 0;
};

} // namespace win::sim

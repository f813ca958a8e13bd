#include "platform/sim/RegistryValueIndex.h"

namespace win::sim {

void RegistryValueIndex::reset(int count)
{
    m_count = 0;
    if (count <= 0) {
        m_entries.clear();
        m_mask = 0;
        m_shift = 32;
        return;
    }
    int bits = 6;
    while ((size_t(1) << bits) < size_t(2) * size_t(count))
        ++bits;
    m_entries.assign(size_t(1) << bits, Entry());
    m_mask = m_entries.size() - 1;
    m_shift = 32 - bits;
}

void RegistryValueIndex::insert(uint hash, int slot)
{
    if (size_t(2) * size_t(m_count + 1) > m_entries.size()) {
        const int room = qMax(int(m_entries.size()), m_count + 1);   // twice the table
        std::vector<Entry> old;
        old.swap(m_entries);
        reset(room);
        for (const Entry& entry : old) {
            if (entry.slot >= 0) {
                place(entry);
                ++m_count;
            }
        }
    }
    place(Entry{hash, slot});
    ++m_count;
}

void RegistryValueIndex::place(const Entry& entry)
{
    size_t at = home(entry.hash);
    while (m_entries[at].slot >= 0)
        at = (at + 1) & m_mask;
    m_entries[at] = entry;
}

} // namespace win::sim

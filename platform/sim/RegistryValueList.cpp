#include "platform/sim/RegistryValueList.h"

#include "platform/sim/RegistryNode.h"

#include <cstdlib>
#include <utility>

namespace win::sim {

namespace {

uint foldedHash(const QString& name)
{
    return RegistryNode::foldedHash(name);
}

// Asks the processor for the blocks of a value's name and data ahead of their
// use; data_ptr() only hands out the block's address.
void prefetch(const RegistryValue& value)
{
    auto& held = const_cast<RegistryValue&>(value);
    __builtin_prefetch(held.name.data_ptr());
    __builtin_prefetch(held.data.data_ptr());
}

} // namespace

bool RegistryValueList::holds(int slot, const QString& name, uint hash) const
{
    return m_hashes.at(slot) == hash && !m_gap[size_t(slot)] && RegistryNode::sameName(m_values.at(slot).name, name);
}

int RegistryValueList::slotOf(const QString& name, uint hash) const
{
    int slot = -1;
    if (m_nextSlot < m_values.size() && holds(m_nextSlot, name, hash)) {
        slot = m_nextSlot;
    } else if (m_values.size() <= IndexThreshold) {
        for (int candidate = 0; candidate < m_values.size() && slot < 0; ++candidate) {
            if (holds(candidate, name, hash))
                slot = candidate;
        }
    } else {
        slot = m_index.find(hash, [&](int candidate) { return holds(candidate, name, hash); });
    }
    if (slot >= 0) {
        // The value after it is likely the one asked for next: going through
        // the values in order then waits on the memory of none of them.
        m_nextSlot = slot + 1;
        if (m_nextSlot < m_values.size())
            prefetch(m_values.at(m_nextSlot));
    }
    return slot;
}

const RegistryValue* RegistryValueList::find(const QString& name) const
{
    const int slot = slotOf(name, foldedHash(name));
    return slot < 0 ? nullptr : &m_values.at(slot);
}

void RegistryValueList::set(const QString& name, quint32 type, QByteArray data)
{
    const uint hash = foldedHash(name);
    const int slot = slotOf(name, hash);
    if (slot >= 0) {
        RegistryValue& value = m_values[slot];
        value.type = type;
        value.data = std::move(data);
        return;
    }
    m_values.append(RegistryValue{name, type, std::move(data)});
    m_hashes.append(hash);
    m_gap.push_back(false);
    if (m_values.size() == IndexThreshold + 1)
        rebuildIndex();
    else if (m_values.size() > IndexThreshold)
        m_index.insert(hash, m_values.size() - 1);
}

// The index keeps the removed value's slot, which is a gap from now on until
// the gaps are closed and the index is built anew.
bool RegistryValueList::remove(const QString& name)
{
    const uint hash = foldedHash(name);
    const int slot = slotOf(name, hash);
    if (slot < 0)
        return false;
    m_values[slot] = RegistryValue();
    m_gap[size_t(slot)] = true;
    ++m_removed;
    // The position last asked for keeps its slot, or, when that is the one
    // removed, passes to the value after it.
    if (m_cursorSlot >= 0 && slot < m_cursorSlot)
        --m_cursorPosition;
    else if (slot == m_cursorSlot)
        m_cursorSlot = liveFrom(slot);
    if (m_cursorSlot >= m_values.size())
        m_cursorSlot = m_cursorPosition = -1;
    if (2 * m_removed > m_values.size())
        compact();
    return true;
}

void RegistryValueList::clear()
{
    m_values.clear();
    m_hashes.clear();
    m_gap.clear();
    m_removed = 0;
    m_index = RegistryValueIndex();
    m_cursorSlot = m_cursorPosition = -1;
    m_nextSlot = 0;
}

// Moves the values down over the gaps and builds the index anew, allocating
// nothing: the vectors and the index's table keep their room.
void RegistryValueList::compact()
{
    int kept = 0;
    for (int slot = 0; slot < m_values.size(); ++slot) {
        if (m_gap[size_t(slot)])
            continue;
        if (kept != slot) {
            m_values[kept] = std::move(m_values[slot]);
            m_hashes[kept] = m_hashes[slot];
        }
        ++kept;
    }
    m_values.resize(kept);
    m_hashes.resize(kept);
    m_gap.assign(size_t(kept), false);
    m_removed = 0;
    m_cursorSlot = m_cursorPosition = -1;
    m_nextSlot = 0;
    rebuildIndex();
}

void RegistryValueList::rebuildIndex()
{
    if (m_values.size() <= IndexThreshold) {
        m_index.reset(0);
        return;
    }
    m_index.reset(m_values.size());
    for (int slot = 0; slot < m_hashes.size(); ++slot)
        m_index.insert(m_hashes.at(slot), slot);
}

int RegistryValueList::liveFrom(int slot) const
{
    while (slot < m_values.size() && m_gap[size_t(slot)])
        ++slot;
    return slot;
}

int RegistryValueList::liveBefore(int slot) const
{
    while (slot >= 0 && m_gap[size_t(slot)])
        --slot;
    return slot;
}

// Walks from the nearest of the first value, the last value and the
// position last asked for.
int RegistryValueList::slotAt(int position) const
{
    if (m_removed == 0)
        return position;
    int at = 0;
    int slot = liveFrom(0);
    const int last = size() - 1;
    if (last - position < position - at) {
        at = last;
        slot = liveBefore(m_values.size() - 1);
    }
    if (m_cursorSlot >= 0 && std::abs(position - m_cursorPosition) < std::abs(position - at)) {
        at = m_cursorPosition;
        slot = m_cursorSlot;
    }
    for (; at < position; ++at)
        slot = liveFrom(slot + 1);
    for (; at > position; --at)
        slot = liveBefore(slot - 1);
    m_cursorPosition = position;
    m_cursorSlot = slot;
    return slot;
}

} // namespace win::sim

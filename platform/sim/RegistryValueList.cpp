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

} // namespace

int RegistryValueList::slotOf(const QString& name, uint hash) const
{
    if (m_values.size() <= IndexThreshold) {
        for (int slot = 0; slot < m_hashes.size(); ++slot) {
            if (m_hashes.at(slot) == hash && !m_gap[size_t(slot)] && RegistryNode::sameName(m_values.at(slot).name, name))
                return slot;
        }
        return -1;
    }
    for (auto it = m_index.constFind(hash); it != m_index.constEnd() && it.key() == hash; ++it) {
        if (RegistryNode::sameName(m_values.at(*it).name, name))
            return *it;
    }
    return -1;
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

bool RegistryValueList::remove(const QString& name)
{
    const uint hash = foldedHash(name);
    const int slot = slotOf(name, hash);
    if (slot < 0)
        return false;
    m_values[slot] = RegistryValue();
    m_gap[size_t(slot)] = true;
    ++m_removed;
    if (m_values.size() > IndexThreshold)
        m_index.remove(hash, slot);
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
    m_index.clear();
    m_cursorSlot = m_cursorPosition = -1;
}

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
    rebuildIndex();
}

void RegistryValueList::rebuildIndex()
{
    m_index.clear();
    if (m_values.size() <= IndexThreshold)
        return;
    m_index.reserve(m_values.size());
    for (int slot = 0; slot < m_hashes.size(); ++slot) {
        if (!m_gap[size_t(slot)])
            m_index.insert(m_hashes.at(slot), slot);
    }
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

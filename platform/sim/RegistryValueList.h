#pragma once

#include "platform/sim/RegistryValueIndex.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <vector>

namespace win::sim {

struct RegistryValue
{
    QString name;  // empty: the key's default value
    quint32 type = 0;
    QByteArray data;  // the raw bytes as they were written
};

// The values of one registry key, in the order they were created. A value
// is found by its name as the registry compares names (each UTF-16 unit
// upper-cased): by a scan of the names' hashes while the key has a few
// values, through an index once it has many; the value after the one last
// found or removed is looked at first, so a program going through the values
// in their order (deleting what it enumerated) needs no index. Removing a
// value costs what the value itself costs: it leaves a gap in its place,
// which enumeration and the index step over, and the gaps go all at once,
// the index built anew, when they outnumber the values. Enumeration by
// position finds its way from the position last asked for, so walking the
// values forwards or backwards costs a step each.
class RegistryValueList
{
public:
    int size() const { return int(m_values.size()) - m_removed; }
    bool isEmpty() const { return size() == 0; }
    const RegistryValue& at(int position) const { return m_values.at(slotAt(position)); }
    const RegistryValue* find(const QString& name) const;
    // Replaces the data of an existing value in place, keeping its position.
    void set(const QString& name, quint32 type, QByteArray data);
    bool remove(const QString& name);
    void clear();

private:
    static constexpr int IndexThreshold = 32;

    bool holds(int slot, const QString& name, uint hash) const;
    int slotOf(const QString& name, uint hash) const;
    int slotAt(int position) const;
    int liveFrom(int slot) const;      // the first value at or after `slot`
    int liveBefore(int slot) const;    // the last value at or before `slot`
    void compact();
    void rebuildIndex();

    QVector<RegistryValue> m_values;   // by slot; a removed value's slot is a gap
    QVector<uint> m_hashes;            // of each slot's upper-cased name
    std::vector<bool> m_gap;           // by slot
    int m_removed = 0;                 // gaps among the slots
    RegistryValueIndex m_index;        // hash -> slot of every slot, above IndexThreshold slots
    // The position last asked for and its slot; -1 when none is known.
    mutable int m_cursorPosition = -1;
    mutable int m_cursorSlot = -1;
    // The slot after the value last found or removed, looked at first.
    mutable int m_nextSlot = 0;
};

} // namespace win::sim

// Values move by memcpy when a key's value list grows.
Q_DECLARE_TYPEINFO(win::sim::RegistryValue, Q_MOVABLE_TYPE);

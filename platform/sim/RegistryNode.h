#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>
#include <memory>

namespace win::sim {

struct RegistryValue
{
    QString name;  // empty: the key's default value
    quint32 type = 0;
    QByteArray data;  // the raw bytes as they were written
};

// One key of a simulated hive. Names are compared the way the registry
// compares them (each UTF-16 unit upper-cased), keep the case they were
// created with, subkeys enumerate in that upper-cased order and values in the
// order they were created. A removed key is marked deleted with everything
// below it, so handles still holding it can tell.
//
// Subkeys are found through an index by name; their enumeration order is
// restored by one sort when it is next asked for, so that keys added in any
// order (a .reg file listing 100,000 siblings backwards) cost linear time.
// Values are found by a hash of their upper-cased name: a scan of these
// numbers while a key has a few values, an index once it has many.
class RegistryNode
{
public:
    explicit RegistryNode(const QString& name);

    const QString& name() const { return m_name; }
    bool isDeleted() const { return m_deleted; }

    int subKeyCount() const { return m_subKeys.size(); }
    const std::shared_ptr<RegistryNode>& subKeyAt(int index) const;
    std::shared_ptr<RegistryNode> findSubKey(const QString& name) const;
    // The existing subkey of that name, or a new one.
    std::shared_ptr<RegistryNode> ensureSubKey(const QString& name);
    bool removeSubKey(const QString& name);
    void removeAllSubKeys();

    int valueCount() const { return m_values.size(); }
    const RegistryValue& valueAt(int index) const { return m_values.at(index); }
    const RegistryValue* findValue(const QString& name) const;
    // Replaces the data of an existing value in place, keeping its position.
    void setValue(const QString& name, quint32 type, QByteArray data);
    bool removeValue(const QString& name);
    void removeAllValues();

    bool isEmpty() const { return m_subKeys.isEmpty() && m_values.isEmpty(); }

    // The form under which the registry compares names.
    static QString comparisonName(const QString& name);
    static bool sameName(const QString& a, const QString& b);

private:
    static constexpr int ValueIndexThreshold = 32;

    void sortSubKeys() const;
    void markDeleted();
    int valuePosition(const QString& name, uint hash) const;
    void indexValues();

    QString m_name;
    QString m_comparisonName;
    bool m_deleted = false;
    mutable QVector<std::shared_ptr<RegistryNode>> m_subKeys;  // by comparison name once sorted
    mutable bool m_subKeysSorted = true;
    QHash<QString, std::shared_ptr<RegistryNode>> m_subKeyIndex;  // comparison name -> subkey
    QVector<RegistryValue> m_values;
    QVector<uint> m_valueHashes;          // of each value's upper-cased name, in m_values order
    QMultiHash<uint, int> m_valueIndex;   // hash -> position, above ValueIndexThreshold values
};

} // namespace win::sim

// Values move by memcpy when a key's value list grows.
Q_DECLARE_TYPEINFO(win::sim::RegistryValue, Q_MOVABLE_TYPE);

#pragma once

#include "platform/sim/RegistryValueList.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <memory>
#include <utility>

namespace win::sim {

// One key of a simulated hive. Names are compared the way the registry
// compares them (each UTF-16 unit upper-cased), keep the case they were
// created with, subkeys enumerate in that upper-cased order and values in the
// order they were created. A removed key is marked deleted with everything
// below it, so handles still holding it can tell.
//
// Subkeys are found through an index by name; their enumeration order is
// restored by one sort when it is next asked for, so that keys added in any
// order (a .reg file listing 100,000 siblings backwards) cost linear time.
// Values are kept by a RegistryValueList.
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
    const RegistryValue* findValue(const QString& name) const { return m_values.find(name); }
    // Replaces the data of an existing value in place, keeping its position.
    void setValue(const QString& name, quint32 type, QByteArray data) { m_values.set(name, type, std::move(data)); }
    bool removeValue(const QString& name) { return m_values.remove(name); }
    void removeAllValues() { m_values.clear(); }

    bool isEmpty() const { return m_subKeys.isEmpty() && m_values.isEmpty(); }

    // The form under which the registry compares names.
    static QString comparisonName(const QString& name);
    static bool sameName(const QString& a, const QString& b);
    // A hash of the comparison name, made without making it.
    static uint foldedHash(const QString& name);

private:
    void sortSubKeys() const;
    void markDeleted();

    QString m_name;
    QString m_comparisonName;
    bool m_deleted = false;
    mutable QVector<std::shared_ptr<RegistryNode>> m_subKeys;  // by comparison name once sorted
    mutable bool m_subKeysSorted = true;
    QHash<QString, std::shared_ptr<RegistryNode>> m_subKeyIndex;  // comparison name -> subkey
    RegistryValueList m_values;
};

} // namespace win::sim

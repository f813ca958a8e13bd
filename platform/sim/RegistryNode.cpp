#include "platform/sim/RegistryNode.h"

#include <algorithm>

namespace win::sim {

RegistryNode::RegistryNode(const QString& name)
    : m_name(name)
    , m_comparisonName(comparisonName(name))
{
}

QString RegistryNode::comparisonName(const QString& name)
{
    // The registry upper-cases unit by unit (no special casing that changes
    // the length), so a plain per-unit mapping sorts as Windows does.
    QString result(name);
    QChar* unit = result.data();
    for (int i = 0, n = result.size(); i < n; ++i)
        unit[i] = QChar(QChar::toUpper(unit[i].unicode()));
    return result;
}

void RegistryNode::sortSubKeys() const
{
    std::sort(m_subKeys.begin(), m_subKeys.end(),
              [](const std::shared_ptr<RegistryNode>& a, const std::shared_ptr<RegistryNode>& b) {
                  return a->m_comparisonName < b->m_comparisonName;
              });
    m_subKeysSorted = true;
}

const std::shared_ptr<RegistryNode>& RegistryNode::subKeyAt(int index) const
{
    if (!m_subKeysSorted)
        sortSubKeys();
    return m_subKeys.at(index);
}

std::shared_ptr<RegistryNode> RegistryNode::findSubKey(const QString& name) const
{
    return m_subKeyIndex.value(comparisonName(name));
}

std::shared_ptr<RegistryNode> RegistryNode::ensureSubKey(const QString& name)
{
    const QString comparison = comparisonName(name);
    std::shared_ptr<RegistryNode>& slot = m_subKeyIndex[comparison];
    if (slot)
        return slot;
    slot = std::make_shared<RegistryNode>(name);
    if (m_subKeysSorted && !m_subKeys.isEmpty() && !(m_subKeys.last()->m_comparisonName < comparison))
        m_subKeysSorted = false;
    m_subKeys.append(slot);
    return slot;
}

bool RegistryNode::removeSubKey(const QString& name)
{
    const std::shared_ptr<RegistryNode> node = m_subKeyIndex.take(comparisonName(name));
    if (!node)
        return false;
    node->markDeleted();
    if (!m_subKeysSorted)
        sortSubKeys();
    const auto it = std::lower_bound(m_subKeys.begin(), m_subKeys.end(), node->m_comparisonName,
                                     [](const std::shared_ptr<RegistryNode>& key, const QString& comparison) {
                                         return key->m_comparisonName < comparison;
                                     });
    m_subKeys.erase(it);
    return true;
}

void RegistryNode::removeAllSubKeys()
{
    for (const auto& node : qAsConst(m_subKeys))
        node->markDeleted();
    m_subKeys.clear();
    m_subKeyIndex.clear();
    m_subKeysSorted = true;
}

void RegistryNode::markDeleted()
{
    m_deleted = true;
    for (const auto& node : qAsConst(m_subKeys))
        node->markDeleted();
}

const RegistryValue* RegistryNode::findValue(const QString& name) const
{
    const auto it = m_valueIndex.constFind(comparisonName(name));
    return it == m_valueIndex.constEnd() ? nullptr : &m_values.at(*it);
}

void RegistryNode::setValue(const QString& name, quint32 type, const QByteArray& data)
{
    const QString comparison = comparisonName(name);
    const auto it = m_valueIndex.constFind(comparison);
    if (it != m_valueIndex.constEnd()) {
        RegistryValue& value = m_values[*it];
        value.type = type;
        value.data = data;
        return;
    }
    m_valueIndex.insert(comparison, m_values.size());
    m_values.append(RegistryValue{name, type, data});
}

bool RegistryNode::removeValue(const QString& name)
{
    const auto it = m_valueIndex.find(comparisonName(name));
    if (it == m_valueIndex.end())
        return false;
    const int position = *it;
    m_valueIndex.erase(it);
    m_values.remove(position);
    for (auto& index : m_valueIndex) {
        if (index > position)
            --index;
    }
    return true;
}

void RegistryNode::removeAllValues()
{
    m_values.clear();
    m_valueIndex.clear();
}

} // namespace win::sim

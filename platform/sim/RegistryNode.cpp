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

int RegistryNode::subKeyPosition(const QString& comparison) const
{
    const auto it = std::lower_bound(m_subKeys.cbegin(), m_subKeys.cend(), comparison,
                                     [](const std::shared_ptr<RegistryNode>& node, const QString& key) {
                                         return node->m_comparisonName < key;
                                     });
    return int(it - m_subKeys.cbegin());
}

std::shared_ptr<RegistryNode> RegistryNode::findSubKey(const QString& name) const
{
    const QString comparison = comparisonName(name);
    const int position = subKeyPosition(comparison);
    if (position < m_subKeys.size() && m_subKeys.at(position)->m_comparisonName == comparison)
        return m_subKeys.at(position);
    return nullptr;
}

std::shared_ptr<RegistryNode> RegistryNode::ensureSubKey(const QString& name)
{
    const QString comparison = comparisonName(name);
    const int position = subKeyPosition(comparison);
    if (position < m_subKeys.size() && m_subKeys.at(position)->m_comparisonName == comparison)
        return m_subKeys.at(position);
    auto node = std::make_shared<RegistryNode>(name);
    m_subKeys.insert(position, node);
    return node;
}

bool RegistryNode::removeSubKey(const QString& name)
{
    const QString comparison = comparisonName(name);
    const int position = subKeyPosition(comparison);
    if (position >= m_subKeys.size() || m_subKeys.at(position)->m_comparisonName != comparison)
        return false;
    m_subKeys.at(position)->markDeleted();
    m_subKeys.remove(position);
    return true;
}

void RegistryNode::removeAllSubKeys()
{
    for (const auto& node : qAsConst(m_subKeys))
        node->markDeleted();
    m_subKeys.clear();
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

#include "platform/sim/RegistryNode.h"

#include <algorithm>

namespace win::sim {

RegistryNode::RegistryNode(const QString& name)
    : m_name(name)
    , m_comparisonName(comparisonName(name))
{
}

namespace {

// The registry upper-cases unit by unit (no special casing that changes the
// length), so a plain per-unit mapping compares and sorts as Windows does.
char16_t upperUnit(char16_t unit)
{
    if (unit < 0x80)
        return unit >= u'a' && unit <= u'z' ? char16_t(unit - (u'a' - u'A')) : unit;
    return char16_t(QChar::toUpper(unit));
}

} // namespace

// FNV-1a of the upper-cased units.
uint RegistryNode::foldedHash(const QString& name)
{
    uint hash = 2166136261u;
    for (const QChar c : name)
        hash = (hash ^ upperUnit(c.unicode())) * 16777619u;
    return hash;
}

QString RegistryNode::comparisonName(const QString& name)
{
    QString result(name);
    QChar* unit = result.data();
    for (int i = 0, n = result.size(); i < n; ++i)
        unit[i] = QChar(upperUnit(unit[i].unicode()));
    return result;
}

bool RegistryNode::sameName(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    const QChar* x = a.constData();
    const QChar* y = b.constData();
    for (int i = 0, n = a.size(); i < n; ++i) {
        if (x[i] != y[i] && upperUnit(x[i].unicode()) != upperUnit(y[i].unicode()))
            return false;
    }
    return true;
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

} // namespace win::sim

#include "platform/sim/programs/WmiInstance.h"

namespace win::sim {

void WmiInstance::set(const QString& name, const QVariant& value)
{
    for (auto& pair : m_values) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0) {
            pair.second = value;
            return;
        }
    }
    m_values.append({name, value});
}

bool WmiInstance::has(const QString& name) const
{
    for (const auto& pair : m_values) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QVariant WmiInstance::value(const QString& name) const
{
    for (const auto& pair : m_values) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return QVariant();
}

} // namespace win::sim

#pragma once

#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

namespace win::sim {

// One WMI object: its properties in the class's order. Values are QString
// (strings and datetimes), qulonglong (unsigned integers), bool, QChar
// (char16) or a null QVariant. Names compare case-insensitively, as in WQL.
class WmiInstance
{
public:
    void set(const QString& name, const QVariant& value);
    bool has(const QString& name) const;
    QVariant value(const QString& name) const;

private:
    QVector<QPair<QString, QVariant>> m_values;
};

} // namespace win::sim

#include "platform/sim/JsonFields.h"

#include <algorithm>
#include <cmath>

namespace win::sim {

JsonFields::JsonFields(const QJsonObject& object, const QString& path, QString* error, UnknownKeys unknownKeys)
    : m_object(object), m_path(path), m_error(error), m_unknownKeys(unknownKeys)
{
}

JsonFields::~JsonFields()
{
    if (m_unknownKeys == UnknownKeys::Refuse && ok() && m_object.size() > 0)
        reportUnknownKey();
}

void JsonFields::reportUnknownKey() const
{
    for (auto it = m_object.begin(); it != m_object.end(); ++it) {
        const QString& name = it.key();
        const bool asked = std::any_of(m_asked.cbegin(), m_asked.cend(), [&name](const std::string& key) {
            return name == QLatin1String(key.data(), int(key.size()));
        });
        if (!asked) {
            fail(it.key(), QStringLiteral("unknown field; it would be lost when the machine is saved"));
            return;
        }
    }
}

QString JsonFields::childPath(const char* key) const
{
    return m_path.isEmpty() ? QString::fromLatin1(key) : m_path + '.' + QLatin1String(key);
}

QString JsonFields::childPath(const char* key, int index) const
{
    return childPath(key) + QStringLiteral("[%1]").arg(index);
}

QString JsonFields::childPath(const char* key, const QString& name) const
{
    return childPath(key) + '.' + name;
}

void JsonFields::fail(const QString& key, const QString& what) const
{
    if (m_error->isEmpty())
        *m_error = QStringLiteral("%1: %2").arg(m_path.isEmpty() ? key : m_path + '.' + key, what);
}

QJsonValue JsonFields::value(const char* key) const
{
    if (std::none_of(m_asked.cbegin(), m_asked.cend(), [key](const std::string& asked) { return asked == key; }))
        m_asked.append(std::string(key));
    return m_object.value(QLatin1String(key));
}

QJsonValue JsonFields::field(const char* key, QJsonValue::Type type, const char* typeName) const
{
    const QJsonValue value = this->value(key);
    if (value.isUndefined() || value.isNull())
        return QJsonValue(QJsonValue::Undefined);
    if (value.type() != type) {
        fail(QLatin1String(key), QStringLiteral("expected %1").arg(QLatin1String(typeName)));
        return QJsonValue(QJsonValue::Undefined);
    }
    return value;
}

QString JsonFields::string(const char* key, const QString& fallback) const
{
    const QJsonValue v = field(key, QJsonValue::String, "a string");
    return v.isUndefined() ? fallback : v.toString();
}

bool JsonFields::boolean(const char* key, bool fallback) const
{
    const QJsonValue v = field(key, QJsonValue::Bool, "true or false");
    return v.isUndefined() ? fallback : v.toBool();
}

qint64 JsonFields::number(const char* key, qint64 fallback, qint64 minimum, qint64 maximum) const
{
    const QJsonValue v = field(key, QJsonValue::Double, "a number");
    if (v.isUndefined())
        return fallback;
    // Compared as doubles before any conversion: 1e300 or 2^64 must not
    // reach an integer type.
    const double d = v.toDouble();
    if (!(d >= double(minimum) && d <= double(maximum)) || d != std::floor(d)) {
        fail(QLatin1String(key), QStringLiteral("expected a whole number from %1 to %2").arg(minimum).arg(maximum));
        return fallback;
    }
    return qint64(d);
}

QStringList JsonFields::strings(const char* key) const
{
    QStringList out;
    const QJsonArray items = array(key);
    for (int i = 0; i < items.size(); ++i) {
        if (!items.at(i).isString()) {
            fail(QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(i), QStringLiteral("expected a string"));
            return {};
        }
        out << items.at(i).toString();
    }
    return out;
}

QJsonObject JsonFields::object(const char* key) const
{
    return field(key, QJsonValue::Object, "an object").toObject();
}

QJsonArray JsonFields::array(const char* key) const
{
    return field(key, QJsonValue::Array, "an array").toArray();
}

QMap<QString, QString> JsonFields::textMap(const char* key) const
{
    QMap<QString, QString> out;
    const QJsonObject items = object(key);
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (!it.value().isString()) {
            fail(QStringLiteral("%1.%2").arg(QLatin1String(key), it.key()), QStringLiteral("expected a string"));
            return {};
        }
        out.insert(it.key(), it.value().toString());
    }
    return out;
}

} // namespace win::sim

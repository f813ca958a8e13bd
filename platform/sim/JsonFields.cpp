#include "platform/sim/JsonFields.h"

namespace win::sim {

JsonFields::JsonFields(const QJsonObject& object, const QString& path, QString* error)
    : m_object(object), m_path(path), m_error(error)
{
}

QString JsonFields::childPath(const char* key) const
{
    return m_path.isEmpty() ? QString::fromLatin1(key) : m_path + '.' + QLatin1String(key);
}

QString JsonFields::childPath(const char* key, int index) const
{
    return childPath(key) + QStringLiteral("[%1]").arg(index);
}

void JsonFields::fail(const QString& key, const QString& what) const
{
    if (m_error->isEmpty())
        *m_error = QStringLiteral("%1: %2").arg(m_path.isEmpty() ? key : m_path + '.' + key, what);
}

QJsonValue JsonFields::field(const char* key, QJsonValue::Type type, const char* typeName) const
{
    const QJsonValue value = m_object.value(QLatin1String(key));
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

qint64 JsonFields::integer(const char* key, qint64 fallback) const
{
    const QJsonValue v = field(key, QJsonValue::Double, "a number");
    if (v.isUndefined())
        return fallback;
    const double d = v.toDouble();
    if (d != double(qint64(d))) {
        fail(QLatin1String(key), QStringLiteral("expected a whole number"));
        return fallback;
    }
    return qint64(d);
}

quint64 JsonFields::unsignedInteger(const char* key, quint64 fallback) const
{
    const qint64 value = integer(key, qint64(fallback));
    if (value < 0) {
        fail(QLatin1String(key), QStringLiteral("expected a number of 0 or more"));
        return fallback;
    }
    return quint64(value);
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

} // namespace win::sim

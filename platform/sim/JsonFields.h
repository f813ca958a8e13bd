#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace win::sim {

// Reads typed fields of one JSON object of machine.json and remembers the
// first field that had the wrong type, with its path ("services[2].startType"),
// so that a malformed machine is reported precisely instead of half loaded.
class JsonFields
{
public:
    JsonFields(const QJsonObject& object, const QString& path, QString* error);

    QString string(const char* key, const QString& fallback = QString()) const;
    bool boolean(const char* key, bool fallback) const;
    qint64 integer(const char* key, qint64 fallback) const;
    quint64 unsignedInteger(const char* key, quint64 fallback) const;
    QStringList strings(const char* key) const;
    QJsonObject object(const char* key) const;
    QJsonArray array(const char* key) const;
    bool has(const char* key) const { return m_object.contains(QLatin1String(key)); }

    QString childPath(const char* key) const;
    QString childPath(const char* key, int index) const;
    bool ok() const { return m_error->isEmpty(); }
    void fail(const QString& key, const QString& what) const;

private:
    QJsonValue field(const char* key, QJsonValue::Type type, const char* typeName) const;

    QJsonObject m_object;
    QString m_path;
    QString* m_error;
};

} // namespace win::sim

#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <limits>
#include <string>

namespace win::sim {

// Reads typed fields of one JSON object of machine.json and remembers the
// first field that was wrong, with its path ("services[2].startType"), so
// that a malformed machine is reported precisely instead of half loaded.
//
// A machine is saved from what was loaded, so a field that no reader asked
// for would vanish on the next save: when the reader goes out of scope, the
// first key it was never asked for is reported as unknown. Readers of the
// top level, which several loaders share, are made with UnknownKeys::Keep.
class JsonFields
{
public:
    enum class UnknownKeys { Refuse, Keep };

    // JSON numbers are doubles: whole numbers are exact up to 2^53, so no
    // field reaches beyond that.
    static constexpr qint64 ExactLimit = (qint64(1) << 53) - 1;

    JsonFields(const QJsonObject& object, const QString& path, QString* error,
               UnknownKeys unknownKeys = UnknownKeys::Refuse);
    ~JsonFields();
    JsonFields(const JsonFields&) = delete;
    JsonFields& operator=(const JsonFields&) = delete;

    QString string(const char* key, const QString& fallback = QString()) const;
    bool boolean(const char* key, bool fallback) const;
    // A whole number from `minimum` to `maximum` (both within ±ExactLimit).
    qint64 number(const char* key, qint64 fallback, qint64 minimum, qint64 maximum) const;
    // A whole number that fits T, e.g. number<quint32>("pid", 0).
    template <typename T>
    T number(const char* key, T fallback) const
    {
        const qint64 minimum = std::numeric_limits<T>::is_signed ? qMax<qint64>(std::numeric_limits<T>::min(), -ExactLimit) : 0;
        const qint64 maximum = qint64(qMin<quint64>(quint64(std::numeric_limits<T>::max()), quint64(ExactLimit)));
        return T(number(key, qint64(fallback), minimum, maximum));
    }
    qint64 integer(const char* key, qint64 fallback) const { return number(key, fallback, -ExactLimit, ExactLimit); }
    quint64 unsignedInteger(const char* key, quint64 fallback) const
    {
        return quint64(number(key, qint64(fallback), 0, ExactLimit));
    }
    QStringList strings(const char* key) const;
    QJsonObject object(const char* key) const;
    QJsonArray array(const char* key) const;
    // An object whose keys are names and whose values are all text.
    QMap<QString, QString> textMap(const char* key) const;
    bool has(const char* key) const { return m_object.contains(QLatin1String(key)); }
    // The field as it stands, for a field that may take more than one type.
    QJsonValue value(const char* key) const;

    QString childPath(const char* key) const;
    QString childPath(const char* key, int index) const;
    QString childPath(const char* key, const QString& name) const;
    bool ok() const { return m_error->isEmpty(); }
    void fail(const QString& key, const QString& what) const;

    // Fails on the first name of the object `key` that `fold` makes equal to
    // an earlier one ("Path" and "PATH"): the machine could keep only one.
    template <typename Fold>
    bool refuseFoldedTwins(const char* key, const QJsonObject& names, Fold fold) const;

private:
    QJsonValue field(const char* key, QJsonValue::Type type, const char* typeName) const;
    void reportUnknownKey() const;

    QJsonObject m_object;
    QString m_path;
    QString* m_error;
    UnknownKeys m_unknownKeys;
    mutable QVarLengthArray<std::string, 16> m_asked;
};

template <typename Fold>
bool JsonFields::refuseFoldedTwins(const char* key, const QJsonObject& names, Fold fold) const
{
    QHash<QString, QString> seen;
    for (auto it = names.begin(); it != names.end(); ++it) {
        const QString folded = fold(it.key());
        const auto earlier = seen.constFind(folded);
        if (earlier != seen.constEnd()) {
            fail(QStringLiteral("%1.%2").arg(QLatin1String(key), it.key()),
                 QStringLiteral("the same name as \"%1\"").arg(*earlier));
            return false;
        }
        seen.insert(folded, it.key());
    }
    return true;
}

} // namespace win::sim

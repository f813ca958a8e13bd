#include "platform/sim/FileFactsTable.h"

#include "platform/FileSystem.h"
#include "platform/sim/DriveMapper.h"
#include "platform/sim/JsonFields.h"

#include <QJsonArray>

namespace win::sim {

namespace {

struct AttributeName
{
    const char* name;
    quint32 attribute;
};

const AttributeName AttributeNames[] = {
    {"hidden", FileAttributeHidden}, {"system", FileAttributeSystem}, {"readonly", FileAttributeReadOnly}};

quint32 attributeOf(const QString& name)
{
    for (const AttributeName& known : AttributeNames) {
        if (name == QLatin1String(known.name))
            return known.attribute;
    }
    return 0;
}

QString treePrefix(const QString& key)
{
    return key.endsWith('\\') ? key : key + '\\';
}

void loadFacts(const JsonFields& fields, SimFileFacts* facts)
{
    const QStringList names = fields.strings("attributes");
    for (int i = 0; i < names.size(); ++i) {
        const quint32 attribute = attributeOf(names.at(i));
        if (attribute == 0) {
            fields.fail(QStringLiteral("attributes[%1]").arg(i),
                        QStringLiteral("expected one of hidden, system, readonly"));
            return;
        }
        facts->attributes |= attribute;
    }
    facts->locked = fields.boolean("locked", false);
    facts->hasSize = fields.has("size");
    facts->size = fields.number<quint64>("size", 0);
    const QString modified = fields.string("modified");
    if (!modified.isEmpty()) {
        // Without an offset the text is the machine's local time.
        facts->modified = QDateTime::fromString(modified, Qt::ISODateWithMs);
        if (!facts->modified.isValid())
            fields.fail(QStringLiteral("modified"), QStringLiteral("expected an ISO 8601 date and time"));
    }
}

QString modifiedText(const QDateTime& modified)
{
    return modified.toString(modified.time().msec() == 0 ? Qt::ISODate : Qt::ISODateWithMs);
}

} // namespace

bool FileFactsTable::load(const QJsonObject& section, QString* error)
{
    QHash<QString, SimFileFacts> loaded;
    for (auto it = section.begin(); it != section.end(); ++it) {
        const QString fieldPath = QStringLiteral("files[\"%1\"]").arg(it.key());
        QChar letter;
        QStringList components;
        if (DriveMapper::parse(it.key(), &letter, &components) != ErrorSuccess) {
            *error = fieldPath + QStringLiteral(": expected an absolute Windows path as the name");
            return false;
        }
        if (!it.value().isObject()) {
            *error = fieldPath + QStringLiteral(": expected an object");
            return false;
        }
        SimFileFacts facts;
        facts.path = DriveMapper::compose(letter, components);
        const QString key = keyOf(facts.path);
        const auto twin = loaded.constFind(key);
        if (twin != loaded.constEnd()) {
            // Windows names one file by both: only one set of facts could be kept.
            *error = fieldPath + QStringLiteral(": the same file as files[\"%1\"]").arg(twin->path);
            return false;
        }
        loadFacts(JsonFields(it.value().toObject(), fieldPath, error), &facts);
        if (!error->isEmpty())
            return false;
        loaded.insert(key, facts);
    }
    m_facts.swap(loaded);
    return true;
}

QJsonObject FileFactsTable::save() const
{
    QJsonObject section;
    for (const SimFileFacts& facts : m_facts) {
        QJsonObject entry;
        QJsonArray names;
        for (const AttributeName& known : AttributeNames) {
            if (facts.attributes & known.attribute)
                names.append(QLatin1String(known.name));
        }
        if (!names.isEmpty())
            entry.insert(QStringLiteral("attributes"), names);
        if (facts.locked)
            entry.insert(QStringLiteral("locked"), true);
        if (facts.hasSize)
            entry.insert(QStringLiteral("size"), double(facts.size));
        if (facts.modified.isValid())
            entry.insert(QStringLiteral("modified"), modifiedText(facts.modified));
        section.insert(facts.path, entry);
    }
    return section;
}

const SimFileFacts* FileFactsTable::find(const QString& normalizedPath) const
{
    if (m_facts.isEmpty())
        return nullptr;
    const auto it = m_facts.constFind(keyOf(normalizedPath));
    return it == m_facts.constEnd() ? nullptr : &it.value();
}

SimFileFacts FileFactsTable::take(const QString& normalizedPath)
{
    if (m_facts.isEmpty())
        return SimFileFacts();
    return m_facts.take(keyOf(normalizedPath));
}

void FileFactsTable::removeTree(const QString& normalizedPath)
{
    const QString key = keyOf(normalizedPath);
    const QString prefix = treePrefix(key);
    for (auto it = m_facts.begin(); it != m_facts.end();) {
        if (it.key() == key || it.key().startsWith(prefix))
            it = m_facts.erase(it);
        else
            ++it;
    }
}

void FileFactsTable::moveTree(const QString& from, const QString& to)
{
    const QString key = keyOf(from);
    const QString prefix = treePrefix(key);
    QVector<SimFileFacts> moved;
    for (auto it = m_facts.begin(); it != m_facts.end();) {
        if (it.key() == key || it.key().startsWith(prefix)) {
            SimFileFacts facts = it.value();
            facts.path = to + facts.path.mid(from.size());
            moved.append(facts);
            it = m_facts.erase(it);
        } else {
            ++it;
        }
    }
    for (const SimFileFacts& facts : moved)
        put(facts);
}

void FileFactsTable::put(const SimFileFacts& facts)
{
    if (facts.isEmpty())
        m_facts.remove(keyOf(facts.path));
    else
        m_facts.insert(keyOf(facts.path), facts);
}

} // namespace win::sim

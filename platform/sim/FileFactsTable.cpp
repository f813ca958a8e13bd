#include "platform/sim/FileFactsTable.h"

#include "platform/FileSystem.h"
#include "platform/sim/DriveMapper.h"
#include "platform/sim/JsonFields.h"

#include <QJsonArray>
#include <QStringBuilder>
#include <QVector>
#include <algorithm>

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

// The digits of text[from, from + count) as a number, -1 when one is not a digit.
int digitsAt(const QString& text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// QDateTime::fromString(text, Qt::ISODateWithMs), quicker for the forms
// machine.json holds ("2026-10-01T12:00:00", with ".123" and "Z" or not): a
// machine may list the times of many thousand files.
QDateTime isoDateTime(const QString& text)
{
    const int size = text.size();
    const bool utc = size > 0 && text.at(size - 1) == QLatin1Char('Z');
    const int body = utc ? size - 1 : size;
    if ((body == 19 || (body == 23 && text.at(19) == QLatin1Char('.'))) && text.at(4) == QLatin1Char('-')
        && text.at(7) == QLatin1Char('-') && text.at(10) == QLatin1Char('T') && text.at(13) == QLatin1Char(':')
        && text.at(16) == QLatin1Char(':')) {
        const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
        const QTime time(digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2),
                         body == 23 ? digitsAt(text, 20, 3) : 0);
        if (date.isValid() && time.isValid())
            return QDateTime(date, time, utc ? Qt::UTC : Qt::LocalTime);
    }
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

QString treePrefix(const QString& key)
{
    return key.endsWith('\\') ? key : key + '\\';
}

constexpr int RootLength = 3;   // "c:\\"

// The folder that holds a path ("c:\\" for an entry of the root and for the
// root itself), spelt as the path is; null for no path.
QStringRef folderOf(const QString& path)
{
    const int separator = path.lastIndexOf('\\');
    return separator < 0 ? QStringRef() : path.leftRef(qMax(separator, RootLength));
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
        facts->modified = isoDateTime(modified);
        if (!facts->modified.isValid())
            fields.fail(QStringLiteral("modified"), QStringLiteral("expected an ISO 8601 date and time"));
    }
}

// QDateTime::toString(Qt::ISODate or Qt::ISODateWithMs), quicker for UTC and
// local times of the years 1000 to 9999.
QString modifiedText(const QDateTime& modified)
{
    const QDate date = modified.date();
    const QTime time = modified.time();
    const Qt::TimeSpec timeSpec = modified.timeSpec();
    if ((timeSpec != Qt::UTC && timeSpec != Qt::LocalTime) || date.year() < 1000 || date.year() > 9999)
        return modified.toString(time.msec() == 0 ? Qt::ISODate : Qt::ISODateWithMs);
    QChar text[24];
    int length = 0;
    const auto put = [&text, &length](int value, int digits, char after) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[length + i] = QLatin1Char(char('0' + value % 10));
        length += digits;
        if (after)
            text[length++] = QLatin1Char(after);
    };
    put(date.year(), 4, '-');
    put(date.month(), 2, '-');
    put(date.day(), 2, 'T');
    put(time.hour(), 2, ':');
    put(time.minute(), 2, ':');
    put(time.second(), 2, 0);
    if (time.msec() != 0) {
        text[length++] = QLatin1Char('.');
        put(time.msec(), 3, 0);
    }
    if (timeSpec == Qt::UTC)
        text[length++] = QLatin1Char('Z');
    return QString(text, length);
}

QJsonArray attributeNames(quint32 attributes)
{
    QJsonArray names;
    for (const AttributeName& known : AttributeNames) {
        if (attributes & known.attribute)
            names.append(QLatin1String(known.name));
    }
    return names;
}

QJsonObject entryJson(const SimFileFacts& facts)
{
    QJsonObject entry;
    if (facts.attributes != 0)
        entry.insert(QStringLiteral("attributes"), attributeNames(facts.attributes));
    if (facts.locked)
        entry.insert(QStringLiteral("locked"), true);
    if (facts.hasSize)
        entry.insert(QStringLiteral("size"), qint64(facts.size));
    if (facts.modified.isValid())
        entry.insert(QStringLiteral("modified"), modifiedText(facts.modified));
    return entry;
}

// True when entryJson(facts) would write `entry` as it stands.
bool isWrittenAsLoaded(const QJsonObject& entry, const SimFileFacts& facts)
{
    if (facts.attributes != 0 && entry.value(QLatin1String("attributes")) != attributeNames(facts.attributes))
        return false;
    if (facts.modified.isValid() && entry.value(QLatin1String("modified")).toString() != modifiedText(facts.modified))
        return false;
    const int fields = int(facts.attributes != 0) + int(facts.locked) + int(facts.hasSize) + int(facts.modified.isValid());
    return entry.size() == fields;
}

} // namespace

bool FileFactsTable::load(const QJsonObject& section, QString* error)
{
    QHash<QString, SimFileFacts> loaded;
    loaded.reserve(section.size());
    bool writtenAsLoaded = true;
    for (auto it = section.begin(); it != section.end(); ++it) {
        const QString fieldPath = QLatin1String("files[\"") % it.key() % QLatin1String("\"]");
        SimFileFacts facts;
        if (DriveMapper::normalize(it.key(), &facts.path) != ErrorSuccess) {
            *error = fieldPath + QStringLiteral(": expected an absolute Windows path as the name");
            return false;
        }
        if (!it.value().isObject()) {
            *error = fieldPath + QStringLiteral(": expected an object");
            return false;
        }
        const QString key = keyOf(facts.path);
        const auto twin = loaded.constFind(key);
        if (twin != loaded.constEnd()) {
            // Windows names one file by both: only one set of facts could be kept.
            *error = fieldPath + QStringLiteral(": the same file as files[\"%1\"]").arg(twin->path);
            return false;
        }
        const QJsonObject entry = it.value().toObject();
        loadFacts(JsonFields(entry, fieldPath, error), &facts);
        if (!error->isEmpty())
            return false;
        writtenAsLoaded = writtenAsLoaded && facts.path == it.key() && isWrittenAsLoaded(entry, facts);
        loaded.insert(key, facts);
    }
    m_facts.clear();
    m_folders.clear();
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it)
        insert(it.key(), it.value());
    m_section = writtenAsLoaded ? section : QJsonObject();
    m_sectionCurrent = writtenAsLoaded;
    return true;
}

QJsonObject FileFactsTable::save() const
{
    if (m_sectionCurrent)
        return m_section;
    // QJsonObject keeps its keys sorted: inserted in that order, each entry
    // goes to the end instead of moving all that follow it.
    QVector<const SimFileFacts*> sorted;
    sorted.reserve(m_facts.size());
    for (const SimFileFacts& facts : m_facts)
        sorted.append(&facts);
    std::sort(sorted.begin(), sorted.end(),
              [](const SimFileFacts* a, const SimFileFacts* b) { return a->path < b->path; });
    QJsonObject section;
    for (const SimFileFacts* facts : qAsConst(sorted))
        section.insert(facts->path, entryJson(*facts));
    m_section = section;
    m_sectionCurrent = true;
    return section;
}

const SimFileFacts* FileFactsTable::find(const QString& normalizedPath) const
{
    if (m_facts.isEmpty() || !mayHoldFacts(normalizedPath))
        return nullptr;
    const auto it = m_facts.constFind(keyOf(normalizedPath));
    return it == m_facts.constEnd() ? nullptr : &it.value();
}

SimFileFacts FileFactsTable::take(const QString& normalizedPath)
{
    if (m_facts.isEmpty() || !mayHoldFacts(normalizedPath))
        return SimFileFacts();
    const auto it = m_facts.find(keyOf(normalizedPath));
    if (it == m_facts.end())
        return SimFileFacts();
    const SimFileFacts facts = it.value();
    erase(it);
    return facts;
}

void FileFactsTable::removeTree(const QString& normalizedPath)
{
    const QString key = keyOf(normalizedPath);
    const QString prefix = treePrefix(key);
    for (auto it = m_facts.begin(); it != m_facts.end();) {
        if (it.key() == key || it.key().startsWith(prefix))
            it = erase(it);
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
            it = erase(it);
        } else {
            ++it;
        }
    }
    for (const SimFileFacts& facts : moved)
        put(facts);
}

void FileFactsTable::put(const SimFileFacts& facts)
{
    const QString key = keyOf(facts.path);
    const auto it = m_facts.find(key);
    if (it != m_facts.end())
        erase(it);
    if (!facts.isEmpty())
        insert(key, facts);
}

void FileFactsTable::insert(const QString& key, const SimFileFacts& facts)
{
    m_facts.insert(key, facts);
    changed(key, 1);
}

QHash<QString, SimFileFacts>::iterator FileFactsTable::erase(QHash<QString, SimFileFacts>::iterator it)
{
    changed(it.key(), -1);
    return m_facts.erase(it);
}

void FileFactsTable::changed(const QString& key, int delta)
{
    ++m_changes;
    m_sectionCurrent = false;
    const QString folder = folderOf(key).toString();
    const int held = m_folders.value(folder) + delta;
    if (held > 0)
        m_folders.insert(folder, held);
    else
        m_folders.remove(folder);
}

bool FileFactsTable::mayHoldFacts(const QString& normalizedPath) const
{
    const QStringRef folder = folderOf(normalizedPath);
    if (folder.isNull())
        return false;
    if (m_askedAt != m_changes || folder != m_askedFolder) {
        m_askedFolder = folder.toString();
        m_askedHoldsFacts = m_folders.contains(keyOf(m_askedFolder));
        m_askedAt = m_changes;
    }
    return m_askedHoldsFacts;
}

} // namespace win::sim

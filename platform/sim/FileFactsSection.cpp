#include "platform/sim/FileFactsSection.h"

#include "platform/FileSystem.h"
#include "platform/sim/DriveMapper.h"
#include "platform/sim/FileFactsFolder.h"
#include "platform/sim/FileFactsTable.h"
#include "platform/sim/JsonFields.h"

#include <QJsonArray>
#include <QStringBuilder>
#include <QStringList>
#include <QVector>
#include <algorithm>
#include <cmath>

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

// Reads one entry through JsonFields, which names whatever is wrong in it.
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

// Reads an entry of the forms the program writes without JsonFields (a
// machine may hold a million); false for anything else, which loadFacts
// then reads or refuses.
bool readCommonFacts(const QJsonObject& entry, SimFileFacts* facts)
{
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        const QString& key = it.key();
        const QJsonValue value = it.value();
        if (key == QLatin1String("modified") && value.isString()) {
            facts->modified = isoDateTime(value.toString());
            if (!facts->modified.isValid())
                return false;
        } else if (key == QLatin1String("locked") && value.isBool()) {
            facts->locked = value.toBool();
        } else if (key == QLatin1String("size") && value.isDouble()) {
            const double size = value.toDouble();
            if (!(size >= 0 && size <= double(JsonFields::ExactLimit)) || size != std::floor(size))
                return false;
            facts->hasSize = true;
            facts->size = quint64(size);
        } else if (key == QLatin1String("attributes") && value.isArray()) {
            for (const QJsonValue name : value.toArray()) {
                const quint32 attribute = attributeOf(name.toString());
                if (attribute == 0)
                    return false;
                facts->attributes |= attribute;
            }
        } else {
            return false;
        }
    }
    return true;
}

// Whether a name from machine.json is the path DriveMapper::normalize makes
// of it: "X:\" and names joined by single backslashes, none of them "." or
// "..", none ending in a dot or a blank, no forward slash.
bool isNormalized(const QString& path)
{
    const int size = path.size();
    if (size < 3 || path.at(0) < QLatin1Char('A') || path.at(0) > QLatin1Char('Z') || path.at(1) != QLatin1Char(':')
        || path.at(2) != QLatin1Char('\\'))
        return false;
    if (size == 3)
        return true;
    int start = 3;
    for (int i = 3; i <= size; ++i) {
        const QChar c = i < size ? path.at(i) : QChar('\\');
        if (c == QLatin1Char('/') || c.unicode() < 0x20)
            return false;
        if (c != QLatin1Char('\\'))
            continue;
        if (i == start || path.at(i - 1) == QLatin1Char('.') || path.at(i - 1) == QLatin1Char(' ')
            || (i - start == 1 && path.at(start) == QLatin1Char('.')))
            return false;
        start = i + 1;
    }
    return true;
}

// ---- writing the section as QJsonDocument's indented form does ----

char hexDigit(uint value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

void appendEscaped(QByteArray& out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const ushort u = text[i].unicode();
        if (u >= 0x80) {
            const bool pair = QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            if (pair || !QChar::isSurrogate(u)) {
                out += QStringView(text.data() + i, pair ? 2 : 1).toUtf8();
                i += pair ? 1 : 0;
            } else {
                out += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4)
                    out += hexDigit((u >> shift) & 0xf);
            }
            continue;
        }
        switch (u) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += hexDigit(u >> 4);
                out += hexDigit(u & 0xf);
            } else {
                out += char(u);
            }
        }
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

// A whole number as QJsonDocument writes a double.
QByteArray numberText(quint64 value)
{
    return QByteArray::number(double(value), 'f', QLocale::FloatingPointShortest);
}

QJsonObject entryJson(const SimFileFacts& facts)
{
    QJsonObject entry;
    if (facts.attributes != 0) {
        QJsonArray names;
        for (const AttributeName& known : AttributeNames) {
            if (facts.attributes & known.attribute)
                names.append(QLatin1String(known.name));
        }
        entry.insert(QStringLiteral("attributes"), names);
    }
    if (facts.locked)
        entry.insert(QStringLiteral("locked"), true);
    if (facts.hasSize)
        entry.insert(QStringLiteral("size"), qint64(facts.size));
    if (facts.modified.isValid())
        entry.insert(QStringLiteral("modified"), modifiedText(facts.modified));
    return entry;
}

} // namespace

bool FileFactsSection::read(const QJsonObject& section, FileFactsTable* table, QString* error)
{
    FileFactsTable loaded;
    loaded.m_changes = table->m_changes + 1;
    for (auto it = section.begin(); it != section.end(); ++it) {
        const QString& name = it.key();
        QString path = name;
        if (!isNormalized(name) && DriveMapper::normalize(name, &path) != ErrorSuccess) {
            *error = QLatin1String("files[\"") % name % QLatin1String("\"]: expected an absolute Windows path as the name");
            return false;
        }
        const FileFactsFolder::Place at = FileFactsFolder::placeOf(path);
        if (const FileFact* twin = loaded.find(path)) {
            // Windows names one file by both: only one set of facts could be kept.
            const FileFactsFolder* folder = loaded.folderOf(at.folder);
            *error = QLatin1String("files[\"") % name % QLatin1String("\"]: the same file as files[\"")
                     % folder->pathOf(*twin) % QLatin1String("\"]");
            return false;
        }
        SimFileFacts facts;
        const QJsonObject entry = it.value().toObject();
        if (!it.value().isObject() || !readCommonFacts(entry, &facts)) {
            const QString fieldPath = QLatin1String("files[\"") % name % QLatin1String("\"]");
            if (!it.value().isObject()) {
                *error = fieldPath + QStringLiteral(": expected an object");
                return false;
            }
            facts = SimFileFacts();
            loadFacts(JsonFields(entry, fieldPath, error), &facts);
            if (!error->isEmpty())
                return false;
        }
        loaded.insert(at.folder, at.name, FileFact::from(facts));
    }
    *table = loaded;
    return true;
}

QJsonObject FileFactsSection::json(const FileFactsTable& table)
{
    QJsonObject section;
    for (const std::shared_ptr<FileFactsFolder>& folder : table.m_folders) {
        folder->forEachLive([&](const FileFact& fact) {
            const QString path = folder->pathOf(fact);
            section.insert(path, entryJson(fact.facts(path)));
        });
    }
    return section;
}

// Folder after folder in the order of their folded paths, each folder's
// facts in the order of their names.
QByteArray FileFactsSection::text(const FileFactsTable& table)
{
    QByteArray out;
    out.reserve(table.m_count * 120 + 16);
    out += "{\n";
    bool first = true;
    QVector<const FileFact*> inOrder;
    for (const std::shared_ptr<FileFactsFolder>& folder : table.m_folders) {
        inOrder.clear();
        folder->forEachLive([&inOrder](const FileFact& fact) { inOrder << &fact; });
        std::sort(inOrder.begin(), inOrder.end(), [&folder](const FileFact* a, const FileFact* b) {
            return folder->nameOf(*a) < folder->nameOf(*b);
        });
        const QByteArray folderText = [&folder] {
            QByteArray text;
            appendEscaped(text, folder->path);
            if (folder->path.size() > FileFactsFolder::RootLength)
                text += "\\\\";
            return text;
        }();
        for (const FileFact* fact : qAsConst(inOrder)) {
            out += first ? "        \"" : ",\n        \"";
            first = false;
            out += folderText;
            appendEscaped(out, folder->nameOf(*fact));
            out += "\": {";
            const char* separator = "\n            \"";
            if (fact->m_attributes != 0) {
                out += separator;
                out += "attributes\": [";
                const char* item = "\n                \"";
                for (const AttributeName& known : AttributeNames) {
                    if (fact->m_attributes & known.attribute) {
                        out += item;
                        out += known.name;
                        out += '"';
                        item = ",\n                \"";
                    }
                }
                out += "\n            ]";
                separator = ",\n            \"";
            }
            if (fact->locked()) {
                out += separator;
                out += "locked\": true";
                separator = ",\n            \"";
            }
            if (fact->hasModified()) {
                out += separator;
                out += "modified\": \"";
                out += modifiedText(fact->modified()).toLatin1();
                out += '"';
                separator = ",\n            \"";
            }
            if (fact->hasSize()) {
                out += separator;
                out += "size\": ";
                out += numberText(fact->m_size);
            }
            out += "\n        }";
        }
    }
    out += first ? "    }" : "\n    }";
    return out;
}

} // namespace win::sim

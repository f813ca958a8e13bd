#include "platform/sim/FileFactsTable.h"

#include "platform/CaseFold.h"
#include "platform/FileSystem.h"
#include "platform/sim/DriveMapper.h"
#include "platform/sim/JsonFields.h"

#include <QJsonArray>
#include <QStringBuilder>
#include <QStringList>
#include <QVector>
#include <algorithm>
#include <atomic>
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

constexpr int RootLength = 3;   // "C:\"

// Where a path stands: the folder that holds it, and its name there. An entry
// of a drive's root is in "C:\", and so is the root itself, named "".
struct Place
{
    QStringView folder;
    QStringView name;
};

Place placeOf(const QString& path)
{
    const int separator = path.lastIndexOf('\\');
    if (separator < 0)
        return {};
    const QStringView whole(path);
    if (path.size() <= RootLength)
        return {whole, QStringView(whole.data(), 0)};
    return {whole.left(qMax(separator, RootLength)), whole.mid(separator + 1)};
}

QString joined(QStringView folder, QStringView name)
{
    QString path;
    path.reserve(int(folder.size() + name.size()) + 1);
    path.append(folder.data(), int(folder.size()));
    if (!name.isEmpty() && folder.size() > RootLength)
        path.append(QLatin1Char('\\'));
    path.append(name.data(), int(name.size()));
    return path;
}

// The form in which machine.json compares folders.
QString folderKey(QStringView folder)
{
    return foldCase(folder.toString());
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

// ---- one fact ----

FileFact FileFact::from(const SimFileFacts& facts)
{
    FileFact fact;
    fact.m_attributes = quint8(facts.attributes);
    fact.m_flags = quint8((facts.locked ? Locked : 0) | (facts.hasSize ? HasSize : 0));
    fact.m_size = facts.size;
    if (facts.modified.isValid()) {
        switch (facts.modified.timeSpec()) {
        case Qt::UTC:
            fact.m_spec = Utc;
            fact.m_time = facts.modified.toMSecsSinceEpoch();
            break;
        case Qt::LocalTime:
            // Kept as the local date and time it names, not as a moment:
            // read back, it names the same date and time.
            fact.m_spec = Local;
            fact.m_time = QDateTime(facts.modified.date(), facts.modified.time(), Qt::UTC).toMSecsSinceEpoch();
            break;
        default:
            fact.m_spec = Offset;
            fact.m_time = facts.modified.toMSecsSinceEpoch();
            fact.m_offsetSeconds = facts.modified.offsetFromUtc();
            break;
        }
    }
    return fact;
}

QDateTime FileFact::modified() const
{
    switch (timeSpec()) {
    case Utc:
        return QDateTime::fromMSecsSinceEpoch(m_time, Qt::UTC);
    case Offset:
        return QDateTime::fromMSecsSinceEpoch(m_time, Qt::OffsetFromUTC, m_offsetSeconds);
    case Local: {
        const QDateTime wallClock = QDateTime::fromMSecsSinceEpoch(m_time, Qt::UTC);
        return QDateTime(wallClock.date(), wallClock.time(), Qt::LocalTime);
    }
    case NoTime:
        break;
    }
    return QDateTime();
}

qint64 FileFact::modifiedUtcMs() const
{
    return timeSpec() == Local ? modified().toMSecsSinceEpoch() : m_time;
}

SimFileFacts FileFact::facts(const QString& path) const
{
    SimFileFacts facts;
    facts.path = path;
    facts.attributes = m_attributes;
    facts.locked = locked();
    facts.hasSize = hasSize();
    facts.size = m_size;
    facts.modified = modified();
    return facts;
}

// ---- one folder ----

// The facts of the entries of one folder: their names one after another in
// one string, the facts in the order they came, and an open-addressed table
// of their folded names. A removed fact keeps its place until removed ones
// are as many as the others.
struct FileFactsTable::Folder
{
    static constexpr int SmallFolder = 128;

    QString path;            // as the first of its facts spelt it
    QString names;
    QVector<FileFact> facts;
    QVector<qint32> table;   // 0 free, -1 freed, else the index of a fact plus one
    int removed = 0;

    int live() const { return facts.size() - removed; }
    QStringView nameOf(const FileFact& fact) const { return QStringView(names).mid(fact.m_nameAt, fact.m_nameLength); }

    int indexOf(QStringView name, uint hash) const
    {
        if (table.isEmpty())
            return -1;
        const int mask = table.size() - 1;
        for (int at = int(hash) & mask;; at = (at + 1) & mask) {
            const qint32 slot = table.at(at);
            if (slot == 0)
                return -1;
            if (slot > 0) {
                const FileFact& fact = facts.at(slot - 1);
                if (fact.m_nameHash == hash && equalFolded(nameOf(fact), name))
                    return slot - 1;
            }
        }
    }

    void place(int index)
    {
        const int mask = table.size() - 1;
        int at = int(facts.at(index).m_nameHash) & mask;
        while (table.at(at) > 0)
            at = (at + 1) & mask;
        table[at] = index + 1;
    }

    void rehash(int capacity)
    {
        table.fill(0, capacity);
        for (int index = 0; index < facts.size(); ++index) {
            if (!(facts.at(index).m_flags & FileFact::Removed))
                place(index);
        }
    }

    // `name` is not among the facts yet.
    void add(QStringView name, uint hash, FileFact fact)
    {
        if (2 * (facts.size() + 1) > table.size()) {
            int capacity = 8;
            while (capacity < 2 * (live() + 1))
                capacity *= 2;
            if (removed > 0)
                compact(capacity);
            else
                table.fill(0, capacity);
            rehash(capacity);
        }
        fact.m_nameHash = hash;
        fact.m_nameAt = names.size();
        fact.m_nameLength = quint16(name.size());
        names.append(name.data(), int(name.size()));
        facts.append(fact);
        place(facts.size() - 1);
    }

    void removeAt(int index)
    {
        const int mask = table.size() - 1;
        for (int at = int(facts.at(index).m_nameHash) & mask;; at = (at + 1) & mask) {
            if (table.at(at) == index + 1) {
                table[at] = -1;
                break;
            }
        }
        facts[index].m_flags |= FileFact::Removed;
        ++removed;
        // A small folder keeps its gaps until it goes or grows: the folders
        // a cleanup empties are small, and go.
        if (2 * removed > facts.size() && facts.size() > SmallFolder) {
            compact(table.size());
            rehash(table.size());
        }
    }

    // Drops the removed facts and their names.
    void compact(int capacity)
    {
        QString keptNames;
        QVector<FileFact> kept;
        kept.reserve(live());
        for (const FileFact& fact : qAsConst(facts)) {
            if (fact.m_flags & FileFact::Removed)
                continue;
            FileFact moved = fact;
            moved.m_nameAt = keptNames.size();
            const QStringView name = nameOf(fact);
            keptNames.append(name.data(), int(name.size()));
            kept.append(moved);
        }
        names = keptNames;
        facts = kept;
        removed = 0;
        table.fill(0, capacity);
    }

    template <class Visit>
    void forEachLive(Visit visit) const
    {
        for (const FileFact& fact : facts) {
            if (!(fact.m_flags & FileFact::Removed))
                visit(fact);
        }
    }
};

// ---- the table ----

FileFactsTable::FileFactsTable() = default;
FileFactsTable::~FileFactsTable() = default;

// A copy shares the folders; either side copies a folder before it changes
// it, and neither side's last answer is trusted for changing a folder again.
FileFactsTable::FileFactsTable(const FileFactsTable& other)
    : m_folders(other.m_folders)
    , m_count(other.m_count)
    , m_changes(other.m_changes)
{
    ++other.m_folderChanges;
}

FileFactsTable& FileFactsTable::operator=(const FileFactsTable& other)
{
    if (this != &other) {
        m_folders = other.m_folders;
        m_count = other.m_count;
        m_changes = other.m_changes;
        ++m_folderChanges;
        ++other.m_folderChanges;
    }
    return *this;
}

void FileFactsTable::changed(bool foldersChanged)
{
    ++m_changes;
    if (foldersChanged)
        ++m_folderChanges;
}

const FileFactsTable::Folder* FileFactsTable::folderOf(QStringView folderPath) const
{
    if (m_askedAt != m_folderChanges || folderPath != QStringView(m_askedFolder)) {
        m_askedFolder = folderPath.toString();
        const auto it = m_folders.constFind(folderKey(folderPath));
        m_askedAnswer = it == m_folders.constEnd() ? nullptr : it->get();
        m_askedWritable = false;
        m_askedAt = m_folderChanges;
    }
    return m_askedAnswer;
}

FileFactsTable::Folder* FileFactsTable::writableFolder(QStringView folderPath, bool create)
{
    if (m_askedAt == m_folderChanges && m_askedWritable && folderPath == QStringView(m_askedFolder))
        return const_cast<Folder*>(m_askedAnswer);
    const QString key = folderKey(folderPath);
    auto it = m_folders.find(key);
    if (it == m_folders.end()) {
        if (!create)
            return nullptr;
        auto folder = std::make_shared<Folder>();
        folder->path = folderPath.toString();
        it = m_folders.insert(key, folder);
        ++m_folderChanges;
    } else if (it->use_count() > 1) {
        *it = std::make_shared<Folder>(**it);
        ++m_folderChanges;
    } else {
        // A copy that let the folder go (a save that wrote it, on its own
        // thread) was done reading it before.
        std::atomic_thread_fence(std::memory_order_acquire);
    }
    m_askedFolder = folderPath.toString();
    m_askedAnswer = it->get();
    m_askedWritable = true;
    m_askedAt = m_folderChanges;
    return it->get();
}

void FileFactsTable::dropIfEmpty(QStringView folderPath, Folder* folder)
{
    if (folder->live() > 0)
        return;
    m_folders.remove(folderKey(folderPath));
    ++m_folderChanges;
}

const FileFact* FileFactsTable::find(const QString& normalizedPath) const
{
    if (m_count == 0)
        return nullptr;
    const Place at = placeOf(normalizedPath);
    const Folder* folder = at.folder.isNull() ? nullptr : folderOf(at.folder);
    if (!folder)
        return nullptr;
    if (m_foundIn != folder || m_foundAt != m_changes || m_foundIndex < 0
        || folder->nameOf(folder->facts.at(m_foundIndex)) != at.name) {
        m_foundIn = folder;
        m_foundIndex = folder->indexOf(at.name, foldedHash(at.name));
        m_foundAt = m_changes;
    }
    return m_foundIndex < 0 ? nullptr : &folder->facts.at(m_foundIndex);
}

SimFileFacts FileFactsTable::facts(const QString& normalizedPath) const
{
    const FileFact* fact = find(normalizedPath);
    if (!fact)
        return SimFileFacts();
    const Place at = placeOf(normalizedPath);
    return fact->facts(joined(folderOf(at.folder)->path, folderOf(at.folder)->nameOf(*fact)));
}

void FileFactsTable::remove(const QString& normalizedPath)
{
    if (!find(normalizedPath))   // a question, cheaper than making the folder the table's own
        return;
    const int index = m_foundIndex;   // a copy of the folder keeps the order of its facts
    const Place at = placeOf(normalizedPath);
    Folder* folder = writableFolder(at.folder, false);
    folder->removeAt(index);
    --m_count;
    changed(false);
    dropIfEmpty(at.folder, folder);
}

void FileFactsTable::insert(QStringView folderPath, QStringView name, const FileFact& fact)
{
    Folder* folder = writableFolder(folderPath, true);
    const uint hash = foldedHash(name);
    const int index = folder->indexOf(name, hash);
    if (index >= 0) {
        folder->removeAt(index);
        --m_count;
    }
    folder->add(name, hash, fact);
    ++m_count;
    changed(false);
}

void FileFactsTable::put(const SimFileFacts& facts)
{
    const Place at = placeOf(facts.path);
    if (at.folder.isNull())
        return;
    if (facts.isEmpty()) {
        remove(facts.path);
        return;
    }
    insert(at.folder, at.name, FileFact::from(facts));
}

// Visits the folder and the name of every fact of a path and of everything
// below it: the path's own, in the folder that holds it, and those of the
// folders whose folded paths begin with the path's.
template <class Visit>
void FileFactsTable::forEachInTree(const QString& normalizedPath, Visit visit) const
{
    const QString key = folderKey(normalizedPath);
    const QString prefix = key.endsWith('\\') ? key : key + '\\';
    const auto own = m_folders.constFind(key);
    if (own != m_folders.constEnd() && key != prefix)
        visit(own.key(), **own);
    for (auto it = m_folders.lowerBound(prefix); it != m_folders.constEnd() && it.key().startsWith(prefix); ++it)
        visit(it.key(), **it);
}

void FileFactsTable::removeTree(const QString& normalizedPath)
{
    if (m_count == 0)
        return;
    if (normalizedPath.size() > RootLength)
        remove(normalizedPath);
    QStringList below;
    forEachInTree(normalizedPath, [&below](const QString& key, const Folder&) { below << key; });
    for (const QString& key : qAsConst(below)) {
        m_count -= m_folders.value(key)->live();
        m_folders.remove(key);
        changed(true);
    }
}

void FileFactsTable::moveTree(const QString& from, const QString& to)
{
    if (m_count == 0)
        return;
    QVector<SimFileFacts> moved;
    const SimFileFacts own = facts(from);
    if (!own.path.isEmpty())
        moved << own;
    forEachInTree(from, [&moved](const QString&, const Folder& folder) {
        folder.forEachLive([&](const FileFact& fact) { moved << fact.facts(joined(folder.path, folder.nameOf(fact))); });
    });
    removeTree(from);
    for (SimFileFacts& facts : moved) {
        facts.path = to + facts.path.mid(from.size());
        insert(placeOf(facts.path).folder, placeOf(facts.path).name, FileFact::from(facts));
    }
}

bool FileFactsTable::load(const QJsonObject& section, QString* error)
{
    FileFactsTable loaded;
    loaded.m_changes = m_changes + 1;
    for (auto it = section.begin(); it != section.end(); ++it) {
        const QString& name = it.key();
        QString path = name;
        if (!isNormalized(name) && DriveMapper::normalize(name, &path) != ErrorSuccess) {
            *error = QLatin1String("files[\"") % name % QLatin1String("\"]: expected an absolute Windows path as the name");
            return false;
        }
        const Place at = placeOf(path);
        if (const FileFact* twin = loaded.find(path)) {
            // Windows names one file by both: only one set of facts could be kept.
            const Folder* folder = loaded.folderOf(at.folder);
            *error = QLatin1String("files[\"") % name % QLatin1String("\"]: the same file as files[\"")
                     % joined(folder->path, folder->nameOf(*twin)) % QLatin1String("\"]");
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
    *this = loaded;
    return true;
}

QJsonObject FileFactsTable::section() const
{
    QJsonObject section;
    for (const std::shared_ptr<Folder>& folder : m_folders) {
        folder->forEachLive([&](const FileFact& fact) {
            const QString path = joined(folder->path, folder->nameOf(fact));
            section.insert(path, entryJson(fact.facts(path)));
        });
    }
    return section;
}

// Folder after folder in the order of their folded paths, each folder's
// facts in the order of their names.
QByteArray FileFactsTable::sectionText() const
{
    QByteArray out;
    out.reserve(m_count * 120 + 16);
    out += "{\n";
    bool first = true;
    QVector<const FileFact*> inOrder;
    for (const std::shared_ptr<Folder>& folder : m_folders) {
        inOrder.clear();
        folder->forEachLive([&inOrder](const FileFact& fact) { inOrder << &fact; });
        std::sort(inOrder.begin(), inOrder.end(), [&folder](const FileFact* a, const FileFact* b) {
            return folder->nameOf(*a) < folder->nameOf(*b);
        });
        const QByteArray folderText = [&folder] {
            QByteArray text;
            appendEscaped(text, folder->path);
            if (folder->path.size() > RootLength)
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

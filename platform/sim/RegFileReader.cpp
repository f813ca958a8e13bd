#include "platform/sim/RegFileReader.h"

#include "platform/sim/Utf8Codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace win::sim {

namespace {

const char UnicodeHeader[] = "Windows Registry Editor Version 5.00";
// Places in the table of names (see RegFileReader::m_names), a power of two.
constexpr size_t NameSlots = 4096;
const char LegacyHeader[] = "REGEDIT4";

// The value of each byte as a hex digit, -1 for every other byte.
constexpr std::array<signed char, 256> HexDigitValues = [] {
    std::array<signed char, 256> values{};
    for (int i = 0; i < 256; ++i)
        values[size_t(i)] = -1;
    for (int i = 0; i < 10; ++i)
        values[size_t('0' + i)] = char(i);
    for (int i = 0; i < 6; ++i)
        values[size_t('a' + i)] = values[size_t('A' + i)] = char(10 + i);
    return values;
}();

int hexDigit(char c)
{
    return HexDigitValues[static_cast<unsigned char>(c)];
}

// FNV-1a of the bytes.
size_t bytesHash(std::string_view bytes)
{
    quint32 hash = 2166136261u;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isSpace(char c)
{
    return isBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

const char* skipBlanks(const char* position, const char* end)
{
    while (position < end && isBlank(*position))
        ++position;
    return position;
}

bool startsWithNoCase(const char* begin, const char* end, const char* word)
{
    const size_t length = std::strlen(word);
    return size_t(end - begin) >= length && qstrnicmp(begin, word, uint(length)) == 0;
}

// 1 to 8 hex digits, nothing else.
bool parseHexNumber(const char* begin, const char* end, quint32* value)
{
    if (begin == end || end - begin > 8)
        return false;
    quint32 result = 0;
    for (const char* c = begin; c < end; ++c) {
        const int digit = hexDigit(*c);
        if (digit < 0)
            return false;
        result = result * 16 + quint32(digit);
    }
    *value = result;
    return true;
}

// REGEDIT4 files hold text data as single-byte text; the registry stores UTF-16LE.
QByteArray widened(const QByteArray& bytes)
{
    QByteArray wide(bytes.size() * 2, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        wide[2 * i] = bytes.at(i);
    return wide;
}

QString tooDeep(int depth)
{
    return QStringLiteral("the key is %1 levels deep; the registry nests keys at most %2 levels deep")
        .arg(depth).arg(RegistryTree::MaxDepth);
}

// The character at `position` for a message, whole even when it takes several bytes.
QString characterAt(const char* position, const char* end)
{
    int length = 1;
    while (position + length < end && (static_cast<unsigned char>(position[length]) & 0xC0) == 0x80)
        ++length;
    return QString::fromUtf8(position, length);
}

} // namespace

RegFileReader::Span RegFileReader::Span::trimmed() const
{
    Span result = *this;
    while (result.begin < result.end && isSpace(*result.begin))
        ++result.begin;
    while (result.end > result.begin && isSpace(result.end[-1]))
        --result.end;
    return result;
}

const char* RegFileReader::lastSeparator(Span path)
{
    for (const char* c = path.end; c > path.begin;) {
        if (*--c == '\\')
            return c;
    }
    return nullptr;
}

bool RegFileReader::Span::operator==(const char* text) const
{
    const size_t length = std::strlen(text);
    return size_t(size()) == length && std::memcmp(begin, text, length) == 0;
}

// The physical lines of a file, numbered from 1.
class RegFileReader::Lines
{
public:
    Lines(const char* begin, const char* end) : m_next(begin), m_end(end) {}

    bool next(Span* line)
    {
        if (m_next >= m_end)
            return false;
        const auto* newline = static_cast<const char*>(std::memchr(m_next, '\n', size_t(m_end - m_next)));
        const char* stop = newline ? newline : m_end;
        *line = Span{m_next, stop};
        if (line->endsWith('\r'))
            --line->end;
        m_next = newline ? newline + 1 : m_end;
        ++m_number;
        return true;
    }
    int number() const { return m_number; }

private:
    const char* m_next;
    const char* m_end;
    int m_number = 0;
};

RegFileReader::RegFileReader(RegistryTree& tree)
    : m_tree(tree)
{
    m_bytes.resize(4096);
    m_names.resize(NameSlots);
}

bool RegFileReader::apply(const QByteArray& content, const QString& fileName, QString* error)
{
    // A UTF-16 file is read as the same text in UTF-8, its lone surrogates kept.
    QByteArray converted;
    const char* begin = content.constData();
    const char* end = begin + content.size();
    m_fromUtf16 = content.startsWith("\xFF\xFE");
    if (m_fromUtf16) {
        if (content.size() % 2 != 0) {
            *error = QStringLiteral("%1:1: the file is neither UTF-8 nor UTF-16LE with a byte-order mark").arg(fileName);
            return false;
        }
        converted = Utf8Codec::fromUtf16(reinterpret_cast<const char16_t*>(begin + 2), (content.size() - 2) / 2);
        begin = converted.constData();
        end = begin + converted.size();
    } else if (content.startsWith("\xEF\xBB\xBF")) {
        begin += 3;
    }
    Lines lines(begin, end);
    Span header;
    lines.next(&header);
    header = header.trimmed();
    if (!(header == UnicodeHeader) && !(header == LegacyHeader)) {
        *error = QStringLiteral("%1:1: the file does not start with \"%2\"").arg(fileName, QLatin1String(UnicodeHeader));
        return false;
    }
    m_legacyText = header == LegacyHeader;
    // Both point into the text of the last file.
    for (KnownName& known : m_names)
        known = KnownName();
    m_lastSection = SectionMemory();
    m_key.reset();
    m_inDeletedKey = false;
    Span line;
    while (lines.next(&line)) {
        if (!applyLine(line.trimmed(), lines)) {
            *error = QStringLiteral("%1:%2: %3").arg(fileName).arg(lines.number()).arg(m_problem);
            return false;
        }
    }
    return true;
}

bool RegFileReader::fail(const QString& problem)
{
    m_problem = problem;
    return false;
}

bool RegFileReader::decodeText(const char* begin, const char* end, QString* out)
{
    if (!Utf8Codec::decode(begin, end - begin, m_fromUtf16, out))
        return fail(QStringLiteral("the text is not UTF-8"));
    return true;
}

bool RegFileReader::decodeName(const char* begin, const char* end, const QString** out)
{
    const std::string_view bytes(begin, size_t(end - begin));
    KnownName& known = m_names[bytesHash(bytes) & (NameSlots - 1)];
    if (!known.bytes.data() || known.bytes != bytes) {
        QString name;
        if (!decodeText(begin, end, &name))
            return false;
        known = KnownName{bytes, std::move(name)};
    }
    *out = &known.name;
    return true;
}

bool RegFileReader::applyLine(Span line, Lines& lines)
{
    if (line.isEmpty() || line.startsWith(';'))
        return true;
    if (line.startsWith('['))
        return applySection(line);
    return applyValue(line, lines);
}

bool RegFileReader::applySection(Span line)
{
    if (!line.endsWith(']'))
        return fail(QStringLiteral("a key line must end with ']'"));
    Span inner{line.begin + 1, line.end - 1};
    const bool remove = inner.startsWith('-');
    if (remove) {
        ++inner.begin;
    } else {
        bool applied = false;
        if (!applyNearbySection(inner, &applied))
            return false;
        if (applied)
            return true;
    }
    QString keyPath;
    if (!decodeText(inner.begin, inner.end, &keyPath))
        return false;
    Hive hive;
    QString subKey;
    if (!parseRegistryPath(keyPath, &hive, &subKey))
        return fail(QStringLiteral("unknown root key in \"%1\"").arg(keyPath));
    m_hivesNamed |= 1u << unsigned(hive);
    QStringList path = RegistryTree::splitPath(subKey);
    if (path.size() > RegistryTree::MaxDepth)
        return fail(tooDeep(path.size()));
    m_key.reset();
    m_inDeletedKey = remove;
    m_lastSection = SectionMemory();
    if (!remove) {
        if (path.isEmpty()) {
            m_key = m_tree.root(hive);
            if (!lastSeparator(inner))
                rememberSection(inner, nullptr, 0);
            return true;
        }
        const QString name = path.takeLast();
        std::shared_ptr<RegistryNode> parent = m_tree.ensure(hive, path);
        m_key = parent->ensureSubKey(name);
        if (!inner.endsWith('\\'))
            rememberSection(inner, std::move(parent), path.size() + 1);
        return true;
    }
    if (path.isEmpty())
        return fail(QStringLiteral("a root key cannot be deleted"));
    m_tree.remove(hive, path);
    return true;
}

bool RegFileReader::applyNearbySection(Span path, bool* applied)
{
    *applied = false;
    const SectionMemory& last = m_lastSection;
    if (!last.key)
        return true;
    const char* separator = lastSeparator(path);
    if (!separator || separator + 1 == path.end)
        return true;
    const Span parentPath{path.begin, separator};
    const auto sameBytes = [](Span a, Span b) {
        return a.size() == b.size() && std::memcmp(a.begin, b.begin, size_t(a.size())) == 0;
    };
    std::shared_ptr<RegistryNode> parent;
    int depth = 0;
    if (sameBytes(parentPath, last.path)) {
        parent = last.key;
        depth = last.depth + 1;
    } else if (last.parent && sameBytes(parentPath, last.parentPath)) {
        parent = last.parent;
        depth = last.depth;
    } else {
        return true;
    }
    QString name;
    if (!decodeText(separator + 1, path.end, &name))
        return false;
    if (depth > RegistryTree::MaxDepth)
        return fail(tooDeep(depth));
    m_inDeletedKey = false;
    m_key = parent->ensureSubKey(name);
    rememberSection(path, std::move(parent), depth);
    *applied = true;
    return true;
}

void RegFileReader::rememberSection(Span path, std::shared_ptr<RegistryNode> parent, int depth)
{
    Span parentPath{path.begin, path.begin};
    if (parent)
        parentPath.end = lastSeparator(path);
    m_lastSection = SectionMemory{path, parentPath, m_key, std::move(parent), depth};
}

bool RegFileReader::applyValue(Span line, Lines& lines)
{
    const QString defaultValueName;
    const QString* name = &defaultValueName;
    const char* position = line.begin;
    if (line.startsWith('@'))
        ++position;
    else if (!line.startsWith('"'))
        return fail(QStringLiteral("expected a key in brackets, a quoted value name or '@'"));
    else if (!parseName(line, &position, &name))
        return false;
    position = skipBlanks(position, line.end);
    if (position >= line.end || *position != '=')
        return fail(QStringLiteral("expected '=' after the value name"));
    const Span data = Span{position + 1, line.end}.trimmed();
    // Values below a [-key] line are read but not applied, as regedit does.
    if (!m_key && !m_inDeletedKey)
        return fail(QStringLiteral("a value before the first key"));

    if (data == "-") {
        if (m_key)
            m_key->removeValue(*name);
        return true;
    }
    quint32 type = RegNone;
    QByteArray bytes;
    if (startsWithNoCase(data.begin, data.end, "hex")) {
        if (!parseHexData(Span{data.begin + 3, data.end}, lines, &type, &bytes))
            return false;
    } else if (!parseData(data, &type, &bytes)) {
        return false;
    }
    if (m_key)
        m_key->setValue(*name, type, std::move(bytes));
    return true;
}

bool RegFileReader::unquote(Span text, const char** after, Span* content, bool* escaped)
{
    *escaped = false;
    const char* run = text.begin + 1;
    for (const char* c = run; c < text.end; ++c) {
        if (*c == '"') {
            *after = c + 1;
            if (!*escaped) {
                *content = Span{run, c};
                return true;
            }
            m_unescaped.append(run, int(c - run));
            *content = Span{m_unescaped.constBegin(), m_unescaped.constEnd()};
            return true;
        }
        if (*c != '\\' || c + 1 >= text.end)
            continue;
        char replacement = c[1];
        if (replacement == 'r')
            replacement = '\r';
        else if (replacement == 'n')
            replacement = '\n';
        else if (replacement != '\\' && replacement != '"')
            return fail(QStringLiteral("unknown escape \"\\%1\"").arg(characterAt(c + 1, text.end)));
        if (!*escaped)
            m_unescaped.resize(0);
        m_unescaped.append(run, int(c - run));
        m_unescaped.append(replacement);
        *escaped = true;
        ++c;
        run = c + 1;
    }
    return fail(QStringLiteral("missing closing quote"));
}

bool RegFileReader::parseName(Span text, const char** after, const QString** out)
{
    Span content;
    bool escaped = false;
    if (!unquote(text, after, &content, &escaped))
        return false;
    if (!escaped)
        return decodeName(content.begin, content.end, out);
    *out = &m_escapedName;
    return decodeText(content.begin, content.end, &m_escapedName);
}

bool RegFileReader::decodeTextData(Span text, QByteArray* data)
{
    // UTF-16LE with its terminator, decoded in place: never more units than bytes.
    data->resize(int(text.size() + 1) * 2);
    auto* units = reinterpret_cast<char16_t*>(data->data());
    char16_t* end = Utf8Codec::decodeUnits(text.begin, text.size(), m_fromUtf16, units);
    if (!end)
        return fail(QStringLiteral("the text is not UTF-8"));
    *end++ = 0;
    data->resize(int(end - units) * 2);
    return true;
}

bool RegFileReader::parseData(Span text, quint32* type, QByteArray* data)
{
    if (text.startsWith('"')) {
        const char* after = nullptr;
        Span content;
        bool escaped = false;
        if (!unquote(text, &after, &content, &escaped) || !decodeTextData(content, data))
            return false;
        if (after != text.end)
            return fail(QStringLiteral("unexpected text after the closing quote"));
        *type = RegSz;
        return true;
    }
    if (startsWithNoCase(text.begin, text.end, "dword:")) {
        quint32 value = 0;
        if (!parseHexNumber(text.begin + 6, text.end, &value))
            return fail(QStringLiteral("a dword needs 1 to 8 hex digits"));
        *type = RegDword;
        *data = registryDwordData(value);
        return true;
    }
    return fail(QStringLiteral("unknown value data \"%1\"").arg(QString::fromUtf8(text.begin, int(text.size())).left(24)));
}

bool RegFileReader::parseHexData(Span text, Lines& lines, quint32* type, QByteArray* data)
{
    quint32 valueType = RegBinary;
    if (text.startsWith('(')) {
        const auto* close = static_cast<const char*>(std::memchr(text.begin, ')', size_t(text.size())));
        if (!close || !parseHexNumber(text.begin + 1, close, &valueType))
            return fail(QStringLiteral("hex(...) needs a type of 1 to 8 hex digits"));
        text.begin = close + 1;
    }
    if (!text.startsWith(':'))
        return fail(QStringLiteral("expected ':' after the hex type"));
    ++text.begin;
    // Each physical line is read on its own, so an error names its own line.
    // The bytes gather in one buffer kept for the whole file.
    qsizetype count = 0;
    for (;;) {
        const bool continued = text.endsWith('\\');
        if (continued) {
            --text.end;
            text = text.trimmed();
            if (!text.isEmpty() && !text.endsWith(','))
                return fail(QStringLiteral("expected ',' before the line continuation"));
        }
        if (!parseBytes(text, &count))
            return false;
        Span next;
        if (!continued || !lines.next(&next))
            break;
        text = next.trimmed();
    }
    const bool text16 = valueType == RegSz || valueType == RegExpandSz || valueType == RegMultiSz;
    *type = valueType;
    if (m_legacyText && text16)
        *data = widened(QByteArray::fromRawData(m_bytes.data(), int(count)));
    else
        *data = QByteArray(m_bytes.data(), int(count));
    return true;
}

bool RegFileReader::parseBytes(Span text, qsizetype* count)
{
    // Written straight into the buffer: a byte takes at least one digit and
    // all but the last a comma, so half the text (rounded up) is enough.
    const size_t room = size_t(*count + text.size() / 2 + 1);
    if (m_bytes.size() < room)
        m_bytes.resize(std::max(room, 2 * m_bytes.size()));
    char* out = m_bytes.data() + *count;
    const char* c = skipBlanks(text.begin, text.end);
    bool ok = true;
    while (c < text.end) {
        // regedit's own form, two digits and a comma, in one step.
        if (text.end - c >= 3 && c[2] == ',') {
            const int high = hexDigit(c[0]);
            const int low = hexDigit(c[1]);
            if ((high | low) >= 0) {
                *out++ = char(high * 16 + low);
                c = skipBlanks(c + 3, text.end);
                continue;
            }
        }
        int value = hexDigit(*c);
        if (value < 0) {
            ok = fail(QStringLiteral("\"%1\" is not a hex byte").arg(characterAt(c, text.end)));
            break;
        }
        ++c;
        if (c < text.end && hexDigit(*c) >= 0)
            value = value * 16 + hexDigit(*c++);
        *out++ = char(value);
        c = skipBlanks(c, text.end);
        if (c >= text.end)
            break;
        if (*c != ',') {
            ok = fail(QStringLiteral("expected ',' between hex bytes"));
            break;
        }
        c = skipBlanks(c + 1, text.end);
    }
    *count = out - m_bytes.data();
    return ok;
}

} // namespace win::sim

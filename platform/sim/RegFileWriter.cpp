#include "platform/sim/RegFileWriter.h"

#include "platform/sim/Utf8Codec.h"

#include <QtEndian>
#include <array>
#include <climits>
#include <cstring>

namespace win::sim {

namespace {

// regedit starts a new line once a line of hex data reaches this many characters.
constexpr int HexLineLimit = 77;
const char Continuation[] = "\\\n  ";
constexpr int ContinuationColumn = 2;

// The two lower-case hex digits of every byte, its comma and one spare
// byte, so that each is copied as one four-byte word.
constexpr std::array<std::array<char, 4>, 256> HexTriples = [] {
    const char digits[] = "0123456789abcdef";
    std::array<std::array<char, 4>, 256> triples{};
    for (int i = 0; i < 256; ++i)
        triples[size_t(i)] = {digits[i >> 4], digits[i & 0xF], ',', '\0'};
    return triples;
}();

char16_t unitAt(const QByteArray& data, int index)
{
    return char16_t(quint8(data.at(2 * index)) | (quint8(data.at(2 * index + 1)) << 8));
}

// True when the data reads back from "..." to the very same bytes.
bool isPlainText(const QByteArray& data)
{
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    const int units = data.size() / 2;
    if (unitAt(data, units - 1) != 0)
        return false;
    for (int i = 0; i < units - 1; ++i) {
        const char16_t unit = unitAt(data, i);
        if (unit == 0 || unit == u'\r' || unit == u'\n')
            return false;
        if (QChar::isHighSurrogate(unit)) {
            if (i + 1 >= units - 1 || !QChar::isLowSurrogate(unitAt(data, i + 1)))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(unit)) {
            return false;
        }
    }
    return true;
}

const char* escapeOf(char16_t unit)
{
    switch (unit) {
    case u'\\':
        return "\\\\";
    case u'"':
        return "\\\"";
    case u'\r':
        return "\\r";
    case u'\n':
        return "\\n";
    default:
        return nullptr;
    }
}

// Writes "text" with regedit's escapes at `out`, which has room for three
// bytes a unit and the quotes; `columns` receives the characters it took.
char* putQuoted(char* out, const char16_t* units, qsizetype count, bool* loneSurrogate, int* columns)
{
    *out++ = '"';
    *columns = int(count) + 2;
    qsizetype run = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const char* escape = escapeOf(units[i]);
        if (!escape)
            continue;
        out = Utf8Codec::encode(units + run, i - run, out, loneSurrogate);
        *out++ = escape[0];
        *out++ = escape[1];
        ++*columns;
        run = i + 1;
    }
    out = Utf8Codec::encode(units + run, count - run, out, loneSurrogate);
    *out++ = '"';
    return out;
}

// "hex:" for binary data, "hex(<type in hex>):" for any other type.
char* putHexPrefix(char* out, quint32 type)
{
    if (type == RegBinary) {
        std::memcpy(out, "hex:", 4);
        return out + 4;
    }
    std::memcpy(out, "hex(", 4);
    out += 4;
    int digits = 1;
    while (digits < 8 && (type >> (4 * digits)) != 0)
        ++digits;
    for (int i = digits - 1; i >= 0; --i)
        *out++ = "0123456789abcdef"[(type >> (4 * i)) & 0xF];
    std::memcpy(out, "):", 2);
    return out + 2;
}

// Writes the bytes as regedit's hex list from `column` on, wrapped where
// regedit wraps it; needs room for three characters a byte, four more a line
// and one spare.
char* putHexBytes(char* out, const QByteArray& data, int column)
{
    const auto* bytes = reinterpret_cast<const quint8*>(data.constData());
    const int count = data.size();
    int i = 0;
    while (i < count) {
        // A line ends with the comma that reaches the limit.
        const int fit = column >= HexLineLimit ? 1 : (HexLineLimit - column + 2) / 3;
        for (const int end = qMin(count, i + fit); i < end; ++i) {
            std::memcpy(out, HexTriples[bytes[i]].data(), 4);
            out += 3;
        }
        if (i == count)
            return out - 1;   // no comma after the last byte
        std::memcpy(out, Continuation, sizeof(Continuation) - 1);
        out += sizeof(Continuation) - 1;
        column = ContinuationColumn;
    }
    return out;
}

} // namespace

QByteArray RegFileWriter::hiveText(Hive hive, const RegistryNode& root)
{
    RegFileWriter writer;
    // Reserved once: memory the text never reaches is never touched, and the
    // array never moves while it grows.
    const qint64 bound = textBound(root, registryHiveName(hive).size());
    if (bound < qint64(INT_MAX) / 2)
        writer.m_out.reserve(int(bound));
    writer.m_out += "Windows Registry Editor Version 5.00\n";
    writer.writeKey(registryHiveName(hive).toLatin1(), root);
    writer.m_out += '\n';
    return writer.m_loneSurrogate ? writer.utf16Text() : writer.m_out;
}

// Recursion is bounded by RegistryTree::MaxDepth.
void RegFileWriter::writeKey(const QByteArray& path, const RegistryNode& node)
{
    m_out += "\n[";
    m_out += path;
    m_out += "]\n";
    for (int i = 0; i < node.valueCount(); ++i)
        writeValue(node.valueAt(i));
    for (int i = 0; i < node.subKeyCount(); ++i) {
        const RegistryNode& child = *node.subKeyAt(i);
        QByteArray childPath = path;
        childPath += '\\';
        Utf8Codec::append(child.name(), &childPath, &m_loneSurrogate);
        writeKey(childPath, child);
    }
}

QByteArray RegFileWriter::utf16Text() const
{
    QString text;
    Utf8Codec::decode(m_out.constData(), m_out.size(), true, &text);
    QByteArray wide("\xFF\xFE", 2);
    wide.reserve(2 + text.size() * 2 + text.count(QLatin1Char('\n')) * 2);
    for (const QChar c : qAsConst(text)) {
        if (c == QLatin1Char('\n'))
            wide.append("\r\0", 2);
        wide.append(char(c.unicode() & 0xFF));
        wide.append(char(c.unicode() >> 8));
    }
    return wide;
}

int RegFileWriter::valueBound(const RegistryValue& value)
{
    const int dataBytes = value.data.size();
    return value.name.size() * 3 + dataBytes * 3 + (dataBytes / 25 + 2) * 4 + 40;
}

qint64 RegFileWriter::textBound(const RegistryNode& node, int pathUnits)
{
    qint64 bound = 64 + qint64(pathUnits) * 3;
    for (int i = 0; i < node.valueCount(); ++i)
        bound += valueBound(node.valueAt(i));
    for (int i = 0; i < node.subKeyCount(); ++i)
        bound += textBound(*node.subKeyAt(i), pathUnits + 1 + node.subKeyAt(i)->name().size());
    return bound;
}

void RegFileWriter::writeValue(const RegistryValue& value)
{
    // Written straight into the array, which first grows by as much as the
    // line could take.
    const int nameUnits = value.name.size();
    const int dataBytes = value.data.size();
    const int start = m_out.size();
    m_out.resize(start + valueBound(value));
    char* out = m_out.data() + start;
    int column = 1;
    if (value.name.isEmpty())
        *out++ = '@';
    else
        out = putQuoted(out, reinterpret_cast<const char16_t*>(value.name.utf16()), nameUnits, &m_loneSurrogate, &column);
    *out++ = '=';
    ++column;
    if (value.type == RegSz && isPlainText(value.data)) {
        int columns = 0;
        out = putQuoted(out, reinterpret_cast<const char16_t*>(value.data.constData()), dataBytes / 2 - 1,
                        &m_loneSurrogate, &columns);
    } else if (value.type == RegDword && dataBytes == 4) {
        std::memcpy(out, "dword:", 6);
        out += 6;
        for (int i = 3; i >= 0; --i) {
            std::memcpy(out, HexTriples[quint8(value.data.at(i))].data(), 2);
            out += 2;
        }
    } else {
        char* const prefix = out;
        out = putHexPrefix(out, value.type);
        out = putHexBytes(out, value.data, column + int(out - prefix));
    }
    *out++ = '\n';
    m_out.resize(int(out - m_out.constData()));
}

} // namespace win::sim

#include "platform/sim/RegFileWriter.h"

#include "platform/sim/Utf8Codec.h"

#include <QtEndian>
#include <array>
#include <cstring>

namespace win::sim {

namespace {

// regedit starts a new line once a line of hex data reaches this many characters.
constexpr int HexLineLimit = 77;
const char Continuation[] = "\\\n  ";
constexpr int ContinuationColumn = 2;

// The two lower-case hex digits of every byte.
constexpr std::array<std::array<char, 2>, 256> HexPairs = [] {
    const char digits[] = "0123456789abcdef";
    std::array<std::array<char, 2>, 256> pairs{};
    for (int i = 0; i < 256; ++i) {
        pairs[size_t(i)][0] = digits[i >> 4];
        pairs[size_t(i)][1] = digits[i & 0xF];
    }
    return pairs;
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

} // namespace

QByteArray RegFileWriter::hiveText(Hive hive, const RegistryNode& root)
{
    RegFileWriter writer;
    writer.m_out = "Windows Registry Editor Version 5.00\n";
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

void RegFileWriter::writeValue(const RegistryValue& value)
{
    int column = 1;
    if (value.name.isEmpty())
        m_out += '@';
    else
        column = writeQuoted(reinterpret_cast<const char16_t*>(value.name.utf16()), value.name.size());
    m_out += '=';
    ++column;
    if (value.type == RegSz && isPlainText(value.data)) {
        writeQuoted(reinterpret_cast<const char16_t*>(value.data.constData()), value.data.size() / 2 - 1);
    } else if (value.type == RegDword && value.data.size() == 4) {
        m_out += "dword:";
        for (int i = 3; i >= 0; --i)
            m_out.append(HexPairs[quint8(value.data.at(i))].data(), 2);
    } else {
        writeHex(value.type, value.data, column);
    }
    m_out += '\n';
}

int RegFileWriter::writeQuoted(const char16_t* units, qsizetype count)
{
    m_out += '"';
    int columns = int(count) + 2;
    qsizetype run = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const char* escape = escapeOf(units[i]);
        if (!escape)
            continue;
        Utf8Codec::appendUnits(units + run, i - run, &m_out, &m_loneSurrogate);
        m_out += escape;
        ++columns;
        run = i + 1;
    }
    Utf8Codec::appendUnits(units + run, count - run, &m_out, &m_loneSurrogate);
    m_out += '"';
    return columns;
}

void RegFileWriter::writeHex(quint32 type, const QByteArray& data, int column)
{
    const QByteArray prefix = type == RegBinary ? QByteArray("hex:") : "hex(" + QByteArray::number(type, 16) + "):";
    m_out += prefix;
    column += prefix.size();
    // Written straight into the array: three characters a byte, and a line
    // break at the latest after every 25 bytes (two more on the first line).
    const int count = data.size();
    const int start = m_out.size();
    m_out.resize(start + count * 3 + (count / 25 + 2) * int(sizeof(Continuation)));
    char* out = m_out.data() + start;
    for (int i = 0; i < count; ++i) {
        const auto& pair = HexPairs[quint8(data.at(i))];
        *out++ = pair[0];
        *out++ = pair[1];
        if (i == count - 1)
            break;
        *out++ = ',';
        column += 3;
        if (column >= HexLineLimit) {
            std::memcpy(out, Continuation, sizeof(Continuation) - 1);
            out += sizeof(Continuation) - 1;
            column = ContinuationColumn;
        }
    }
    m_out.resize(int(out - m_out.constData()));
}

} // namespace win::sim

#include "platform/sim/RegFileWriter.h"

#include <QtEndian>

namespace win::sim {

namespace {

// regedit starts a new line once a line of hex data reaches this many characters.
constexpr int HexLineLimit = 77;
const char HexDigits[] = "0123456789abcdef";

QString quoted(const QString& text)
{
    QString result;
    result.reserve(text.size() + 2);
    result += QLatin1Char('"');
    for (QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            result += QLatin1Char('\\');
        result += c;
    }
    result += QLatin1Char('"');
    return result;
}

// True when the data reads back from "..." to the very same bytes.
bool isPlainText(const QByteArray& data)
{
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    const int units = data.size() / 2;
    const auto unitAt = [&data](int i) {
        return char16_t(quint8(data.at(2 * i)) | (quint8(data.at(2 * i + 1)) << 8));
    };
    if (unitAt(units - 1) != 0)
        return false;
    for (int i = 0; i < units - 1; ++i) {
        const char16_t unit = unitAt(i);
        if (unit == 0 || unit == u'\r' || unit == u'\n')
            return false;
        if (QChar::isHighSurrogate(unit)) {
            if (i + 1 >= units - 1 || !QChar::isLowSurrogate(unitAt(i + 1)))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(unit)) {
            return false;
        }
    }
    return true;
}

} // namespace

QByteArray RegFileWriter::hiveText(Hive hive, const RegistryNode& root)
{
    RegFileWriter writer;
    writer.m_out = "Windows Registry Editor Version 5.00\n";
    writer.writeKey(registryHiveName(hive).toUtf8(), root);
    writer.m_out += '\n';
    return writer.m_out;
}

void RegFileWriter::writeKey(const QByteArray& path, const RegistryNode& node)
{
    m_out += "\n[";
    m_out += path;
    m_out += "]\n";
    for (int i = 0; i < node.valueCount(); ++i)
        writeValue(node.valueAt(i));
    for (int i = 0; i < node.subKeyCount(); ++i) {
        const RegistryNode& child = *node.subKeyAt(i);
        writeKey(path + '\\' + child.name().toUtf8(), child);
    }
}

void RegFileWriter::writeValue(const RegistryValue& value)
{
    const QString name = value.name.isEmpty() ? QStringLiteral("@") : quoted(value.name);
    m_out += name.toUtf8();
    m_out += '=';
    if (value.type == RegSz && isPlainText(value.data)) {
        m_out += quoted(registryText(value.data)).toUtf8();
    } else if (value.type == RegDword && value.data.size() == 4) {
        m_out += "dword:";
        m_out += QByteArray::number(qFromLittleEndian<quint32>(value.data.constData()), 16).rightJustified(8, '0');
    } else {
        writeHex(value.type, value.data, name.size() + 1);
    }
    m_out += '\n';
}

void RegFileWriter::writeHex(quint32 type, const QByteArray& data, int column)
{
    const QByteArray prefix = type == RegBinary ? QByteArray("hex:") : "hex(" + QByteArray::number(type, 16) + "):";
    m_out += prefix;
    column += prefix.size();
    for (int i = 0; i < data.size(); ++i) {
        const quint8 byte = quint8(data.at(i));
        m_out += HexDigits[byte >> 4];
        m_out += HexDigits[byte & 0xF];
        if (i == data.size() - 1)
            break;
        m_out += ',';
        column += 3;
        if (column >= HexLineLimit) {
            m_out += "\\\n  ";
            column = 2;
        }
    }
}

} // namespace win::sim

#include "platform/sim/RegFileReader.h"

#include <QTextCodec>

namespace win::sim {

namespace {

const QStringView UnicodeHeader(u"Windows Registry Editor Version 5.00");
const QStringView LegacyHeader(u"REGEDIT4");

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits, nothing else.
bool parseHexNumber(QStringView digits, quint32* value)
{
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    quint32 result = 0;
    for (QChar c : digits) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        result = result * 16 + quint32(digit);
    }
    *value = result;
    return true;
}

qsizetype skipBlanks(QStringView text, qsizetype position)
{
    while (position < text.size() && (text.at(position) == QLatin1Char(' ') || text.at(position) == QLatin1Char('\t')))
        ++position;
    return position;
}

// REGEDIT4 files hold text data as single-byte text; the registry stores UTF-16LE.
QByteArray widened(const QByteArray& bytes)
{
    QByteArray wide(bytes.size() * 2, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        wide[2 * i] = bytes.at(i);
    return wide;
}

} // namespace

// The physical lines of a decoded file, numbered from 1.
class RegFileReader::Lines
{
public:
    explicit Lines(const QString& text) : m_text(text) {}

    bool next(QStringView* line)
    {
        if (m_position >= m_text.size())
            return false;
        qsizetype end = m_text.indexOf(QLatin1Char('\n'), int(m_position));
        if (end < 0)
            end = m_text.size();
        QStringView found = QStringView(m_text).mid(m_position, end - m_position);
        if (found.endsWith(QLatin1Char('\r')))
            found.chop(1);
        *line = found;
        m_position = end + 1;
        ++m_number;
        return true;
    }
    int number() const { return m_number; }

private:
    const QString& m_text;
    qsizetype m_position = 0;
    int m_number = 0;
};

RegFileReader::RegFileReader(RegistryTree& tree)
    : m_tree(tree)
{
}

bool RegFileReader::decode(const QByteArray& content, QString* text)
{
    if (content.startsWith("\xFF\xFE")) {
        if (content.size() % 2 != 0)
            return false;
        *text = QString::fromUtf16(reinterpret_cast<const char16_t*>(content.constData() + 2), (content.size() - 2) / 2);
        return true;
    }
    const int skip = content.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QTextCodec::ConverterState state;
    *text = QTextCodec::codecForMib(106 /* UTF-8 */)->toUnicode(content.constData() + skip, content.size() - skip, &state);
    return state.invalidChars == 0;
}

bool RegFileReader::apply(const QByteArray& content, const QString& fileName, QString* error)
{
    QString text;
    if (!decode(content, &text)) {
        *error = QStringLiteral("%1:1: the file is neither UTF-8 nor UTF-16LE with a byte-order mark").arg(fileName);
        return false;
    }
    Lines lines(text);
    QStringView header;
    lines.next(&header);
    header = header.trimmed();
    if (header != UnicodeHeader && header != LegacyHeader) {
        *error = QStringLiteral("%1:1: the file does not start with \"%2\"").arg(fileName, UnicodeHeader);
        return false;
    }
    m_legacyText = header == LegacyHeader;
    m_key.reset();
    m_inDeletedKey = false;
    QStringView line;
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

bool RegFileReader::applyLine(QStringView line, Lines& lines)
{
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
        return true;
    if (line.startsWith(QLatin1Char('[')))
        return applySection(line);
    return applyValue(line, lines);
}

bool RegFileReader::applySection(QStringView line)
{
    if (!line.endsWith(QLatin1Char(']')))
        return fail(QStringLiteral("a key line must end with ']'"));
    QStringView inner = line.mid(1, line.size() - 2);
    const bool remove = inner.startsWith(QLatin1Char('-'));
    if (remove)
        inner = inner.mid(1);
    Hive hive;
    QString subKey;
    if (!parseRegistryPath(inner.toString(), &hive, &subKey))
        return fail(QStringLiteral("unknown root key in \"%1\"").arg(inner));
    const QStringList path = RegistryTree::splitPath(subKey);
    m_key.reset();
    m_inDeletedKey = remove;
    if (!remove) {
        m_key = m_tree.ensure(hive, path);
        return true;
    }
    if (path.isEmpty())
        return fail(QStringLiteral("a root key cannot be deleted"));
    m_tree.remove(hive, path);
    return true;
}

bool RegFileReader::applyValue(QStringView line, Lines& lines)
{
    QString name;
    qsizetype position = 0;
    if (line.startsWith(QLatin1Char('@')))
        position = 1;
    else if (!line.startsWith(QLatin1Char('"')))
        return fail(QStringLiteral("expected a key in brackets, a quoted value name or '@'"));
    else if (!parseQuoted(line, &position, &name))
        return false;
    position = skipBlanks(line, position);
    if (position >= line.size() || line.at(position) != QLatin1Char('='))
        return fail(QStringLiteral("expected '=' after the value name"));
    const QStringView data = line.mid(position + 1).trimmed();
    // Values below a [-key] line are read but not applied, as regedit does.
    if (!m_key && !m_inDeletedKey)
        return fail(QStringLiteral("a value before the first key"));

    quint32 type = RegNone;
    QByteArray bytes;
    if (data == QStringView(u"-")) {
        if (m_key)
            m_key->removeValue(name);
        return true;
    }
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
        if (!parseHexData(data.mid(3), lines, &type, &bytes))
            return false;
    } else if (!parseData(data, &type, &bytes)) {
        return false;
    }
    if (m_key)
        m_key->setValue(name, type, bytes);
    return true;
}

bool RegFileReader::parseQuoted(QStringView text, qsizetype* position, QString* out)
{
    QString result;
    result.reserve(int(text.size()));
    for (qsizetype i = *position + 1; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            *out = result;
            *position = i + 1;
            return true;
        }
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            c = text.at(++i);
            if (c != QLatin1Char('\\') && c != QLatin1Char('"'))
                return fail(QStringLiteral("unknown escape \"\\%1\"").arg(c));
        }
        result += c;
    }
    return fail(QStringLiteral("missing closing quote"));
}

bool RegFileReader::parseData(QStringView text, quint32* type, QByteArray* data)
{
    if (text.startsWith(QLatin1Char('"'))) {
        qsizetype position = 0;
        QString value;
        if (!parseQuoted(text, &position, &value))
            return false;
        if (position != text.size())
            return fail(QStringLiteral("unexpected text after the closing quote"));
        *type = RegSz;
        *data = registryTextData(value);
        return true;
    }
    if (text.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        quint32 value = 0;
        if (!parseHexNumber(text.mid(6), &value))
            return fail(QStringLiteral("a dword needs 1 to 8 hex digits"));
        *type = RegDword;
        *data = registryDwordData(value);
        return true;
    }
    return fail(QStringLiteral("unknown value data \"%1\"").arg(text.left(24)));
}

bool RegFileReader::parseHexData(QStringView text, Lines& lines, quint32* type, QByteArray* data)
{
    quint32 valueType = RegBinary;
    if (text.startsWith(QLatin1Char('('))) {
        const qsizetype close = text.indexOf(QLatin1Char(')'));
        if (close < 0 || !parseHexNumber(text.mid(1, close - 1), &valueType))
            return fail(QStringLiteral("hex(...) needs a type of 1 to 8 hex digits"));
        text = text.mid(close + 1);
    }
    if (!text.startsWith(QLatin1Char(':')))
        return fail(QStringLiteral("expected ':' after the hex type"));
    text = text.mid(1);
    // Each physical line is read on its own, so an error names its own line.
    QByteArray bytes;
    for (;;) {
        const bool continued = text.endsWith(QLatin1Char('\\'));
        if (continued) {
            text = text.chopped(1).trimmed();
            if (!text.isEmpty() && !text.endsWith(QLatin1Char(',')))
                return fail(QStringLiteral("expected ',' before the line continuation"));
        }
        if (!parseBytes(text, &bytes))
            return false;
        QStringView next;
        if (!continued || !lines.next(&next))
            break;
        text = next.trimmed();
    }
    const bool text16 = valueType == RegSz || valueType == RegExpandSz || valueType == RegMultiSz;
    *type = valueType;
    *data = m_legacyText && text16 ? widened(bytes) : bytes;
    return true;
}

bool RegFileReader::parseBytes(QStringView text, QByteArray* bytes)
{
    qsizetype i = skipBlanks(text, 0);
    while (i < text.size()) {
        int value = hexDigit(text.at(i));
        if (value < 0)
            return fail(QStringLiteral("\"%1\" is not a hex byte").arg(text.at(i)));
        ++i;
        if (i < text.size() && hexDigit(text.at(i)) >= 0)
            value = value * 16 + hexDigit(text.at(i++));
        bytes->append(char(value));
        i = skipBlanks(text, i);
        if (i >= text.size())
            break;
        if (text.at(i) != QLatin1Char(','))
            return fail(QStringLiteral("expected ',' between hex bytes"));
        i = skipBlanks(text, i + 1);
    }
    return true;
}

} // namespace win::sim

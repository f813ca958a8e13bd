#include "platform/sim/programs/WqlCondition.h"

#include "platform/sim/programs/WmiInstance.h"

#include <algorithm>

namespace win::sim {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == '_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == '_';
}

// Orders two values of one kind: negative, zero or positive.
template <typename T>
int order(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool holds(const QString& op, int ordering)
{
    if (op == QLatin1String("="))
        return ordering == 0;
    if (op == QLatin1String("<>"))
        return ordering != 0;
    if (op == QLatin1String("<"))
        return ordering < 0;
    if (op == QLatin1String(">"))
        return ordering > 0;
    if (op == QLatin1String("<="))
        return ordering <= 0;
    return ordering >= 0;   // ">="
}

QString textOf(const QVariant& value)
{
    if (value.type() == QVariant::Char)
        return QString(value.toChar());
    if (value.type() == QVariant::Bool)
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    return value.toString();
}

// Matches a '[...]' set at pattern[p]; answers the index after it, or -1
// when the set is not closed.
int matchSet(const QString& pattern, int p, QChar c, bool* matched)
{
    int i = p + 1;
    const bool negated = i < pattern.size() && pattern.at(i) == '^';
    if (negated)
        ++i;
    bool inSet = false;
    const QChar folded = c.toCaseFolded();
    for (; i < pattern.size() && pattern.at(i) != ']'; ++i) {
        if (i + 2 < pattern.size() && pattern.at(i + 1) == '-' && pattern.at(i + 2) != ']') {
            inSet = inSet || (folded >= pattern.at(i).toCaseFolded() && folded <= pattern.at(i + 2).toCaseFolded());
            i += 2;
        } else {
            inSet = inSet || folded == pattern.at(i).toCaseFolded();
        }
    }
    if (i >= pattern.size())
        return -1;
    *matched = inSet != negated;
    return i + 1;
}

bool likeFrom(const QString& text, int t, const QString& pattern, int p)
{
    while (p < pattern.size()) {
        const QChar pc = pattern.at(p);
        if (pc == '%') {
            while (p < pattern.size() && pattern.at(p) == '%')
                ++p;
            if (p == pattern.size())
                return true;
            for (int from = t; from <= text.size(); ++from) {
                if (likeFrom(text, from, pattern, p))
                    return true;
            }
            return false;
        }
        if (t >= text.size())
            return false;
        if (pc == '[') {
            bool matched = false;
            const int next = matchSet(pattern, p, text.at(t), &matched);
            if (next >= 0) {
                if (!matched)
                    return false;
                p = next;
                ++t;
                continue;
            }
        }
        if (pc != '_' && pc.toCaseFolded() != text.at(t).toCaseFolded())
            return false;
        ++p;
        ++t;
    }
    return t == text.size();
}

} // namespace

bool WqlCondition::like(const QString& text, const QString& pattern)
{
    return likeFrom(text, 0, pattern, 0);
}

bool WqlCondition::tokenize(const QString& text)
{
    m_tokens.clear();
    int i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (isWordStart(c)) {
            const int start = i;
            while (i < text.size() && isWordPart(text.at(i)))
                ++i;
            m_tokens.append({Token::Word, text.mid(start, i - start)});
        } else if (c.isDigit() || (c == '-' && i + 1 < text.size() && text.at(i + 1).isDigit())) {
            const int start = i++;
            while (i < text.size() && text.at(i).isDigit())
                ++i;
            m_tokens.append({Token::Number, text.mid(start, i - start)});
        } else if (c == '\'' || c == '"') {
            QString value;
            for (++i; i < text.size() && text.at(i) != c; ++i) {
                if (text.at(i) == '\\' && i + 1 < text.size())
                    ++i;
                value += text.at(i);
            }
            if (i >= text.size())
                return false;
            ++i;
            m_tokens.append({Token::String, value});
        } else {
            static const QStringList symbols = {QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("<="),
                                                QStringLiteral(">="), QStringLiteral("="), QStringLiteral("<"),
                                                QStringLiteral(">"), QStringLiteral("("), QStringLiteral(")")};
            auto symbol = std::find_if(symbols.begin(), symbols.end(), [&](const QString& s) {
                return text.midRef(i, s.size()) == s;
            });
            if (symbol == symbols.end())
                return false;
            m_tokens.append({Token::Symbol, *symbol == QLatin1String("!=") ? QStringLiteral("<>") : *symbol});
            i += symbol->size();
        }
    }
    m_tokens.append({Token::End, QString()});
    return true;
}

bool WqlCondition::parse(const QString& text)
{
    m_nodes.clear();
    m_pos = 0;
    m_root = -1;
    if (!tokenize(text))
        return false;
    m_root = parseOr();
    if (m_root < 0 || peek().type != Token::End) {
        m_root = -1;
        return false;
    }
    return true;
}

int WqlCondition::add(const Node& node)
{
    m_nodes.append(node);
    return m_nodes.size() - 1;
}

bool WqlCondition::acceptWord(const char* keyword)
{
    if (peek().type == Token::Word && peek().text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0) {
        ++m_pos;
        return true;
    }
    return false;
}

int WqlCondition::parseOr()
{
    int left = parseAnd();
    while (left >= 0 && acceptWord("OR")) {
        const int right = parseAnd();
        left = right < 0 ? -1 : add({Kind::Or, left, right, {}, {}, {}});
    }
    return left;
}

int WqlCondition::parseAnd()
{
    int left = parseNot();
    while (left >= 0 && acceptWord("AND")) {
        const int right = parseNot();
        left = right < 0 ? -1 : add({Kind::And, left, right, {}, {}, {}});
    }
    return left;
}

int WqlCondition::parseNot()
{
    if (acceptWord("NOT")) {
        const int operand = parseNot();
        return operand < 0 ? -1 : add({Kind::Not, operand, -1, {}, {}, {}});
    }
    if (peek().type == Token::Symbol && peek().text == QLatin1String("(")) {
        ++m_pos;
        const int inner = parseOr();
        if (inner < 0 || peek().text != QLatin1String(")") || peek().type != Token::Symbol)
            return -1;
        ++m_pos;
        return inner;
    }
    return parseComparison();
}

int WqlCondition::parseComparison()
{
    if (peek().type != Token::Word)
        return -1;
    Node node;
    node.property = m_tokens.at(m_pos++).text;
    if (acceptWord("IS")) {
        node.op = acceptWord("NOT") ? QStringLiteral("ISNOTNULL") : QStringLiteral("ISNULL");
        return acceptWord("NULL") ? add(node) : -1;
    }
    if (acceptWord("LIKE"))
        node.op = QStringLiteral("LIKE");
    else if (peek().type == Token::Symbol && peek().text != QLatin1String("(") && peek().text != QLatin1String(")"))
        node.op = m_tokens.at(m_pos++).text;
    else
        return -1;
    const Token literal = peek();
    if (literal.type == Token::String)
        node.literal = literal.text;
    else if (literal.type == Token::Number && node.op != QLatin1String("LIKE"))
        node.literal = literal.text.toLongLong();
    else if (literal.type == Token::Word && (literal.text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
                                             || literal.text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0))
        node.literal = literal.text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
    else
        return -1;
    ++m_pos;
    return add(node);
}

QStringList WqlCondition::properties() const
{
    QStringList names;
    for (const Node& node : m_nodes) {
        if (node.kind == Kind::Compare)
            names << node.property;
    }
    return names;
}

bool WqlCondition::matches(const WmiInstance& instance, bool* typeError) const
{
    *typeError = false;
    return m_root >= 0 && evaluate(m_root, instance, typeError);
}

bool WqlCondition::evaluate(int index, const WmiInstance& instance, bool* typeError) const
{
    const Node& node = m_nodes.at(index);
    switch (node.kind) {
    case Kind::And:
        return evaluate(node.left, instance, typeError) && evaluate(node.right, instance, typeError);
    case Kind::Or:
        return evaluate(node.left, instance, typeError) || evaluate(node.right, instance, typeError);
    case Kind::Not:
        return !evaluate(node.left, instance, typeError);
    case Kind::Compare:
        break;
    }
    return compare(node, instance.value(node.property), typeError);
}

bool WqlCondition::compare(const Node& node, const QVariant& value, bool* typeError) const
{
    if (node.op == QLatin1String("ISNULL"))
        return value.isNull();
    if (node.op == QLatin1String("ISNOTNULL"))
        return !value.isNull();
    if (value.isNull())
        return false;
    if (node.op == QLatin1String("LIKE"))
        return like(textOf(value), node.literal.toString());
    const bool literalIsText = node.literal.type() == QVariant::String;
    switch (int(value.type())) {
    case QVariant::String:
        return holds(node.op, textOf(value).compare(textOf(node.literal), Qt::CaseInsensitive));
    case QVariant::ULongLong: {
        bool isNumber = true;
        const qlonglong literal = literalIsText ? node.literal.toString().toLongLong(&isNumber) : node.literal.toLongLong();
        if (!isNumber || node.literal.type() == QVariant::Bool) {
            *typeError = true;
            return false;
        }
        return holds(node.op, order(value.toLongLong(), literal));
    }
    case QVariant::Char: {
        const QString literal = node.literal.toString();
        if (literalIsText && literal.size() != 1) {
            *typeError = true;
            return false;
        }
        const qlonglong code = literalIsText ? qlonglong(literal.at(0).unicode()) : node.literal.toLongLong();
        return holds(node.op, order(qlonglong(value.toChar().unicode()), code));
    }
    case QVariant::Bool:
        if (node.literal.type() != QVariant::Bool) {
            *typeError = true;
            return false;
        }
        return holds(node.op, order(value.toBool(), node.literal.toBool()));
    default:
        return false;
    }
}

} // namespace win::sim

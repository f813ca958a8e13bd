#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace win::sim {

class WmiInstance;

// The condition of a WQL WHERE clause: comparisons of a property with a
// literal (=, <>, !=, <, >, <=, >=, LIKE, IS [NOT] NULL) joined by AND, OR,
// NOT and parentheses. Strings compare case-insensitively; LIKE knows '%',
// '_' and '[...]' sets; a backslash escapes the next character of a string
// literal, as in WQL.
class WqlCondition
{
public:
    // False when the text is not a valid condition.
    bool parse(const QString& text);
    // The properties the condition names, as written.
    QStringList properties() const;
    // Whether the instance satisfies the condition; `typeError` is set when a
    // literal cannot be compared with its property's type (WMI answers such a
    // query as invalid).
    bool matches(const WmiInstance& instance, bool* typeError) const;

    static bool like(const QString& text, const QString& pattern);

private:
    enum class Kind { And, Or, Not, Compare };
    struct Node
    {
        Kind kind = Kind::Compare;
        int left = -1;
        int right = -1;
        QString property;
        QString op;        // "=", "<>", "<", ">", "<=", ">=", "LIKE", "ISNULL", "ISNOTNULL"
        QVariant literal;  // QString, qlonglong or bool
    };
    struct Token
    {
        enum Type { Word, String, Number, Symbol, End } type = End;
        QString text;
    };

    bool tokenize(const QString& text);
    int parseOr();
    int parseAnd();
    int parseNot();
    int parseComparison();
    int add(const Node& node);
    const Token& peek() const { return m_tokens.at(m_pos); }
    bool acceptWord(const char* keyword);
    bool evaluate(int node, const WmiInstance& instance, bool* typeError) const;
    bool compare(const Node& node, const QVariant& value, bool* typeError) const;

    QVector<Token> m_tokens;
    int m_pos = 0;
    QVector<Node> m_nodes;
    int m_root = -1;
};

} // namespace win::sim

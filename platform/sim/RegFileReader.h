#pragma once

#include "platform/sim/RegistryTree.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <string_view>
#include <vector>

namespace win::sim {

// Applies .reg files, in the text format regedit exports and imports, to a
// registry tree: "Windows Registry Editor Version 5.00" or "REGEDIT4",
// UTF-16LE with a byte-order mark or UTF-8 with or without one. Strings take
// regedit's escapes \\ and \" and also \r and \n, which other tools write.
class RegFileReader
{
public:
    explicit RegFileReader(RegistryTree& tree);

    // A malformed line stops the file with "<fileName>:<line>: <what>" (the
    // physical line, also inside continued hex data); the lines before it
    // have been applied.
    bool apply(const QByteArray& content, const QString& fileName, QString* error);
    // The hives the lines applied so far named, one bit for each (1 << hive).
    quint32 hivesNamed() const { return m_hivesNamed; }

private:
    // A stretch of the file's UTF-8 bytes.
    struct Span
    {
        const char* begin = nullptr;
        const char* end = nullptr;

        qsizetype size() const { return end - begin; }
        bool isEmpty() const { return begin == end; }
        bool startsWith(char c) const { return begin != end && *begin == c; }
        bool endsWith(char c) const { return begin != end && end[-1] == c; }
        Span trimmed() const;
        bool operator==(const char* text) const;
    };
    class Lines;

    bool applyLine(Span line, Lines& lines);
    bool applySection(Span line);
    // A key line whose parent is the key of the line before or that key's
    // parent, as in any file written key by key: the parent's node is reused.
    bool applyNearbySection(Span path, bool* applied);
    void rememberSection(Span path, std::shared_ptr<RegistryNode> parent, int depth);
    // The last backslash of a key path, null when it has none.
    static const char* lastSeparator(Span path);
    bool applyValue(Span line, Lines& lines);
    // The text between the quotes at the start of `text`, with its escapes
    // resolved (then it lies in m_unescaped); `*after` is the byte after the
    // closing quote.
    bool unquote(Span text, const char** after, Span* content, bool* escaped);
    // Value names recur, so a name shares the string of its earlier copies.
    // `*out` stays valid until the next name is read.
    bool parseName(Span text, const char** after, const QString** out);
    // The registry's form of the text: UTF-16LE and a terminator.
    bool decodeTextData(Span text, QByteArray* data);
    bool parseData(Span text, quint32* type, QByteArray* data);
    bool parseHexData(Span text, Lines& lines, quint32* type, QByteArray* data);
    // Appends the bytes to m_bytes, which holds `*count` of them.
    bool parseBytes(Span text, qsizetype* count);
    bool decodeText(const char* begin, const char* end, QString* out);
    // decodeText for a quoted text without escapes, shared with its earlier copies.
    bool decodeName(const char* begin, const char* end, const QString** out);
    bool fail(const QString& problem);

    RegistryTree& m_tree;
    quint32 m_hivesNamed = 0;
    std::shared_ptr<RegistryNode> m_key;  // null before the first key and in a [-key] section
    bool m_inDeletedKey = false;
    bool m_legacyText = false;       // REGEDIT4: hex text data is single-byte text
    bool m_fromUtf16 = false;        // lone surrogates of a UTF-16 file are allowed
    QString m_problem;
    std::vector<char> m_bytes;   // the data of the hex value being read, from the start
    QByteArray m_unescaped;   // the last quoted text that held escapes
    QString m_escapedName;    // the last value name that held escapes
    // The last key line's path and its parent's path (their bytes in the
    // file) with their nodes; forgotten whenever a key is deleted.
    struct SectionMemory
    {
        Span path;
        Span parentPath;   // empty for a hive root
        std::shared_ptr<RegistryNode> key;
        std::shared_ptr<RegistryNode> parent;
        int depth = 0;   // of the key, in levels below the hive root
    };
    SectionMemory m_lastSection;
    // Value names met in this file, by their bytes in it, in a table with
    // one place for each hash: most names recur in many keys, and each then
    // shares one string instead of a copy.
    struct KnownName
    {
        std::string_view bytes;
        QString name;
    };
    std::vector<KnownName> m_names;
};

} // namespace win::sim

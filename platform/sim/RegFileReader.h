#pragma once

#include "platform/sim/RegistryTree.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <string_view>
#include <unordered_map>

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
    bool applyValue(Span line, Lines& lines);
    // Value names recur, so a name shares the string of its earlier copies.
    enum class Sharing { Shared, Own };
    bool parseQuoted(Span text, const char** after, QString* out, Sharing sharing);
    bool parseData(Span text, quint32* type, QByteArray* data);
    bool parseHexData(Span text, Lines& lines, quint32* type, QByteArray* data);
    bool parseBytes(Span text, QByteArray* bytes);
    bool decodeText(const char* begin, const char* end, QString* out);
    // decodeText for a quoted text without escapes, shared with its earlier copies.
    bool decodeName(const char* begin, const char* end, QString* out);
    bool fail(const QString& problem);

    RegistryTree& m_tree;
    std::shared_ptr<RegistryNode> m_key;  // null before the first key and in a [-key] section
    bool m_inDeletedKey = false;
    bool m_legacyText = false;       // REGEDIT4: hex text data is single-byte text
    bool m_fromUtf16 = false;        // lone surrogates of a UTF-16 file are allowed
    QString m_problem;
    QByteArray m_bytes;   // the data of the hex value being read
    // Value names met in this file, by their bytes in it: most names recur
    // in many keys, and each then shares one string instead of a copy.
    std::unordered_map<std::string_view, QString> m_names;
};

} // namespace win::sim

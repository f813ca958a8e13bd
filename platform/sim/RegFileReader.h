#pragma once

#include "platform/sim/RegistryTree.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>

namespace win::sim {

// Applies .reg files, in the text format regedit exports and imports, to a
// registry tree: "Windows Registry Editor Version 5.00" or "REGEDIT4",
// UTF-16LE with a byte-order mark or UTF-8 with or without one.
class RegFileReader
{
public:
    explicit RegFileReader(RegistryTree& tree);

    // A malformed line stops the file with "<fileName>:<line>: <what>" (the
    // physical line, also inside continued hex data); the lines before it
    // have been applied.
    bool apply(const QByteArray& content, const QString& fileName, QString* error);

private:
    class Lines;

    static bool decode(const QByteArray& content, QString* text);
    bool applyLine(QStringView line, Lines& lines);
    bool applySection(QStringView line);
    bool applyValue(QStringView line, Lines& lines);
    bool parseData(QStringView text, quint32* type, QByteArray* data);
    bool parseHexData(QStringView text, Lines& lines, quint32* type, QByteArray* data);
    bool parseQuoted(QStringView text, qsizetype* position, QString* out);
    bool parseBytes(QStringView text, QByteArray* bytes);
    bool fail(const QString& problem);

    RegistryTree& m_tree;
    std::shared_ptr<RegistryNode> m_key;  // null before the first key and in a [-key] section
    bool m_inDeletedKey = false;
    bool m_legacyText = false;  // REGEDIT4: hex text data is single-byte text
    QString m_problem;
};

} // namespace win::sim

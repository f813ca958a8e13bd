#pragma once

#include "platform/RegistryKey.h"
#include "platform/sim/RegistryNode.h"

#include <QByteArray>

namespace win::sim {

// Writes a hive as regedit exports it ("Windows Registry Editor Version
// 5.00"): every key depth-first in enumeration order, values in their stored
// order. Data is written so that reading it back gives the same bytes: "text"
// only for a REG_SZ that is exactly one well-formed UTF-16 string with its
// terminator and no CR, LF or NUL inside, dword: only for a four-byte
// REG_DWORD, hex(N): for everything else, wrapped as regedit wraps it.
//
// The file is UTF-8 with LF line ends, so that machine folders diff well,
// unless a name holds a lone UTF-16 surrogate, which UTF-8 cannot carry: then
// the whole file is UTF-16LE with a byte-order mark and CR LF line ends, as
// regedit writes it.
class RegFileWriter
{
public:
    static QByteArray hiveText(Hive hive, const RegistryNode& root);

private:
    RegFileWriter() = default;
    void writeKey(const QByteArray& path, const RegistryNode& node);
    void writeValue(const RegistryValue& value);
    // The most bytes the text of a value, or of a key and all below it, takes.
    static int valueBound(const RegistryValue& value);
    static qint64 textBound(const RegistryNode& node, int pathUnits);
    QByteArray utf16Text() const;

    QByteArray m_out;   // UTF-8, a lone surrogate in its three-byte form
    bool m_loneSurrogate = false;
};

} // namespace win::sim

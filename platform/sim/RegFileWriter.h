#pragma once

#include "platform/RegistryKey.h"
#include "platform/sim/RegistryNode.h"

#include <QByteArray>

namespace win::sim {

// Writes a hive as regedit exports it ("Windows Registry Editor Version
// 5.00"), in UTF-8 with LF line ends so that machine folders diff well: every
// key depth-first in enumeration order, values in their stored order. Data is
// written so that reading it back gives the same bytes: "text" only for a
// REG_SZ that is exactly one well-formed UTF-16 string with its terminator and
// no CR, LF or NUL inside, dword: only for a four-byte REG_DWORD, hex(N):
// for everything else, wrapped as regedit wraps it.
class RegFileWriter
{
public:
    static QByteArray hiveText(Hive hive, const RegistryNode& root);

private:
    RegFileWriter() = default;
    void writeKey(const QByteArray& path, const RegistryNode& node);
    void writeValue(const RegistryValue& value);
    void writeHex(quint32 type, const QByteArray& data, int column);

    QByteArray m_out;
};

} // namespace win::sim

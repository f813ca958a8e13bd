#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace win::sim {

// UTF-8 for the .reg files, written and read without going through a whole
// QString of the file. Registry names are UTF-16 and may hold a lone
// surrogate, which UTF-8 cannot carry; inside the program such a unit is
// carried in its three-byte form (generalized UTF-8, as WTF-8 does), and a
// file that needs one is written as UTF-16 instead (see RegFileWriter).
namespace Utf8Codec {

// Appends `text` to `out`; a lone surrogate is appended in its three-byte
// form and sets `*loneSurrogate`.
void append(QStringView text, QByteArray* out, bool* loneSurrogate);
// Appends the UTF-16 units one by one, as append() does.
void appendUnits(const char16_t* units, qsizetype count, QByteArray* out, bool* loneSurrogate);
// Writes the units at `out`, which has room for three bytes a unit; answers
// the end of what it wrote.
char* encode(const char16_t* units, qsizetype count, char* out, bool* loneSurrogate);

// Decodes `size` bytes; false for bytes that are not UTF-8 (a surrogate's
// three-byte form is accepted only with `allowLoneSurrogates`).
bool decode(const char* data, qsizetype size, bool allowLoneSurrogates, QString* out);
// decode() into `out`, which has room for one unit a byte; answers the end
// of what it wrote, null for bytes that are not UTF-8.
char16_t* decodeUnits(const char* data, qsizetype size, bool allowLoneSurrogates, char16_t* out);

// UTF-16LE units to generalized UTF-8, for reading UTF-16 files as UTF-8 ones.
QByteArray fromUtf16(const char16_t* units, qsizetype count);

} // namespace Utf8Codec

} // namespace win::sim

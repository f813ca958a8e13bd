#include "platform/sim/Utf8Codec.h"

#include <QChar>

namespace win::sim::Utf8Codec {

namespace {

char* put(char* out, char32_t code, int length)
{
    static const unsigned char Lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = length - 1; i > 0; --i) {
        out[i] = char(0x80 | (code & 0x3F));
        code >>= 6;
    }
    out[0] = char(Lead[length] | code);
    return out + length;
}

} // namespace

char* encode(const char16_t* units, qsizetype count, char* out, bool* loneSurrogate)
{
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            *out++ = char(unit);
        } else if (unit < 0x800) {
            out = put(out, unit, 2);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < count && QChar::isLowSurrogate(units[i + 1])) {
            out = put(out, QChar::surrogateToUcs4(unit, units[i + 1]), 4);
            ++i;
        } else {
            if (QChar::isSurrogate(unit))
                *loneSurrogate = true;
            out = put(out, unit, 3);
        }
    }
    return out;
}

void appendUnits(const char16_t* units, qsizetype count, QByteArray* out, bool* loneSurrogate)
{
    const int start = out->size();
    out->resize(start + int(count * 3));   // no unit takes more than three bytes
    char* end = encode(units, count, out->data() + start, loneSurrogate);
    out->resize(int(end - out->constData()));
}

void append(QStringView text, QByteArray* out, bool* loneSurrogate)
{
    appendUnits(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), out, loneSurrogate);
}

char16_t* decodeUnits(const char* data, qsizetype size, bool allowLoneSurrogates, char16_t* next)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    for (qsizetype i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            *next++ = lead;
            ++i;
            continue;
        }
        // The lead byte gives the length, its payload bits and the smallest
        // code that needs that length (shorter forms are not UTF-8).
        static const struct { unsigned char mask, bits; int length; char32_t smallest; } Leads[] = {
            {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
        int length = 0;
        char32_t code = 0;
        char32_t smallest = 0;
        for (const auto& form : Leads) {
            if ((lead & form.mask) == form.bits) {
                length = form.length;
                code = lead & char32_t(~form.mask & 0xFF);
                smallest = form.smallest;
                break;
            }
        }
        if (length == 0)
            return nullptr;
        if (i + length > size)
            return nullptr;
        for (int k = 1; k < length; ++k) {
            const unsigned char follow = bytes[i + k];
            if ((follow & 0xC0) != 0x80)
                return nullptr;
            code = (code << 6) | (follow & 0x3F);
        }
        if (code < smallest || code > 0x10FFFF || (QChar::isSurrogate(code) && !allowLoneSurrogates))
            return nullptr;
        if (QChar::requiresSurrogates(code)) {
            *next++ = QChar::highSurrogate(code);
            *next++ = QChar::lowSurrogate(code);
        } else {
            *next++ = char16_t(code);
        }
        i += length;
    }
    return next;
}

bool decode(const char* data, qsizetype size, bool allowLoneSurrogates, QString* out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype ascii = 0;
    while (ascii < size && bytes[ascii] < 0x80)
        ++ascii;
    if (ascii == size) {
        *out = QString::fromLatin1(data, int(size));
        return true;
    }
    QString text(int(size), Qt::Uninitialized);   // never more units than bytes
    auto* units = reinterpret_cast<char16_t*>(text.data());
    const char16_t* end = decodeUnits(data, size, allowLoneSurrogates, units);
    if (!end)
        return false;
    text.truncate(int(end - units));
    *out = text;
    return true;
}

QByteArray fromUtf16(const char16_t* units, qsizetype count)
{
    QByteArray out;
    bool loneSurrogate = false;
    appendUnits(units, count, &out, &loneSurrogate);
    return out;
}

} // namespace win::sim::Utf8Codec

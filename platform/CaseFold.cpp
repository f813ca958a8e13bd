#include "platform/CaseFold.h"

namespace win {

namespace {

ushort foldedAscii(ushort c)
{
    return c >= 'A' && c <= 'Z' ? ushort(c + ('a' - 'A')) : c;
}

} // namespace

QString foldCase(const QString& text)
{
    QString folded = text;
    const int size = folded.size();
    QChar* unit = folded.data();
    for (int i = 0; i < size; ++i) {
        const ushort c = unit[i].unicode();
        if (c < 0x80) {
            unit[i] = QChar(foldedAscii(c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && unit[i + 1].isLowSurrogate()) {
            const uint codePoint = QChar::toCaseFolded(QChar::surrogateToUcs4(c, unit[i + 1].unicode()));
            unit[i] = QChar(QChar::highSurrogate(codePoint));
            unit[++i] = QChar(QChar::lowSurrogate(codePoint));
        } else {
            unit[i] = QChar(ushort(QChar::toCaseFolded(uint(c))));
        }
    }
    return folded;
}

// FNV-1a of the folded units; a text beyond ASCII is folded whole first.
uint foldedHash(QStringView text)
{
    uint hash = 2166136261u;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            hash = 2166136261u;
            for (const QChar folded : foldCase(text.toString()))
                hash = (hash ^ folded.unicode()) * 16777619u;
            return hash;
        }
        hash = (hash ^ foldedAscii(c.unicode())) * 16777619u;
    }
    return hash;
}

bool equalFolded(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const ushort x = a[i].unicode();
        const ushort y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80)
            return foldCase(a.toString()) == foldCase(b.toString());
        if (x != y && foldedAscii(x) != foldedAscii(y))
            return false;
    }
    return true;
}

} // namespace win

#include "platform/CaseFold.h"

namespace win {

QString foldCase(const QString& text)
{
    QString folded = text;
    const int size = folded.size();
    QChar* unit = folded.data();
    for (int i = 0; i < size; ++i) {
        const ushort c = unit[i].unicode();
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                unit[i] = QChar(ushort(c + ('a' - 'A')));
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

} // namespace win

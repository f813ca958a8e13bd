#pragma once

#include <QString>
#include <QStringView>

namespace win {

// `text` with every letter in the one case that names are compared in when
// letter case does not count (simple case folding, one code point for one,
// as QString's case-insensitive comparisons fold). Two texts are equal
// ignoring case exactly when their folded forms are equal, and one holds the
// other ignoring case exactly when the folded forms do; folding once lets a
// text be compared with many others at the cost of plain comparisons.
QString foldCase(const QString& text);

// The hash of foldCase(text) and whether two texts are equal ignoring case,
// without making folded copies: for comparing many names one at a time.
uint foldedHash(QStringView text);
bool equalFolded(QStringView a, QStringView b);

} // namespace win

#pragma once

#include <QString>

// Texts from the machine (entry names, commands, descriptions) shaped for a
// row of a list.

// The first `count` characters of `text`; a cut never leaves half of a
// character written as a surrogate pair, which would show as a replacement
// mark.
QString leftWhole(const QString& text, int count);

// `text` with its line breaks shown as blanks, so it takes one line of a row.
QString oneLine(QString text);

// `text` as one line of at most `count` characters: a longer one keeps its
// first characters and ends in "…", so a name of thousands of characters
// leaves a box its size.
QString shortLine(const QString& text, int count);

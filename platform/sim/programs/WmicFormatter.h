#pragma once

#include "platform/sim/programs/WmiInstance.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace win::sim {

// The two output formats of wmic's GET verb as they reach a pipe: every line
// ends in "\r\r\n" (wmic writes "\r\n" through a text-mode stream).
class WmicFormatter
{
public:
    static const QString LineEnd;

    // The default table: a header of the property names, one row per
    // instance, every column as wide as its widest entry plus two blanks,
    // and a blank line after the last row.
    static QString table(const QStringList& properties, const QVector<WmiInstance>& instances);
    // /value (LIST format): two blank lines before each instance, one
    // "Name=Value" line per property, three blank lines at the end.
    static QString list(const QStringList& properties, const QVector<WmiInstance>& instances);
    // A value as wmic prints it: char16 as its number, booleans TRUE/FALSE.
    static QString text(const QVariant& value);
};

} // namespace win::sim

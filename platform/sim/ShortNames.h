#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace win::sim {

// The short (8.3) names NTFS gives the entries of a folder on a volume that
// keeps them (Windows keeps them on its system volume): a name that is a
// valid 8.3 name already has none; any other gets the first six letters of
// its name, stripped of blanks, dots but the last and characters 8.3 names
// cannot hold, a "~" and a number, and the first three letters of its
// extension ("Program Files" is PROGRA~1, "ProgramData" PROGRA~3 beside it).
// NTFS numbers names in the order they were created; a machine folder keeps
// no such order, so the names are numbered in their sorted order, which is
// how a fresh Windows has them. From the fifth name of one stem on, NTFS
// uses the first two letters, four hexadecimal digits of a checksum of the
// name and "~1".
class ShortNames
{
public:
    // Every alias of the folder's `names`, upper case, to its long name.
    static QHash<QString, QString> aliasesOf(QStringList names);
    // A name that is a valid 8.3 name and needs no alias.
    static bool isShortName(const QString& name);

private:
    static QString aliasOf(const QString& name, const QHash<QString, QString>& taken);
};

} // namespace win::sim

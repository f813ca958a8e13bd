#pragma once

#include "platform/RegistryKey.h"

#include <QString>
#include <QVector>
#include <functional>

// One of the three places where Windows lists the installed programs, one
// subkey per program: the machine's native view, its 32-bit view and the
// current user's. Every part of the program that looks at installed programs
// reads them from this one table.
struct UninstallRoot
{
    win::Hive hive;
    const char* path;
    // The 32-bit view's entries were written by 32-bit installers, whose
    // %ProgramFiles% is the x86 folder; the others mean the 64-bit folders.
    bool thirtyTwoBit;

    QString keyPath() const { return QString::fromLatin1(path); }
    // A path of one of its entries with its variables expanded as the
    // installer that wrote it meant them.
    QString expand(const QString& text) const;
};

// In the order they are read: native, 32-bit, the user's.
const QVector<UninstallRoot>& uninstallRoots();

// Opens every entry of every root for reading (64-bit view, names of up to
// 1024 characters) and hands it to `visit` with its subkey's name; a root or
// entry that cannot be opened is passed over.
void forEachUninstallEntry(
    const std::function<void(const UninstallRoot& root, const QString& name, const win::RegistryKey& entry)>& visit);

// A text value of an entry (up to 8192 bytes); missing or of another type, it
// reads as empty.
QString uninstallEntryText(const win::RegistryKey& entry, const QString& name);

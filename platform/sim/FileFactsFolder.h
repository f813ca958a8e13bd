#pragma once

#include "platform/sim/FileFact.h"

#include <QString>
#include <QStringView>
#include <QVector>

namespace win::sim {

// The facts of the entries of one folder: their names one after another in
// one string, the facts in the order they came, and an open-addressed table
// of their folded names. A removed fact keeps its place until removed ones
// are as many as the others.
struct FileFactsFolder
{
    static constexpr int SmallFolder = 128;
    static constexpr int RootLength = 3;   // "C:\"

    // Where a path stands: the folder that holds it, and its name there. An entry
    // of a drive's root is in "C:\", and so is the root itself, named "".
    struct Place
    {
        QStringView folder;
        QStringView name;
    };
    static Place placeOf(const QString& path);
    static QString joined(QStringView folder, QStringView name);

    QString path;            // as the first of its facts spelt it
    QString names;
    QVector<FileFact> facts;
    QVector<qint32> table;   // 0 free, -1 freed, else the index of a fact plus one
    int removed = 0;

    int live() const { return facts.size() - removed; }
    QStringView nameOf(const FileFact& fact) const { return QStringView(names).mid(fact.m_nameAt, fact.m_nameLength); }
    QString pathOf(const FileFact& fact) const { return joined(path, nameOf(fact)); }

    int indexOf(QStringView name, uint hash) const;
    // `name` is not among the facts yet.
    void add(QStringView name, uint hash, FileFact fact);
    void removeAt(int index);

    template <class Visit>
    void forEachLive(Visit visit) const
    {
        for (const FileFact& fact : facts) {
            if (!(fact.m_flags & FileFact::Removed))
                visit(fact);
        }
    }

private:
    void place(int index);
    void rehash(int capacity);
    // Drops the removed facts and their names.
    void compact(int capacity);
};

} // namespace win::sim

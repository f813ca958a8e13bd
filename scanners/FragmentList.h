#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <bitset>

// A list of fragments made ready for the matching rule of the signature
// lists, the whitelists and the program families: a text matches when it
// holds one of the fragments, ignoring case, and a blank fragment matches
// nothing. The fragments are folded once (win::foldCase) and filed by their
// first two characters, so a text folded once is held against the whole
// list in one pass over its characters, however long the list.
class FragmentList
{
public:
    FragmentList() = default;
    explicit FragmentList(const QStringList& fragments);

    // `foldedText` folded by win::foldCase.
    bool foundIn(const QString& foldedText) const;

private:
    static quint32 pairOf(QChar first, QChar second) { return (quint32(first.unicode()) << 16) | second.unicode(); }
    static size_t filterBit(quint32 pair) { return (pair * 2654435761u) >> 20; }

    QString m_singles;                        // fragments of one character
    QHash<quint32, QStringList> m_byPair;     // longer fragments by their first two characters
    std::bitset<4096> m_pairFilter;           // the pairs of m_byPair, hashed: most pairs of a text are ruled out here
};

#include "scanners/FragmentList.h"

#include "platform/CaseFold.h"

#include <cstring>

FragmentList::FragmentList(const QStringList& fragments)
{
    for (const QString& fragment : fragments) {
        if (fragment.trimmed().isEmpty())
            continue;
        const QString folded = win::foldCase(fragment);
        if (folded.size() == 1) {
            m_singles.append(folded);
            continue;
        }
        const quint32 pair = pairOf(folded.at(0), folded.at(1));
        m_byPair[pair].append(folded);
        m_pairFilter.set(filterBit(pair));
    }
}

bool FragmentList::foundIn(const QString& foldedText) const
{
    const QChar* text = foldedText.constData();
    const int size = foldedText.size();
    for (const QChar single : m_singles) {
        if (foldedText.contains(single))
            return true;
    }
    for (int i = 0; i + 1 < size; ++i) {
        const quint32 pair = pairOf(text[i], text[i + 1]);
        if (!m_pairFilter.test(filterBit(pair)))
            continue;
        const auto candidates = m_byPair.constFind(pair);
        if (candidates == m_byPair.constEnd())
            continue;
        for (const QString& fragment : *candidates) {
            if (fragment.size() <= size - i
                && std::memcmp(text + i, fragment.constData(), size_t(fragment.size()) * sizeof(QChar)) == 0)
                return true;
        }
    }
    return false;
}

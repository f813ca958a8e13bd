#pragma once

#include "platform/RegistryKey.h"
#include "platform/sim/RegistryNode.h"

#include <QStringList>
#include <QVector>
#include <array>
#include <memory>

namespace win::sim {

// The hives of a simulated registry, addressed by storage paths: lists of
// key names below a hive root, with no view redirection applied.
class RegistryTree
{
public:
    // Windows keeps keys at most 512 levels below a hive's root; nothing in
    // the simulation nests deeper, so nothing that walks the tree recurses
    // further than this.
    static constexpr int MaxDepth = 512;

    RegistryTree();

    // The hives in the order their files are written.
    static const QVector<Hive>& hives();
    // "A\B\" -> {"A", "B"}: empty components (a leading, trailing or doubled
    // backslash) are dropped, as the registry's path parser does.
    static QStringList splitPath(const QString& path);

    const std::shared_ptr<RegistryNode>& root(Hive hive) const;
    std::shared_ptr<RegistryNode> find(Hive hive, const QStringList& path) const;
    // Creates the missing keys of the path; `created` tells whether any was
    // missing. Null for a path deeper than MaxDepth.
    std::shared_ptr<RegistryNode> ensure(Hive hive, const QStringList& path, bool* created = nullptr);
    // Removes the key and everything below it; a hive root is never removed.
    bool remove(Hive hive, const QStringList& path);

private:
    std::array<std::shared_ptr<RegistryNode>, 5> m_roots;
};

} // namespace win::sim

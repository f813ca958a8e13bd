#include "platform/sim/RegistryTree.h"

namespace win::sim {

RegistryTree::RegistryTree()
{
    for (Hive hive : hives())
        m_roots[size_t(hive)] = std::make_shared<RegistryNode>(registryHiveName(hive));
}

const QVector<Hive>& RegistryTree::hives()
{
    static const QVector<Hive> order{Hive::LocalMachine, Hive::CurrentUser, Hive::Users, Hive::ClassesRoot,
                                     Hive::CurrentConfig};
    return order;
}

QStringList RegistryTree::splitPath(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

const std::shared_ptr<RegistryNode>& RegistryTree::root(Hive hive) const
{
    return m_roots[size_t(hive)];
}

std::shared_ptr<RegistryNode> RegistryTree::find(Hive hive, const QStringList& path) const
{
    std::shared_ptr<RegistryNode> node = root(hive);
    for (const QString& name : path) {
        node = node->findSubKey(name);
        if (!node)
            return nullptr;
    }
    return node;
}

std::shared_ptr<RegistryNode> RegistryTree::ensure(Hive hive, const QStringList& path, bool* created)
{
    if (created)
        *created = false;
    if (path.size() > MaxDepth)
        return nullptr;
    std::shared_ptr<RegistryNode> node = root(hive);
    bool missing = false;
    for (const QString& name : path) {
        const int before = node->subKeyCount();
        std::shared_ptr<RegistryNode> next = node->ensureSubKey(name);
        missing = missing || node->subKeyCount() != before;
        node = std::move(next);
    }
    if (created)
        *created = missing;
    return node;
}

bool RegistryTree::remove(Hive hive, const QStringList& path)
{
    if (path.isEmpty())
        return false;
    const std::shared_ptr<RegistryNode> parent = find(hive, path.mid(0, path.size() - 1));
    return parent && parent->removeSubKey(path.last());
}

} // namespace win::sim

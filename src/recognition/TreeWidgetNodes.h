#pragma once

#include "recognition/ResultTree.h"

#include <QHash>

class QTreeWidget;
class QTreeWidgetItem;

namespace kestrel {

/// The result tree's QTreeWidget as a KeyedTree. Each item carries its key in
/// column 0's KeyRole so the tree can be read back by key.
class TreeWidgetNodes : public KeyedTree
{
public:
    static constexpr int KeyRole = 0x0100; // Qt::UserRole

    explicit TreeWidgetNodes(QTreeWidget &tree) : m_tree(tree) {}

    int nodeCount() const override { return static_cast<int>(m_items.size()); }
    bool containsKey(const QString &key) const override { return m_items.contains(key); }
    void addNode(const QString &parentKey, const QString &key, const QString &text) override;
    void setNodeText(const QString &key, const QString &text) override;
    void clear() override;

    /// Drops the oldest roots with everything under them until at most `roots`
    /// are left; their keys become free again.
    void keepNewestRoots(int roots);

private:
    void forgetKeys(QTreeWidgetItem *item);

    QTreeWidget &m_tree;
    QHash<QString, QTreeWidgetItem *> m_items;
};

} // namespace kestrel

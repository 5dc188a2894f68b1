#include "recognition/TreeWidgetNodes.h"

#include <QTreeWidget>

#include <algorithm>

namespace kestrel {

void TreeWidgetNodes::addNode(const QString &parentKey, const QString &key, const QString &text)
{
    auto *item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, KeyRole, key);
    QTreeWidgetItem *parent = parentKey.isEmpty() ? nullptr : m_items.value(parentKey);
    if (parent)
        parent->addChild(item);
    else
        m_tree.addTopLevelItem(item);
    m_items.insert(key, item);
}

void TreeWidgetNodes::setNodeText(const QString &key, const QString &text)
{
    if (QTreeWidgetItem *item = m_items.value(key))
        item->setText(0, text);
}

void TreeWidgetNodes::clear()
{
    m_items.clear();
    m_tree.clear();
}

void TreeWidgetNodes::keepNewestRoots(int roots)
{
    while (m_tree.topLevelItemCount() > std::max(roots, 0)) {
        QTreeWidgetItem *oldest = m_tree.takeTopLevelItem(0);
        forgetKeys(oldest);
        delete oldest;
    }
}

void TreeWidgetNodes::forgetKeys(QTreeWidgetItem *item)
{
    m_items.remove(item->data(0, KeyRole).toString());
    for (int i = 0; i < item->childCount(); ++i)
        forgetKeys(item->child(i));
}

} // namespace kestrel

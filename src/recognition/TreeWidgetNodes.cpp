#include "recognition/TreeWidgetNodes.h"

#include <QTreeWidget>

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

} // namespace kestrel

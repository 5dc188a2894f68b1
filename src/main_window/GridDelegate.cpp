#include "main_window/GridDelegate.h"

#include "command_table/CommandTableModel.h"

namespace kestrel {

GridDelegate::GridDelegate(CommandTableModel &model, QObject *parent)
    : QStyledItemDelegate(parent), m_model(model)
{
}

QWidget *GridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    m_model.beginCellEdit(index.row());
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void GridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    QStyledItemDelegate::setModelData(editor, model, index);
    m_model.endCellEdit(index.row());
}

} // namespace kestrel

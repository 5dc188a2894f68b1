#include "main_window/GridDelegate.h"

#include "command_table/CommandTableModel.h"

#include <QLineEdit>

#include <limits>

namespace kestrel {

GridDelegate::GridDelegate(CommandTableModel &model, QObject *parent)
    : QStyledItemDelegate(parent), m_model(model)
{
}

QWidget *GridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    m_model.beginCellEdit(index.row());
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    // A line editor keeps 32767 characters by default: a longer cell (a long
    // TEXT action) would be cut and saved cut just by opening it.
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setMaxLength(std::numeric_limits<int>::max());
    return editor;
}

void GridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    QStyledItemDelegate::setModelData(editor, model, index);
    m_model.endCellEdit(index.row());
}

} // namespace kestrel

#include "main_window/GridDelegate.h"

#include "command_table/CommandTableModel.h"

#include <QAbstractItemView>
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
    // A box that refused the value took the focus, and the window comes back
    // only after the editor has gone: the table, not the window's first button
    // (Start Recognition), must have the keys the user types next. Tab still
    // moves on to the next cell's editor after this.
    if (!editor->hasFocus()) {
        for (QWidget *w = editor->parentWidget(); w; w = w->parentWidget()) {
            if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
                view->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
}

} // namespace kestrel

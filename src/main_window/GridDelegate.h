#pragma once

#include <QStyledItemDelegate>

namespace kestrel {

class CommandTableModel;

/// Tells the table model when a cell edit begins and ends, so that it can apply
/// the Type rule: the Type text is remembered when any cell edit begins and
/// checked (and restored if invalid) when it ends.
class GridDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    GridDelegate(CommandTableModel &model, QObject *parent);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private:
    CommandTableModel &m_model;
};

} // namespace kestrel

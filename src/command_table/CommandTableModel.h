#pragma once

#include "command_table/CommandStore.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace kestrel {

class Failure;
class MessageBoxes;

/// The command table as the grid shows it: the store's rows in table order, then
/// one empty new-row line. Editing a cell writes through to the store at once;
/// editing a cell of the new-row line with some text adds a row.
///
/// The grid reports the start and the end of every cell edit (beginCellEdit /
/// endCellEdit); the end checks the Type column whatever column was edited.
///
/// As a CommandSource, refresh() re-reads the store into the grid, so the lookup
/// and the printout see, and show, the table as it is stored now.
class CommandTableModel : public QAbstractTableModel, public CommandSource
{
    Q_OBJECT

public:
    enum Column { WordPhraseColumn, TypeColumn, ActionColumn, ParentColumn, ColumnCount };

    static QString invalidTypeMessage()
    {
        return QStringLiteral("Valid Entries for the type column are: OPEN, CLOSE, FUNCTION, or TEXT");
    }

    /// Loads the rows at once; throws kestrel::Failure when the store cannot be read.
    CommandTableModel(CommandStore &store, MessageBoxes &messageBoxes, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    /// False when nothing was stored: the store refused (the user is shown why),
    /// or empty text was typed into the new-row line.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    /// Deletes stored rows; the new-row line cannot be removed. A refusal of the
    /// store is shown and stops the deletion there.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    /// Re-reads every row from the store. Throws kestrel::Failure when the store
    /// cannot be read; the grid then keeps what it showed.
    void reload();
    QList<CommandRow> refresh() override;

    int storedRowCount() const { return static_cast<int>(m_rows.size()); }
    bool isNewRowLine(int row) const { return row == storedRowCount(); }
    /// The row at grid position `row`; an empty row for the new-row line.
    CommandRow commandRow(int row) const;

    /// A cell edit of `row` is about to begin: remembers its Type text.
    void beginCellEdit(int row);
    /// A cell edit of `row` has ended. Returns whether its Type is valid; when it
    /// is not, puts back the Type remembered at the start (a row the edit added
    /// from the new-row line goes again), then tells the user.
    bool endCellEdit(int row);
    const QString &savedType() const { return m_savedType; }

private:
    QString cellText(int row, int column) const;
    bool addFromNewRowLine(int column, const QString &text);
    void reportRefusal(const Failure &failure);
    void rereadAfterRefusal();

    CommandStore &m_store;
    MessageBoxes &m_messageBoxes;
    QList<StoredCommandRow> m_rows;
    QString m_savedType;
    bool m_editAddsRow = false; ///< the edit began on the new-row line
};

} // namespace kestrel

#include "command_table/CommandTableModel.h"

#include "common/Failure.h"
#include "common/MessageBoxes.h"

namespace kestrel {
namespace {

CommandField fieldOfColumn(int column)
{
    switch (column) {
    case CommandTableModel::TypeColumn:
        return CommandField::Type;
    case CommandTableModel::ActionColumn:
        return CommandField::Action;
    case CommandTableModel::ParentColumn:
        return CommandField::Parent;
    default:
        return CommandField::WordPhrase;
    }
}

// Works on const and non-const rows alike.
template <typename Row> auto &fieldText(Row &row, int column)
{
    switch (column) {
    case CommandTableModel::TypeColumn:
        return row.Type;
    case CommandTableModel::ActionColumn:
        return row.Action;
    case CommandTableModel::ParentColumn:
        return row.Parent;
    default:
        return row.WordPhrase;
    }
}

bool isValidType(const QString &type)
{
    // Upper-cased but deliberately not trimmed: " OPEN" is refused.
    const QString upper = type.toUpper();
    return upper.isEmpty() || upper == QLatin1String("OPEN") || upper == QLatin1String("CLOSE") ||
           upper == QLatin1String("TEXT") || upper == QLatin1String("FUNCTION");
}

} // namespace

CommandTableModel::CommandTableModel(CommandStore &store, MessageBoxes &messageBoxes, QObject *parent)
    : QAbstractTableModel(parent), m_store(store), m_messageBoxes(messageBoxes), m_rows(store.rows())
{
}

int CommandTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : storedRowCount() + 1;
}

int CommandTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString CommandTableModel::cellText(int row, int column) const
{
    if (row < 0 || row >= storedRowCount())
        return QString::fromLatin1("");
    return fieldText(m_rows.at(row).row, column);
}

QVariant CommandTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return cellText(index.row(), index.column());
}

QVariant CommandTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical) {
        if (section < 0 || section > storedRowCount())
            return {};
        // The row number is also the command's open-program slot number.
        return isNewRowLine(section) ? QStringLiteral("*") : QString::number(section + 1);
    }
    switch (section) {
    case WordPhraseColumn:
        return QStringLiteral("Word or Phrase");
    case TypeColumn:
        return QStringLiteral("Type");
    case ActionColumn:
        return QStringLiteral("Action");
    case ParentColumn:
        return QStringLiteral("Parent");
    default:
        return {};
    }
}

Qt::ItemFlags CommandTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

bool CommandTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !checkIndex(index, CheckIndexOption::ParentIsInvalid))
        return false;
    const QString text = value.toString();
    const int row = index.row();
    if (isNewRowLine(row))
        return addFromNewRowLine(index.column(), text);

    StoredCommandRow &stored = m_rows[row];
    QString &field = fieldText(stored.row, index.column());
    if (field == text)
        return true;
    try {
        m_store.update(stored, fieldOfColumn(index.column()), text);
    } catch (const Failure &failure) {
        reportRefusal(failure);
        rereadAfterRefusal();
        return false;
    }
    field = text;
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool CommandTableModel::addFromNewRowLine(int column, const QString &text)
{
    // Blanks alone (a stray Space) would add a row that looks empty, and an
    // empty phrase ends the lookup, hiding every command added below it.
    if (text.trimmed().isEmpty())
        return false;
    CommandRow added;
    fieldText(added, column) = text;
    qint64 id = 0;
    try {
        id = m_store.insert(added);
    } catch (const Failure &failure) {
        reportRefusal(failure);
        return false;
    }
    // The new-row line becomes the added row and a fresh new-row line appears
    // below it, so the grid's current cell stays on the row just typed into.
    const int row = storedRowCount();
    beginInsertRows(QModelIndex(), row + 1, row + 1);
    m_rows.append(StoredCommandRow{id, CommandRow{}});
    endInsertRows();
    m_rows[row].row = added;
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::DisplayRole, Qt::EditRole});
    Q_EMIT headerDataChanged(Qt::Vertical, row, row + 1);
    return true;
}

bool CommandTableModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > storedRowCount())
        return false;
    for (int last = row + count - 1; last >= row; --last) {
        try {
            m_store.remove(m_rows.at(last));
        } catch (const Failure &failure) {
            reportRefusal(failure);
            rereadAfterRefusal();
            return false;
        }
        beginRemoveRows(QModelIndex(), last, last);
        m_rows.removeAt(last);
        endRemoveRows();
    }
    return true;
}

void CommandTableModel::reload()
{
    QList<StoredCommandRow> fresh = m_store.rows();
    beginResetModel();
    m_rows = std::move(fresh);
    endResetModel();
}

QList<CommandRow> CommandTableModel::refresh()
{
    reload();
    QList<CommandRow> result;
    result.reserve(m_rows.size());
    for (const StoredCommandRow &stored : std::as_const(m_rows))
        result.append(stored.row);
    return result;
}

// Without a word the cell would just snap back, and the user could not tell a
// locked or write-protected file from a slip of the grid.
void CommandTableModel::reportRefusal(const Failure &failure)
{
    m_messageBoxes.inform(programTitle(), failure.description(), MessageBoxes::Icon::Critical);
}

// A refusal may mean that another program changed the file: the grid then
// shows rows that are no longer stored, and every edit of them would be
// refused again. Read after the edit has ended, not inside it: the grid is
// still handing over its editor's text.
void CommandTableModel::rereadAfterRefusal()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            try {
                reload();
            } catch (const Failure &) {
                // The grid keeps what it showed; the refusal was shown.
            }
        },
        Qt::QueuedConnection);
}

CommandRow CommandTableModel::commandRow(int row) const
{
    if (row < 0 || row >= storedRowCount())
        return {};
    return m_rows.at(row).row;
}

void CommandTableModel::beginCellEdit(int row)
{
    m_savedType = cellText(row, TypeColumn);
    m_editAddsRow = isNewRowLine(row);
}

bool CommandTableModel::endCellEdit(int row)
{
    if (isValidType(cellText(row, TypeColumn)))
        return true;
    // Put right before the message: the program may be ended while it shows.
    // A row the refused Type alone created would be left empty, and an empty
    // row ends the lookup, hiding every command added below it.
    const bool addedByThisEdit = m_editAddsRow && row == storedRowCount() - 1 &&
                                 commandRow(row) == CommandRow{{}, cellText(row, TypeColumn), {}, {}};
    if (!addedByThisEdit || !removeRows(row, 1)) {
        // The remembered text goes back even when it is itself invalid: it is
        // what the cell held before this edit.
        setData(index(row, TypeColumn), m_savedType, Qt::EditRole);
    }
    m_messageBoxes.inform(programTitle(), invalidTypeMessage());
    return false;
}

} // namespace kestrel

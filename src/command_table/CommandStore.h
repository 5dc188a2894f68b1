#pragma once

#include "command_table/CommandRow.h"
#include "command_table/StarterTable.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace kestrel {

/// The four fields of a command row, in grid column order.
enum class CommandField { WordPhrase, Type, Action, Parent };

/// A command row with the identity the store gives it. Rows are addressed by id,
/// never by position, so an edit cannot land on a row that moved; and an edit
/// names the row as it was read, so it cannot land on another row that took
/// the id over.
struct StoredCommandRow
{
    qint64 id = 0;
    CommandRow row;

    bool operator==(const StoredCommandRow &) const = default;
};

/// The command table "Selections" in a SQLite file.
///
/// Rows come back in the order they were added. Every edit runs in its own
/// transaction, so a crash loses at most the edit in progress. A file that is
/// missing is created with a starter table; a file that exists but cannot be used
/// as a command table is reported and left exactly as it was.
///
/// Each instance owns its own database connection (never Qt's default one) and
/// must be used from the thread that created it. Every operation throws
/// kestrel::Failure, naming the file and the reason, when the database refuses.
class CommandStore : public CommandSource
{
public:
    static QString defaultPath() { return QStringLiteral("SELEC.db"); }

    /// Opens `path`, creating it with starterRows(finder) when it does not exist.
    explicit CommandStore(const QString &path = defaultPath(),
                          const ProgramFinder &finder = installedProgramFinder());
    ~CommandStore() override;

    CommandStore(const CommandStore &) = delete;
    CommandStore &operator=(const CommandStore &) = delete;

    const QString &path() const { return m_path; }

    /// All rows, in table order.
    QList<StoredCommandRow> rows() const;
    QList<CommandRow> refresh() override;

    /// Appends a row; returns its id.
    qint64 insert(const CommandRow &row);
    /// Sets one field of `known`, the row as it was read. Throws, changing
    /// nothing, when that row no longer exists or no longer holds what was read
    /// (another program changed the file meanwhile).
    void update(const StoredCommandRow &known, CommandField field, const QString &value);
    /// Deletes `known`, the row as it was read. Throws, deleting nothing, as
    /// update() does.
    void remove(const StoredCommandRow &known);

private:
    void createWithStarterRows(const ProgramFinder &finder);
    void checkIsCommandTable();
    void openForEditing();
    /// Runs `statement` in a transaction of its own; when `known` is given,
    /// only if that row still holds what was read.
    void executeEdit(const QString &action, const QString &statement, const QList<QVariant> &values,
                     qint64 *insertedId = nullptr, const StoredCommandRow *known = nullptr);
    [[noreturn]] void fail(const QString &action, const QString &reason) const;

    QString m_path;
    QString m_connectionName;
};

/// The column name of a field in the table.
QString fieldName(CommandField field);

} // namespace kestrel

#include "command_table/CommandStore.h"

#include "common/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <fcntl.h>
#include <unistd.h>

namespace kestrel {
namespace {

const QString Driver = QStringLiteral("QSQLITE");
// SQLITE_READONLY_ROLLBACK as the driver reports it (extended result codes are
// on): a read-only connection met a journal that must be played back first.
const char *const ReadOnlyRollback = "776";

const CommandField AllFields[] = {CommandField::WordPhrase, CommandField::Type, CommandField::Action,
                                  CommandField::Parent};

// Qt binds a null QString as SQL NULL; the table holds text, so an absent value
// is stored as the empty text every reader expects.
QVariant textValue(const QString &text)
{
    return text.isNull() ? QVariant(QString::fromLatin1("")) : QVariant(text);
}

QString uniqueSuffix()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Makes a rename durable: without it a power cut may bring back the old
// directory entry although the new file's data is on disk.
void syncDirectory(const QString &directory)
{
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString errorText(const QSqlError &error)
{
    const QString database = error.databaseText().trimmed();
    return database.isEmpty() ? error.text().trimmed() : database;
}

void closeConnection(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Builds a complete starter database in `file`; returns an empty string or the
// reason it failed.
QString buildStarterDatabase(const QString &file, const QString &connectionName,
                             const QList<CommandRow> &rows)
{
    QString reason;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(Driver, connectionName);
        db.setDatabaseName(file);
        if (!db.open()) {
            reason = errorText(db.lastError());
        } else {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("CREATE TABLE Selections "
                                           "(WordPhrase TEXT, Type TEXT, Action TEXT, Parent TEXT)"))) {
                reason = errorText(query.lastError());
            } else if (!db.transaction()) {
                reason = errorText(db.lastError());
            } else {
                query.prepare(QStringLiteral(
                    "INSERT INTO Selections (WordPhrase, Type, Action, Parent) VALUES (?, ?, ?, ?)"));
                for (const CommandRow &row : rows) {
                    query.addBindValue(textValue(row.WordPhrase));
                    query.addBindValue(textValue(row.Type));
                    query.addBindValue(textValue(row.Action));
                    query.addBindValue(textValue(row.Parent));
                    if (!query.exec()) {
                        reason = errorText(query.lastError());
                        break;
                    }
                }
                query.finish();
                if (reason.isEmpty() && !db.commit())
                    reason = errorText(db.lastError());
                if (!reason.isEmpty())
                    db.rollback();
            }
        }
    }
    closeConnection(connectionName);
    return reason;
}

// The four fields from `first` on, as every reader of the table sees them.
CommandRow rowAt(const QSqlQuery &query, int first)
{
    return CommandRow{query.value(first).toString(), query.value(first + 1).toString(),
                      query.value(first + 2).toString(), query.value(first + 3).toString()};
}

// Empty when the row `known.id` still holds what `known` says, else why not.
// Row ids are not names: SQLite gives a new row the id of a deleted last row,
// and compacting the file renumbers them all, so after another program's edit
// an id alone may name another command.
QString stillAsRead(const QSqlDatabase &db, const StoredCommandRow &known)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT WordPhrase, Type, Action, Parent FROM Selections WHERE rowid = ?")))
        return errorText(query.lastError());
    query.addBindValue(known.id);
    if (!query.exec())
        return errorText(query.lastError());
    if (!query.next() || rowAt(query, 0) != known.row)
        return QStringLiteral("another program has changed or deleted this row since it was read");
    return {};
}

// Returns an empty string or the reason the rows could not all be read.
QString readRows(const QSqlDatabase &db, QList<StoredCommandRow> &result)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT rowid, WordPhrase, Type, Action, Parent FROM Selections ORDER BY rowid")))
        return errorText(query.lastError());
    while (query.next()) {
        result.append(StoredCommandRow{query.value(0).toLongLong(), rowAt(query, 1)});
    }
    // next() also returns false when reading broke off half-way.
    return query.lastError().isValid() ? errorText(query.lastError()) : QString();
}

} // namespace

QString fieldName(CommandField field)
{
    switch (field) {
    case CommandField::WordPhrase:
        return QStringLiteral("WordPhrase");
    case CommandField::Type:
        return QStringLiteral("Type");
    case CommandField::Action:
        return QStringLiteral("Action");
    case CommandField::Parent:
        return QStringLiteral("Parent");
    }
    return {};
}

CommandStore::CommandStore(const QString &path, const ProgramFinder &finder)
    : m_path(path), m_connectionName(QStringLiteral("kestrel-commands-") + uniqueSuffix())
{
    try {
        if (!QFileInfo::exists(m_path))
            createWithStarterRows(finder);
        checkIsCommandTable();
        openForEditing();
    } catch (...) {
        closeConnection(m_connectionName);
        throw;
    }
}

CommandStore::~CommandStore()
{
    closeConnection(m_connectionName);
}

void CommandStore::fail(const QString &action, const QString &reason) const
{
    // The whole path: started from a desktop launcher, the user cannot tell
    // which working folder "SELEC.db" is in.
    throw Failure(QStringLiteral("Cannot %1 the command table \"%2\": %3")
                      .arg(action, QFileInfo(m_path).absoluteFilePath(), reason));
}

void CommandStore::createWithStarterRows(const ProgramFinder &finder)
{
    // The table is built under a scratch name and moved into place only when
    // complete, so a crash during the first start never leaves a half-made file
    // that the next start would refuse.
    const QFileInfo target(m_path);
    const QString directory = target.absolutePath();
    const QString scratch =
        QDir(directory).filePath(QStringLiteral(".%1.%2.new").arg(target.fileName(), uniqueSuffix()));

    const QString reason =
        buildStarterDatabase(scratch, m_connectionName + QStringLiteral("-create"), starterRows(finder));
    if (!reason.isEmpty()) {
        QFile::remove(scratch);
        QFile::remove(scratch + QStringLiteral("-journal"));
        fail(QStringLiteral("create"), reason);
    }
    // QFile::rename never replaces an existing file: if one appeared meanwhile,
    // it is the user's and stays.
    if (!QFile::rename(scratch, m_path)) {
        QFile::remove(scratch);
        fail(QStringLiteral("create"), QStringLiteral("the new file could not be moved into place"));
    }
    syncDirectory(directory);
}

void CommandStore::checkIsCommandTable()
{
    // SQLite would wait for ever to open a FIFO, and reports a folder as a disk
    // fault; neither can hold a table.
    if (!QFileInfo(m_path).isFile())
        fail(QStringLiteral("open"), QStringLiteral("it is not a regular file"));
    // Read-only, so that nothing is written to a file before it is known to be a
    // command table.
    QSqlDatabase db = QSqlDatabase::addDatabase(Driver, m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        fail(QStringLiteral("open"), errorText(db.lastError()));

    QStringList columns;
    {
        const QString findTable =
            QStringLiteral("SELECT type FROM sqlite_master WHERE name = 'Selections' COLLATE NOCASE");
        QSqlQuery query(db);
        bool found = query.exec(findTable);
        if (!found && query.lastError().nativeErrorCode() == QLatin1String(ReadOnlyRollback)) {
            // A crash during an edit left its journal behind. Playing it back
            // restores the table as last saved, and only a writing connection may
            // do that; refusing instead would refuse every start from now on.
            query = QSqlQuery();
            db.close();
            db.setConnectOptions();
            if (!db.open())
                fail(QStringLiteral("open"), errorText(db.lastError()));
            query = QSqlQuery(db);
            found = query.exec(findTable);
        }
        if (!found)
            fail(QStringLiteral("open"), errorText(query.lastError()));
        if (!query.next() || query.value(0).toString() != QLatin1String("table"))
            fail(QStringLiteral("open"), QStringLiteral("it has no table \"Selections\""));
        query.finish();

        if (!query.exec(QStringLiteral("PRAGMA table_info(Selections)")))
            fail(QStringLiteral("open"), errorText(query.lastError()));
        while (query.next())
            columns << query.value(1).toString();
    }
    for (CommandField field : AllFields) {
        if (!columns.contains(fieldName(field), Qt::CaseInsensitive))
            fail(QStringLiteral("open"),
                 QStringLiteral("the table \"Selections\" has no column \"%1\"").arg(fieldName(field)));
    }
    // The rows themselves are read once here: damaged ones (a power cut, a
    // failing disk) are then reported like any other unusable file, instead of
    // failing the first read where nothing can report it.
    QList<StoredCommandRow> everyRow;
    const QString reason = readRows(db, everyRow);
    if (!reason.isEmpty())
        fail(QStringLiteral("open"), reason);
    db.close();
}

void CommandStore::openForEditing()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    db.setConnectOptions();
    if (!db.open())
        fail(QStringLiteral("open"), errorText(db.lastError()));
}

QList<StoredCommandRow> CommandStore::rows() const
{
    QList<StoredCommandRow> result;
    const QString reason = readRows(QSqlDatabase::database(m_connectionName, false), result);
    if (!reason.isEmpty())
        fail(QStringLiteral("read"), reason);
    return result;
}

QList<CommandRow> CommandStore::refresh()
{
    QList<CommandRow> result;
    const QList<StoredCommandRow> stored = rows();
    result.reserve(stored.size());
    for (const StoredCommandRow &row : stored)
        result.append(row.row);
    return result;
}

qint64 CommandStore::insert(const CommandRow &row)
{
    qint64 id = 0;
    executeEdit(
        QStringLiteral("add a row to"),
        QStringLiteral("INSERT INTO Selections (WordPhrase, Type, Action, Parent) VALUES (?, ?, ?, ?)"),
        {textValue(row.WordPhrase), textValue(row.Type), textValue(row.Action), textValue(row.Parent)}, &id);
    return id;
}

void CommandStore::update(const StoredCommandRow &known, CommandField field, const QString &value)
{
    // The column name comes from the fixed field list, never from user text.
    executeEdit(QStringLiteral("change"),
                QStringLiteral("UPDATE Selections SET %1 = ? WHERE rowid = ?").arg(fieldName(field)),
                {textValue(value), known.id}, nullptr, &known);
}

void CommandStore::remove(const StoredCommandRow &known)
{
    executeEdit(QStringLiteral("delete a row from"), QStringLiteral("DELETE FROM Selections WHERE rowid = ?"),
                {known.id}, nullptr, &known);
}

void CommandStore::executeEdit(const QString &action, const QString &statement, const QList<QVariant> &values,
                               qint64 *insertedId, const StoredCommandRow *known)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        fail(action, errorText(db.lastError()));

    // Checked inside the edit's own transaction: no other writer can come
    // between the check and the edit.
    QString reason = known ? stillAsRead(db, *known) : QString();
    if (reason.isEmpty()) {
        QSqlQuery query(db);
        if (!query.prepare(statement)) {
            reason = errorText(query.lastError());
        } else {
            for (const QVariant &value : values)
                query.addBindValue(value);
            if (!query.exec())
                reason = errorText(query.lastError());
            else if (insertedId)
                *insertedId = query.lastInsertId().toLongLong();
        }
    }
    if (reason.isEmpty() && !db.commit())
        reason = errorText(db.lastError());
    if (!reason.isEmpty()) {
        db.rollback();
        fail(action, reason);
    }
}

} // namespace kestrel

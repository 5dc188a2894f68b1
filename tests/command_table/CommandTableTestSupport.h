#pragma once

#include "support/QtPrinters.h"

#include "command_table/CommandStore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace kestrel {
inline void PrintTo(const CommandRow &row, std::ostream *out)
{
    *out << '{' << row.WordPhrase.toStdString() << " | " << row.Type.toStdString() << " | "
         << row.Action.toStdString() << " | " << row.Parent.toStdString() << '}';
}
} // namespace kestrel

namespace kestrel::test {

/// A finder that knows only the programs it was given.
inline ProgramFinder finderFor(const QStringList &installed)
{
    return [installed](const QString &program) {
        return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
    };
}

/// Runs one statement on `file` through a connection of its own, as another
/// program would, and returns the first column of the first row.
inline QVariant queryOutside(const QString &file, const QString &statement)
{
    const QString name = QStringLiteral("outside-") + file;
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(statement) && query.next())
                result = query.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

inline CommandRow row(const char *phrase, const char *type = "", const char *action = "",
                      const char *parent = "")
{
    return {QString::fromUtf8(phrase), QString::fromUtf8(type), QString::fromUtf8(action),
            QString::fromUtf8(parent)};
}

/// A store on a table holding exactly `rows`.
class StoreFixture
{
public:
    explicit StoreFixture(const QList<CommandRow> &rows)
    {
        const QString path = m_dir.filePath(QStringLiteral("SELEC.db"));
        {
            CommandStore builder(path, finderFor({}));
            for (const StoredCommandRow &stored : builder.rows())
                builder.remove(stored);
            for (const CommandRow &r : rows)
                builder.insert(r);
        }
        m_store = std::make_unique<CommandStore>(path, finderFor({}));
    }

    CommandStore &store() { return *m_store; }
    QString path() const { return m_store->path(); }

    /// The table as another program reading the file sees it.
    QList<CommandRow> stored() const { return CommandStore(path(), finderFor({})).refresh(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CommandStore> m_store;
};

} // namespace kestrel::test

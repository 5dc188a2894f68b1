#include "CommandTableTestSupport.h"

#include "common/Failure.h"
#include "support/ScopedWorkingDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

using namespace kestrel;
using namespace kestrel::test;

namespace {

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

/// The bytes of a file; empty when it cannot be read (say, a folder).
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(CommandStore, FirstRunCreatesTheStarterTableAndNothingElse)
{
    QTemporaryDir dir;
    const ProgramFinder finder = finderFor({QStringLiteral("xterm")});
    CommandStore store(dir.filePath(QStringLiteral("SELEC.db")), finder);
    EXPECT_EQ(store.refresh(), starterRows(finder));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("SELEC.db")});
}

TEST(CommandStore, EditsKeepTableOrderAndAreCommittedOneByOne)
{
    StoreFixture fixture({row("ONE"), row("TWO"), row("THREE")});
    CommandStore &store = fixture.store();
    const QList<StoredCommandRow> before = store.rows();

    const qint64 four = store.insert(row("FOUR", "FUNCTION", "^f", "ONE"));
    store.update(before.at(1), CommandField::Action, QStringLiteral("^2"));
    store.update({before.at(1).id, row("TWO", "", "^2")}, CommandField::Type, QStringLiteral("function"));
    store.update({four, row("FOUR", "FUNCTION", "^f", "ONE")}, CommandField::Parent, QStringLiteral("THREE"));
    store.remove(before.at(0));
    store.insert(CommandRow{QStringLiteral("FIVE"), {}, {}, {}});

    const QList<CommandRow> expected = {row("TWO", "function", "^2"), row("THREE"),
                                        row("FOUR", "FUNCTION", "^f", "THREE"), row("FIVE")};
    EXPECT_EQ(store.refresh(), expected);
    // Another connection sees every edit at once, and no field was left NULL.
    EXPECT_EQ(
        queryOutside(fixture.path(), QStringLiteral("SELECT group_concat(WordPhrase || Type || Action || "
                                                    "Parent, ',') FROM Selections"))
            .toString(),
        QStringLiteral("TWOfunction^2,THREE,FOURFUNCTION^fTHREE,FIVE"));

    const StoredCommandRow gone{four + 100, row("FOUR", "FUNCTION", "^f", "THREE")};
    EXPECT_THROW(store.update(gone, CommandField::Action, QStringLiteral("x")), Failure);
    EXPECT_THROW(store.remove(gone), Failure);
    EXPECT_EQ(store.refresh(), expected);

    // Each store has a connection of its own: another opened and closed meanwhile
    // leaves this one working.
    EXPECT_EQ(StoreFixture({row("OTHER")}).store().refresh(), QList<CommandRow>{row("OTHER")});
    EXPECT_EQ(store.refresh(), expected);
    EXPECT_FALSE(QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
}

// Another program (an SQLite browser) edits the file while KESTREL shows it.
// SQLite gives a new row the id of a deleted last row, and compacting the file
// renumbers every row: an edit or a delete of the row KESTREL read must then
// change nothing rather than another command.
TEST(CommandStore, AnEditOfARowChangedElsewhereChangesNothing)
{
    const struct
    {
        const char *name;
        QStringList outside; ///< statements another program runs
    } cases[] = {
        {"last row replaced",
         {"DELETE FROM Selections WHERE WordPhrase = 'THREE'",
          "INSERT INTO Selections VALUES ('PASTE', 'FUNCTION', '^v', '')"}},
        {"compacted", {"DELETE FROM Selections WHERE WordPhrase = 'TWO'", "VACUUM"}},
        {"field changed", {"UPDATE Selections SET Action = '^t' WHERE WordPhrase = 'THREE'"}},
        {"deleted", {"DELETE FROM Selections WHERE WordPhrase = 'THREE'"}},
    };
    for (const auto &c : cases) {
        for (const bool deleting : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (deleting ? ", delete" : ", edit"));
            StoreFixture fixture({row("ONE"), row("TWO"), row("THREE", "FUNCTION", "^3")});
            CommandStore &store = fixture.store();
            const StoredCommandRow shown = store.rows().at(2);
            for (const QString &statement : c.outside)
                queryOutside(fixture.path(), statement);
            const QList<CommandRow> after = fixture.stored();

            try {
                if (deleting)
                    store.remove(shown);
                else
                    store.update(shown, CommandField::Action, QStringLiteral("^x"));
                ADD_FAILURE() << "accepted";
            } catch (const Failure &failure) {
                EXPECT_TRUE(failure.description().contains(QStringLiteral("another program")))
                    << failure.description().toStdString();
            }
            EXPECT_EQ(fixture.stored(), after);
        }
    }
}

TEST(CommandStore, AnUnusableFileIsReportedAndLeftAsItWas)
{
    const auto writeFile = [](const QByteArray &bytes) {
        return [bytes](const QString &path) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
        };
    };
    const auto sqlite = [](const char *statement) {
        return [statement](const QString &path) { queryOutside(path, QString::fromLatin1(statement)); };
    };
    const std::tuple<const char *, std::function<void(const QString &)>, const char *> cases[] = {
        {"text file", writeFile("OPEN NOTEPAD\tOPEN\tnotepad\r\n"), "not a database"},
        {"empty file", writeFile({}), "no table \"Selections\""},
        {"other table", sqlite("CREATE TABLE Other (WordPhrase TEXT)"), "no table \"Selections\""},
        {"view", sqlite("CREATE VIEW Selections AS SELECT 1 AS WordPhrase"), "no table \"Selections\""},
        {"missing column", sqlite("CREATE TABLE Selections (WordPhrase TEXT, Type TEXT, Parent TEXT)"),
         "no column \"Action\""},
        {"folder", [](const QString &path) { QDir().mkdir(path); }, "not a regular file"},
        // SQLite waited for ever to open it.
        {"FIFO", [](const QString &path) { ::mkfifo(QFile::encodeName(path).constData(), 0600); },
         "not a regular file"},
        {"rows without ids",
         sqlite("CREATE TABLE Selections (WordPhrase TEXT PRIMARY KEY, Type TEXT, Action TEXT, Parent TEXT) "
                "WITHOUT ROWID"),
         "rowid"},
        // A power cut or a failing disk can damage the rows and leave the
        // table's description intact.
        {"damaged rows",
         [&](const QString &path) {
             sqlite("CREATE TABLE Selections (WordPhrase TEXT, Type TEXT, Action TEXT, Parent TEXT)")(path);
             sqlite("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                    "INSERT INTO Selections SELECT 'OPEN PROGRAM ' || i, 'OPEN', 'program', '' FROM n")(path);
             QFile file(path);
             file.open(QIODevice::ReadWrite);
             file.seek(4 * 4096); // the fifth page holds rows, not the schema
             file.write(QByteArray(4096, '\0'));
         },
         "malformed"},
    };
    for (const auto &[name, make, reason] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("SELEC.db"));
        make(path);
        // Reading a FIFO would wait for a writer.
        const auto contents = [&] {
            return QFileInfo(path).isFile() ? readAll(path) : QByteArray("not a file");
        };
        const QByteArray before = contents();
        const QStringList filesBefore = filesIn(dir.path());
        try {
            CommandStore store(path, finderFor({}));
            ADD_FAILURE() << "an unusable file was opened";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(path)) << failure.what();
            EXPECT_TRUE(failure.description().contains(QLatin1String(reason))) << failure.what();
        }
        EXPECT_EQ(contents(), before);
        EXPECT_EQ(filesIn(dir.path()), filesBefore);
    }
}

TEST(CommandStore, AFailureNamesTheTableByItsWholePath)
{
    const ScopedWorkingDirectory inside(false);
    ASSERT_TRUE(QDir().mkdir(CommandStore::defaultPath()));
    try {
        CommandStore store(CommandStore::defaultPath(), finderFor({}));
        ADD_FAILURE() << "a folder was opened";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains(
            QStringLiteral("\"%1\"").arg(QFileInfo(inside.path("SELEC.db")).absoluteFilePath())))
            << failure.what();
    }
}

TEST(CommandStore, AnEditCutShortByACrashIsUndoneAtTheNextStart)
{
    const QList<CommandRow> saved = {row("OPEN EDITOR", "OPEN", "mousepad"), row("COPY", "FUNCTION", "^c")};
    StoreFixture fixture(saved);
    QTemporaryDir crashed;
    const QString path = crashed.filePath(QStringLiteral("SELEC.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("crashing"));
        db.setDatabaseName(fixture.path());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TABLE Filler (Data BLOB)")));
        // With a tiny cache, the large write after the edit pushes the edited rows
        // into the file before the commit: only the journal still has them as saved.
        query.exec(QStringLiteral("PRAGMA cache_size = 1"));
        ASSERT_TRUE(db.transaction());
        ASSERT_TRUE(query.exec(QStringLiteral("UPDATE Selections SET WordPhrase = 'HALF DONE'")));
        ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO Filler VALUES (randomblob(100000))")));
        // The files as a crash at this moment leaves them.
        ASSERT_TRUE(QFile::copy(fixture.path(), path));
        ASSERT_TRUE(
            QFile::copy(fixture.path() + QStringLiteral("-journal"), path + QStringLiteral("-journal")));
        db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("crashing"));

    CommandStore store(path, finderFor({}));
    EXPECT_EQ(store.refresh(), saved);
    EXPECT_EQ(filesIn(crashed.path()), QStringList{QStringLiteral("SELEC.db")});
}

CommandRow findRow(const QList<CommandRow> &rows, const char *phrase)
{
    for (const CommandRow &r : rows) {
        if (r.WordPhrase == QLatin1String(phrase))
            return r;
    }
    return {};
}

TEST(StarterTable, OpenRowsNameAProgramThatIsInstalled)
{
    // What is installed; the terminal, editor and browser chosen.
    const std::pair<QStringList, QStringList> cases[] = {
        {{"x-terminal-emulator", "xterm", "mousepad", "x-www-browser"},
         {"x-terminal-emulator", "mousepad", "x-www-browser"}},
        {{"xterm", "kate", "gedit", "firefox-esr"}, {"xterm", "gedit", "firefox-esr"}},
        // Nothing installed: the usual names, so a launch says what is missing.
        {{}, {"x-terminal-emulator", "mousepad", "x-www-browser"}},
    };
    for (const auto &[installed, expected] : cases) {
        const QList<CommandRow> rows = starterRows(finderFor(installed));
        QStringList actions;
        for (const char *phrase : {StarterTerminalPhrase, StarterEditorPhrase, StarterBrowserPhrase}) {
            EXPECT_EQ(findRow(rows, phrase).Type, QStringLiteral("OPEN"));
            actions << findRow(rows, phrase).Action;
        }
        EXPECT_EQ(actions, expected);
    }
}

TEST(StarterTable, RowsReachEveryBuiltInPhraseAndFollowTheLookupsRules)
{
    const QList<CommandRow> rows = starterRows(finderFor({}));
    // The built-in rows are functions; the pointer rows are only reached with a
    // non-empty action, the ways out with exactly their own.
    for (const char *phrase : {"LEFT CLICK", "RIGHT CLICK", "CURSOR", "SELECT", "CONFIRMATION",
                               "QUIT KESTREL", "STOP RECOGNITION"})
        EXPECT_EQ(findRow(rows, phrase).Type, QStringLiteral("FUNCTION")) << phrase;
    for (const char *phrase : {"LEFT CLICK", "RIGHT CLICK", "CURSOR"})
        EXPECT_FALSE(findRow(rows, phrase).Action.isEmpty()) << phrase;
    EXPECT_EQ(findRow(rows, "QUIT KESTREL").Action, QStringLiteral("{QUIT}"));
    EXPECT_EQ(findRow(rows, "STOP RECOGNITION").Action, QStringLiteral("{STOP RECOGNITION}"));

    QSet<QString> phrases, opened, types;
    for (const CommandRow &r : rows) {
        // The lookup stops at an empty phrase, lets the first of two equal ones
        // win, and cuts a phrase holding SELECT or CURSOR down to that word.
        EXPECT_FALSE(r.WordPhrase.isEmpty());
        EXPECT_FALSE(phrases.contains(r.WordPhrase)) << r.WordPhrase.toStdString();
        phrases.insert(r.WordPhrase);
        for (const char *word : {"SELECT", "CURSOR", "STOP RECOGNITION", "."}) {
            if (r.WordPhrase.contains(QLatin1String(word))) {
                EXPECT_EQ(r.WordPhrase, QLatin1String(word));
            }
        }
        // Any phrase holding QUIT ends the program, so only the way out may hold
        // it, and never as a lone word that everyday speech is heard as.
        if (r.WordPhrase.contains(QLatin1String("QUIT"))) {
            EXPECT_EQ(r.Action, QStringLiteral("{QUIT}")) << r.WordPhrase.toStdString();
            EXPECT_GE(r.WordPhrase.split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), 2);
        }
        if (r.Type == QLatin1String("OPEN"))
            opened.insert(r.WordPhrase);
        types.insert(r.Type + (r.Parent.isEmpty() ? QString() : QStringLiteral(" with parent")));
    }
    for (const CommandRow &r : rows) {
        if (!r.Parent.isEmpty()) {
            EXPECT_TRUE(opened.contains(r.Parent)) << r.Parent.toStdString();
        }
    }
    EXPECT_EQ(types,
              QSet<QString>({"OPEN", "CLOSE with parent", "FUNCTION", "FUNCTION with parent", "TEXT"}));
}

} // namespace

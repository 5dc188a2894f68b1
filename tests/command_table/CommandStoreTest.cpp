#include "CommandTableTestSupport.h"

#include "common/Failure.h"

#include <QDir>

#include <gtest/gtest.h>

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

TEST(CommandStore, FirstRunCreatesTheStarterTableAndReopeningKeepsEdits)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("SELEC.db"));
    const ProgramFinder finder = finderFor({QStringLiteral("xterm")});
    QList<CommandRow> edited;
    {
        CommandStore store(path, finder);
        EXPECT_EQ(store.refresh(), starterRows(finder));
        EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("SELEC.db")});

        const QList<StoredCommandRow> rows = store.rows();
        store.remove(rows.at(1).id);
        store.update(rows.at(0).id, CommandField::WordPhrase, QStringLiteral("OPEN CONSOLE"));
        store.insert(row("LAST", "TEXT"));
        edited = store.refresh();
    }
    CommandStore reopened(path, finderFor({QStringLiteral("gedit")}));
    EXPECT_EQ(reopened.refresh(), edited);
    EXPECT_EQ(edited.last(), row("LAST", "TEXT"));
}

TEST(CommandStore, EditsKeepTableOrderAndAreCommittedOneByOne)
{
    StoreFixture fixture({row("ONE"), row("TWO"), row("THREE")});
    CommandStore &store = fixture.store();
    const QList<StoredCommandRow> before = store.rows();

    const qint64 four = store.insert(row("FOUR", "FUNCTION", "^f", "ONE"));
    store.update(before.at(1).id, CommandField::Action, QStringLiteral("^2"));
    store.update(before.at(1).id, CommandField::Type, QStringLiteral("function"));
    store.update(four, CommandField::Parent, QStringLiteral("THREE"));
    store.remove(before.at(0).id);
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

    const qint64 gone = four + 100;
    EXPECT_THROW(store.update(gone, CommandField::Action, QStringLiteral("x")), Failure);
    EXPECT_THROW(store.remove(gone), Failure);
    EXPECT_EQ(store.refresh(), expected);

    // Each store has a connection of its own: another opened and closed meanwhile
    // leaves this one working.
    EXPECT_EQ(StoreFixture({row("OTHER")}).store().refresh(), QList<CommandRow>{row("OTHER")});
    EXPECT_EQ(store.refresh(), expected);
    EXPECT_FALSE(QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
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
        {"folder", [](const QString &path) { QDir().mkdir(path); }, "Cannot open"},
    };
    for (const auto &[name, make, reason] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("SELEC.db"));
        make(path);
        const QByteArray before = readAll(path);
        const QStringList filesBefore = filesIn(dir.path());
        try {
            CommandStore store(path, finderFor({}));
            ADD_FAILURE() << "an unusable file was opened";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(path)) << failure.what();
            EXPECT_TRUE(failure.description().contains(QLatin1String(reason))) << failure.what();
        }
        EXPECT_EQ(readAll(path), before);
        EXPECT_EQ(filesIn(dir.path()), filesBefore);
    }
}

} // namespace

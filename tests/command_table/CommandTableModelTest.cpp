#include "CommandTableTestSupport.h"
#include "support/FakeHosts.h"

#include "command_table/CommandTableModel.h"
#include "command_table/TableCommands.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>

using namespace kestrel;
using namespace kestrel::test;

namespace {

enum { Phrase = CommandTableModel::WordPhraseColumn, Type, Action, Parent };

class CommandTableModelTest : public ::testing::Test
{
protected:
    bool edit(int rowNumber, int column, const QString &text)
    {
        return m_model.setData(m_model.index(rowNumber, column), text, Qt::EditRole);
    }
    QString cell(int rowNumber, int column) const
    {
        return m_model.data(m_model.index(rowNumber, column)).toString();
    }

    StoreFixture m_fixture{{row("OPEN TERMINAL", "OPEN", "xterm"), row("COPY", "FUNCTION", "^c")}};
    FakeMessageBoxes m_boxes;
    CommandTableModel m_model{m_fixture.store(), m_boxes};
};

TEST_F(CommandTableModelTest, ShowsFourColumnsAndANewRowLineThroughEveryKindOfChange)
{
    QAbstractItemModelTester tester(&m_model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const char *captions[] = {"Word or Phrase", "Type", "Action", "Parent"};
    ASSERT_EQ(m_model.columnCount(), 4);
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(m_model.headerData(column, Qt::Horizontal).toString(), QLatin1String(captions[column]));
    ASSERT_EQ(m_model.rowCount(), 3);
    EXPECT_EQ(m_model.headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
    EXPECT_EQ(m_model.headerData(2, Qt::Vertical).toString(), QStringLiteral("*"));

    EXPECT_TRUE(edit(1, Action, QStringLiteral("^C")));
    EXPECT_TRUE(edit(0, Parent, QStringLiteral("NONE")));
    EXPECT_TRUE(edit(2, Phrase, QStringLiteral("PASTE")));
    EXPECT_TRUE(edit(3, Action, QStringLiteral("^v")));
    EXPECT_FALSE(edit(4, Parent, QString())); // empty text in the new-row line adds nothing
    const QList<CommandRow> expected = {row("OPEN TERMINAL", "OPEN", "xterm", "NONE"),
                                        row("COPY", "FUNCTION", "^C"), row("PASTE"), row("", "", "^v")};
    EXPECT_EQ(m_fixture.stored(), expected);
    EXPECT_EQ(m_model.rowCount(), 5);
    EXPECT_EQ(cell(2, Phrase), QStringLiteral("PASTE"));
    EXPECT_TRUE(m_model.isNewRowLine(4));

    EXPECT_FALSE(m_model.removeRow(4));
    EXPECT_FALSE(m_model.removeRows(3, 2));
    EXPECT_TRUE(m_model.removeRows(0, 2));
    EXPECT_EQ(m_fixture.stored(), expected.mid(2));
    EXPECT_EQ(cell(0, Phrase), QStringLiteral("PASTE"));
    m_model.reload();
    EXPECT_EQ(m_model.rowCount(), 3);
}

// A stray Space on the new-row line would add a row that looks empty, and its
// empty phrase ends the lookup: every command added below it would never run.
TEST_F(CommandTableModelTest, BlanksAloneOnTheNewRowLineAddNothing)
{
    const QList<CommandRow> before = m_fixture.stored();
    for (const int column : {int(Phrase), int(Action), int(Parent)}) {
        for (const char *blanks : {" ", "   ", "\t", " \n "}) {
            SCOPED_TRACE(testing::Message() << column << " '" << blanks << "'");
            EXPECT_FALSE(edit(2, column, QLatin1String(blanks)));
            EXPECT_EQ(m_fixture.stored(), before);
            EXPECT_EQ(m_model.rowCount(), 3);
        }
    }
    // Text with blanks around it is still the user's row, kept as typed.
    EXPECT_TRUE(edit(2, Action, QStringLiteral(" ^v ")));
    EXPECT_EQ(m_fixture.stored(), before + QList<CommandRow>{row("", "", " ^v ")});
}

TEST_F(CommandTableModelTest, TheTypeColumnTakesOnlyTheFourTypesOrNothing)
{
    const std::tuple<const char *, const char *, bool> cases[] = {
        {"OPEN", "open", true},       {"OPEN", "Function", true},   {"OPEN", "text", true},
        {"OPEN", "close", true},      {"OPEN", "", true},           {"FUNCTION", " OPEN", false},
        {"FUNCTION", "OPEN ", false}, {"FUNCTION", "OPENX", false}, {"", "FUNC", false},
    };
    const FakeMessageBoxes::Shown message{
        QStringLiteral("KESTREL"),
        QStringLiteral("Valid Entries for the type column are: OPEN, CLOSE, FUNCTION, or TEXT"),
        MessageBoxes::Icon::None, false};
    for (const auto &[before, typed, valid] : cases) {
        SCOPED_TRACE(std::string(before) + " -> " + typed);
        m_boxes.shown.clear();
        ASSERT_TRUE(edit(0, Type, QLatin1String(before)));
        m_model.beginCellEdit(0);
        edit(0, Type, QLatin1String(typed));
        EXPECT_EQ(m_model.endCellEdit(0), valid);

        const QString expected = QLatin1String(valid ? typed : before);
        EXPECT_EQ(cell(0, Type), expected);
        EXPECT_EQ(m_fixture.stored().at(0).Type, expected);
        EXPECT_EQ(m_boxes.shown, valid ? QList<FakeMessageBoxes::Shown>() : QList{message});
    }
}

TEST_F(CommandTableModelTest, ABadTypeStaysAsItWasWhenTheEditBegan)
{
    // Another column edited in a row whose Type is already bad: the message, and
    // the same bad Type, which is what the row held when the edit began.
    ASSERT_TRUE(edit(1, Type, QStringLiteral("bogus")));
    m_model.beginCellEdit(1);
    EXPECT_TRUE(edit(1, Action, QStringLiteral("^x")));
    EXPECT_FALSE(m_model.endCellEdit(1));
    EXPECT_EQ(m_fixture.stored().at(1), row("COPY", "bogus", "^x"));
}

/// Message boxes that note what the table held while each box was open: a
/// program ended then (a shutdown) keeps exactly that.
class TableWatchingBoxes : public FakeMessageBoxes
{
public:
    explicit TableWatchingBoxes(StoreFixture &fixture) : m_fixture(fixture) {}
    void inform(const QString &title, const QString &text, Icon icon) override
    {
        whileShown.append(m_fixture.stored());
        FakeMessageBoxes::inform(title, text, icon);
    }
    QList<QList<CommandRow>> whileShown;

private:
    StoreFixture &m_fixture;
};

TEST(CommandTableTypeRule, ARefusedTypeIsNeverLeftInTheTable)
{
    const QList<CommandRow> before{row("OPEN TERMINAL", "OPEN", "xterm"), row("COPY", "FUNCTION", "^c")};
    const struct
    {
        const char *name;
        int row;
        const char *typed;
        QList<CommandRow> after;
    } cases[] = {
        {"existing row", 1, "bogus", before},
        // The row the new-row line became would hold nothing but the refused
        // Type: an empty row, which hides every command added after it.
        {"new-row line", 2, "launch", before},
        {"new-row line, upper case", 2, "OPENX", before},
        {"new-row line, a good Type", 2, "close", before + QList<CommandRow>{row("", "close")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        StoreFixture fixture{before};
        TableWatchingBoxes boxes(fixture);
        CommandTableModel model{fixture.store(), boxes};
        const bool good = c.after.size() > before.size();
        model.beginCellEdit(c.row);
        model.setData(model.index(c.row, Type), QString::fromLatin1(c.typed), Qt::EditRole);
        EXPECT_EQ(model.endCellEdit(c.row), good);
        EXPECT_EQ(fixture.stored(), c.after);
        EXPECT_EQ(model.rowCount(), c.after.size() + 1) << "rows shown, and the new-row line";
        ASSERT_EQ(boxes.shown.size(), good ? 0 : 1);
        if (!good) {
            EXPECT_EQ(boxes.whileShown.value(0), c.after) << "already put right while the message shows";
        }
    }
}

TEST_F(CommandTableModelTest, RefreshShowsWhatAnotherProgramChanged)
{
    {
        CommandStore other(m_fixture.path(), finderFor({}));
        other.insert(row("PASTE", "FUNCTION", "^v"));
        other.remove(other.rows().at(0));
    }
    // An edit of a row deleted elsewhere fails, changes nothing, and the grid
    // shows what is stored once the edit has ended.
    EXPECT_FALSE(edit(0, Action, QStringLiteral("konsole")));
    EXPECT_EQ(m_boxes.shown.size(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(cell(0, Phrase), QStringLiteral("COPY"));

    const QList<CommandRow> expected = {row("COPY", "FUNCTION", "^c"), row("PASTE", "FUNCTION", "^v")};
    EXPECT_EQ(m_model.refresh(), expected);
    EXPECT_EQ(m_model.rowCount(), 3);
    EXPECT_EQ(cell(1, Phrase), QStringLiteral("PASTE"));
}

// The grid's row was replaced by another program (its id now names PASTE):
// neither an edit nor "Delete Record" may touch PASTE; the user is told, and
// the grid then shows what is stored.
TEST(CommandTableModel, AnEditOfARowReplacedElsewhereLeavesTheNewRowAlone)
{
    for (const bool deleting : {false, true}) {
        SCOPED_TRACE(deleting ? "delete" : "edit");
        StoreFixture fixture({row("OPEN TERMINAL", "OPEN", "xterm"), row("COPY", "FUNCTION", "^c")});
        FakeMessageBoxes boxes;
        CommandTableModel model(fixture.store(), boxes);
        queryOutside(fixture.path(), QStringLiteral("DELETE FROM Selections WHERE WordPhrase = 'COPY'"));
        queryOutside(fixture.path(),
                     QStringLiteral("INSERT INTO Selections VALUES ('PASTE', 'FUNCTION', '^v', '')"));
        const QList<CommandRow> stored = fixture.stored();

        const bool done = deleting
                              ? model.removeRow(1)
                              : model.setData(model.index(1, Action), QStringLiteral("^x"), Qt::EditRole);
        EXPECT_FALSE(done);
        EXPECT_EQ(fixture.stored(), stored);
        EXPECT_EQ(boxes.shown.size(), 1);
        QCoreApplication::processEvents();
        EXPECT_EQ(model.commandRow(1), row("PASTE", "FUNCTION", "^v"));
    }
}

/// Makes another program's triggers refuse every change to the table's rows.
void writeProtect(const QString &path)
{
    for (const char *event : {"INSERT", "UPDATE", "DELETE"})
        queryOutside(path, QStringLiteral("CREATE TRIGGER Refuse%1 BEFORE %1 ON Selections "
                                          "BEGIN SELECT RAISE(ABORT, 'write-protected'); END")
                               .arg(QLatin1String(event)));
}

TEST_F(CommandTableModelTest, AChangeTheDatabaseRefusesIsShownAndChangesNothing)
{
    const QList<CommandRow> before = m_fixture.stored();
    writeProtect(m_fixture.path());
    const std::pair<const char *, std::function<bool()>> cases[] = {
        {"cell", [&] { return edit(0, Action, QStringLiteral("konsole")); }},
        {"new-row line", [&] { return edit(2, Phrase, QStringLiteral("PASTE")); }},
        {"delete", [&] { return m_model.removeRow(1); }},
    };
    for (const auto &[name, change] : cases) {
        SCOPED_TRACE(name);
        m_boxes.shown.clear();
        EXPECT_FALSE(change());
        ASSERT_EQ(m_boxes.shown.size(), 1);
        EXPECT_EQ(m_boxes.shown.first().title, QStringLiteral("KESTREL"));
        EXPECT_EQ(m_boxes.shown.first().icon, MessageBoxes::Icon::Critical);
        EXPECT_TRUE(m_boxes.shown.first().text.contains(QLatin1String("write-protected")));
        EXPECT_EQ(m_fixture.stored(), before);
        EXPECT_EQ(m_model.rowCount(), 3);
        EXPECT_EQ(cell(0, Action), QStringLiteral("xterm"));
    }
}

/// The lock button, the grid and the listening switch, as a log of calls.
struct FakeTableControls : TableControls
{
    explicit FakeTableControls(const QString &c) : caption(c) {}
    QString lockCaption() const override { return caption; }
    void setLockCaption(const QString &text) override
    {
        caption = text;
        calls << QStringLiteral("caption ") + text;
    }
    void setGridEnabled(bool enabled) override { calls << (enabled ? "grid on" : "grid off"); }
    void stopListening() override { calls << QStringLiteral("stop listening"); }

    QString caption;
    QStringList calls;
};

// Unlocking reads the table again: rows another program changed meanwhile are
// edited as they are stored, not as the grid last showed them.
TEST(TableCommands, TheLockButtonTogglesAndUnlockingStopsListening)
{
    const std::tuple<const char *, QStringList, int> cases[] = {
        {"Unlock Table", {"caption Lock Table", "grid on", "stop listening"}, 2},
        {"Lock Table", {"caption Unlock Table", "grid off"}, 1},
        {"unlock table", {"caption Unlock Table", "grid off"}, 1},
    };
    FakeMessageBoxes boxes;
    for (const auto &[caption, calls, shownRows] : cases) {
        StoreFixture fixture({row("ONE")});
        CommandTableModel model(fixture.store(), boxes);
        CommandStore(fixture.path(), finderFor({})).insert(row("TWO"));
        FakeTableControls controls(caption);
        TableCommands(controls, boxes).lockClicked(model);
        EXPECT_EQ(controls.calls, calls) << caption;
        EXPECT_EQ(model.storedRowCount(), shownRows) << caption;
    }
    // Switching recognition on locks the table without touching listening.
    FakeTableControls controls("Lock Table");
    TableCommands(controls, boxes).lockTable();
    EXPECT_EQ(controls.calls, QStringList({"caption Unlock Table", "grid off"}));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(TableCommands, DeleteRecordAsksFirstAndPassesQuietlyOverANonRow)
{
    const std::tuple<const char *, bool, MessageBoxes::Answer, int, QStringList> cases[] = {
        {"locked", true, MessageBoxes::Answer::Yes, 0, {"ONE", "TWO", "FOUR"}},
        {"answered no", false, MessageBoxes::Answer::No, 0, {"ONE", "TWO", "FOUR"}},
        {"answered yes", false, MessageBoxes::Answer::Yes, 1, {"ONE", "FOUR"}},
        {"new-row line", false, MessageBoxes::Answer::Yes, 2, {"ONE", "TWO", "FOUR"}},
        {"no current row", false, MessageBoxes::Answer::Yes, -1, {"ONE", "TWO", "FOUR"}},
    };
    for (const auto &[name, locked, answer, currentRow, remaining] : cases) {
        SCOPED_TRACE(name);
        StoreFixture fixture({row("ONE"), row("TWO")});
        FakeMessageBoxes boxes;
        boxes.defaultAnswer = answer;
        CommandTableModel model(fixture.store(), boxes);
        FakeTableControls controls(locked ? "Unlock Table" : "Lock Table");
        // Added behind the grid's back: it shows only if the grid re-reads.
        CommandStore(fixture.path(), finderFor({})).insert(row("FOUR"));

        TableCommands(controls, boxes).deleteRecord(model, currentRow);

        const QString text = locked ? "Table is locked" : "Are you sure you want to delete this record";
        EXPECT_EQ(boxes.shown,
                  QList<FakeMessageBoxes::Shown>({{"KESTREL", text, MessageBoxes::Icon::None, !locked}}));
        QStringList phrases;
        for (const CommandRow &r : fixture.stored())
            phrases << r.WordPhrase;
        EXPECT_EQ(phrases, remaining);
        const bool reread = !locked && answer == MessageBoxes::Answer::Yes;
        EXPECT_EQ(model.storedRowCount(), reread ? remaining.size() : 2);
    }
}

TEST(TableCommands, DeleteRecordShowsWhatTheDatabaseRefused)
{
    // What another program did to the file; what the user is shown after the question.
    const std::pair<std::function<void(const QString &)>, QStringList> cases[] = {
        {writeProtect, {"write-protected"}},
        {[](const QString &path) { queryOutside(path, QStringLiteral("DROP TABLE Selections")); },
         {"no such table", "no such table"}}, // the deletion, then the reading again
    };
    for (const auto &[spoil, reasons] : cases) {
        SCOPED_TRACE(reasons.first().toStdString());
        StoreFixture fixture({row("ONE"), row("TWO")});
        FakeMessageBoxes boxes;
        CommandTableModel model(fixture.store(), boxes);
        FakeTableControls controls("Lock Table");
        spoil(fixture.path());

        TableCommands(controls, boxes).deleteRecord(model, 0);

        ASSERT_EQ(boxes.shown.size(), 1 + reasons.size()) << boxes.texts().join(" | ").toStdString();
        for (int i = 0; i < reasons.size(); ++i) {
            EXPECT_EQ(boxes.shown.at(i + 1).icon, MessageBoxes::Icon::Critical);
            EXPECT_TRUE(boxes.shown.at(i + 1).text.contains(reasons.at(i)))
                << boxes.shown.at(i + 1).text.toStdString();
        }
        EXPECT_EQ(model.storedRowCount(), 2);
    }
}

} // namespace

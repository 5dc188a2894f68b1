#include "InterpreterFixture.h"

#include <QSignalSpy>

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct LookupCase
{
    const char *phrase;
    bool found;
    int rowIndex;
};

class Lookup : public InterpreterFixture, public ::testing::WithParamInterface<LookupCase>
{
protected:
    Lookup()
    {
        commands.rows = {row("OPEN NOTEPAD", "FUNCTION", "first"), row("Open notepad", "FUNCTION", "second"),
                         row("CURSOR", "FUNCTION", "c"), row("Select", "FUNCTION"),
                         row("MOVE CURSOR", "FUNCTION", "m")};
    }
};

TEST_P(Lookup, FindsTheFirstRowWithTheKey)
{
    interpreter.setLookupPhrase(QString::fromLatin1(GetParam().phrase));
    interpreter.FindIt();
    EXPECT_EQ(interpreter.phraseFound(), GetParam().found) << GetParam().phrase;
    EXPECT_EQ(interpreter.rowIndex(), GetParam().rowIndex) << GetParam().phrase;
    EXPECT_EQ(interpreter.lookupPhrase(), QString::fromLatin1(GetParam().phrase).toUpper());
    if (GetParam().found) {
        EXPECT_EQ(interpreter.currentRowNumber(), GetParam().rowIndex);
        EXPECT_EQ(interpreter.currentRow(), commands.rows.at(GetParam().rowIndex - 1));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Phrases, Lookup,
    ::testing::Values(LookupCase{"open Notepad", true, 1}, LookupCase{"OPEN NOTEPAD", true, 1},
                      LookupCase{"open notepad now", false, 6}, LookupCase{" open notepad", false, 6},
                      LookupCase{"cursor down", true, 3}, LookupCase{"CURSOR 100, 200", true, 3},
                      LookupCase{"move cursor 100, 200", true, 5}, LookupCase{"select 5", true, 4},
                      LookupCase{"select cursor", true, 4}, LookupCase{"cursor select", false, 6},
                      LookupCase{"reselect", false, 6}, LookupCase{"", false, 6}));

TEST_F(InterpreterFixture, LookupStopsAtTheFirstBlankRowAndLeavesItCurrent)
{
    commands.rows = {row("A", "FUNCTION"), row("", "FUNCTION", "blank"), row("B", "FUNCTION")};
    QSignalSpy moved(&interpreter, &Interpreter::currentRowChanged);
    interpreter.setLookupPhrase(QStringLiteral("b"));
    interpreter.FindIt();
    EXPECT_FALSE(interpreter.phraseFound());
    EXPECT_EQ(interpreter.rowIndex(), 2);
    EXPECT_EQ(interpreter.currentRow().Action, QStringLiteral("blank"));
    ASSERT_FALSE(moved.isEmpty());
    EXPECT_EQ(moved.last().at(0).toInt(), 2);
}

TEST_F(InterpreterFixture, BlankFirstRowIsReportedAndNeverMatches)
{
    feedback.notFound = 1;
    for (const QList<CommandRow> &table :
         {QList<CommandRow>{row("", "FUNCTION"), row("HELLO", "FUNCTION", "x")}, QList<CommandRow>{}}) {
        // A match found before must not outlive the blank row.
        commands.rows = {row("HELLO", "FUNCTION", "x")};
        interpreter.setLookupPhrase(QStringLiteral("hello"));
        interpreter.FindIt();
        ASSERT_TRUE(interpreter.phraseFound());

        commands.rows = table;
        messages.shown.clear();
        interpreter.FindIt();
        EXPECT_FALSE(interpreter.phraseFound());
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_EQ(messages.shown.first().text,
                  QStringLiteral("Please clean up the table. The first row in the table is blank."));
        EXPECT_TRUE(messages.shown.first().title.isEmpty());
    }
    EXPECT_TRUE(speech.spoken.isEmpty()); // no not-found feedback after the message
}

TEST_F(InterpreterFixture, LookupExaminesAtMost13000Rows)
{
    QList<CommandRow> rows;
    for (int n = 1; n <= 13001; ++n)
        rows.append(row(QStringLiteral("ROW %1").arg(n), "FUNCTION"));
    commands.rows = rows;
    struct
    {
        int row;
        bool found;
    } cases[] = {{13000, true}, {13001, false}, {1, true}};
    for (const auto &c : cases) {
        interpreter.setLookupPhrase(QStringLiteral("row %1").arg(c.row));
        interpreter.FindIt();
        EXPECT_EQ(interpreter.phraseFound(), c.found) << c.row;
        EXPECT_EQ(interpreter.rowIndex(), std::min(c.row, 13000)) << c.row;
    }
}

TEST_F(InterpreterFixture, EveryLookupSeesTheTableAsStoredNow)
{
    commands.rows = {row("HELLO", "FUNCTION")};
    interpreter.setLookupPhrase(QStringLiteral("goodbye"));
    interpreter.FindIt();
    EXPECT_FALSE(interpreter.phraseFound());
    commands.rows.append(row("GOODBYE", "FUNCTION"));
    interpreter.FindIt();
    EXPECT_TRUE(interpreter.phraseFound());
    EXPECT_EQ(commands.refreshCount, 2);
}

struct NotFoundCase
{
    int notFoundState;
    int clipboardState;
    bool spoken;
    bool onClipboard;
};

class NotFound : public InterpreterFixture, public ::testing::WithParamInterface<NotFoundCase>
{
};

TEST_P(NotFound, AnswersByTheChosenRouteWithoutWaiting)
{
    commands.rows = {row("HELLO", "FUNCTION")};
    feedback.notFound = GetParam().notFoundState;
    speech.clipboardMonitor = GetParam().clipboardState;
    speech.speakingPolls = 5;
    interpreter.setLookupPhrase(QStringLiteral("select all now"));
    interpreter.FindIt();
    const QString sentence = QStringLiteral("SELECT not found");
    EXPECT_EQ(speech.spoken, GetParam().spoken ? QStringList{sentence} : QStringList{});
    EXPECT_EQ(desktop.clipboard(), GetParam().onClipboard ? sentence : QString());
    EXPECT_EQ(shared.ClipboardSpeakNow, GetParam().onClipboard);
    EXPECT_EQ(wait.calls(), 0);
}

INSTANTIATE_TEST_SUITE_P(Routes, NotFound,
                         ::testing::Values(NotFoundCase{1, 0, true, false}, NotFoundCase{1, 1, false, true},
                                           NotFoundCase{1, 2, true, false}, NotFoundCase{0, 1, false, false},
                                           NotFoundCase{2, 0, false, false}));

} // namespace

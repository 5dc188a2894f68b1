#include "InterpreterFixture.h"

#include <QSignalSpy>

using namespace kestrel;
using namespace kestrel::test;

namespace {

TEST_F(InterpreterFixture, LookupFindsTheFirstRowWithTheKey)
{
    commands.rows = {row("OPEN NOTEPAD", "FUNCTION", "first"), row("Open notepad", "FUNCTION", "second"),
                     row("CURSOR", "FUNCTION", "c"), row("Select", "FUNCTION"),
                     row("MOVE CURSOR", "FUNCTION", "m")};
    const std::pair<const char *, int> cases[] = {
        // row 6: not found, after the last row
        {"open Notepad", 1},         {"OPEN NOTEPAD", 1}, {"open notepad now", 6},
        {" open notepad", 6},        {"cursor down", 3},  {"CURSOR 100, 200", 3},
        {"move cursor 100, 200", 5}, {"select 5", 4},     {"select cursor", 4},
        {"cursor select", 6},        {"reselect", 6},     {"", 6}};
    for (const auto &[phrase, rowIndex] : cases) {
        interpreter.setLookupPhrase(QString::fromLatin1(phrase));
        interpreter.FindIt();
        EXPECT_EQ(interpreter.phraseFound(), rowIndex < 6) << phrase;
        EXPECT_EQ(interpreter.rowIndex(), rowIndex) << phrase;
        EXPECT_EQ(interpreter.lookupPhrase(), QString::fromLatin1(phrase).toUpper());
        if (rowIndex < 6) {
            EXPECT_EQ(interpreter.currentRowNumber(), rowIndex);
            EXPECT_EQ(interpreter.currentRow(), commands.rows.at(rowIndex - 1));
        }
    }
}

TEST_F(InterpreterFixture, LookupStopsAtTheFirstBlankRowAndLeavesItCurrent)
{
    commands.rows = {row("A", "FUNCTION"), row("", "FUNCTION", "blank"), row("B", "FUNCTION")};
    QSignalSpy moved(&interpreter, &Interpreter::currentRowChanged);
    interpreter.setLookupPhrase("b");
    interpreter.FindIt();
    EXPECT_FALSE(interpreter.phraseFound());
    EXPECT_EQ(interpreter.rowIndex(), 2);
    EXPECT_EQ(interpreter.currentRow().Action, "blank");
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
        interpreter.setLookupPhrase("hello");
        interpreter.FindIt();
        ASSERT_TRUE(interpreter.phraseFound());

        commands.rows = table;
        messages.shown.clear();
        interpreter.FindIt();
        EXPECT_FALSE(interpreter.phraseFound());
        EXPECT_EQ(messages.titledTexts(),
                  QStringList{"|Please clean up the table. The first row in the table is blank."});
    }
    EXPECT_TRUE(speech.spoken.isEmpty()); // no not-found feedback after the message
}

TEST_F(InterpreterFixture, LookupExaminesAtMost13000RowsOfTheTableAsStoredNow)
{
    for (int n = 1; n <= 13001; ++n)
        commands.rows.append(row(QStringLiteral("ROW %1").arg(n), "FUNCTION"));
    for (const auto &[rowNumber, found] : {std::pair{13000, true}, {13001, false}, {1, true}}) {
        interpreter.setLookupPhrase(QStringLiteral("row %1").arg(rowNumber));
        interpreter.FindIt();
        EXPECT_EQ(interpreter.phraseFound(), found) << rowNumber;
        EXPECT_EQ(interpreter.rowIndex(), std::min(rowNumber, 13000)) << rowNumber;
    }
    // Every lookup reads the table again: a row added since is found.
    commands.rows = {row("HELLO", "FUNCTION")};
    interpreter.setLookupPhrase("goodbye");
    interpreter.FindIt();
    EXPECT_FALSE(interpreter.phraseFound());
    commands.rows.append(row("GOODBYE", "FUNCTION"));
    interpreter.FindIt();
    EXPECT_TRUE(interpreter.phraseFound());
    EXPECT_EQ(commands.refreshCount, 5);
}

TEST(NotFound, AnswersByTheChosenRouteWithoutWaiting)
{
    // The not-found box and the clipboard monitor: 0 clear, 1 ticked, 2 greyed.
    for (const auto &[notFound, clipboard, spoken, onClipboard] : {std::tuple{1, 0, true, false},
                                                                   {1, 1, false, true},
                                                                   {1, 2, true, false},
                                                                   {0, 1, false, false},
                                                                   {2, 0, false, false}}) {
        InterpreterParts f;
        f.commands.rows = {row("HELLO", "FUNCTION")};
        f.feedback.notFound = notFound;
        f.speech.clipboardMonitor = clipboard;
        f.speech.speakingPolls = 5;
        f.interpreter.setLookupPhrase("select all now");
        f.interpreter.FindIt();
        const QString sentence = "SELECT not found";
        SCOPED_TRACE(testing::Message() << notFound << clipboard);
        EXPECT_EQ(f.speech.spoken, spoken ? QStringList{sentence} : QStringList{});
        EXPECT_EQ(f.desktop.clipboard(), onClipboard ? sentence : QString());
        EXPECT_EQ(f.shared.ClipboardSpeakNow, onClipboard);
        EXPECT_EQ(f.wait.calls(), 0);
    }
}

} // namespace

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
    using P = std::pair<const char *, int>; // row 6: not found, after the last row
    for (const auto &[phrase, rowIndex] :
         {P{"open Notepad", 1}, P{"OPEN NOTEPAD", 1}, P{"open notepad now", 6}, P{" open notepad", 6},
          P{"cursor down", 3}, P{"CURSOR 100, 200", 3}, P{"move cursor 100, 200", 5}, P{"select 5", 4},
          P{"select cursor", 4}, P{"cursor select", 6}, P{"reselect", 6}, P{"", 6}}) {
        EXPECT_EQ(find(phrase), rowIndex < 6) << phrase;
        EXPECT_EQ(interpreter.rowIndex(), rowIndex) << phrase;
        EXPECT_EQ(interpreter.lookupPhrase(), QString(phrase).toUpper());
        if (rowIndex < 6) {
            EXPECT_EQ(interpreter.currentRowNumber(), rowIndex);
            EXPECT_EQ(interpreter.currentRow(), commands.rows.at(rowIndex - 1));
        }
    }
}

TEST_F(InterpreterFixture, LookupStopsAtABlankRowAndABlankFirstRowIsReported)
{
    commands.rows = {row("A", "FUNCTION"), row("", "FUNCTION", "blank"), row("B", "FUNCTION")};
    QSignalSpy moved(&interpreter, &Interpreter::currentRowChanged);
    EXPECT_FALSE(find("b"));
    EXPECT_EQ(interpreter.rowIndex(), 2);
    EXPECT_EQ(interpreter.currentRow().Action, "blank");
    ASSERT_FALSE(moved.isEmpty());
    EXPECT_EQ(moved.last().at(0).toInt(), 2);

    feedback.notFound = 1;
    for (const QList<CommandRow> &table :
         {QList<CommandRow>{row("", "FUNCTION"), row("HELLO", "FUNCTION", "x")}, QList<CommandRow>{}}) {
        // A match found before must not outlive the blank row.
        commands.rows = {row("HELLO", "FUNCTION", "x")};
        ASSERT_TRUE(find("hello"));
        commands.rows = table;
        messages.shown.clear();
        EXPECT_FALSE(find("hello"));
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
        EXPECT_EQ(find(QStringLiteral("row %1").arg(rowNumber)), found) << rowNumber;
        EXPECT_EQ(interpreter.rowIndex(), std::min(rowNumber, 13000)) << rowNumber;
    }
    // Every lookup reads the table again: a row added since is found.
    commands.rows = {row("HELLO", "FUNCTION")};
    EXPECT_FALSE(find("goodbye"));
    commands.rows.append(row("GOODBYE", "FUNCTION"));
    EXPECT_TRUE(find("goodbye"));
    EXPECT_EQ(commands.refreshCount, 5);
}

TEST(NotFound, AnswersByTheChosenRouteWithoutWaiting)
{
    // The not-found box and the clipboard monitor (0 clear, 1 ticked, 2 greyed): spoken, on the clipboard.
    using R = std::tuple<int, int, bool, bool>;
    for (const auto &[notFound, clipboard, spoken, onClipboard] :
         {R{1, 0, true, false}, R{1, 1, false, true}, R{1, 2, true, false}, R{0, 1, false, false},
          R{2, 0, false, false}}) {
        InterpreterParts f;
        f.commands.rows = {row("HELLO", "FUNCTION")};
        f.feedback.notFound = notFound;
        f.speech.clipboardMonitor = clipboard;
        f.speech.speakingPolls = 5;
        f.find("select all now");
        const QString sentence = "SELECT not found";
        SCOPED_TRACE(testing::Message() << notFound << clipboard);
        EXPECT_EQ(f.speech.spoken, spoken ? QStringList{sentence} : QStringList{});
        EXPECT_EQ(f.desktop.clipboard(), onClipboard ? sentence : QString());
        EXPECT_EQ(f.shared.ClipboardSpeakNow, onClipboard);
        EXPECT_EQ(f.wait.calls(), 0);
    }
}

} // namespace

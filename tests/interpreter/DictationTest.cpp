#include "InterpreterFixture.h"

using namespace kestrel;
using namespace kestrel::test;

namespace {

class Dictation : public InterpreterFixture,
                  public ::testing::WithParamInterface<std::pair<const char *, const char *>>
{
protected:
    Dictation()
    {
        commands.rows = {row("TAKE NOTE", "text", "{enter}"), row("WRITE", " TEXT ", "abc", "open editor"),
                         row("OPEN NOTEPAD", "FUNCTION", "x")};
    }
};

TEST_P(Dictation, TextIsTypedLiterallyAfterTheRowsAction)
{
    const auto [heard, typed] = GetParam();
    say("take note");
    EXPECT_TRUE(interpreter.dictating());
    say(QString::fromUtf8(heard));
    EXPECT_FALSE(interpreter.dictating());
    EXPECT_EQ(desktop.actions(), lines("keys {ENTER} wait|") + lines(typed)) << heard;
    EXPECT_EQ(speech.spoken, QStringList{"Say the text"});
    // The dictated phrase is neither confirmed nor shown as finished.
    EXPECT_EQ(mainWindow.calls.count("status Finished Dictating"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Phrases, Dictation,
    ::testing::Values(std::pair{"hello world.", "type hello world"},
                      std::pair{"spell it a b c", "type a b c"}, std::pair{"please Spell It x", "type x"},
                      std::pair{"open notepad", "type open notepad"}, std::pair{"yes", "type yes"},
                      std::pair{"50% + 2 ^ {x} ~", "type 50% + 2 ^ {x} ~"}, std::pair{"spell it", ""}));

TEST_F(Dictation, ParentThatIsNotOpenIsNamedButDictationStillStarts)
{
    say("write");
    EXPECT_EQ(speech.spoken, lines("Say the text|You must open OPEN EDITOR before you can operate on it"));
    EXPECT_TRUE(interpreter.dictating());
    say("hi");
    EXPECT_EQ(desktop.actions(), lines("keys ABC wait|type hi"));
}

TEST_F(Dictation, OpenParentIsOnlyChecked)
{
    slots.setPhrase(7, " OPEN EDITOR ");
    slots.setWindow(7, 0x50);
    say("write");
    EXPECT_EQ(speech.spoken, QStringList{"Say the text"});
    EXPECT_EQ(interpreter.rowIndex(), 0);
    say("hi");
    // No window is brought forward: the text goes to the front window.
    EXPECT_EQ(desktop.actions(), lines("keys ABC wait|type hi"));
}

TEST_F(Dictation, FailureWhileTypingStillEndsDictation)
{
    desktop.failOn("type", "Display gone");
    say("take note");
    say("hello");
    EXPECT_FALSE(interpreter.dictating());
    say("open notepad");
    EXPECT_TRUE(desktop.actions().contains("keys x wait"));
}

} // namespace

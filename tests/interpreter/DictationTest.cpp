#include "InterpreterFixture.h"

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct Dictation : InterpreterParts<>
{
    Dictation()
    {
        commands.rows = {row("TAKE NOTE", "text", "{enter}"), row("WRITE", " TEXT ", "abc", "open editor"),
                         row("OPEN NOTEPAD", "FUNCTION", "x")};
    }
};

TEST(Dictation, TextIsTypedLiterallyAfterTheRowsAction)
{
    using P = std::pair<const char *, const char *>;
    const P cases[] = {P{"hello world.", "type hello world"},
                       P{"spell it a b c", "type a b c"},
                       P{"please Spell It x", "type x"},
                       P{"open notepad", "type open notepad"},
                       P{"yes", "type yes"},
                       P{"50% + 2 ^ {x} ~", "type 50% + 2 ^ {x} ~"},
                       P{"spell it", ""}};
    for (const auto &[heard, typed] : cases) {
        Dictation f;
        f.say("take note");
        EXPECT_TRUE(f.interpreter.dictating());
        f.say(QString::fromUtf8(heard));
        EXPECT_FALSE(f.interpreter.dictating());
        EXPECT_EQ(f.desktop.actions(), lines("keys {ENTER} wait|") + lines(typed)) << heard;
        EXPECT_EQ(f.speech.spoken, QStringList{"Say the text"});
        // The dictated phrase is neither confirmed nor shown as finished.
        EXPECT_EQ(f.mainWindow.calls.count("status Finished Dictating"), 1);
    }
}

TEST(Dictation, ParentIsOnlyCheckedAndNamedWhenItIsNotOpen)
{
    Dictation f;
    f.say("write");
    EXPECT_EQ(f.speech.spoken, lines("Say the text|You must open OPEN EDITOR before you can operate on it"));
    EXPECT_TRUE(f.interpreter.dictating());
    f.say("hi");
    EXPECT_EQ(f.took(), lines("keys ABC wait|type hi"));

    // Open, it is not brought forward: the text goes to the front window.
    f.slots.setPhrase(7, " OPEN EDITOR ");
    f.slots.setWindow(7, 0x50);
    f.speech.spoken.clear();
    f.say("write");
    EXPECT_EQ(f.speech.spoken, QStringList{"Say the text"});
    EXPECT_EQ(f.interpreter.rowIndex(), 0);
    f.say("hi");
    EXPECT_EQ(f.took(), lines("keys ABC wait|type hi"));
}

TEST(Dictation, FailureWhileTypingStillEndsDictation)
{
    Dictation f;
    f.desktop.failOn("type", "Display gone");
    f.say("take note");
    f.say("hello");
    EXPECT_FALSE(f.interpreter.dictating());
    f.say("open notepad");
    EXPECT_TRUE(f.desktop.actions().contains("keys x wait"));
}

} // namespace

#include "InterpreterFixture.h"

using namespace kestrel;
using namespace kestrel::test;

namespace {

class Dictation : public InterpreterFixture
{
protected:
    Dictation()
    {
        commands.rows = {row("TAKE NOTE", "text", "{enter}"), row("WRITE", " TEXT ", "abc", "open editor"),
                         row("OPEN NOTEPAD", "FUNCTION", "x")};
    }
};

struct DictatedCase
{
    const char *heard;
    const char *typed; ///< nullptr: nothing is typed
};

class DictatedText : public Dictation, public ::testing::WithParamInterface<DictatedCase>
{
};

TEST_P(DictatedText, IsTypedLiterallyAfterTheRowsAction)
{
    say(QStringLiteral("take note"));
    EXPECT_TRUE(interpreter.dictating());
    say(QString::fromUtf8(GetParam().heard));
    EXPECT_FALSE(interpreter.dictating());
    QStringList expected{QStringLiteral("keys {ENTER} wait")};
    if (GetParam().typed)
        expected << QStringLiteral("type ") + QString::fromUtf8(GetParam().typed);
    EXPECT_EQ(desktop.actions(), expected) << GetParam().heard;
    EXPECT_EQ(speech.spoken, QStringList{QStringLiteral("Say the text")});
    // The dictated phrase is neither confirmed nor shown as finished.
    EXPECT_EQ(mainWindow.calls.count(QStringLiteral("status Finished Dictating")), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Phrases, DictatedText,
    ::testing::Values(DictatedCase{"hello world.", "hello world"}, DictatedCase{"a. b", "ab"},
                      DictatedCase{"spell it a b c", "a b c"}, DictatedCase{"please Spell It x", "x"},
                      DictatedCase{"open notepad", "open notepad"}, DictatedCase{"yes", "yes"},
                      DictatedCase{"50% + 2 ^ {x} ~", "50% + 2 ^ {x} ~"}, DictatedCase{"a SPACE b", "a b"},
                      DictatedCase{"spell it", nullptr}));

TEST_F(Dictation, ParentThatIsNotOpenIsNamedButDictationStillStarts)
{
    say(QStringLiteral("write"));
    EXPECT_EQ(speech.spoken,
              (QStringList{QStringLiteral("Say the text"),
                           QStringLiteral("You must open OPEN EDITOR before you can operate on it")}));
    EXPECT_TRUE(interpreter.dictating());
    say(QStringLiteral("hi"));
    EXPECT_EQ(desktop.actions(), (QStringList{QStringLiteral("keys ABC wait"), QStringLiteral("type hi")}));
}

TEST_F(Dictation, OpenParentIsOnlyChecked)
{
    slots.setPhrase(7, QStringLiteral(" OPEN EDITOR "));
    slots.setWindow(7, 0x50);
    say(QStringLiteral("write"));
    EXPECT_EQ(speech.spoken, QStringList{QStringLiteral("Say the text")});
    EXPECT_EQ(interpreter.rowIndex(), 0);
    say(QStringLiteral("hi"));
    // No window is brought forward: the text goes to the front window.
    EXPECT_EQ(desktop.actions(), (QStringList{QStringLiteral("keys ABC wait"), QStringLiteral("type hi")}));
}

TEST_F(Dictation, FailureWhileTypingStillEndsDictation)
{
    desktop.failOn(QStringLiteral("type"), QStringLiteral("Display gone"));
    say(QStringLiteral("take note"));
    say(QStringLiteral("hello"));
    EXPECT_FALSE(interpreter.dictating());
    say(QStringLiteral("open notepad"));
    EXPECT_TRUE(desktop.actions().contains(QStringLiteral("keys x wait")));
}

} // namespace

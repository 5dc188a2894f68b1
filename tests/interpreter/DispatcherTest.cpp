#include "InterpreterFixture.h"

using namespace kestrel;
using namespace kestrel::test;

namespace {

TEST(Confirmation, ExecutesOnlyWhatWasConfirmed)
{
    struct Case
    {
        int confirmation;                               ///< 0 off, 1 on, 2 greyed (counts as off)
        const char *heard, *actions, *spoken, *pending; // lists with "|" between lines
    };
    const Case cases[] = {
        Case{1, "hello|yes", "keys hi wait", "Did You Say hello", "yes"},
        Case{1, "hello|yes|yes", "keys hi wait|keys yesrow wait", "Did You Say hello", "yes"},
        Case{1, "hello|no|yes", "keys hi wait", "Did You Say hello|Please say again", "yes"},
        Case{1, "this", "", " not found", ""}, // a yes-word with nothing pending
        Case{1, "hello|U.S.", "keys hi wait", "Did You Say hello", "US"},
        Case{1, "hello|hello", "", "Did You Say hello|Did You Say hello", "hello"},
        Case{0, "Hello.", "keys hi wait", "", "Hello"},
        Case{2, "hello", "keys hi wait", "", "hello"},
        Case{0, "yes", "keys yesrow wait", "", "yes"},
        Case{0, "no", "", "NO not found", "no"}};
    for (const Case &c : cases) {
        InterpreterParts f;
        f.commands.rows = {row("HELLO", "FUNCTION", "hi"), row("YES", "FUNCTION", "yesrow")};
        f.feedback.notFound = 1;
        f.feedback.confirmation = c.confirmation;
        for (const QString &phrase : lines(c.heard))
            f.say(phrase);
        SCOPED_TRACE(c.heard);
        EXPECT_EQ(f.desktop.actions(), lines(c.actions));
        EXPECT_EQ(f.speech.spoken, lines(c.spoken));
        EXPECT_EQ(f.interpreter.pendingPhrase(), c.pending);
        EXPECT_EQ(f.mainWindow.calls.count("status Finished Dictating"), lines(c.heard).size());
    }
}

TEST_F(InterpreterFixture, ConfirmationCommandTogglesTheSwitch)
{
    commands.rows = {row("CONFIRMATION", "FUNCTION")};
    say("confirmation"); // off -> on
    say("confirmation"); // only asks now
    say("yes");          // on -> off
    feedback.confirmation = 2;
    say("confirmation"); // greyed -> on
    EXPECT_EQ(feedback.confirmationWrites, (QList<int>{1, 0, 1}));
    EXPECT_EQ(speech.spoken, QStringList{"Did You Say confirmation"});
}

TEST_F(InterpreterFixture, ExecutingAnnouncementWaitsForTheVoice)
{
    commands.rows = {row("HELLO", "FUNCTION", "hi")};
    feedback.executing = 1;
    speech.speakingPolls = 4;
    say("hello");
    EXPECT_EQ(speech.spoken, QStringList{"Executing hello"});
    EXPECT_EQ(wait.calls(), 5); // events run once more than the voice reports speaking
    EXPECT_EQ(desktop.actions(), QStringList{"keys hi wait"});
}

TEST(Gate, RowsDoWhatTheirPhraseAndActionSay)
{
    struct Case
    {
        CommandRow row;
        const char *heard, *actions, *windowCalls; // window calls after "status ...", "stop button"
    };
    const CommandRow kCursor = row("CURSOR", "FUNCTION", "x"), kSelect = row("SELECT", "FUNCTION");
    const Case cases[] = {
        // An empty action ends the run before the parent check; quit and stop phrases need none.
        Case{row("NOTHING", "FUNCTION", "", "NEVER OPENED"), "nothing", "", ""},
        Case{row("QUIT PROGRAM", "FUNCTION", "", "NEVER OPENED"), "quit program", "", "quit"},
        Case{row("PLEASE STOP RECOGNITION", "", "", "NEVER OPENED"), "please stop recognition", "",
             "stop listening"},
        Case{row("HUSH", "FUNCTION", "a{STOP RECOGNITION}b"), "hush", "keys ab wait", "stop listening"},
        // Only the first, upper-case stop token counts; the rest is key text.
        Case{row("HUSH", "FUNCTION", "{STOP RECOGNITION}x{STOP RECOGNITION}"), "hush",
             "keys-rejected x{STOP RECOGNITION}", "stop listening"},
        Case{row("HUSH", "FUNCTION", "a{stop recognition}b"), "hush", "keys-rejected a{stop recognition}b",
             ""},
        Case{row("LEFT CLICK", "FUNCTION", "x"), "left click", "click L down|click L up", ""},
        Case{row("LEFT CLICK", "FUNCTION"), "left click", "", ""},
        Case{row("Right Click", "FUNCTION", "x"), "right click", "click R down|click R up", ""},
        Case{kCursor, "cursor down", "cursor 100,120", ""},
        Case{kCursor, "cursor super", "cursor 100,80", ""}, Case{kCursor, "cursor left", "cursor 80,100", ""},
        Case{kCursor, "cursor 300, 400", "cursor 300,400", ""},
        // A point needs a comma and a blank; an overflowing one ends the run silently.
        Case{kCursor, "cursor 300,400", "", ""}, Case{kCursor, "cursor 40000, 1", "", ""},
        Case{kSelect, "select 2", "keys +{RIGHT} nowait|keys +{RIGHT} nowait", ""},
        Case{kSelect, "select", "", ""}, Case{kSelect, "select -2", "", ""},
        Case{row("BYE", "FUNCTION", "x{QUIT}"), "bye", "", "quit"}};
    for (const Case &c : cases) {
        InterpreterParts f;
        f.commands.rows = {c.row};
        f.desktop.setCursor(QPoint(100, 100));
        f.say(c.heard);
        SCOPED_TRACE(c.heard + (": " + c.row.Action.toStdString()));
        EXPECT_EQ(f.desktop.actions(), lines(c.actions));
        EXPECT_EQ(f.mainWindow.calls.mid(2), lines(c.windowCalls));
        EXPECT_TRUE(f.speech.spoken.isEmpty()); // never reached the parent check
        EXPECT_TRUE(f.messages.shown.isEmpty());
    }
}

TEST_F(InterpreterFixture, FailuresNamingAPathAreShownOthersAreSilentAndSkipTheFinish)
{
    commands.rows = {row("SAVE", "FUNCTION", "^s")};
    desktop.failOn("keys", "Device unavailable");
    say("save");
    EXPECT_TRUE(messages.shown.isEmpty());

    desktop.failOn("keys", "Path not found: /tmp/x");
    say("save");
    EXPECT_EQ(messages.titledTexts(), QStringList{"|Path not found: /tmp/x"});

    // The run ended in the failure, so the yes-word did not become pending.
    feedback.confirmation = 1;
    say("yes");
    EXPECT_EQ(interpreter.pendingPhrase(), "save");
}

TEST(Nesting, InnerRunChangesTheOuterRun)
{
    // A recognition handled inside the announcement's wait changes the lookup under
    // the waiting run; the run checks PhraseFound once more and reads the row anew:
    // not found inside stops the outer run, a row found inside becomes its row.
    for (const auto &[nested, actions] : {std::pair{"gamma", ""}, {"beta", "keys bbb wait|keys bbb wait"}}) {
        InterpreterParts f;
        f.commands.rows = {row("ALPHA", "FUNCTION", "aaa"), row("BETA", "FUNCTION", "bbb")};
        f.feedback.executing = 1;
        f.speech.speakingPolls = 3;
        f.wait.onCall(2, [&] { f.say(nested); });
        f.say("alpha");
        EXPECT_EQ(f.desktop.actions(), lines(actions)) << nested;
        EXPECT_EQ(f.interpreter.pendingPhrase(), nested);
        EXPECT_EQ(f.speech.spoken.first(), "Executing alpha");
    }
}

} // namespace

#include "InterpreterFixture.h"

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct ConfirmCase
{
    int confirmation;                               ///< 0 off, 1 on, 2 greyed (counts as off)
    const char *heard, *actions, *spoken, *pending; // lists with "|" between lines
};

class Confirmation : public InterpreterFixture, public ::testing::WithParamInterface<ConfirmCase>
{
};

TEST_P(Confirmation, ExecutesOnlyWhatWasConfirmed)
{
    const ConfirmCase &c = GetParam();
    commands.rows = {row("HELLO", "FUNCTION", "hi"), row("YES", "FUNCTION", "yesrow")};
    feedback.notFound = 1;
    feedback.confirmation = c.confirmation;
    for (const QString &phrase : lines(c.heard))
        say(phrase);
    EXPECT_EQ(desktop.actions(), lines(c.actions)) << c.heard;
    EXPECT_EQ(speech.spoken, lines(c.spoken)) << c.heard;
    EXPECT_EQ(interpreter.pendingPhrase(), c.pending) << c.heard;
    EXPECT_EQ(mainWindow.calls.count("status Finished Dictating"), lines(c.heard).size()) << c.heard;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Confirmation,
    ::testing::Values(
        ConfirmCase{1, "hello|yes", "keys hi wait", "Did You Say hello", "yes"},
        ConfirmCase{1, "hello|yes|yes", "keys hi wait|keys yesrow wait", "Did You Say hello", "yes"},
        ConfirmCase{1, "hello|no|yes", "keys hi wait", "Did You Say hello|Please say again", "yes"},
        ConfirmCase{1, "this", "", " not found", ""}, // a yes-word with nothing pending
        ConfirmCase{1, "hello|U.S.", "keys hi wait", "Did You Say hello", "US"},
        ConfirmCase{1, "hello|hello", "", "Did You Say hello|Did You Say hello", "hello"},
        ConfirmCase{0, "Hello.", "keys hi wait", "", "Hello"},
        ConfirmCase{2, "hello", "keys hi wait", "", "hello"},
        ConfirmCase{0, "yes", "keys yesrow wait", "", "yes"},
        ConfirmCase{0, "no", "", "NO not found", "no"}));

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

struct GateCase
{
    CommandRow row;
    const char *heard, *actions, *windowCalls; // window calls after "status ...", "stop button"
};

class Gate : public InterpreterFixture, public ::testing::WithParamInterface<GateCase>
{
};

TEST_P(Gate, RowsDoWhatTheirPhraseAndActionSay)
{
    const GateCase &c = GetParam();
    commands.rows = {c.row};
    desktop.setCursor(QPoint(100, 100));
    say(c.heard);
    EXPECT_EQ(desktop.actions(), lines(c.actions)) << c.heard << ": " << c.row.Action.toStdString();
    EXPECT_EQ(mainWindow.calls.mid(2), lines(c.windowCalls)) << c.heard;
    EXPECT_TRUE(speech.spoken.isEmpty()) << c.heard; // never reached the parent check
    EXPECT_TRUE(messages.shown.isEmpty()) << c.heard;
}

const CommandRow kCursor = row("CURSOR", "FUNCTION", "x");
const CommandRow kSelect = row("SELECT", "FUNCTION");

INSTANTIATE_TEST_SUITE_P(
    Rows, Gate,
    ::testing::Values(
        // An empty action ends the run before the parent check; quit and stop phrases need none.
        GateCase{row("NOTHING", "FUNCTION", "", "NEVER OPENED"), "nothing", "", ""},
        GateCase{row("QUIT PROGRAM", "FUNCTION", "", "NEVER OPENED"), "quit program", "", "quit"},
        GateCase{row("PLEASE STOP RECOGNITION", "", "", "NEVER OPENED"), "please stop recognition", "",
                 "stop listening"},
        GateCase{row("HUSH", "FUNCTION", "a{STOP RECOGNITION}b"), "hush", "keys ab wait", "stop listening"},
        // Only the first, upper-case stop token counts; the rest is key text.
        GateCase{row("HUSH", "FUNCTION", "{STOP RECOGNITION}x{STOP RECOGNITION}"), "hush",
                 "keys-rejected x{STOP RECOGNITION}", "stop listening"},
        GateCase{row("HUSH", "FUNCTION", "a{stop recognition}b"), "hush",
                 "keys-rejected a{stop recognition}b", ""},
        GateCase{row("LEFT CLICK", "FUNCTION", "x"), "left click", "click L down|click L up", ""},
        GateCase{row("LEFT CLICK", "FUNCTION"), "left click", "", ""},
        GateCase{row("Right Click", "FUNCTION", "x"), "right click", "click R down|click R up", ""},
        GateCase{kCursor, "cursor down", "cursor 100,120", ""},
        GateCase{kCursor, "cursor super", "cursor 100,80", ""},
        GateCase{kCursor, "cursor left", "cursor 80,100", ""},
        GateCase{kCursor, "cursor 300, 400", "cursor 300,400", ""},
        // A point needs a comma and a blank; an overflowing one ends the run silently.
        GateCase{kCursor, "cursor 300,400", "", ""}, GateCase{kCursor, "cursor 40000, 1", "", ""},
        GateCase{kSelect, "select 2", "keys +{RIGHT} nowait|keys +{RIGHT} nowait", ""},
        GateCase{kSelect, "select", "", ""}, GateCase{kSelect, "select -2", "", ""},
        GateCase{row("COPY", "FUNCTION", "^c{CURSOR 5,6}"), "copy", "keys ^c wait|cursor 5,6", ""},
        GateCase{row("BYE", "FUNCTION", "x{QUIT}"), "bye", "", "quit"}));

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

// A recognition handled inside the announcement's wait changes the lookup under
// the waiting run; the run checks PhraseFound once more and reads the row anew.
class Nesting : public InterpreterFixture, public ::testing::WithParamInterface<std::array<const char *, 3>>
{
};

TEST_P(Nesting, InnerRunChangesTheOuterRun)
{
    const auto [nested, actions, pending] = GetParam();
    commands.rows = {row("ALPHA", "FUNCTION", "aaa"), row("BETA", "FUNCTION", "bbb")};
    feedback.executing = 1;
    speech.speakingPolls = 3;
    wait.onCall(2, [this] { say(GetParam()[0]); });
    say("alpha");
    EXPECT_EQ(desktop.actions(), lines(actions)) << nested;
    EXPECT_EQ(interpreter.pendingPhrase(), pending) << nested;
    EXPECT_EQ(speech.spoken.first(), "Executing alpha");
}

// Not found inside stops the outer run; a row found inside becomes the outer run's row.
INSTANTIATE_TEST_SUITE_P(Inside, Nesting,
                         ::testing::Values(std::array<const char *, 3>{"gamma", "", "gamma"},
                                           std::array<const char *, 3>{"beta", "keys bbb wait|keys bbb wait",
                                                                       "beta"}));

} // namespace

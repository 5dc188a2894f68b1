#include "InterpreterFixture.h"

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct ConfirmCase
{
    const char *name;
    int confirmation;
    const char *heard; ///< phrases, "|" between them
    const char *actions;
    const char *spoken;
    const char *pending;
};

class Confirmation : public InterpreterFixture, public ::testing::WithParamInterface<ConfirmCase>
{
protected:
    Confirmation()
    {
        commands.rows = {row("HELLO", "FUNCTION", "hi"), row("YES", "FUNCTION", "yesrow")};
        feedback.notFound = 1;
    }
};

TEST_P(Confirmation, ExecutesOnlyWhatWasConfirmed)
{
    const ConfirmCase &c = GetParam();
    feedback.confirmation = c.confirmation;
    const QStringList heard = lines(c.heard);
    for (const QString &phrase : heard)
        say(phrase);
    EXPECT_EQ(desktop.actions(), lines(c.actions)) << c.name;
    EXPECT_EQ(speech.spoken, lines(c.spoken)) << c.name;
    EXPECT_EQ(interpreter.pendingPhrase(), QString::fromLatin1(c.pending)) << c.name;
    EXPECT_EQ(mainWindow.calls.count(QStringLiteral("status Finished Dictating")), heard.size()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Confirmation,
    ::testing::Values(ConfirmCase{"yes executes", 1, "hello|yes", "keys hi wait", "Did You Say hello", "yes"},
                      ConfirmCase{"second yes looks up YES", 1, "hello|yes|yes",
                                  "keys hi wait|keys yesrow wait", "Did You Say hello", "yes"},
                      ConfirmCase{"no keeps the pending phrase", 1, "hello|no|yes", "keys hi wait",
                                  "Did You Say hello|Please say again", "yes"},
                      ConfirmCase{"yes with nothing pending", 1, "this", "", " not found", ""},
                      ConfirmCase{"U.S. is a yes", 1, "hello|U.S.", "keys hi wait", "Did You Say hello",
                                  "US"},
                      ConfirmCase{"a phrase only asks", 1, "hello|hello", "",
                                  "Did You Say hello|Did You Say hello", "hello"},
                      ConfirmCase{"off executes at once", 0, "Hello.", "keys hi wait", "", "Hello"},
                      ConfirmCase{"greyed counts as off", 2, "hello", "keys hi wait", "", "hello"},
                      ConfirmCase{"off: yes is a phrase", 0, "yes", "keys yesrow wait", "", "yes"},
                      ConfirmCase{"off: no is looked up", 0, "no", "", "NO not found", "no"}));

TEST_F(InterpreterFixture, ConfirmationCommandTogglesTheSwitch)
{
    commands.rows = {row("CONFIRMATION", "FUNCTION")};
    say(QStringLiteral("confirmation")); // off -> on
    say(QStringLiteral("confirmation")); // only asks now
    say(QStringLiteral("yes"));          // on -> off
    feedback.confirmation = 2;
    say(QStringLiteral("confirmation")); // greyed -> on
    EXPECT_EQ(feedback.confirmationWrites, (QList<int>{1, 0, 1}));
    EXPECT_EQ(speech.spoken, QStringList{QStringLiteral("Did You Say confirmation")});
}

TEST_F(InterpreterFixture, ExecutingAnnouncementWaitsForTheVoice)
{
    commands.rows = {row("HELLO", "FUNCTION", "hi")};
    feedback.executing = 1;
    speech.speakingPolls = 4;
    say(QStringLiteral("hello"));
    EXPECT_EQ(speech.spoken, QStringList{QStringLiteral("Executing hello")});
    EXPECT_EQ(wait.calls(), 5); // events run once more than the voice reports speaking
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("keys hi wait")});
}

TEST_F(InterpreterFixture, FeedbackOnTheClipboardIsFlaggedForTheMonitor)
{
    commands.rows = {row("HELLO", "FUNCTION", "hi")};
    feedback.executing = 1;
    speech.clipboardMonitor = 1;
    say(QStringLiteral("hello"));
    EXPECT_EQ(desktop.clipboard(), QStringLiteral("Executing hello"));
    EXPECT_TRUE(shared.ClipboardSpeakNow);
    EXPECT_TRUE(speech.spoken.isEmpty());
}

struct GateCase
{
    const char *name;
    CommandRow row;
    const char *heard;
    const char *actions;     ///< "|" between lines
    const char *windowCalls; ///< calls after "status ...", "stop button"
};

class Gate : public InterpreterFixture, public ::testing::WithParamInterface<GateCase>
{
};

TEST_P(Gate, RowsDoWhatTheirPhraseAndActionSay)
{
    const GateCase &c = GetParam();
    commands.rows = {c.row};
    desktop.setCursor(QPoint(100, 100));
    say(QString::fromLatin1(c.heard));
    EXPECT_EQ(desktop.actions(), lines(c.actions)) << c.name;
    EXPECT_EQ(mainWindow.calls.mid(2), lines(c.windowCalls)) << c.name;
    EXPECT_TRUE(speech.spoken.isEmpty()) << c.name; // never reached the parent check
    EXPECT_TRUE(messages.shown.isEmpty()) << c.name;
}

const CommandRow kCursor = row("CURSOR", "FUNCTION", "x");
const CommandRow kSelect = row("SELECT", "FUNCTION");

INSTANTIATE_TEST_SUITE_P(
    Rows, Gate,
    ::testing::Values(
        GateCase{"empty action does nothing", row("NOTHING", "FUNCTION", "", "NEVER OPENED"), "nothing", "",
                 ""},
        GateCase{"quit phrase", row("QUIT PROGRAM", "FUNCTION", "", "NEVER OPENED"), "quit program", "",
                 "quit"},
        GateCase{"stop phrase", row("PLEASE STOP RECOGNITION", "", "", "NEVER OPENED"),
                 "please stop recognition", "", "stop listening"},
        GateCase{"stop token", row("HUSH", "FUNCTION", "a{STOP RECOGNITION}b"), "hush", "keys ab wait",
                 "stop listening"},
        GateCase{"only the first stop token",
                 row("HUSH", "FUNCTION", "{STOP RECOGNITION}x{STOP RECOGNITION}"), "hush",
                 "keys-rejected x{STOP RECOGNITION}", "stop listening"},
        GateCase{"lower-case stop token is key text", row("HUSH", "FUNCTION", "a{stop recognition}b"), "hush",
                 "keys-rejected a{stop recognition}b", ""},
        GateCase{"left click", row("LEFT CLICK", "FUNCTION", "x"), "left click", "click L down|click L up",
                 ""},
        GateCase{"left click needs an action", row("LEFT CLICK", "FUNCTION"), "left click", "", ""},
        GateCase{"right click", row("Right Click", "FUNCTION", "x"), "right click", "click R down|click R up",
                 ""},
        GateCase{"cursor down", kCursor, "cursor down", "cursor 100,120", ""},
        GateCase{"cursor super is up", kCursor, "cursor super", "cursor 100,80", ""},
        GateCase{"cursor left", kCursor, "cursor left", "cursor 80,100", ""},
        GateCase{"cursor to a point", kCursor, "cursor 300, 400", "cursor 300,400", ""},
        GateCase{"cursor point needs comma and blank", kCursor, "cursor 300,400", "", ""},
        GateCase{"cursor overflow ends silently", kCursor, "cursor 40000, 1", "", ""},
        GateCase{"select five", kSelect, "select 5",
                 "keys +{RIGHT} nowait|keys +{RIGHT} nowait|keys +{RIGHT} nowait|keys +{RIGHT} nowait|"
                 "keys +{RIGHT} nowait",
                 ""},
        GateCase{"select alone", kSelect, "select", "", ""},
        GateCase{"select below one", kSelect, "select -2", "", ""},
        GateCase{"action text is scanned", row("COPY", "FUNCTION", "^c{CURSOR 5,6}"), "copy",
                 "keys ^c wait|cursor 5,6", ""},
        GateCase{"quit token", row("BYE", "FUNCTION", "x{QUIT}"), "bye", "", "quit"}));

TEST_F(InterpreterFixture, FailuresNamingAPathAreShownOthersAreSilent)
{
    commands.rows = {row("SAVE", "FUNCTION", "^s")};
    desktop.failOn(QStringLiteral("keys"), QStringLiteral("Device unavailable"));
    say(QStringLiteral("save"));
    EXPECT_TRUE(messages.shown.isEmpty());

    desktop.failOn(QStringLiteral("keys"), QStringLiteral("Path not found: /tmp/x"));
    say(QStringLiteral("save"));
    ASSERT_EQ(messages.texts(), QStringList{QStringLiteral("Path not found: /tmp/x")});
    EXPECT_TRUE(messages.shown.first().title.isEmpty());
}

TEST_F(InterpreterFixture, AFailureSkipsTheFinish)
{
    commands.rows = {row("SAVE", "FUNCTION", "^s"), row("HELLO", "FUNCTION", "hi")};
    feedback.confirmation = 1;
    say(QStringLiteral("save"));
    desktop.failOn(QStringLiteral("keys ^s"), QStringLiteral("broken"));
    say(QStringLiteral("yes"));
    // The run ended in the failure, so the yes-word did not become pending.
    EXPECT_EQ(interpreter.pendingPhrase(), QStringLiteral("save"));
}

// A recognition handled inside the announcement's wait changes the lookup under
// the waiting run; the run checks PhraseFound once more and reads the row anew.
struct NestCase
{
    const char *name;
    const char *nested;
    const char *actions;
    const char *pending;
};

class Nesting : public InterpreterFixture, public ::testing::WithParamInterface<NestCase>
{
};

TEST_P(Nesting, InnerRunChangesTheOuterRun)
{
    commands.rows = {row("ALPHA", "FUNCTION", "aaa"), row("BETA", "FUNCTION", "bbb")};
    feedback.executing = 1;
    speech.speakingPolls = 3;
    wait.onCall(2, [this] { say(QString::fromLatin1(GetParam().nested)); });
    say(QStringLiteral("alpha"));
    EXPECT_EQ(desktop.actions(), lines(GetParam().actions)) << GetParam().name;
    EXPECT_EQ(interpreter.pendingPhrase(), QString::fromLatin1(GetParam().pending)) << GetParam().name;
    EXPECT_EQ(speech.spoken.first(), QStringLiteral("Executing alpha"));
}

INSTANTIATE_TEST_SUITE_P(Inside, Nesting,
                         ::testing::Values(NestCase{"inner phrase not found stops the outer run", "gamma", "",
                                                    "gamma"},
                                           NestCase{"inner row becomes the outer row", "beta",
                                                    "keys bbb wait|keys bbb wait", "beta"}));

} // namespace

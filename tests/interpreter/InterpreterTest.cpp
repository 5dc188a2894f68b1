// What the interpreter makes of a recognition: the row it looks up, confirmation,
// announcements, the phrases it handles itself, dictation, programs it starts.
#include "InterpreterFixture.h"

#include "common/Failure.h"
#include "interpreter/TextRules.h"

#include <QSignalSpy>

using namespace kestrel;
using namespace kestrel::test;

namespace {

TEST(Confirmation, ExecutesOnlyWhatWasConfirmed)
{
    struct Case
    {
        int confirmation;                               ///< 0 off, 1 on, 2 greyed
        const char *heard, *actions, *spoken, *pending; // lists with "|" between lines
    };
    const Case cases[] = {
        Case{1, "hello|yes", "keys hi wait", "Did You Say hello", "yes"},
        Case{1, "hello|yes|yes", "keys hi wait|keys yesrow wait", "Did You Say hello", "yes"},
        Case{1, "hello|no|yes", "keys hi wait", "Did You Say hello|Please say again", "yes"},
        Case{1, "this", "", " not found", ""}, // a yes-word with nothing pending
        Case{1, "hello|U.S.", "keys hi wait", "Did You Say hello", "US"},
        Case{1, "hello|hello", "", "Did You Say hello|Did You Say hello", "hello"},
        // Off (greyed counts as off), a phrase runs at once and yes and no are phrases too.
        Case{0, "Hello.", "keys hi wait", "", "Hello"}, Case{2, "hello", "keys hi wait", "", "hello"},
        Case{0, "yes", "keys yesrow wait", "", "yes"}, Case{0, "no", "", "NO not found", "no"}};
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
             "switch listening off"},
        Case{row("HUSH", "FUNCTION", "a{STOP RECOGNITION}b"), "hush", "keys ab wait", "switch listening off"},
        // Only the first, upper-case stop token counts; the rest is key text.
        Case{row("HUSH", "FUNCTION", "{STOP RECOGNITION}x{STOP RECOGNITION}"), "hush",
             "keys-rejected x{STOP RECOGNITION}", "switch listening off"},
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
        Case{kSelect, "select 2", "keys +{RIGHT} nowait|keys +{RIGHT} wait", ""},
        Case{kSelect, "select", "", ""}, Case{kSelect, "select -2", "", ""},
        // Rows found by the words their phrase is heard as are the same built-ins.
        Case{row("CURSOR ", "FUNCTION", "{CURSOR}"), "cursor down", "cursor 100,120", ""},
        Case{row("Cursor.", "FUNCTION", "{CURSOR}"), "cursor 300, 400", "cursor 300,400", ""},
        Case{row("SELECT ", "FUNCTION"), "select 2", "keys +{RIGHT} nowait|keys +{RIGHT} wait", ""},
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

TEST_F(InterpreterFixture, LookupFindsARowByTheWordsItsPhraseIsHeardAs)
{
    commands.rows = {row("--", "FUNCTION"),
                     row("OPEN EDITOR ", "OPEN"),
                     row("SAVE-FILE", "FUNCTION"),
                     row("NEW  TAB", "FUNCTION"),
                     row("U.S. MAP", "FUNCTION"),
                     row("What's up?", "FUNCTION"),
                     row("(PAGE) DOWN", "FUNCTION"),
                     row("PAGE TWO", "FUNCTION"),
                     row("INSERT COMMA", "FUNCTION"),
                     row("OPEN ONE NOTE", "OPEN"),
                     row("VOLUME ONE HUNDRED AND FIVE", "FUNCTION")};
    // What the recogniser returns for a row's phrase (or the phrase typed as
    // stored), and that row; 12: not found. Spoken numbers and "comma" come
    // back as digits and ",".
    using P = std::pair<const char *, int>;
    for (const auto &[heard, rowIndex] :
         {P{"open editor", 2}, P{"save file", 3}, P{"new tab", 4}, P{"u.s map", 5}, P{"what's up", 6},
          P{"page down", 7}, P{"SAVE-FILE", 3}, P{"page 2", 8}, P{"insert,", 9}, P{"open one note", 10},
          P{"volume 105", 11}, P{"page two", 8}, P{"", 12}, P{"open editor now", 12}, P{"page 3", 12}}) {
        EXPECT_EQ(find(normaliseRecoText(QString::fromLatin1(heard))), rowIndex < 12) << heard;
        EXPECT_EQ(interpreter.rowIndex(), rowIndex) << heard;
    }
}

// Phrases pasted from a word processor carry a curly apostrophe; "&", "%",
// "+" and "@" are said as words; accented letters belong to their words. The
// recogniser must listen for what the user says, and the lookup find the row
// by it.
TEST_F(InterpreterFixture, CurlyApostrophesSignsAndAccentsAreHeardAsSaid)
{
    commands.rows = {row("DON\u2019T SAVE", "FUNCTION"), row("IT\u2018S OK", "FUNCTION"),
                     row("OPEN R&D FOLDER", "FUNCTION"),  row("SALT&PEPPER", "FUNCTION"),
                     row("ZOOM 150%", "FUNCTION"),        row("C++ HELP", "FUNCTION"),
                     row("OPEN MY CAF\u00c9", "FUNCTION"), row("ALT+TAB", "FUNCTION")};
    using P = std::pair<const char *, int>;
    for (const auto &[heard, rowIndex] :
         {P{"don't save", 1}, P{"it's ok", 2}, P{"open r and d folder", 3}, P{"salt and pepper", 4},
          P{"zoom 150 percent", 5}, P{"c plus plus help", 6}, P{"open my caf\u00e9", 7}, P{"alt tab", 8},
          P{"don t save", 9}, P{"open r d folder", 9}, P{"zoom 150", 9}, P{"open my caf", 9}}) {
        EXPECT_EQ(find(normaliseRecoText(QString::fromUtf8(heard))), rowIndex < 9) << heard;
        EXPECT_EQ(interpreter.rowIndex(), rowIndex) << heard;
    }
}

// Two rows heard alike ("C#" is heard as "c"): the phrase typed into the
// emulation box as stored finds its own row, wherever it is.
TEST_F(InterpreterFixture, ARowStoredAsThePhraseGoesBeforeOneOnlyHeardAlike)
{
    commands.rows = {row("OPEN C# DOCS", "FUNCTION", "a"), row("OPEN C DOCS", "FUNCTION", "b"),
                     row("OPEN C# DOCS", "FUNCTION", "c")};
    using P = std::pair<const char *, int>;
    for (const auto &[phrase, rowIndex] : {P{"OPEN C DOCS", 2}, P{"open c docs", 2}, P{"OPEN C# DOCS", 1}}) {
        EXPECT_TRUE(find(phrase)) << phrase;
        EXPECT_EQ(interpreter.rowIndex(), rowIndex) << phrase;
    }
    commands.rows.removeAt(1);
    EXPECT_TRUE(find("open c docs")) << "heard alike is still found";
    EXPECT_EQ(interpreter.rowIndex(), 1);
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
                       P{"spell it", ""},
                       // Only the words "spell it" count, not letters inside others.
                       P{"don't misspell it again", "type don't misspell it again"},
                       P{"spell items", "type spell items"}};
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

// Every key a command types lies between the main window's two typing calls,
// so that the program's own window, when it is the one in front, can keep the
// keys off its buttons and shortcuts, and the user's own keys are left alone
// afterwards, however the typing ended.
TEST(Typing, KeysAndTextAreTypedInsideATypingBracket)
{
    const struct
    {
        const char *name;
        CommandRow row;
        QStringList said;
    } cases[] = {
        {"keys", row("SAVE", "FUNCTION", "^s"), {"save"}},
        {"keys on both sides of a click", row("GO", "FUNCTION", "a{LEFT CLICK}b"), {"go"}},
        {"dictation and the keys before it",
         row("TAKE NOTE", "TEXT", "{enter}"),
         {"take note", "hello world"}},
        {"select", row("SELECT", "FUNCTION"), {"select 3"}},
        {"keys the desktop refuses", row("BAD", "FUNCTION", "a{NOSUCHKEY}"), {"bad"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        InterpreterParts f;
        f.commands.rows = {c.row};
        int open = 0;
        int brackets = 0;
        QStringList outside;
        f.mainWindow.onKeysAboutToBeTyped = [&] {
            EXPECT_EQ(open, 0) << "brackets do not nest";
            ++open;
            ++brackets;
        };
        f.mainWindow.onKeysTyped = [&] { --open; };
        f.desktop.onAction = [&](const QString &action) {
            // A click may bring another window in front: it is never inside.
            const bool typing =
                action.startsWith(QLatin1String("keys")) || action.startsWith(QLatin1String("type"));
            if (typing != (open == 1))
                outside << action;
        };
        for (const QString &phrase : c.said)
            f.say(phrase);
        EXPECT_EQ(open, 0) << "every bracket is closed";
        EXPECT_GE(brackets, 1);
        EXPECT_TRUE(outside.isEmpty()) << qPrintable(outside.join(u'|'));
    }
}

TEST(Dictation, ParentIsOnlyCheckedAndNamedWhenItIsNotOpenAndAFailureStillEndsIt)
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

    // A failure while typing still ends dictation.
    f.desktop.failOn("type", "Display gone");
    f.say("take note");
    f.say("hello");
    EXPECT_FALSE(f.interpreter.dictating());
    f.say("open notepad");
    EXPECT_TRUE(f.desktop.actions().contains("keys x wait"));
}

constexpr WindowId kEditor = 0x50;
constexpr WindowId kBefore = 0x10; // the foreground window before any start

class Launch : public InterpreterFixture
{
protected:
    Launch()
    {
        commands.rows = {row("OPEN EDITOR", "OPEN", "/usr/bin/gedit|hello"),
                         row("SAVE IT", "FUNCTION", "^s", "open editor"),
                         row("CLOSE EDITOR", "CLOSE", "%{F4}", " Open Editor "),
                         row("CLOSE ANY", "close", "x")};
        desktop.addFile("/usr/bin/gedit");
        desktop.addExecutable("/usr/bin/gedit");
    }

    void planEditor(int afterPolls = 3)
    {
        desktop.planLaunch({.window = kEditor, .appearsAfterPolls = afterPolls});
    }

    void expectSlot(int slot, const char *phrase, WindowId window)
    {
        EXPECT_EQ(slots.phrase(slot), phrase);
        EXPECT_EQ(slots.window(slot), window);
    }
};

// A hold that is never released keeps listening off for good: whatever ends
// the wait, a failure of the desktop included, releases it.
TEST_F(Launch, AFailureDuringTheWaitStillReleasesListening)
{
    planEditor(5);
    wait.onCall(2, [] { throw Failure(QStringLiteral("the display went away")); });
    say("open editor");
    EXPECT_EQ(mainWindow.calls.count(QStringLiteral("hold listening")), 1);
    EXPECT_EQ(mainWindow.calls.count(QStringLiteral("release listening")), 1);
    EXPECT_TRUE(mainWindow.listening);
}

TEST_F(Launch, StartsWaitsForTheWindowAndRecordsIt)
{
    planEditor();
    say("open editor");
    EXPECT_EQ(took(), lines("start /usr/bin/gedit []|keys hello wait"));
    expectSlot(1, "OPEN EDITOR", kEditor);
    EXPECT_EQ(interpreter.launchHandle(), kEditor);
    // Listening is off for the wait and back on after it, before the keys.
    EXPECT_EQ(mainWindow.calls.mid(2), lines("hold listening|release listening"));

    // The recorded window is reused: no second copy, no keys; once it is gone it is
    // forgotten, and the next time the program starts again.
    say("open editor");
    EXPECT_EQ(took(), QStringList{"activate 0x50"});
    desktop.removeWindow(kEditor);
    say("open editor");
    EXPECT_EQ(took(), QStringList{"activate 0x50"});
    expectSlot(1, "OPEN EDITOR", 0);
    EXPECT_TRUE(messages.shown.isEmpty());
    planEditor();
    say("open editor");
    EXPECT_EQ(took().first(), "start /usr/bin/gedit []");
    EXPECT_EQ(slots.window(1), kEditor);
}

TEST_F(Launch, OwnWindowOfTheStartedProcessIsPreferredAndBroughtForward)
{
    desktop.planLaunch({.processId = 77, .window = 0x60, .takesFocus = false});
    say("open editor");
    EXPECT_EQ(slots.window(1), 0x60u);
    EXPECT_EQ(took(), lines("start /usr/bin/gedit []|activate 0x60|keys hello wait"));
}

TEST_F(Launch, FailedStartEndsTheRunQuietlyAndAStopTokenKeepsListeningOffAfterTheWait)
{
    desktop.planLaunch({.value = 2});
    say("open editor");
    EXPECT_EQ(took(), QStringList{"start /usr/bin/gedit []"});
    EXPECT_EQ(slots.phrase(1), "NULL");
    EXPECT_EQ(mainWindow.calls.mid(2), QStringList{});
    EXPECT_TRUE(messages.shown.isEmpty());

    commands.rows[0].Action = "{STOP RECOGNITION}/usr/bin/gedit";
    planEditor();
    say("open editor");
    EXPECT_EQ(took(), QStringList{"start /usr/bin/gedit []"});
    EXPECT_EQ(mainWindow.calls.mid(4), lines("switch listening off|hold listening|release listening, stay off"));
    EXPECT_EQ(slots.window(1), kEditor);
}

// A document the opener finds no program for: the desktop's start has failed
// after all, as a start that fails at once does. Nothing is recorded, no keys
// are typed into whatever window is in front, and listening is back at once.
TEST_F(Launch, ADocumentTheOpenerCannotOpenEndsTheRunLikeAFailedStart)
{
    commands.rows[0].Action = QStringLiteral("/home/u/budget.numbers|^p");
    desktop.addFile(QStringLiteral("/home/u/budget.numbers"));
    desktop.setForeground(kBefore);
    desktop.planLaunch({.processId = 88, .failsAfterPolls = 3});
    say("open editor");
    EXPECT_EQ(took(), QStringList{"open /home/u/budget.numbers"});
    expectSlot(1, "NULL", 0);
    EXPECT_EQ(mainWindow.calls.mid(2), lines("hold listening|release listening"));
    EXPECT_LE(desktop.foregroundPolls(), 1 + 3) << "no wait for a window that cannot come";
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(interpreter.launchHandle(), 31u) << "as the classic start reports \"no program for this document\"";

    // An opener that succeeds is waited for and recorded as before.
    desktop.planLaunch({.processId = 89, .window = kEditor, .appearsAfterPolls = 2});
    say("open editor");
    EXPECT_EQ(took(), lines("open /home/u/budget.numbers|keys ^p wait"));
    expectSlot(1, "OPEN EDITOR", kEditor);
}

TEST_F(Launch, PollsAtOnceThenOnceASecond)
{
    for (const auto &[afterPolls, seconds] : {std::pair{1, 0.0}, {2, 1.0}, {5, 4.0}}) {
        slots.clearStartups();
        desktop.setForeground(kBefore);
        planEditor(afterPolls);
        const double start = wait.now();
        say("open editor");
        EXPECT_EQ(slots.window(1), kEditor) << afterPolls;
        EXPECT_GE(wait.now() - start, seconds) << afterPolls;
        EXPECT_LT(wait.now() - start, seconds + 0.15) << afterPolls;
    }
}

TEST_F(Launch, TimeoutRecordsThePreviousForegroundWindowAfter44Polls)
{
    say("open editor"); // no window ever comes up
    expectSlot(1, "OPEN EDITOR", kBefore);
    EXPECT_EQ(desktop.foregroundPolls(), 1 + 44); // the look before the start, then the polls
    EXPECT_TRUE(mainWindow.listening);
    EXPECT_TRUE(desktop.actions().contains("keys hello wait"));
}

TEST_F(Launch, APhraseHandledDuringTheWaitLeavesTheSlotToTheLaunchedProgram)
{
    // Said right after "open editor", before listening went off: it runs inside
    // the wait, and must not give the editor's slot its own phrase.
    wait.onCall(1, [&] { say("save it"); });
    planEditor();
    say("open editor");
    expectSlot(1, "OPEN EDITOR", kEditor);
    took();
    say("save it");
    EXPECT_EQ(took(), lines("activate 0x50|keys ^s wait"));
}

// The user may unlock the table and delete a row while a command waits for its
// program's window or pauses. The window then belongs to the launched row,
// wherever that row is now, and a CLOSE frees its parent's slot where that
// went; no other row's remembered window changes.
TEST(RowsDeletedDuringAWait, SlotsStayWithTheirRows)
{
    constexpr WindowId kBrowser = 0x70;
    constexpr WindowId kMail = 0x60;
    const struct
    {
        const char *name;
        const char *said;
        int deletedRow;
        QStringList slotsAfter; ///< slots 1 to 3, "phrase window"
    } cases[] = {
        {"launch, a row above", "open editor", 1, {"OPEN EDITOR 0x50", "OPEN MAIL 0x60", "NULL 0x0"}},
        {"launch, the row itself", "open editor", 2, {"OPEN BROWSER 0x70", "OPEN MAIL 0x60", "NULL 0x0"}},
        {"launch, a row below", "open editor", 3, {"OPEN BROWSER 0x70", "OPEN EDITOR 0x50", "NULL 0x0"}},
        {"close after a pause, a row above", "close mail", 1, {"NULL 0x0", "NULL 0x0", "NULL 0x0"}},
        {"close after a pause, a row below", "close browser", 3, {"NULL 0x0", "NULL 0x0", "NULL 0x0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        InterpreterParts f;
        f.commands.rows = {
            row("OPEN BROWSER", "OPEN", "/usr/bin/browser"), row("OPEN EDITOR", "OPEN", "/usr/bin/gedit"),
            row("OPEN MAIL", "OPEN", "/usr/bin/mail"), row("CLOSE MAIL", "CLOSE", "{PAUSE 1}", "open mail"),
            row("CLOSE BROWSER", "CLOSE", "{PAUSE 1}", "open browser")};
        for (const char *program : {"/usr/bin/browser", "/usr/bin/gedit", "/usr/bin/mail"}) {
            f.desktop.addFile(QString::fromLatin1(program));
            f.desktop.addExecutable(QString::fromLatin1(program));
        }
        f.recordOpen(1, QStringLiteral("OPEN BROWSER"), kBrowser);
        f.recordOpen(3, QStringLiteral("OPEN MAIL"), kMail);
        f.desktop.planLaunch({.window = kEditor, .appearsAfterPolls = 3});
        f.wait.onCall(1, [&] {
            f.commands.rows.removeAt(c.deletedRow - 1);
            f.slots.removeRows(c.deletedRow, 1);
        });
        f.say(QString::fromLatin1(c.said));
        QStringList slotsAfter;
        for (int slot = 1; slot <= 3; ++slot)
            slotsAfter
                << QStringLiteral("%1 0x%2").arg(f.slots.phrase(slot)).arg(f.slots.window(slot), 0, 16);
        EXPECT_EQ(slotsAfter, c.slotsAfter);
    }
}

// Listening stays on during a pause, and a phrase heard then runs a command
// of its own, or looks the table through in vain. Whether the paused command
// frees its parent's slot is still its own type's choice.
TEST(PhrasesDuringAPause, TheClosingIsThePausedCommandsOwn)
{
    constexpr WindowId kBrowser = 0x70;
    const struct
    {
        const char *outer, *nested;
        QStringList slotsAfter; ///< slots 1 and 3, "phrase window"
    } cases[] = {
        {"save slowly", "close browser", {"OPEN EDITOR 0x50", "NULL 0x0"}},
        {"save slowly", "mumble", {"OPEN EDITOR 0x50", "OPEN BROWSER 0x70"}},
        {"close browser", "copy", {"OPEN EDITOR 0x50", "NULL 0x0"}},
        {"close browser", "mumble", {"OPEN EDITOR 0x50", "NULL 0x0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1, then %2").arg(c.outer, c.nested).toStdString());
        InterpreterParts f;
        // The last row is a CLOSE row: a phrase matching nothing leaves the
        // table's walk on it.
        f.commands.rows = {row("OPEN EDITOR", "OPEN", "/usr/bin/gedit"),
                           row("SAVE SLOWLY", "FUNCTION", "^s{PAUSE 1}x", "open editor"),
                           row("OPEN BROWSER", "OPEN", "/usr/bin/browser"),
                           row("CLOSE BROWSER", "CLOSE", "{PAUSE 1}%{F4}", "open browser"),
                           row("COPY", "FUNCTION", "^c"),
                           row("CLOSE MAIL", "CLOSE", "%{F4}", "open mail")};
        f.recordOpen(1, QStringLiteral("OPEN EDITOR"), kEditor);
        f.recordOpen(3, QStringLiteral("OPEN BROWSER"), kBrowser);
        f.wait.onCall(1, [&] { f.say(QString::fromLatin1(c.nested)); });
        f.say(QString::fromLatin1(c.outer));
        QStringList slotsAfter;
        for (int slot : {1, 3})
            slotsAfter
                << QStringLiteral("%1 0x%2").arg(f.slots.phrase(slot)).arg(f.slots.window(slot), 0, 16);
        EXPECT_EQ(slotsAfter, c.slotsAfter);
    }
}

TEST(Starting, ChoosesHowToStart)
{
    struct Case
    {
        const char *phrase, *action, *files, *directories, *actions,
            *messages; // lists with "|" between entries
    };
    const Case cases[] = {
        // A document goes to the opener; an executable, a browser or iexplore is started.
        Case{"NOTES", "/d/notes.txt", "/d/notes.txt", "", "open /d/notes.txt", ""},
        Case{"APP", "/a/run", "/a/run", "", "start /a/run []", ""},
        Case{"APP", "\"/a/run\",\"/data/\"|x", "/a/run", "/data", "start /a/run [] /data/|keys x wait", ""},
        Case{"APP", "/a/run,/data/", "/a/run", "", "", "Path /data/ does not exist"},
        Case{"APP", "/a/run,/data", "/a/run", "", "", "Path /data does not exist"},
        Case{"APP", "/a/none|x", "", "", "", "Could not find the program named /a/none"},
        // A blank inside the path is part of the name, not an argument.
        Case{"Browser", "/opt/My Browser/run", "/opt/My Browser/run", "", "start /opt/My Browser/run []", ""},
        Case{"WEB", "/ie/IExplore.exe", "/ie/IExplore.exe", "", "start /ie/IExplore.exe []", ""},
        // A web address needs no file; a wildcard matches one.
        Case{"SEARCH", "https://example.org/?q=a,b|~", "", "", "open https://example.org/?q=a,b|keys ~ wait",
             ""},
        Case{"LOG", "/log/*.txt", "/log/a.txt", "", "open /log/*.txt", ""}};
    for (const Case &c : cases) {
        InterpreterParts f;
        f.commands.rows = {row(c.phrase, "OPEN", c.action)};
        for (const QString &file : lines(c.files))
            f.desktop.addFile(file);
        for (const QString &directory : lines(c.directories))
            f.desktop.addDirectory(directory);
        f.desktop.addExecutable("/a/run");
        f.say(c.phrase);
        SCOPED_TRACE(c.action);
        EXPECT_EQ(f.desktop.actions(), lines(c.actions));
        EXPECT_EQ(f.messages.texts(), lines(c.messages));
        for (const auto &box : f.messages.shown)
            EXPECT_TRUE(box.title.isEmpty());
    }
}

TEST_F(Launch, ParentMustBeOpenAndIsBroughtForwardAndClosingFreesItsSlot)
{
    say("save it");
    EXPECT_EQ(speech.spoken, QStringList{"You must execute OPEN EDITOR before you can operate on it."});
    EXPECT_TRUE(took().isEmpty());
    EXPECT_EQ(interpreter.pendingPhrase(), "save it");

    planEditor();
    say("open editor");
    took();
    say("save it");
    EXPECT_EQ(took(), lines("activate 0x50|keys ^s wait"));
    say("close editor");
    EXPECT_EQ(took(), lines("activate 0x50|keys %{F4} wait"));
    expectSlot(1, "NULL", 0);
    say("save it");
    EXPECT_EQ(speech.spoken.size(), 2);
    EXPECT_TRUE(took().isEmpty());

    // Recorded without a window (forgotten when it had gone), the parent is not
    // open: its command types nothing into whatever is in front.
    slots.setPhrase(1, "OPEN EDITOR");
    say("save it");
    EXPECT_TRUE(took().isEmpty());
    EXPECT_EQ(speech.spoken.value(2), "You must execute OPEN EDITOR before you can operate on it.");

    // A CLOSE row without a parent acts on the front window and frees slot 1.
    slots.setPhrase(1, "SOMETHING");
    slots.setWindow(1, 0x99);
    say("close any");
    EXPECT_EQ(took(), QStringList{"keys x wait"});
    expectSlot(1, "NULL", 0);
}

// The parent program closed by hand: its commands type nothing anywhere, the
// user is told it is not open, and its OPEN phrase starts it again at once.
TEST_F(Launch, AParentClosedByHandIsNotOpenAnyMore)
{
    // Its OPEN phrase said first: that try forgets the window and ends silently,
    // and the keys of the parent's commands (Alt+F4 among them) must not go to
    // the window in front then either.
    for (const char *child : {"save it", "close editor"}) {
        SCOPED_TRACE(child);
        slots.clearStartups();
        planEditor();
        say("open editor");
        desktop.removeWindow(kEditor);
        say("open editor");
        expectSlot(1, "OPEN EDITOR", 0);
        took();
        speech.spoken.clear();
        say(child);
        EXPECT_TRUE(took().isEmpty()) << "no keys";
        ASSERT_EQ(speech.spoken.size(), 1);
        EXPECT_EQ(speech.spoken[0].simplified(),
                  QStringLiteral("You must execute OPEN EDITOR before you can operate on it."));
        planEditor();
        say("open editor");
        EXPECT_EQ(took().value(0), "start /usr/bin/gedit []");
        EXPECT_EQ(slots.window(1), kEditor);
    }

    for (const char *child : {"save it", "close editor"}) {
        SCOPED_TRACE(child);
        slots.clearStartups();
        planEditor();
        say("open editor");
        ASSERT_EQ(slots.window(1), kEditor);
        took();
        desktop.removeWindow(kEditor);
        speech.spoken.clear();
        say(child);
        EXPECT_EQ(took(), QStringList{"activate 0x50"}) << "no keys";
        // The parent as the row writes it, upper-cased (" Open Editor " for CLOSE EDITOR).
        ASSERT_EQ(speech.spoken.size(), 1);
        EXPECT_EQ(speech.spoken[0].simplified(),
                  QStringLiteral("You must execute OPEN EDITOR before you can operate on it."));
        expectSlot(1, "NULL", 0);
        planEditor();
        say("open editor");
        EXPECT_EQ(took().value(0), "start /usr/bin/gedit []");
    }

    // A window that is there but refuses to come forward (hidden to the tray)
    // ends the run and stays recorded.
    slots.clearStartups();
    planEditor();
    say("open editor");
    took();
    desktop.failOn(QStringLiteral("activate"), QStringLiteral("The window is hidden"));
    say("save it");
    EXPECT_EQ(took(), QStringList{"activate 0x50"});
    expectSlot(1, "OPEN EDITOR", kEditor);
}

TEST(ParentNames, AParentIsFoundByTheWordsItsOpenPhraseIsHeardAs)
{
    // The OPEN row's phrase as stored, what the recogniser returns for it, and the
    // Parent a command names it by: as stored, as heard, or in other letter case.
    struct Case
    {
        const char *openPhrase, *heard, *parent;
    };
    const Case cases[] = {{"OPEN-EDITOR", "open editor", "OPEN-EDITOR"},
                          {"OPEN  EDITOR", "open editor", "open  editor"},
                          {"Open Editor!", "open editor", "OPEN EDITOR!"},
                          {"OPEN-EDITOR", "OPEN-EDITOR", "open editor"},
                          {"OPEN EDITOR", "open editor", " Open Editor "},
                          // Heard with its number and "comma" as the recogniser writes them.
                          {"OPEN TWO NOTES", "open 2 notes", "OPEN TWO NOTES"},
                          {"OPEN COMMA SEPARATED", "open, separated", "OPEN COMMA SEPARATED"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.openPhrase << " / " << c.heard << " / " << c.parent);
        InterpreterParts f;
        f.commands.rows = {row(c.openPhrase, "OPEN", "/usr/bin/gedit"),
                           row("SAVE IT", "FUNCTION", "^s", c.parent), row("WRITE", "TEXT", "", c.parent)};
        f.desktop.addFile("/usr/bin/gedit");
        f.desktop.addExecutable("/usr/bin/gedit");
        f.desktop.planLaunch({.window = kEditor, .appearsAfterPolls = 2});
        f.say(c.heard);
        ASSERT_EQ(f.slots.window(1), kEditor);
        f.took();
        f.say("save it");
        EXPECT_EQ(f.took(), lines("activate 0x50|keys ^s wait"));
        f.say("write");
        EXPECT_TRUE(f.interpreter.dictating());
        EXPECT_EQ(f.speech.spoken, QStringList{"Say the text"});
    }

    // Phrases that are heard alike but differ in their words stay apart.
    InterpreterParts f;
    f.commands.rows = {row("OPEN EDITOR", "OPEN", "/usr/bin/gedit"),
                       row("SAVE IT", "FUNCTION", "^s", "OPEN EDIT")};
    f.desktop.addFile("/usr/bin/gedit");
    f.desktop.addExecutable("/usr/bin/gedit");
    f.desktop.planLaunch({.window = kEditor});
    f.say("open editor");
    f.took();
    f.say("save it");
    EXPECT_TRUE(f.took().isEmpty());
    EXPECT_EQ(f.speech.spoken, QStringList{"You must execute OPEN EDIT before you can operate on it."});
}

// A long table: an OPEN row far down starts its program and brings it forward
// when said again, so its commands must find it open too. They answered "You
// must execute ..." for a program on the screen, and its CLOSE did nothing.
TEST_F(Launch, AProgramOpenedFromARowFarDownServesItsCommandsLikeAnyOther)
{
    for (const int fillers : {398, 399, 409, 500}) {
        SCOPED_TRACE(fillers);
        commands.rows.clear();
        slots.clearStartups();
        speech.spoken.clear();
        for (int n = 1; n <= fillers; ++n)
            commands.rows.append(row(QStringLiteral("FILLER %1").arg(n), "FUNCTION"));
        commands.rows.append(row("OPEN EDITOR", "OPEN", "/usr/bin/gedit"));
        commands.rows.append(row("SAVE IT", "FUNCTION", "^s", "OPEN EDITOR"));
        commands.rows.append(row("CLOSE EDITOR", "CLOSE", "%{F4}", "OPEN EDITOR"));
        const int slot = fillers + 1;
        planEditor();
        say("open editor");
        took();
        ASSERT_EQ(slots.window(slot), kEditor);
        say("save it");
        EXPECT_EQ(took(), lines("activate 0x50|keys ^s wait"));
        say("close editor");
        EXPECT_EQ(took(), lines("activate 0x50|keys %{F4} wait"));
        expectSlot(slot, "NULL", 0);
        EXPECT_TRUE(speech.spoken.isEmpty()) << speech.spoken.join(" / ").toStdString();
    }
}

TEST_F(Launch, OpenRowBeyond410IsRecordedAndItsQuitPhraseEndsTheProgramAfterTheLaunch)
{
    commands.rows.clear();
    for (int n = 1; n < 415; ++n)
        commands.rows.append(row(QStringLiteral("FILLER %1").arg(n), "FUNCTION"));
    commands.rows.append(row("QUIT WITH EDITOR", "OPEN", "/usr/bin/gedit"));
    planEditor();
    say("quit with editor");
    EXPECT_EQ(slots.window(415), kEditor);
    EXPECT_EQ(took(), QStringList{"start /usr/bin/gedit []"});
    EXPECT_TRUE(mainWindow.quitRequested);
    say("quit with editor");
    EXPECT_EQ(took(), QStringList{"activate 0x50"});
}

} // namespace

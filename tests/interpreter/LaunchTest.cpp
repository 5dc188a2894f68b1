#include "InterpreterFixture.h"

using namespace kestrel;
using namespace kestrel::test;

namespace {

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

TEST_F(Launch, StartsWaitsForTheWindowAndRecordsIt)
{
    planEditor();
    say("open editor");
    EXPECT_EQ(took(), lines("start /usr/bin/gedit []|keys hello wait"));
    expectSlot(1, "OPEN EDITOR", kEditor);
    EXPECT_EQ(interpreter.launchHandle(), kEditor);
    // Listening is off for the wait and back on after it, before the keys.
    EXPECT_EQ(mainWindow.calls.mid(2), lines("stop listening|start listening"));

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
    EXPECT_EQ(mainWindow.calls.mid(4), lines("stop listening|stop listening"));
    EXPECT_EQ(slots.window(1), kEditor);
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
        Case{"Browser", "/b/firefox --new", "/b/firefox --new", "", "start /b/firefox [--new]", ""},
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

    // Recorded without a window, the parent's command acts on the front window;
    // with a window that has gone, on none.
    slots.setPhrase(1, "OPEN EDITOR");
    say("save it");
    EXPECT_EQ(took(), QStringList{"keys ^s wait"});
    slots.setWindow(1, kEditor);
    desktop.removeWindow(kEditor);
    say("save it");
    EXPECT_EQ(took(), QStringList{"activate 0x50"});

    // A CLOSE row without a parent acts on the front window and frees slot 1.
    slots.setPhrase(1, "SOMETHING");
    slots.setWindow(1, 0x99);
    say("close any");
    EXPECT_EQ(took(), QStringList{"keys x wait"});
    expectSlot(1, "NULL", 0);
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

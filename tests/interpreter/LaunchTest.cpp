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
        desktop.addFile(QStringLiteral("/usr/bin/gedit"));
        desktop.addExecutable(QStringLiteral("/usr/bin/gedit"));
    }

    void planEditor(int afterPolls = 3)
    {
        RecordingDesktop::LaunchPlan plan;
        plan.window = kEditor;
        plan.appearsAfterPolls = afterPolls;
        desktop.planLaunch(plan);
    }
};

TEST_F(Launch, StartsWaitsForTheWindowAndRecordsIt)
{
    planEditor();
    say(QStringLiteral("open editor"));
    EXPECT_EQ(desktop.actions(),
              (QStringList{QStringLiteral("start /usr/bin/gedit []"), QStringLiteral("keys hello wait")}));
    EXPECT_EQ(slots.window(1), kEditor);
    EXPECT_EQ(slots.phrase(1), QStringLiteral("OPEN EDITOR"));
    EXPECT_EQ(interpreter.launchHandle(), kEditor);
    // Listening is off for the wait and back on after it, before the keys.
    EXPECT_EQ(mainWindow.calls.mid(2),
              (QStringList{QStringLiteral("stop listening"), QStringLiteral("start listening")}));
}

TEST_F(Launch, PollsAtOnceThenOnceASecond)
{
    struct
    {
        int afterPolls;
        double seconds;
    } cases[] = {{1, 0.0}, {2, 1.0}, {5, 4.0}};
    for (const auto &c : cases) {
        slots.clearStartups();
        desktop.setForeground(kBefore);
        planEditor(c.afterPolls);
        const double start = wait.now();
        say(QStringLiteral("open editor"));
        const double waited = wait.now() - start;
        EXPECT_EQ(slots.window(1), kEditor) << c.afterPolls;
        EXPECT_GE(waited, c.seconds) << c.afterPolls;
        EXPECT_LT(waited, c.seconds + 0.15) << c.afterPolls;
    }
}

TEST_F(Launch, TimeoutRecordsThePreviousForegroundWindowAfter44Polls)
{
    say(QStringLiteral("open editor")); // no window ever comes up
    EXPECT_EQ(slots.window(1), kBefore);
    EXPECT_EQ(slots.phrase(1), QStringLiteral("OPEN EDITOR"));
    EXPECT_EQ(desktop.foregroundPolls(), 1 + 44); // the look before the start, then the polls
    EXPECT_TRUE(mainWindow.listening);
    EXPECT_TRUE(desktop.actions().contains(QStringLiteral("keys hello wait")));
}

TEST_F(Launch, RecordedWindowIsReusedForgottenWhenGoneThenRelaunched)
{
    planEditor();
    say(QStringLiteral("open editor"));
    desktop.clearLog();

    say(QStringLiteral("open editor"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("activate 0x50")}); // no second copy, no keys

    desktop.removeWindow(kEditor);
    desktop.clearLog();
    say(QStringLiteral("open editor"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("activate 0x50")});
    EXPECT_EQ(slots.window(1), 0u);
    EXPECT_EQ(slots.phrase(1), QStringLiteral("OPEN EDITOR"));
    EXPECT_TRUE(messages.shown.isEmpty());

    planEditor();
    desktop.clearLog();
    say(QStringLiteral("open editor"));
    EXPECT_EQ(desktop.actions().first(), QStringLiteral("start /usr/bin/gedit []"));
    EXPECT_EQ(slots.window(1), kEditor);
}

TEST_F(Launch, OwnWindowOfTheStartedProcessIsPreferredAndBroughtForward)
{
    RecordingDesktop::LaunchPlan plan;
    plan.processId = 77;
    plan.window = 0x60;
    plan.takesFocus = false;
    desktop.planLaunch(plan);
    say(QStringLiteral("open editor"));
    EXPECT_EQ(slots.window(1), 0x60u);
    EXPECT_EQ(desktop.actions(),
              (QStringList{QStringLiteral("start /usr/bin/gedit []"), QStringLiteral("activate 0x60"),
                           QStringLiteral("keys hello wait")}));
}

struct StartCase
{
    const char *name;
    CommandRow row;
    const char *files; ///< "|" between them, as in the other lists
    const char *directories;
    const char *actions;
    const char *messages;
};

class Starting : public InterpreterFixture, public ::testing::WithParamInterface<StartCase>
{
};

TEST_P(Starting, ChoosesHowToStart)
{
    const StartCase &c = GetParam();
    commands.rows = {c.row};
    for (const QString &file : lines(c.files))
        desktop.addFile(file);
    for (const QString &directory : lines(c.directories))
        desktop.addDirectory(directory);
    desktop.addExecutable(QStringLiteral("/opt/app/run"));
    say(c.row.WordPhrase);
    EXPECT_EQ(desktop.actions(), lines(c.actions)) << c.name;
    EXPECT_EQ(messages.texts(), lines(c.messages)) << c.name;
    for (const auto &box : messages.shown)
        EXPECT_TRUE(box.title.isEmpty()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, Starting,
    ::testing::Values(
        StartCase{"document goes to the opener", row("NOTES", "OPEN", "/home/me/notes.txt"),
                  "/home/me/notes.txt", "", "open /home/me/notes.txt", ""},
        StartCase{"executable is started, not opened", row("APP", "OPEN", "/opt/app/run"), "/opt/app/run", "",
                  "start /opt/app/run []", ""},
        StartCase{"quotes and directory", row("APP", "OPEN", "\"/opt/app/run\",\"/data/\"|x"), "/opt/app/run",
                  "/data", "start /opt/app/run [] /data/|keys x wait", ""},
        StartCase{"missing directory", row("APP", "OPEN", "/opt/app/run,/data/"), "/opt/app/run", "", "",
                  "Path /data/ does not exist"},
        StartCase{"missing directory without separator", row("APP", "OPEN", "/opt/app/run,/data"),
                  "/opt/app/run", "", "", "Path /data does not exist"},
        StartCase{"missing program", row("APP", "OPEN", "/usr/bin/nothing|x"), "", "", "",
                  "Could not find the program named /usr/bin/nothing"},
        StartCase{"browser starts directly", row("Browser", "OPEN", "/usr/bin/firefox --new-window"),
                  "/usr/bin/firefox --new-window", "", "start /usr/bin/firefox [--new-window]", ""},
        StartCase{"iexplore starts directly", row("WEB", "OPEN", "/opt/ie/IExplore.exe"),
                  "/opt/ie/IExplore.exe", "", "start /opt/ie/IExplore.exe []", ""},
        StartCase{"web address needs no file", row("SEARCH", "OPEN", "https://example.org/?q=a,b|{ENTER}"),
                  "", "", "open https://example.org/?q=a,b|keys {ENTER} wait", ""},
        StartCase{"wildcard matches a file", row("LOG", "OPEN", "/var/log/*.txt"), "/var/log/a.txt", "",
                  "open /var/log/*.txt", ""}));

TEST_F(Launch, FailedStartEndsTheRunQuietly)
{
    RecordingDesktop::LaunchPlan plan;
    plan.value = 2;
    desktop.planLaunch(plan);
    say(QStringLiteral("open editor"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("start /usr/bin/gedit []")});
    EXPECT_EQ(slots.phrase(1), QStringLiteral("NULL"));
    EXPECT_FALSE(mainWindow.calls.contains(QStringLiteral("stop listening")));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(Launch, StopTokenKeepsListeningOffAfterTheWait)
{
    commands.rows[0].Action = QStringLiteral("{STOP RECOGNITION}/usr/bin/gedit");
    planEditor();
    say(QStringLiteral("open editor"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("start /usr/bin/gedit []")});
    EXPECT_FALSE(mainWindow.calls.contains(QStringLiteral("start listening")));
    EXPECT_FALSE(mainWindow.listening);
    EXPECT_EQ(slots.window(1), kEditor);
}

TEST_F(Launch, ParentMustBeOpenAndIsBroughtForward)
{
    say(QStringLiteral("save it"));
    EXPECT_EQ(speech.spoken,
              QStringList{QStringLiteral("You must execute OPEN EDITOR before you can operate on it.")});
    EXPECT_TRUE(desktop.actions().isEmpty());
    EXPECT_EQ(interpreter.pendingPhrase(), QStringLiteral("save it"));

    planEditor();
    say(QStringLiteral("open editor"));
    desktop.clearLog();
    say(QStringLiteral("save it"));
    EXPECT_EQ(desktop.actions(),
              (QStringList{QStringLiteral("activate 0x50"), QStringLiteral("keys ^s wait")}));

    desktop.clearLog();
    say(QStringLiteral("close editor"));
    EXPECT_EQ(desktop.actions(),
              (QStringList{QStringLiteral("activate 0x50"), QStringLiteral("keys %{F4} wait")}));
    EXPECT_EQ(slots.phrase(1), QStringLiteral("NULL"));
    EXPECT_EQ(slots.window(1), 0u);

    speech.spoken.clear();
    desktop.clearLog();
    say(QStringLiteral("save it"));
    EXPECT_EQ(speech.spoken.size(), 1);
    EXPECT_TRUE(desktop.actions().isEmpty());
}

TEST_F(Launch, ParentWindowThatWentAwayGetsNoKeys)
{
    planEditor();
    say(QStringLiteral("open editor"));
    desktop.removeWindow(kEditor);
    desktop.clearLog();
    say(QStringLiteral("save it"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("activate 0x50")});
}

TEST_F(Launch, ParentWithoutWindowActsOnTheFrontWindow)
{
    slots.setPhrase(1, QStringLiteral("OPEN EDITOR"));
    say(QStringLiteral("save it"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("keys ^s wait")});
}

TEST_F(Launch, CloseWithoutParentFreesSlotOne)
{
    slots.setPhrase(1, QStringLiteral("SOMETHING"));
    slots.setWindow(1, 0x99);
    say(QStringLiteral("close any"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("keys x wait")});
    EXPECT_EQ(slots.phrase(1), QStringLiteral("NULL"));
    EXPECT_EQ(slots.window(1), 0u);
}

TEST_F(Launch, OpenCommandsBeyondRow410Work)
{
    QList<CommandRow> rows;
    for (int n = 1; n < 415; ++n)
        rows.append(row(QStringLiteral("FILLER %1").arg(n), "FUNCTION"));
    rows.append(row("OPEN EDITOR", "OPEN", "/usr/bin/gedit"));
    commands.rows = rows;
    planEditor();
    say(QStringLiteral("open editor"));
    EXPECT_EQ(slots.window(415), kEditor);
    desktop.clearLog();
    say(QStringLiteral("open editor"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("activate 0x50")});
}

TEST_F(Launch, QuitPhraseEndsTheProgramAfterTheLaunch)
{
    commands.rows = {row("QUIT WITH EDITOR", "OPEN", "/usr/bin/gedit")};
    planEditor();
    say(QStringLiteral("quit with editor"));
    EXPECT_EQ(desktop.actions(), QStringList{QStringLiteral("start /usr/bin/gedit []")});
    EXPECT_TRUE(mainWindow.quitRequested);
}

} // namespace

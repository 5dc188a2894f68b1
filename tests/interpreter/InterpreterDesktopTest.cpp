// The interpreter on the real X11 desktop: an OPEN command starts a terminal and
// types into the window that came up, later commands reach it as their parent,
// dictated text arrives literally, and a CLOSE command forgets the window. The
// terminal's shell writes files, which is how the test sees what arrived.
#include "InterpreterFixture.h"

#include "common/QtEventWait.h"
#include "desktop/x11/X11Desktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// Bounded: the shell in the terminal runs in its own time.
QString waitForFile(const QString &path, const QString &expected)
{
    QDeadlineTimer deadline(20000);
    QString content;
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            content = QString::fromUtf8(file.readAll());
            if (content == expected)
                break;
        }
        QThread::msleep(50);
    }
    return content;
}

TEST(InterpreterOnDesktop, OpensTypesDictatesAndCloses)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs the Xvfb + openbox display of scripts/desktop-session.sh";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtEventWait wait;
    X11Desktop desktop(wait);
    FakeCommandTable commands;
    FakeFeedbackControls feedback;
    FakeSpeechOutput speech;
    FakeMainWindowControl mainWindow;
    FakeMessageBoxes messages;
    SharedState shared;
    OpenProgramSlots slots;
    Interpreter interpreter(commands, desktop, wait, feedback, speech, mainWindow, messages, shared, slots);
    slots.clearStartups();
    const auto say = [&](const QString &text) {
        shared.RecoText = text;
        interpreter.RecoIt();
    };

    const QString opened = dir.filePath("opened"), dictated = dir.filePath("dictated");
    commands.rows = {row("OPEN TERMINAL", "OPEN", "xterm|echo opened > " + opened + "~"),
                     row("WRITE AGAIN", "FUNCTION", "echo again >> " + opened + "~", "open terminal"),
                     row("TAKE NOTE", "TEXT", "", "open terminal"),
                     row("PRESS ENTER", "FUNCTION", "~", "open terminal"),
                     row("CLOSE TERMINAL", "CLOSE", "exit~", "open terminal")};

    say("open terminal");
    ASSERT_TRUE(messages.shown.isEmpty()) << messages.texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_NE(slots.window(1), 0u);
    EXPECT_EQ(slots.phrase(1), "OPEN TERMINAL");
    EXPECT_EQ(waitForFile(opened, "opened\n"), "opened\n");

    say("write again");
    EXPECT_EQ(waitForFile(opened, "opened\nagain\n"), "opened\nagain\n");

    // Dictated text is typed as it was heard: no key combinations, no Enter.
    say("take note");
    ASSERT_TRUE(interpreter.dictating());
    say("echo '50% + 2 ^ (x) {y} ~' > " + dictated);
    say("press enter");
    EXPECT_EQ(waitForFile(dictated, "50% + 2 ^ (x) {y} ~\n"), "50% + 2 ^ (x) {y} ~\n");

    say("close terminal");
    EXPECT_EQ(slots.phrase(1), "NULL");
    EXPECT_EQ(slots.window(1), 0u);
}

} // namespace

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

using namespace kestrel;
using namespace kestrel::test;

namespace {

// Bounded: the shell in the terminal runs in its own time.
QString waitForFile(const QString &path, const QString &expected)
{
    QString content;
    for (QDeadlineTimer deadline(20000); content != expected && !deadline.hasExpired(); QThread::msleep(50)) {
        QCoreApplication::processEvents();
        QFile file(path);
        content = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    return content;
}

TEST(InterpreterOnDesktop, OpensTypesDictatesAndCloses)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs the Xvfb + openbox display of scripts/desktop-session.sh";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    InterpreterParts<X11Desktop, QtEventWait> f;
    const QString opened = dir.filePath("opened"), dictated = dir.filePath("dictated");
    f.commands.rows = {row("OPEN TERMINAL", "OPEN", "xterm|echo opened > " + opened + "~"),
                       row("WRITE AGAIN", "FUNCTION", "echo again >> " + opened + "~", "open terminal"),
                       row("TAKE NOTE", "TEXT", "", "open terminal"),
                       row("PRESS ENTER", "FUNCTION", "~", "open terminal"),
                       row("CLOSE TERMINAL", "CLOSE", "exit~", "open terminal")};

    f.say("open terminal");
    ASSERT_TRUE(f.messages.shown.isEmpty()) << f.messages.texts().join('\n').toStdString();
    ASSERT_NE(f.slots.window(1), 0u);
    EXPECT_EQ(f.slots.phrase(1), "OPEN TERMINAL");
    EXPECT_EQ(waitForFile(opened, "opened\n"), "opened\n");

    f.say("write again");
    EXPECT_EQ(waitForFile(opened, "opened\nagain\n"), "opened\nagain\n");

    // Dictated text is typed as it was heard: no key combinations, no Enter.
    f.say("take note");
    ASSERT_TRUE(f.interpreter.dictating());
    f.say("echo '50% + 2 ^ (x) {y} ~' > " + dictated);
    f.say("press enter");
    EXPECT_EQ(waitForFile(dictated, "50% + 2 ^ (x) {y} ~\n"), "50% + 2 ^ (x) {y} ~\n");

    f.say("close terminal");
    EXPECT_EQ(f.slots.phrase(1), "NULL");
    EXPECT_EQ(f.slots.window(1), 0u);
}

} // namespace

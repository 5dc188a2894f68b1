// The interpreter on the real X11 desktop: an OPEN command starts a terminal and
// types into the window that came up, later commands reach it as their parent,
// dictated text arrives literally, and a CLOSE command forgets the window. The
// terminal's shell writes files, which is how the test sees what arrived.
#include "support/FakeHosts.h"
#include "support/QtPrinters.h"

#include "common/QtEventWait.h"
#include "common/SharedState.h"
#include "desktop/x11/X11Desktop.h"
#include "interpreter/Interpreter.h"
#include "interpreter/OpenProgramSlots.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

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

class InterpreterOnDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs the Xvfb + openbox display of scripts/desktop-session.sh";
        ASSERT_TRUE(m_dir.isValid());
        desktop = std::make_unique<X11Desktop>(wait);
        interpreter = std::make_unique<Interpreter>(commands, *desktop, wait, feedback, speech, mainWindow,
                                                    messages, shared, slots);
        slots.clearStartups();
    }

    void say(const QString &text)
    {
        shared.RecoText = text;
        interpreter->RecoIt();
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    QtEventWait wait;
    std::unique_ptr<X11Desktop> desktop;
    FakeCommandTable commands;
    FakeFeedbackControls feedback;
    FakeSpeechOutput speech;
    FakeMainWindowControl mainWindow;
    FakeMessageBoxes messages;
    SharedState shared;
    OpenProgramSlots slots;
    std::unique_ptr<Interpreter> interpreter;
};

TEST_F(InterpreterOnDesktop, OpensTypesDictatesAndCloses)
{
    const QString opened = path("opened");
    const QString dictated = path("dictated");
    commands.rows = {
        CommandRow{QStringLiteral("OPEN TERMINAL"), QStringLiteral("OPEN"),
                   QStringLiteral("xterm|echo opened > ") + opened + QStringLiteral("~"), QString()},
        CommandRow{QStringLiteral("WRITE AGAIN"), QStringLiteral("FUNCTION"),
                   QStringLiteral("echo again >> ") + opened + QStringLiteral("~"),
                   QStringLiteral("open terminal")},
        CommandRow{QStringLiteral("TAKE NOTE"), QStringLiteral("TEXT"), QString(),
                   QStringLiteral("open terminal")},
        CommandRow{QStringLiteral("PRESS ENTER"), QStringLiteral("FUNCTION"), QStringLiteral("~"),
                   QStringLiteral("open terminal")},
        CommandRow{QStringLiteral("CLOSE TERMINAL"), QStringLiteral("CLOSE"), QStringLiteral("exit~"),
                   QStringLiteral("open terminal")},
    };

    say(QStringLiteral("open terminal"));
    ASSERT_TRUE(messages.shown.isEmpty()) << messages.texts().join(QLatin1Char('\n')).toStdString();
    const WindowId terminal = slots.window(1);
    ASSERT_NE(terminal, 0u);
    EXPECT_EQ(slots.phrase(1), QStringLiteral("OPEN TERMINAL"));
    EXPECT_EQ(waitForFile(opened, QStringLiteral("opened\n")), QStringLiteral("opened\n"));

    say(QStringLiteral("write again"));
    EXPECT_EQ(waitForFile(opened, QStringLiteral("opened\nagain\n")), QStringLiteral("opened\nagain\n"));

    // Dictated text is typed as it was heard: no key combinations, no Enter.
    say(QStringLiteral("take note"));
    ASSERT_TRUE(interpreter->dictating());
    say(QStringLiteral("echo '50% + 2 ^ (x) {y} ~' > ") + dictated);
    say(QStringLiteral("press enter"));
    const QString typed = QStringLiteral("50% + 2 ^ (x) {y} ~\n");
    EXPECT_EQ(waitForFile(dictated, typed), typed);

    say(QStringLiteral("close terminal"));
    EXPECT_EQ(slots.phrase(1), QStringLiteral("NULL"));
    EXPECT_EQ(slots.window(1), 0u);
}

} // namespace

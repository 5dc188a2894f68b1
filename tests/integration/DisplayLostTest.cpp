// The program on an X server of its own that goes away under it.

#include "support/PrivateXServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

bool windowShown(const QString &display, const QString &title)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"),
               {QStringLiteral("-display"), display, QStringLiteral("-name"), title});
    return info.waitForFinished(5000) && info.exitCode() == 0 &&
           info.readAllStandardOutput().contains("Map State: IsViewable");
}

// Without a session manager a logout simply takes the X server away, and Qt
// ends the program with exit(): the day's settings were lost.
TEST(DisplayLost, TheSettingsAreSavedWhenTheXServerGoesAway)
{
    test::PrivateXServer server;
    ASSERT_TRUE(server.start());
    const QString display = server.display();

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    // Written in lower case, as another editor may leave it: a save writes the
    // keys in upper case, and all of them.
    QFile seeded(QDir(work.path()).filePath(QStringLiteral("KESTREL.INI")));
    ASSERT_TRUE(seeded.open(QIODevice::WriteOnly));
    seeded.write("chkconfirm= 1\r\nratesldr= 5\r\n");
    seeded.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("DISPLAY"), display);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(work.path());
    program.start(QStringLiteral(KESTREL_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    const bool shown = QTest::qWaitFor(
        [&] {
            return program.state() != QProcess::Running || windowShown(display, QStringLiteral("KESTREL"));
        },
        60000);
    if (program.state() != QProcess::Running && program.exitCode() == 0) {
        GTEST_SKIP() << "another KESTREL of this user is running";
    }
    ASSERT_TRUE(shown && program.state() == QProcess::Running)
        << program.readAllStandardError().toStdString();

    ASSERT_TRUE(server.stop());
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "not killed by a signal";
    EXPECT_EQ(program.exitCode(), 1) << "the status Qt gave exit() when the server went away";

    ASSERT_TRUE(seeded.open(QIODevice::ReadOnly));
    const QByteArray saved = seeded.readAll();
    EXPECT_TRUE(saved.contains("CHKCONFIRM= 1\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("RATESLDR= 5\r\n")) << saved.toStdString();
    EXPECT_EQ(saved.count("\r\n"), 14) << "every key";
}

} // namespace
} // namespace kestrel

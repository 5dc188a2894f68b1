#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

// Without an X display Qt aborted with advice to reinstall the program; the
// program must say what is missing and end with an error, touching nothing.
TEST(StartWithoutDisplay, TheProgramSaysWhatIsMissingAndEndsWithAnError)
{
    const struct
    {
        const char *display;
        const char *wayland; ///< a Wayland session: the windows still go to the X server
        const char *said;
    } cases[] = {
        {nullptr, nullptr, "cannot open display: DISPLAY is not set"},
        {":77", nullptr, "cannot open display :77"},
        {":77", "wayland-0", "cannot open display :77"},
    };
    for (const auto &[display, wayland, said] : cases) {
        SCOPED_TRACE(std::string(display ? display : "no DISPLAY") + (wayland ? ", Wayland" : ""));
        QTemporaryDir work;
        ASSERT_TRUE(work.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        if (display)
            environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        if (wayland) {
            environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromLatin1(wayland));
            environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        }
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(work.path());
        program.start(QStringLiteral(KESTREL_PROGRAM), {});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "not killed by a signal";
        EXPECT_EQ(program.exitCode(), 1);
        EXPECT_TRUE(program.readAllStandardError().contains(said));
        EXPECT_TRUE(QDir(work.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            << "no table or settings made";
    }
}

} // namespace
} // namespace kestrel

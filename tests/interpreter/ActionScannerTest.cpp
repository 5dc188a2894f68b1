#include "InterpreterFixture.h"

#include "common/Failure.h"
#include "interpreter/ActionScanner.h"
#include "interpreter/DesktopPrimitives.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrel;
using namespace kestrel::test;

namespace {

class ScannerFixture
{
public:
    ScannerFixture() : primitives(desktop), scanner(desktop, wait, mainWindow, primitives)
    {
        desktop.setCursor(QPoint(100, 100));
        desktop.setForeground(0x2a);
        // A scan that never ends would pause forever; stop it loudly instead.
        wait.onEveryCall([this] {
            if (wait.calls() > 100000)
                throw std::runtime_error("runaway scan");
        });
    }

    RecordingDesktop desktop;
    FakeEventWait wait;
    FakeMainWindowControl mainWindow;
    DesktopPrimitives primitives;
    ActionScanner scanner;
};

struct ScanCase
{
    const char *action;
    const char *expected; ///< "|" between lines
};

class Scanner : public ::testing::TestWithParam<ScanCase>
{
};

TEST_P(Scanner, CarriesOutTheAction)
{
    ScannerFixture f;
    EXPECT_EQ(f.scanner.run(QString::fromLatin1(GetParam().action)), ActionScanner::Outcome::Completed);
    EXPECT_EQ(f.desktop.actions(), lines(GetParam().expected)) << GetParam().action;
    EXPECT_FALSE(f.mainWindow.quitRequested);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, Scanner,
    ::testing::Values(
        ScanCase{"abc", "keys abc wait"}, ScanCase{"^c{PAUSE 0.5}^v", "keys ^c wait|keys ^v wait"},
        ScanCase{"{CURSOR 100,200}{LEFT CLICK}", "cursor 100,200|click L down|click L up"},
        ScanCase{"{left click}", "click L down|click L up"},
        ScanCase{"{Right Click}", "click R down|click R up"}, ScanCase{"{CURSOR DOWN 5}", "cursor 100,120"},
        ScanCase{"{cursor up}", "cursor 100,80"}, ScanCase{"{CURSOR LEFT}", "cursor 80,100"},
        ScanCase{"{Cursor Right}", "cursor 120,100"}, ScanCase{"{CURSOR 100, 200}", "cursor 100,200"},
        ScanCase{"{CURSOR 2.5,3.5}", "cursor 2,4"},
        // Without a comma nothing moves and the argument is dropped.
        ScanCase{"{CURSOR 100}x", "keys x wait"},
        // A missing closing brace drops the rest of the action.
        ScanCase{"a{PAUSE 2 b", "keys a wait"}, ScanCase{"q{CURSOR 1,2 abc", "keys q wait"},
        ScanCase{"{CURSOR DOWN x", "cursor 100,120"},
        // The blank between two clicks is typed; a lone blank is not.
        ScanCase{"{LEFT CLICK} {RIGHT CLICK}", "click L down|click L up|keys   wait|click R down|click R up"},
        ScanCase{" ", ""}, ScanCase{"", ""}, ScanCase{"}", ""},
        ScanCase{"abc{ENTER}{LEFT CLICK}", "keys abc{ENTER} wait|click L down|click L up"},
        ScanCase{"}abc", "keys abc wait"}, ScanCase{"{LEFT CLICK}x", "click L down|click L up|keys x wait"},
        ScanCase{"a{CURSOR 1,2}b", "keys a wait|cursor 1,2|keys b wait"},
        ScanCase{"{POSITION 10,20}", "move 0x2a 10,20"},
        ScanCase{"{position 40000,-5}", "move 0x2a 40000,-5"}, ScanCase{"{POSITION 10}", ""},
        ScanCase{"+{RIGHT 3}", "keys +{RIGHT 3} wait"},
        // A "}" just before a token must not make the token run again and again.
        ScanCase{"{ENTER}{PAUSE 1}y", "keys {ENTER} wait|keys y wait"},
        ScanCase{"{TAB}{CURSOR DOWN}z", "keys {TAB} wait|cursor 100,120|keys z wait"}));

TEST(ScannerQuit, EndsTheProgramWithoutTheUnsentKeys)
{
    for (const char *action : {"text{QUIT}", "a{LEFT CLICK}b{quit}c"}) {
        ScannerFixture f;
        EXPECT_EQ(f.scanner.run(QString::fromLatin1(action)), ActionScanner::Outcome::Quit) << action;
        EXPECT_TRUE(f.mainWindow.quitRequested) << action;
        for (const QString &line : f.desktop.actions())
            EXPECT_FALSE(line.contains(QLatin1String("text")) || line.contains(QLatin1String("keys b")) ||
                         line.contains(QLatin1String("keys c")))
                << action << ": " << line.toStdString();
    }
}

struct PauseCase
{
    const char *action;
    double seconds; ///< 0: no pause at all
};

class Pause : public ::testing::TestWithParam<PauseCase>
{
};

TEST_P(Pause, WaitsOnlyInsideItsBounds)
{
    ScannerFixture f;
    f.wait.setStep(0.01);
    const double start = f.wait.now();
    f.scanner.run(QString::fromLatin1(GetParam().action));
    const double waited = f.wait.now() - start;
    if (GetParam().seconds == 0) {
        EXPECT_EQ(f.wait.calls(), 0) << GetParam().action;
    } else {
        EXPECT_GE(waited, GetParam().seconds - 1e-9) << GetParam().action;
        EXPECT_LT(waited, GetParam().seconds + 0.02) << GetParam().action;
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, Pause,
                         ::testing::Values(PauseCase{"{PAUSE 0.5}", 0.5}, PauseCase{"{pause 29.9}", 29.9},
                                           PauseCase{"{PAUSE 0}", 0}, PauseCase{"{PAUSE 30}", 0},
                                           PauseCase{"{PAUSE -1}", 0}, PauseCase{"{PAUSE abc}", 0},
                                           PauseCase{"{PAUSE 2", 0}));

TEST(ScannerFailures, EndTheScanButKeepWhatWasSent)
{
    // An overflowing number fails in the scanner, malformed key text in the desktop.
    for (const auto &[action, sent] : {std::pair{"a{CURSOR 40000,1}b", "keys a wait"},
                                       std::pair{"{NOSUCHKEY}", "keys-rejected {NOSUCHKEY}"}}) {
        ScannerFixture f;
        EXPECT_THROW(f.scanner.run(QString::fromLatin1(action)), Failure) << action;
        EXPECT_EQ(f.desktop.actions(), QStringList{QString::fromLatin1(sent)}) << action;
    }
}

TEST(ScannerFailures, NoForegroundWindowMeansNothingToPlace)
{
    ScannerFixture f;
    f.desktop.setForeground(0);
    EXPECT_EQ(f.scanner.run(QStringLiteral("{POSITION 1,2}")), ActionScanner::Outcome::Completed);
    EXPECT_TRUE(f.desktop.actions().isEmpty());
}

} // namespace

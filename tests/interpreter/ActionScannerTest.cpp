#include "InterpreterFixture.h"

#include "common/Failure.h"
#include "interpreter/ActionScanner.h"
#include "interpreter/DesktopPrimitives.h"

#include <stdexcept>

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct ScannerFixture : InterpreterParts<>
{
    ScannerFixture()
    {
        desktop.setCursor(QPoint(100, 100));
        desktop.setForeground(0x2a);
        // A scan that never ends would pause forever; stop it loudly instead.
        wait.onEveryCall([this] {
            if (wait.calls() > 100000)
                throw std::runtime_error("runaway scan");
        });
    }
    ActionScanner::Outcome run(const char *action) { return scanner.run(QString::fromLatin1(action)); }

    DesktopPrimitives primitives{desktop};
    ActionScanner scanner{desktop, wait, mainWindow, primitives};
};

using P = std::pair<const char *, const char *>;

TEST(ActionScanner, CarriesOutTheAction)
{
    const P cases[] = {
        P{"abc", "keys abc wait"}, P{"^c{PAUSE 0.5}^v", "keys ^c wait|keys ^v wait"},
        P{"{CURSOR 100,200}{LEFT CLICK}", "cursor 100,200|click L down|click L up"},
        P{"{left click}", "click L down|click L up"}, P{"{Right Click}", "click R down|click R up"},
        P{"{CURSOR DOWN 5}", "cursor 100,120"}, P{"{cursor up}", "cursor 100,80"},
        P{"{CURSOR LEFT}", "cursor 80,100"}, P{"{Cursor Right}", "cursor 120,100"},
        P{"{CURSOR 100, 200}", "cursor 100,200"}, P{"{CURSOR 2.5,3.5}", "cursor 2,4"},
        // Without a comma nothing moves and the argument is dropped.
        P{"{CURSOR 100}x", "keys x wait"},
        // A missing closing brace drops the rest of the action.
        P{"a{PAUSE 2 b", "keys a wait"}, P{"q{CURSOR 1,2 abc", "keys q wait"},
        P{"{CURSOR DOWN x", "cursor 100,120"},
        // The blank between two clicks is typed; a lone blank is not.
        P{"{LEFT CLICK} {RIGHT CLICK}", "click L down|click L up|keys   wait|click R down|click R up"},
        P{" ", ""}, P{"", ""}, P{"}", ""},
        P{"abc{ENTER}{LEFT CLICK}", "keys abc{ENTER} wait|click L down|click L up"},
        P{"}abc", "keys abc wait"}, P{"{LEFT CLICK}x", "click L down|click L up|keys x wait"},
        P{"a{CURSOR 1,2}b", "keys a wait|cursor 1,2|keys b wait"}, P{"{POSITION 10,20}", "move 0x2a 10,20"},
        P{"{position 40000,-5}", "move 0x2a 40000,-5"}, P{"{POSITION 10}", ""},
        P{"+{RIGHT 3}", "keys +{RIGHT 3} wait"},
        // A "}" just before a token must not make the token run again and again.
        P{"{ENTER}{PAUSE 1}y", "keys {ENTER} wait|keys y wait"},
        P{"{TAB}{CURSOR DOWN}z", "keys {TAB} wait|cursor 100,120|keys z wait"},
        // Quitting ends the program without the keys not sent yet.
        P{"text{QUIT}", "quit"}, P{"a{LEFT CLICK}b{quit}c", "keys a wait|click L down|click L up|quit"}};
    for (const auto &[action, expected] : cases) {
        ScannerFixture f;
        const bool quit = f.run(action) == ActionScanner::Outcome::Quit;
        EXPECT_EQ(quit, f.mainWindow.quitRequested) << action;
        EXPECT_EQ(f.desktop.actions() + (quit ? QStringList{"quit"} : QStringList{}), lines(expected))
            << action;
    }
    ScannerFixture f; // without a foreground window there is nothing to place
    f.desktop.setForeground(0);
    EXPECT_EQ(f.run("{POSITION 1,2}"), ActionScanner::Outcome::Completed);
    EXPECT_TRUE(f.desktop.actions().isEmpty());
}

TEST(ActionScanner, PauseWaitsOnlyInsideItsBounds)
{
    const std::pair<const char *, double> cases[] = {
        {"{PAUSE 0.5}", 0.5}, {"{pause 29.9}", 29.9}, {"{PAUSE 0}", 0}, {"{PAUSE 30}", 0},
        {"{PAUSE -1}", 0},    {"{PAUSE abc}", 0},     {"{PAUSE 2", 0}}; // 0: no pause at all
    for (const auto &[action, seconds] : cases) {
        ScannerFixture f;
        f.wait.setStep(0.01);
        const double start = f.wait.now();
        f.run(action);
        if (seconds == 0) {
            EXPECT_EQ(f.wait.calls(), 0) << action;
        } else {
            EXPECT_GE(f.wait.now() - start, seconds - 1e-9) << action;
            EXPECT_LT(f.wait.now() - start, seconds + 0.02) << action;
        }
    }
}

TEST(ActionScanner, FailureEndsTheScanButKeepsWhatWasSent)
{
    // An overflowing number fails in the scanner, malformed key text in the desktop.
    for (const auto &[action, sent] :
         {P{"a{CURSOR 40000,1}b", "keys a wait"}, P{"{NOSUCHKEY}", "keys-rejected {NOSUCHKEY}"}}) {
        ScannerFixture f;
        EXPECT_THROW(f.run(action), Failure) << action;
        EXPECT_EQ(f.desktop.actions(), QStringList{sent}) << action;
    }
}

} // namespace

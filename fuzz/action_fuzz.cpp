// A FUNCTION action as the table holds it: key text mixed with clicks, pointer
// moves, pauses, window moves and {QUIT}, carried out on the tests' recording
// desktop, which checks key text with the real notation parser.
#include "FakeEventWait.h"
#include "FakeHosts.h"
#include "FuzzText.h"
#include "RecordingDesktop.h"
#include "common/Failure.h"
#include "interpreter/ActionScanner.h"
#include "interpreter/DesktopPrimitives.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace kestrel;
    test::RecordingDesktop desktop;
    test::FakeEventWait wait; // a {PAUSE} ends after a bounded number of looks
    test::FakeMainWindowControl window;
    DesktopPrimitives primitives(desktop);
    ActionScanner scanner(desktop, wait, window, primitives);
    try {
        const ActionScanner::Outcome outcome = scanner.run(fuzz::text(data, size));
        if ((outcome == ActionScanner::Outcome::Quit) != window.quitRequested)
            __builtin_trap(); // the program ends exactly when the scanner says so
    } catch (const Failure &) {
        // Malformed key text and numeric overflow end the command there.
    }
    return 0;
}

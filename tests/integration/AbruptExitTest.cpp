// Qt and Xlib end the program with exit() when the X server goes away, while the
// capture, grammar and voice threads still run. What exit() would tear down
// after the settings are saved, those threads may still be using.

#include "app/AbruptExit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace kestrel {
namespace {

// Built before the handler is registered, as Qt's and the libraries' own
// globals are: exit() would destroy it after the handler ran.
struct Witness
{
    ~Witness() { std::fputs("[torn down]", stderr); }
};

TEST(AbruptExit, SavesThenEndsWithExitsStatusBeforeAnythingIsTornDown)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process of its own
    EXPECT_EXIT(
        {
            static Witness witness;
            if (!runBeforeExitTearsDown([] { std::fputs("[saved]", stderr); }))
                std::abort();
            std::exit(7);
        },
        testing::ExitedWithCode(7),
        testing::AllOf(testing::HasSubstr("[saved]"), testing::Not(testing::HasSubstr("[torn down]"))));
}

} // namespace
} // namespace kestrel

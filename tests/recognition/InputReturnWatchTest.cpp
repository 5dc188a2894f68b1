#include "recognition/InputReturnWatch.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

SpeechTokenList inputs(std::initializer_list<const char *> ids)
{
    SpeechTokenList tokens;
    for (const char *id : ids)
        tokens << SpeechToken{QString::fromLatin1(id), QString::fromLatin1(id).toUpper()};
    return tokens;
}

TEST(InputReturnWatch, RetriesOnlyOnceAnInputIsListedThatWasNotThereAtTheLoss)
{
    struct Tick
    {
        SpeechTokenList listed;
        bool retry;
    };
    struct Case
    {
        const char *name;
        SpeechTokenList atLoss;
        std::vector<Tick> ticks;
    };
    const Case cases[] = {
        {"the microphone comes back",
         inputs({"monitor"}),
         {{inputs({"monitor"}), false}, {inputs({"monitor", "mic"}), true}}},
        {"the lost microphone was still listed at the loss",
         inputs({"monitor", "mic"}),
         {{inputs({"monitor", "mic"}), false},
          {inputs({"monitor"}), false},
          {inputs({"monitor", "mic"}), true}}},
        {"only the speaker monitor stays listed",
         inputs({"monitor"}),
         {{inputs({"monitor"}), false}, {inputs({"monitor"}), false}, {inputs({}), false}}},
        {"the monitor leaves and returns with the microphone",
         inputs({"monitor"}),
         {{inputs({}), false}, {inputs({"monitor", "mic"}), true}}},
        {"a start that failed is tried again while the input stays",
         inputs({}),
         {{inputs({"usb"}), true}, {inputs({"usb"}), true}, {inputs({}), false}, {inputs({"usb"}), true}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        InputReturnWatch watch;
        EXPECT_FALSE(watch.inputReturned(inputs({"mic"}))) << "not watching yet";
        watch.start(c.atLoss);
        EXPECT_TRUE(watch.watching());
        for (std::size_t i = 0; i < c.ticks.size(); ++i)
            EXPECT_EQ(watch.inputReturned(c.ticks[i].listed), c.ticks[i].retry) << "tick " << i;
        watch.stop();
        EXPECT_FALSE(watch.watching());
        EXPECT_FALSE(watch.inputReturned(inputs({"monitor", "mic", "usb", "new"})));
    }
}

} // namespace
} // namespace kestrel

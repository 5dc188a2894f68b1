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
        SpeechTokenList arrived; ///< empty: no reason to retry
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
         {{inputs({"monitor"}), {}}, {inputs({"monitor", "mic"}), inputs({"mic"})}}},
        {"the lost microphone was still listed at the loss",
         inputs({"monitor", "mic"}),
         {{inputs({"monitor", "mic"}), {}},
          {inputs({"monitor"}), {}},
          {inputs({"monitor", "mic"}), inputs({"mic"})}}},
        {"only the speaker monitor stays listed",
         inputs({"monitor"}),
         {{inputs({"monitor"}), {}}, {inputs({"monitor"}), {}}, {inputs({}), {}}}},
        {"the monitor leaves and returns with the microphone",
         inputs({"monitor"}),
         {{inputs({}), {}}, {inputs({"mic", "monitor"}), inputs({"mic", "monitor"})}}},
        {"two new inputs, in the order listed",
         inputs({"monitor"}),
         {{inputs({"usb", "monitor", "mic"}), inputs({"usb", "mic"})}}},
        {"a start that failed is tried again while the input stays",
         inputs({}),
         {{inputs({"usb"}), inputs({"usb"})},
          {inputs({"usb"}), inputs({"usb"})},
          {inputs({}), {}},
          {inputs({"usb"}), inputs({"usb"})}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        InputReturnWatch watch;
        EXPECT_TRUE(watch.newInputs(inputs({"mic"})).isEmpty()) << "not watching yet";
        watch.start(c.atLoss);
        EXPECT_TRUE(watch.watching());
        for (std::size_t i = 0; i < c.ticks.size(); ++i)
            EXPECT_EQ(watch.newInputs(c.ticks[i].listed), c.ticks[i].arrived) << "tick " << i;
        watch.stop();
        EXPECT_FALSE(watch.watching());
        EXPECT_TRUE(watch.newInputs(inputs({"monitor", "mic", "usb", "new"})).isEmpty());
    }
}

} // namespace
} // namespace kestrel

#include "speech_platform/espeak/VoiceParameters.h"

#include <gtest/gtest.h>

using namespace kestrel;

namespace {

TEST(VoiceParametersTest, RateCurveMeetsEspeaksRange)
{
    const std::pair<int, int> rows[] = {{-10, 80}, {-5, 118}, {0, 175},  {5, 281},
                                        {10, 450}, {-11, 80}, {11, 450}, {-100, 80}};
    for (const auto &[rate, wpm] : rows)
        EXPECT_EQ(VoiceParameters::wordsPerMinute(rate), wpm) << rate;
}

TEST(VoiceParametersTest, EveryRateStepIsFasterByASimilarFactor)
{
    for (int rate = VoiceParameters::MinRate + 1; rate <= VoiceParameters::MaxRate; ++rate) {
        const double factor = static_cast<double>(VoiceParameters::wordsPerMinute(rate)) /
                              VoiceParameters::wordsPerMinute(rate - 1);
        EXPECT_GT(factor, 1.06) << rate;
        EXPECT_LT(factor, 1.12) << rate;
    }
}

TEST(VoiceParametersTest, VolumeIsLinearUpToEspeaksNormalLevel)
{
    const std::pair<int, int> rows[] = {{0, 0}, {1, 1}, {50, 50}, {100, 100}, {101, 100}, {-1, 0}};
    for (const auto &[volume, espeak] : rows)
        EXPECT_EQ(VoiceParameters::espeakVolume(volume), espeak) << volume;
}

} // namespace

#include "speech_platform/AudioFormats.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

using namespace kestrel;

namespace {

struct FormatRow
{
    int position;
    const char *name;
    int code;
    int rate;
    int bits;
    int channels;
};

class AudioFormatRowTest : public ::testing::TestWithParam<FormatRow>
{
};

TEST_P(AudioFormatRowTest, LookupsByPositionAndCodeAgree)
{
    const FormatRow row = GetParam();
    const AudioFormatInfo *byPosition = AudioFormats::atPosition(row.position);
    ASSERT_NE(byPosition, nullptr);
    EXPECT_STREQ(byPosition->name, row.name);
    EXPECT_EQ(byPosition->code, row.code);
    EXPECT_EQ(byPosition->sampleRate, row.rate);
    EXPECT_EQ(byPosition->bitsPerSample, row.bits);
    EXPECT_EQ(byPosition->channels, row.channels);
    EXPECT_EQ(AudioFormats::byCode(row.code), byPosition);
    EXPECT_EQ(AudioFormats::positionOf(row.code), row.position);
}

INSTANTIATE_TEST_SUITE_P(FormatList, AudioFormatRowTest,
                         ::testing::Values(FormatRow{0, "SAFT8kHz8BitMono", 4, 8000, 8, 1},
                                           FormatRow{7, "SAFT11kHz16BitStereo", 11, 11025, 16, 2},
                                           FormatRow{9, "SAFT12kHz8BitStereo", 13, 12000, 8, 2},
                                           FormatRow{18, "SAFT22kHz16BitMono", 22, 22050, 16, 1},
                                           FormatRow{28, "SAFT44kHz8BitMono", 32, 44100, 8, 1},
                                           FormatRow{35, "SAFT48kHz16BitStereo", 39, 48000, 16, 2}));

TEST(AudioFormatsTest, EveryNameAgreesWithItsNumbers)
{
    const QRegularExpression pattern(QStringLiteral("^SAFT(\\d+)kHz(8|16)Bit(Mono|Stereo)$"));
    const QList<AudioFormatInfo> all = AudioFormats::all();
    ASSERT_EQ(all.size(), AudioFormats::Count);
    QSet<QString> names;
    for (int position = 0; position < all.size(); ++position) {
        const AudioFormatInfo &f = all[position];
        SCOPED_TRACE(f.name);
        const auto match = pattern.match(QString::fromLatin1(f.name));
        ASSERT_TRUE(match.hasMatch());
        EXPECT_EQ(match.captured(1).toInt(), f.sampleRate / 1000);
        EXPECT_EQ(match.captured(2).toInt(), f.bitsPerSample);
        EXPECT_EQ(f.channels, match.captured(3) == QLatin1String("Stereo") ? 2 : 1);
        EXPECT_EQ(f.code, position + AudioFormats::FirstCode);
        EXPECT_EQ(f.bytesPerFrame(), f.bitsPerSample / 8 * f.channels);
        names.insert(QString::fromLatin1(f.name));
    }
    EXPECT_EQ(names.size(), AudioFormats::Count);
}

TEST(AudioFormatsTest, RatesRiseInGroupsOfFour)
{
    const QList<int> rates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    for (int position = 0; position < AudioFormats::Count; ++position)
        EXPECT_EQ(AudioFormats::atPosition(position)->sampleRate, rates[position / 4]) << position;
}

TEST(AudioFormatsTest, OutOfRangeLookupsFindNothing)
{
    for (const int code : {-1, 0, 3, 40, 1000})
        EXPECT_EQ(AudioFormats::byCode(code), nullptr) << code;
    for (const int position : {-1, 36, 100})
        EXPECT_EQ(AudioFormats::atPosition(position), nullptr) << position;
    EXPECT_EQ(AudioFormats::positionOf(3), -1);
    EXPECT_EQ(AudioFormats::positionOf(40), -1);
}

TEST(AudioFormatsTest, DefaultIsEspeaksOwnFormat)
{
    const AudioFormatInfo *f = AudioFormats::byCode(AudioFormats::DefaultCode);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->name, "SAFT22kHz16BitMono");
    EXPECT_EQ(AudioFormats::positionOf(AudioFormats::DefaultCode), 18);
}

} // namespace

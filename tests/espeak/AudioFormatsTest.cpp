#include "speech_platform/AudioFormats.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace kestrel;

namespace {

TEST(AudioFormatsTest, EveryPositionHoldsItsFormatAndEveryLookupFindsIt)
{
    // Nine rates, each as 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo;
    // the codes count on from 4 in the same order.
    const int rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    const QList<AudioFormatInfo> all = AudioFormats::all();
    ASSERT_EQ(all.size(), 36);
    for (int position = 0; position < all.size(); ++position) {
        const AudioFormatInfo *f = AudioFormats::atPosition(position);
        ASSERT_NE(f, nullptr) << position;
        const int rate = rates[position / 4];
        const int bits = position % 4 < 2 ? 8 : 16;
        const int channels = position % 2 + 1;
        const QString name = QStringLiteral("SAFT%1kHz%2Bit%3")
                                 .arg(rate / 1000)
                                 .arg(bits)
                                 .arg(QLatin1String(channels == 2 ? "Stereo" : "Mono"));
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(QString::fromLatin1(f->name), name);
        EXPECT_EQ(f->code, position + 4);
        EXPECT_EQ(f->sampleRate, rate);
        EXPECT_EQ(f->bitsPerSample, bits);
        EXPECT_EQ(f->channels, channels);
        EXPECT_EQ(all[position].code, f->code);
        EXPECT_EQ(AudioFormats::byCode(f->code), f);
        EXPECT_EQ(AudioFormats::positionOf(f->code), position);
    }
    // eSpeak's own output needs no conversion, so it is the default.
    EXPECT_STREQ(AudioFormats::byCode(AudioFormats::DefaultCode)->name, "SAFT22kHz16BitMono");
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

} // namespace

#include "speech_platform/espeak/SampleConverter.h"
#include "common/Failure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

using namespace kestrel;

namespace {

constexpr int kSource = 22050;

std::vector<std::int16_t> sine(double hertz, int frames)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * hertz * i / kSource));
    return samples;
}

// Feeds the samples in uneven pieces, as eSpeak hands them over.
QByteArray convertInPieces(SampleConverter &converter, const std::vector<std::int16_t> &samples)
{
    QByteArray out;
    const std::size_t pieces[] = {1, 17, 1000, 1323, 4096, 77};
    std::size_t offset = 0;
    for (int i = 0; offset < samples.size(); ++i) {
        const std::size_t count = std::min(pieces[i % 6], samples.size() - offset);
        out += converter.convert(samples.data() + offset, count);
        offset += count;
    }
    return out + converter.finish();
}

std::vector<std::int16_t> firstChannel16(const QByteArray &bytes, int channels)
{
    std::vector<std::int16_t> samples;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2 * channels) {
        std::int16_t s;
        std::memcpy(&s, bytes.constData() + i, 2);
        samples.push_back(s);
    }
    return samples;
}

int risingZeroCrossings(const std::vector<std::int16_t> &samples)
{
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        crossings += samples[i - 1] < 0 && samples[i] >= 0;
    return crossings;
}

TEST(SampleConverterTest, UnsignedEightBitRoundsAroundTheMiddle)
{
    const std::pair<std::int16_t, int> rows[] = {{-32768, 0}, {-32640, 1}, {-129, 127}, {0, 128},
                                                 {127, 128},  {128, 129},  {32767, 255}};
    for (const auto &[sample, expected] : rows)
        EXPECT_EQ(SampleConverter::toUnsigned8(sample), expected) << sample;
}

TEST(SampleConverterTest, EveryFormatGetsOneSecondOfWholeFrames)
{
    const std::vector<std::int16_t> second = sine(440, kSource);
    for (const AudioFormatInfo &format : AudioFormats::all()) {
        SCOPED_TRACE(format.name);
        SampleConverter converter(kSource, format);
        const QByteArray bytes = convertInPieces(converter, second);
        EXPECT_EQ(bytes.size() % format.bytesPerFrame(), 0);
        EXPECT_EQ(bytes.size() / format.bytesPerFrame(), converter.framesOut());
        EXPECT_NEAR(static_cast<double>(converter.framesOut()), format.sampleRate,
                    format.sampleRate * 0.002 + 2);
    }
}

TEST(SampleConverterTest, ResamplingKeepsThePitch)
{
    const std::vector<std::int16_t> second = sine(500, kSource);
    for (const int code : {6, 14, 22, 34, 38}) {
        const AudioFormatInfo &format = *AudioFormats::byCode(code);
        SCOPED_TRACE(format.name);
        SampleConverter converter(kSource, format);
        const auto out = firstChannel16(convertInPieces(converter, second), 1);
        EXPECT_NEAR(risingZeroCrossings(out), 500, 2);
    }
}

TEST(SampleConverterTest, NativeRatePassesSamplesThroughUnchanged)
{
    const std::vector<std::int16_t> samples{0, 1, -2, 32767, -32768, 1000};
    SampleConverter mono(kSource, *AudioFormats::byCode(22));
    const QByteArray bytes = mono.convert(samples.data(), samples.size()) + mono.finish();
    ASSERT_EQ(bytes.size(), 12);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 0xFE); // -2, little endian
    EXPECT_EQ(static_cast<unsigned char>(bytes[5]), 0xFF);
    EXPECT_EQ(firstChannel16(bytes, 1), samples);

    SampleConverter stereo(kSource, *AudioFormats::byCode(21)); // 22 kHz 8-bit stereo
    const QByteArray eight = stereo.convert(samples.data(), samples.size());
    ASSERT_EQ(eight.size(), 12);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(static_cast<unsigned char>(eight[static_cast<qsizetype>(2 * i)]),
                  SampleConverter::toUnsigned8(samples[i]));
        EXPECT_EQ(eight[static_cast<qsizetype>(2 * i)], eight[static_cast<qsizetype>(2 * i + 1)]);
    }
}

TEST(SampleConverterTest, StereoChannelsCarryTheSameSound)
{
    const std::vector<std::int16_t> samples = sine(300, 4000);
    SampleConverter mono(kSource, *AudioFormats::byCode(38));
    SampleConverter stereo(kSource, *AudioFormats::byCode(39));
    const QByteArray monoBytes = convertInPieces(mono, samples);
    const QByteArray stereoBytes = convertInPieces(stereo, samples);
    ASSERT_EQ(stereoBytes.size(), 2 * monoBytes.size());
    for (qsizetype frame = 0; frame < monoBytes.size() / 2; ++frame) {
        ASSERT_EQ(stereoBytes.mid(4 * frame, 2), monoBytes.mid(2 * frame, 2)) << frame;
        ASSERT_EQ(stereoBytes.mid(4 * frame + 2, 2), monoBytes.mid(2 * frame, 2)) << frame;
    }
}

TEST(SampleConverterTest, RejectsFormatsItCannotProduce)
{
    AudioFormatInfo threeChannels = *AudioFormats::byCode(22);
    threeChannels.channels = 3;
    EXPECT_THROW(SampleConverter(kSource, threeChannels), Failure);
    AudioFormatInfo twentyFourBit = *AudioFormats::byCode(22);
    twentyFourBit.bitsPerSample = 24;
    EXPECT_THROW(SampleConverter(kSource, twentyFourBit), Failure);
}

} // namespace

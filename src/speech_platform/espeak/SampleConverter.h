#pragma once

#include "speech_platform/AudioFormats.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

struct SRC_STATE_tag;

namespace kestrel {

/// Turns the synthesiser's 16-bit mono samples into one of the output formats:
/// the rate through libsamplerate, stereo by giving both channels the same
/// sample, 8-bit as unsigned samples around 128. Works on a stream in pieces: the
/// resampler keeps its state between convert() calls, and finish() hands out what
/// it still holds.
///
/// Not thread-safe; one converter per stream.
class SampleConverter
{
public:
    /// Throws kestrel::Failure when the resampler cannot be set up.
    SampleConverter(int sourceRate, const AudioFormatInfo &target);
    ~SampleConverter();
    SampleConverter(const SampleConverter &) = delete;
    SampleConverter &operator=(const SampleConverter &) = delete;

    /// The bytes, in the target format, for the next `count` samples.
    QByteArray convert(const std::int16_t *samples, std::size_t count);
    /// The resampler's remaining output at the end of the stream.
    QByteArray finish();

    /// Frames handed out so far (convert and finish together).
    std::int64_t framesOut() const { return m_framesOut; }
    const AudioFormatInfo &target() const { return m_target; }

    /// One signed 16-bit sample as an unsigned 8-bit one, rounded to nearest.
    static std::uint8_t toUnsigned8(std::int16_t sample);

private:
    QByteArray resample(const std::int16_t *samples, std::size_t count, bool endOfInput);
    QByteArray encode(const std::int16_t *samples, std::size_t frames);

    AudioFormatInfo m_target;
    double m_ratio;
    SRC_STATE_tag *m_state = nullptr;
    std::vector<float> m_in;
    std::vector<float> m_out;
    std::vector<std::int16_t> m_resampled;
    std::int64_t m_framesOut = 0;
};

} // namespace kestrel

#include "speech_platform/espeak/SampleConverter.h"

#include "common/Failure.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace kestrel {

SampleConverter::SampleConverter(int sourceRate, const AudioFormatInfo &target)
    : m_target(target), m_ratio(static_cast<double>(target.sampleRate) / sourceRate)
{
    if (sourceRate <= 0 || target.sampleRate <= 0 || (target.channels != 1 && target.channels != 2) ||
        (target.bitsPerSample != 8 && target.bitsPerSample != 16))
        throw Failure(QStringLiteral("Unsupported audio format"));
    if (target.sampleRate == sourceRate)
        return;
    int error = 0;
    // Speech has little above 8 kHz; the fastest band-limited converter is clean
    // enough for it and keeps conversion far cheaper than synthesis itself.
    m_state = src_new(SRC_SINC_FASTEST, 1, &error);
    if (!m_state)
        throw Failure(QStringLiteral("Audio resampler: %1").arg(QString::fromUtf8(src_strerror(error))));
}

SampleConverter::~SampleConverter()
{
    if (m_state)
        src_delete(m_state);
}

std::uint8_t SampleConverter::toUnsigned8(std::int16_t sample)
{
    const int shifted = (static_cast<int>(sample) + 32768 + 128) >> 8;
    return static_cast<std::uint8_t>(std::min(shifted, 255));
}

QByteArray SampleConverter::convert(const std::int16_t *samples, std::size_t count)
{
    if (!m_state)
        return encode(samples, count);
    return resample(samples, count, false);
}

QByteArray SampleConverter::finish()
{
    if (!m_state)
        return {};
    return resample(nullptr, 0, true);
}

QByteArray SampleConverter::resample(const std::int16_t *samples, std::size_t count, bool endOfInput)
{
    m_in.resize(count);
    if (count > 0)
        src_short_to_float_array(samples, m_in.data(), static_cast<int>(count));
    m_resampled.clear();
    m_out.resize(static_cast<std::size_t>(std::ceil(static_cast<double>(count) * m_ratio)) + 256);

    SRC_DATA data{};
    data.data_in = m_in.data();
    data.input_frames = static_cast<long>(count);
    data.src_ratio = m_ratio;
    data.end_of_input = endOfInput ? 1 : 0;
    // The converter may take the input in several bites and, at the end, needs
    // several calls to drain its filter.
    for (;;) {
        data.data_out = m_out.data();
        data.output_frames = static_cast<long>(m_out.size());
        if (const int error = src_process(m_state, &data))
            throw Failure(QStringLiteral("Audio resampler: %1").arg(QString::fromUtf8(src_strerror(error))));
        const auto produced = static_cast<std::size_t>(data.output_frames_gen);
        const std::size_t before = m_resampled.size();
        m_resampled.resize(before + produced);
        src_float_to_short_array(m_out.data(), m_resampled.data() + before, static_cast<int>(produced));
        data.data_in += data.input_frames_used;
        data.input_frames -= data.input_frames_used;
        if (data.input_frames > 0)
            continue;
        if (!endOfInput || produced == 0)
            break;
    }
    return encode(m_resampled.data(), m_resampled.size());
}

QByteArray SampleConverter::encode(const std::int16_t *samples, std::size_t frames)
{
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(frames) * m_target.bytesPerFrame());
    char *out = bytes.data();
    for (std::size_t i = 0; i < frames; ++i) {
        for (int channel = 0; channel < m_target.channels; ++channel) {
            if (m_target.bitsPerSample == 8) {
                *out++ = static_cast<char>(toUnsigned8(samples[i]));
            } else {
                const auto value = static_cast<std::uint16_t>(samples[i]);
                *out++ = static_cast<char>(value & 0xFF);
                *out++ = static_cast<char>(value >> 8);
            }
        }
    }
    m_framesOut += static_cast<std::int64_t>(frames);
    return bytes;
}

} // namespace kestrel

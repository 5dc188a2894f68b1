#include "speech_platform/espeak/StreamOutput.h"

#include "speech_platform/soundserver/PulseStream.h"

#include <algorithm>

namespace kestrel {
namespace {

// No progress at all for this long means the sound server is not playing. A
// PulseAudio null sink can take two seconds to start a stream, so not less.
constexpr qint64 kDeadMs = 5000;
// Servers report played time in whole buffers or milliseconds; a stream whose
// last sliver is within this of its end has been heard.
constexpr qint64 kEndToleranceUSecs = 2000;
// Enough buffered in the server to ride out a busy user-interface thread.
constexpr int kBufferMs = 200;
// A stream's sound is heard at most this long after the server has drained it:
// the buffer asked for plus what a device adds.
constexpr qint64 kDrainedLatencyMs = kBufferMs + 300;

} // namespace

qint64 StreamOutput::writtenUSecs() const
{
    const qint64 frames = m_writtenBytes / m_format.bytesPerFrame();
    return frames * 1000000 / m_format.sampleRate;
}

PulseOutput::PulseOutput(const QByteArray &device, const AudioFormatInfo &format)
    : StreamOutput(format),
      m_stream(std::make_unique<PulseStream>(
          PulseStream::Direction::Playback, device,
          PulseStream::Format{format.sampleRate, format.channels, format.bitsPerSample == 8},
          std::chrono::milliseconds(kBufferMs)))
{
    m_sinceOpen.start();
}

PulseOutput::~PulseOutput() = default;

bool PulseOutput::failed() const
{
    if (m_stopped)
        return false;
    if (m_dead)
        return true;
    switch (m_stream->state()) {
    case PulseStream::State::Failed:
        return true;
    case PulseStream::State::Connecting:
        return m_sinceOpen.elapsed() >= kDeadMs;
    case PulseStream::State::Ready:
        return false;
    }
    return false;
}

void PulseOutput::write(const QByteArray &bytes)
{
    m_pending.append(bytes);
    m_writtenBytes += bytes.size();
    service();
}

void PulseOutput::service()
{
    if (m_stopped || failed())
        return;
    // Time spent connecting has its own limit (failed()); only a stream the
    // server has taken can be late with its sound.
    if (m_stream->state() != PulseStream::State::Ready)
        return;
    watchProgress();
    const qint64 waiting = m_pending.size() - m_pendingOffset;
    if (waiting > 0) {
        const qint64 accepted = m_stream->write(m_pending.constData() + m_pendingOffset, waiting);
        m_pendingOffset += accepted;
        // Drop what the server has taken once it is a good share of the buffer,
        // so the buffer does not grow for a long text.
        if (m_pendingOffset > 65536 && m_pendingOffset * 2 > m_pending.size()) {
            m_pending.remove(0, m_pendingOffset);
            m_pendingOffset = 0;
        }
    }
    // A stream shorter than the server's buffer only starts once it is told
    // that no more is coming.
    if (m_endOfData && m_pending.size() == m_pendingOffset)
        m_stream->drain();
}

QByteArray PulseOutput::takeUnsent()
{
    QByteArray unsent = m_pending.mid(m_pendingOffset);
    m_pending.clear();
    m_pendingOffset = 0;
    m_writtenBytes -= unsent.size();
    return unsent;
}

void PulseOutput::stop()
{
    processedUSecs();
    m_stopped = true;
    // Closing the stream drops what the server still had to play; nothing
    // touches it once stopped.
    m_stream.reset();
}

qint64 PulseOutput::processedUSecs()
{
    // A stream that failed reports nothing played at all; keep what it had
    // said, so that the clock taking over carries on from there.
    if (!m_stopped && !failed())
        m_heardUSecs = std::max(m_heardUSecs, std::min(m_stream->playedUSecs(), writtenUSecs()));
    return m_heardUSecs;
}

void PulseOutput::watchProgress()
{
    const qint64 heard = processedUSecs();
    if (heard >= writtenUSecs() - kEndToleranceUSecs) {
        m_noProgressSince.invalidate();
        return;
    }
    if (heard != m_progressMark || !m_noProgressSince.isValid()) {
        m_progressMark = heard;
        m_noProgressSince.start();
    } else if (m_noProgressSince.elapsed() >= kDeadMs) {
        m_dead = true;
    }
}

bool PulseOutput::finished()
{
    if (m_stopped)
        return true;
    if (!m_endOfData || m_pending.size() > m_pendingOffset)
        return false;
    service();
    if (processedUSecs() >= writtenUSecs() - kEndToleranceUSecs)
        return true;
    // The server says a stream is drained once its sound is in the device's
    // buffer, before it has been heard; closing it then would cut the last
    // words off. Its played time is waited for, or, should its reports stop
    // short, its drain plus the device's latency at most.
    if (!m_stream->drained())
        return false;
    if (!m_drainedSince.isValid())
        m_drainedSince.start();
    return m_drainedSince.elapsed() >= kDrainedLatencyMs;
}

ClockOutput::ClockOutput(const AudioFormatInfo &format, qint64 alreadyHeardUSecs, qint64 alreadyWrittenBytes)
    : StreamOutput(format), m_heardUSecs(alreadyHeardUSecs)
{
    m_writtenBytes = alreadyWrittenBytes;
    m_clock.start();
}

void ClockOutput::advance()
{
    const qint64 now = m_clock.nsecsElapsed() / 1000;
    const qint64 step = now - m_lastTick;
    m_lastTick = now;
    // Time without audio to play is not time heard: the clock waits for data
    // like a device that runs dry.
    m_heardUSecs = std::min(m_heardUSecs + step, std::max(m_heardUSecs, writtenUSecs()));
}

void ClockOutput::write(const QByteArray &bytes)
{
    advance();
    m_writtenBytes += bytes.size();
}

void ClockOutput::service()
{
    advance();
}

void ClockOutput::stop()
{
    m_stopped = true;
}

qint64 ClockOutput::processedUSecs()
{
    if (!m_stopped)
        advance();
    return m_heardUSecs;
}

bool ClockOutput::finished()
{
    return m_stopped || (m_endOfData && processedUSecs() >= writtenUSecs());
}

ContinuedOutput::ContinuedOutput(std::unique_ptr<StreamOutput> rest, qint64 alreadyWrittenBytes)
    : StreamOutput(rest->format()), m_rest(std::move(rest))
{
    m_writtenBytes = alreadyWrittenBytes;
    m_lostUSecs = writtenUSecs();
}

void ContinuedOutput::write(const QByteArray &bytes)
{
    m_writtenBytes += bytes.size();
    m_rest->write(bytes);
}

void ContinuedOutput::service()
{
    m_rest->service();
}

void ContinuedOutput::stop()
{
    m_rest->stop();
}

QByteArray ContinuedOutput::takeUnsent()
{
    QByteArray unsent = m_rest->takeUnsent();
    m_writtenBytes -= unsent.size();
    return unsent;
}

qint64 ContinuedOutput::processedUSecs()
{
    return m_lostUSecs + m_rest->processedUSecs();
}

bool ContinuedOutput::finished()
{
    if (m_endOfData)
        m_rest->endOfData();
    return m_rest->finished();
}

std::unique_ptr<StreamOutput> openStreamOutput(const QAudioDevice &device, const AudioFormatInfo &format)
{
    if (!device.isNull()) {
        auto output = std::make_unique<PulseOutput>(device.id(), format);
        if (!output->failed())
            return output;
    }
    return std::make_unique<ClockOutput>(format);
}

} // namespace kestrel

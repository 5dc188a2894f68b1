#include "speech_platform/espeak/StreamOutput.h"

#include <QAudioFormat>
#include <QAudioSink>

#include <algorithm>

namespace kestrel {
namespace {

// A second's worth of no progress from an idle sink that still owes us sound.
constexpr qint64 kStallMs = 1000;
// No progress at all for this long means the sound server is not playing. A
// PulseAudio null sink can take two seconds to start a stream, so not less.
constexpr qint64 kDeadMs = 5000;
// Devices report processed time in whole buffers or milliseconds; a stream whose
// last sliver is within this of its end has been heard.
constexpr qint64 kEndToleranceUSecs = 2000;
// Enough buffered in the sink to ride out a busy user-interface thread.
constexpr int kSinkBufferMs = 200;

QAudioFormat toQtFormat(const AudioFormatInfo &format)
{
    QAudioFormat qt;
    qt.setSampleRate(format.sampleRate);
    qt.setChannelCount(format.channels);
    qt.setSampleFormat(format.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return qt;
}

} // namespace

qint64 StreamOutput::writtenUSecs() const
{
    const qint64 frames = m_writtenBytes / m_format.bytesPerFrame();
    return frames * 1000000 / m_format.sampleRate;
}

SinkOutput::SinkOutput(const QAudioDevice &device, const AudioFormatInfo &format) : StreamOutput(format)
{
    const QAudioFormat qtFormat = toQtFormat(format);
    m_sink = std::make_unique<QAudioSink>(device, qtFormat);
    m_sink->setBufferSize(qtFormat.bytesForDuration(kSinkBufferMs * 1000));
    m_io = m_sink->start();
}

SinkOutput::~SinkOutput()
{
    if (m_sink)
        m_sink->stop();
}

bool SinkOutput::failed() const
{
    if (!m_io || m_dead)
        return true;
    switch (m_sink->error()) {
    case QAudio::OpenError:
    case QAudio::IOError:
    case QAudio::FatalError:
        return true;
    default:
        return false;
    }
}

void SinkOutput::write(const QByteArray &bytes)
{
    m_pending.append(bytes);
    m_writtenBytes += bytes.size();
    service();
}

void SinkOutput::service()
{
    if (m_stopped || failed())
        return;
    watchProgress();
    const qint64 waiting = m_pending.size() - m_pendingOffset;
    if (waiting <= 0)
        return;
    const qint64 frameBytes = m_format.bytesPerFrame();
    const qint64 room = std::min<qint64>(m_sink->bytesFree(), waiting) / frameBytes * frameBytes;
    if (room <= 0)
        return;
    const qint64 accepted = m_io->write(m_pending.constData() + m_pendingOffset, room);
    if (accepted <= 0)
        return;
    m_pendingOffset += accepted;
    // Drop what the device has taken once it is a good share of the buffer, so
    // the buffer does not grow for a long text.
    if (m_pendingOffset > 65536 && m_pendingOffset * 2 > m_pending.size()) {
        m_pending.remove(0, m_pendingOffset);
        m_pendingOffset = 0;
    }
}

QByteArray SinkOutput::takeUnsent()
{
    QByteArray unsent = m_pending.mid(m_pendingOffset);
    m_pending.clear();
    m_pendingOffset = 0;
    m_writtenBytes -= unsent.size();
    return unsent;
}

void SinkOutput::stop()
{
    m_stopped = true;
    m_sink->stop();
}

qint64 SinkOutput::processedUSecs()
{
    // A sink that failed reports nothing heard at all; keep what it had said,
    // so that the clock taking over carries on from there.
    if (m_io && !failed())
        m_heardUSecs = std::max(m_heardUSecs, std::min(m_sink->processedUSecs(), writtenUSecs()));
    return m_heardUSecs;
}

void SinkOutput::watchProgress()
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

bool SinkOutput::finished()
{
    if (m_stopped)
        return true;
    if (!m_endOfData || m_pending.size() > m_pendingOffset)
        return false;
    const qint64 processed = processedUSecs();
    if (processed >= writtenUSecs() - kEndToleranceUSecs)
        return true;
    if (m_sink->state() != QAudio::IdleState) {
        m_stalledSince.invalidate();
        return false;
    }
    if (processed != m_lastProcessed || !m_stalledSince.isValid()) {
        m_lastProcessed = processed;
        m_stalledSince.start();
        return false;
    }
    return m_stalledSince.elapsed() >= kStallMs;
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
        auto sink = std::make_unique<SinkOutput>(device, format);
        if (!sink->failed())
            return sink;
    }
    return std::make_unique<ClockOutput>(format);
}

} // namespace kestrel

#pragma once

#include "speech_platform/AudioFormats.h"

#include <QAudioDevice>
#include <QByteArray>
#include <QElapsedTimer>

#include <memory>

namespace kestrel {

class PulseStream;

/// Where one stream's audio goes, and how far it has been heard. The voice
/// releases a stream's events when processedUSecs() passes their position and
/// ends the stream when finished().
///
/// Threading: user-interface thread only; service() is called from its timer.
class StreamOutput
{
public:
    virtual ~StreamOutput() = default;

    /// Appends audio in the stream's format.
    virtual void write(const QByteArray &bytes) = 0;
    /// No more audio will be written.
    void endOfData() { m_endOfData = true; }
    /// Hands waiting audio on to the device. Cheap; called often.
    virtual void service() = 0;
    /// Stops the sound at once (purge).
    virtual void stop() = 0;

    /// Microseconds of the stream heard so far.
    virtual qint64 processedUSecs() = 0;
    /// Audio written but not heard yet.
    qint64 bufferedUSecs() { return writtenUSecs() - processedUSecs(); }
    /// Everything written has been heard and no more is coming.
    virtual bool finished() = 0;
    /// The device cannot play (it did not open, or it broke off).
    virtual bool failed() const = 0;
    /// The sound is heard on a device (a clock plays into thin air).
    virtual bool audible() const { return !failed(); }
    /// Takes back the audio written but not handed to the device yet, for the
    /// output that carries the stream on; it no longer counts as written here.
    virtual QByteArray takeUnsent() { return {}; }

    qint64 writtenBytes() const { return m_writtenBytes; }
    qint64 writtenUSecs() const;
    const AudioFormatInfo &format() const { return m_format; }

protected:
    explicit StreamOutput(const AudioFormatInfo &format) : m_format(format) {}

    AudioFormatInfo m_format;
    qint64 m_writtenBytes = 0;
    bool m_endOfData = false;
};

/// Plays on an audio device through a stream of its own on the sound server
/// (see PulseStream), which connects afresh for every stream.
///
/// The stream's played time, not its state, says how far the sound has got. A
/// stream that owes sound and makes no progress for five seconds, or has not
/// connected within that time (a hung or vanished sound server), counts as
/// failed.
class PulseOutput final : public StreamOutput
{
public:
    /// `device` is the sink's name; empty is the server's default.
    PulseOutput(const QByteArray &device, const AudioFormatInfo &format);
    ~PulseOutput() override;

    void write(const QByteArray &bytes) override;
    void service() override;
    void stop() override;
    qint64 processedUSecs() override;
    bool finished() override;
    bool failed() const override;
    QByteArray takeUnsent() override;

private:
    void watchProgress();

    std::unique_ptr<PulseStream> m_stream;
    QElapsedTimer m_sinceOpen;
    QByteArray m_pending;
    qint64 m_pendingOffset = 0;
    qint64 m_heardUSecs = 0; ///< the furthest the stream has reported
    qint64 m_progressMark = -1;
    QElapsedTimer m_noProgressSince;
    QElapsedTimer m_drainedSince;
    bool m_dead = false;
    bool m_stopped = false;
};

/// Plays into thin air: the audio is "heard" at the pace of a monotonic clock, so
/// a stream keeps its timing and its events when there is no device, or the
/// device failed. Audio is only heard once it has been written, as on a device.
class ClockOutput final : public StreamOutput
{
public:
    /// `alreadyHeardUSecs` and `alreadyWrittenBytes` carry on a stream whose
    /// device failed part way.
    explicit ClockOutput(const AudioFormatInfo &format, qint64 alreadyHeardUSecs = 0,
                         qint64 alreadyWrittenBytes = 0);

    void write(const QByteArray &bytes) override;
    void service() override;
    void stop() override;
    qint64 processedUSecs() override;
    bool finished() override;
    bool failed() const override { return false; }
    bool audible() const override { return false; }

private:
    void advance();

    QElapsedTimer m_clock;
    qint64 m_heardUSecs;
    qint64 m_lastTick = 0;
    bool m_stopped = false;
};

/// Carries on a stream whose device broke off, on an output opened for the rest
/// of it. The audio the old device had already been handed is lost with it and
/// counts as heard, so the stream's positions run on from there.
class ContinuedOutput final : public StreamOutput
{
public:
    ContinuedOutput(std::unique_ptr<StreamOutput> rest, qint64 alreadyWrittenBytes);

    void write(const QByteArray &bytes) override;
    void service() override;
    void stop() override;
    qint64 processedUSecs() override;
    bool finished() override;
    bool failed() const override { return m_rest->failed(); }
    bool audible() const override { return m_rest->audible(); }
    QByteArray takeUnsent() override;

private:
    std::unique_ptr<StreamOutput> m_rest;
    qint64 m_lostUSecs;
};

/// Opens the output for one stream: a PulseOutput on `device`, or a ClockOutput
/// when the device is null or its stream could not even be begun.
std::unique_ptr<StreamOutput> openStreamOutput(const QAudioDevice &device, const AudioFormatInfo &format);

} // namespace kestrel

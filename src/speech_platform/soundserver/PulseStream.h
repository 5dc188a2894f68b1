#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

namespace kestrel {

/// One playback or recording stream on the sound server (PulseAudio, or
/// PipeWire's PulseAudio service), on a connection of its own.
///
/// Qt's sound backend shares one connection for the life of the program and, in
/// the Qt versions we build with, never makes another: once the server had
/// restarted, no stream opened again and the microphone and the voice were gone
/// until KESTREL restarted. A connection per stream is made afresh each time a
/// stream opens, so the first stream after a restart works again.
///
/// Nothing here waits for the server: the connection and the stream are set up
/// on libpulse's own thread, and every call takes its lock only for as long as
/// that thread holds it to dispatch, never while it waits for an answer. A
/// server that stopped answering leaves the stream connecting (or making no
/// progress), which the caller times.
///
/// When the server goes away the stream fails, and the caller decides where the
/// sound goes next. When only its device goes away, the server moves it to
/// another one, as it does any client's stream; a name that is not there when
/// the stream is made fails it.
///
/// Threading: any one thread at a time; libpulse's thread is internal.
class PulseStream
{
public:
    enum class Direction { Playback, Record };
    enum class State { Connecting, Ready, Failed };

    struct Format
    {
        int sampleRate = 16000;
        int channels = 1;
        bool unsigned8 = false; ///< 8-bit unsigned samples, else 16-bit signed little-endian
        int bytesPerFrame() const { return channels * (unsigned8 ? 1 : 2); }
    };

    /// Starts connecting at once. `device` is the sink's or source's name (a
    /// QAudioDevice id); empty means the server's default. `latency` is how much
    /// audio the server keeps buffered for the stream.
    PulseStream(Direction direction, const QByteArray &device, const Format &format,
                std::chrono::milliseconds latency);
    /// Returns at once: the stream is closed, its unplayed sound dropped.
    ~PulseStream();
    PulseStream(const PulseStream &) = delete;
    PulseStream &operator=(const PulseStream &) = delete;

    State state() const;
    /// Why it failed, in the server library's words; empty otherwise.
    QString error() const;

    // Playback.

    /// How many bytes write() takes now without growing the server's buffer.
    qint64 writableBytes() const;
    /// Hands whole frames to the server; returns how many bytes it took.
    qint64 write(const char *data, qint64 bytes);
    /// No more audio comes: plays out what is buffered, however little.
    void drain();
    /// Everything written has been played (after drain()).
    bool drained() const;
    /// Microseconds of the stream played so far, by the server's clock.
    qint64 playedUSecs() const;

    // Record.

    /// The audio recorded since the last call. At most a minute is kept for a
    /// reader that falls behind; older audio is dropped.
    QByteArray takeRecorded();

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace kestrel

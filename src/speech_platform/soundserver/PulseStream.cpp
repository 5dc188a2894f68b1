#include "speech_platform/soundserver/PulseStream.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <utility>

namespace kestrel {
namespace {

// A reader that falls behind loses the oldest audio beyond this, rather than
// the program growing without end.
constexpr qint64 kRecordedKeptSeconds = 60;

/// Holds libpulse's lock for a scope. Its callbacks run with it held, so
/// everything the connection shares with them is read and written under it.
class LoopLock
{
public:
    explicit LoopLock(pa_threaded_mainloop *loop) : m_loop(loop)
    {
        if (m_loop)
            pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock()
    {
        if (m_loop)
            pa_threaded_mainloop_unlock(m_loop);
    }
    LoopLock(const LoopLock &) = delete;
    LoopLock &operator=(const LoopLock &) = delete;

private:
    pa_threaded_mainloop *m_loop;
};

} // namespace

// The static callbacks run on libpulse's thread with its lock held.
struct PulseStream::Connection
{
    Direction direction = Direction::Playback;
    QByteArray device;
    pa_sample_spec sampleFormat{};
    pa_buffer_attr attr{};
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    bool running = false;

    State state = State::Connecting;
    QString error;
    bool drainAsked = false;
    bool drained = false;
    QByteArray recorded;
    qint64 recordedLimit = 0;

    void fail(const QString &why)
    {
        if (state == State::Failed)
            return;
        state = State::Failed;
        error = why;
    }

    QString contextError() const
    {
        return QString::fromUtf8(pa_strerror(context ? pa_context_errno(context) : PA_ERR_UNKNOWN));
    }

    void openStream()
    {
        stream =
            pa_stream_new(context, direction == Direction::Playback ? "KESTREL voice" : "KESTREL microphone",
                          &sampleFormat, nullptr);
        if (!stream) {
            fail(contextError());
            return;
        }
        pa_stream_set_state_callback(stream, &Connection::streamState, this);
        if (direction == Direction::Record)
            pa_stream_set_read_callback(stream, &Connection::readable, this);
        const char *name = device.isEmpty() ? nullptr : device.constData();
        // Movable as any client's stream: the user may move it in the sound
        // settings, and the server moves it on when its device goes away.
        const auto common = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY);
        const int rc =
            direction == Direction::Playback
                ? pa_stream_connect_playback(
                      stream, name, &attr,
                      pa_stream_flags_t(common | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE),
                      nullptr, nullptr)
                : pa_stream_connect_record(stream, name, &attr, common);
        if (rc < 0)
            fail(contextError());
    }

    void askDrain()
    {
        if (pa_operation *op = pa_stream_drain(stream, &Connection::drainDone, this))
            pa_operation_unref(op);
        else
            fail(contextError());
    }

    static void contextState(pa_context *context, void *self)
    {
        auto *c = static_cast<Connection *>(self);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            c->openStream();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            c->fail(c->contextError());
            break;
        default:
            break;
        }
    }

    static void streamState(pa_stream *stream, void *self)
    {
        auto *c = static_cast<Connection *>(self);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            if (c->state == State::Connecting)
                c->state = State::Ready;
            if (c->drainAsked)
                c->askDrain();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            c->fail(c->contextError());
            break;
        default:
            break;
        }
    }

    static void drainDone(pa_stream *stream, int success, void *self)
    {
        if (!success)
            return;
        static_cast<Connection *>(self)->drained = true;
        // The time reported last may stop short of the end; ask once more.
        if (pa_operation *op = pa_stream_update_timing_info(stream, nullptr, nullptr))
            pa_operation_unref(op);
    }

    static void readable(pa_stream *stream, size_t, void *self)
    {
        auto *c = static_cast<Connection *>(self);
        while (pa_stream_readable_size(stream) > 0) {
            const void *data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0) {
                c->fail(c->contextError());
                return;
            }
            if (bytes == 0)
                break;
            // A hole in the recording is silence of its length, so that the
            // positions of what follows stay true.
            if (data)
                c->recorded.append(static_cast<const char *>(data), qsizetype(bytes));
            else
                c->recorded.append(QByteArray(qsizetype(bytes), '\0'));
            pa_stream_drop(stream);
        }
        if (c->recorded.size() > c->recordedLimit) {
            const qsizetype frame = qsizetype(pa_frame_size(&c->sampleFormat));
            c->recorded.remove(0, (c->recorded.size() - c->recordedLimit) / frame * frame);
        }
    }
};

PulseStream::PulseStream(Direction direction, const QByteArray &device, const Format &format,
                         std::chrono::milliseconds latency)
    : m_connection(std::make_unique<Connection>())
{
    Connection &c = *m_connection;
    c.direction = direction;
    c.device = device;
    c.sampleFormat.format = format.unsigned8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    c.sampleFormat.rate = uint32_t(format.sampleRate);
    c.sampleFormat.channels = uint8_t(format.channels);
    if (!pa_sample_spec_valid(&c.sampleFormat)) {
        c.fail(QString::fromUtf8(pa_strerror(PA_ERR_INVALID)));
        return;
    }
    const auto latencyBytes = uint32_t(pa_usec_to_bytes(pa_usec_t(latency.count()) * 1000, &c.sampleFormat));
    c.attr.maxlength = uint32_t(-1);
    c.attr.tlength = direction == Direction::Playback ? latencyBytes : uint32_t(-1);
    c.attr.prebuf = uint32_t(-1);
    c.attr.minreq = uint32_t(-1);
    c.attr.fragsize = direction == Direction::Record ? latencyBytes : uint32_t(-1);
    c.recordedLimit = qint64(format.sampleRate) * format.bytesPerFrame() * kRecordedKeptSeconds;

    c.loop = pa_threaded_mainloop_new();
    if (!c.loop) {
        c.fail(QString::fromUtf8(pa_strerror(PA_ERR_INTERNAL)));
        return;
    }
    c.context = pa_context_new(pa_threaded_mainloop_get_api(c.loop), "KESTREL");
    if (!c.context) {
        c.fail(QString::fromUtf8(pa_strerror(PA_ERR_INTERNAL)));
        return;
    }
    pa_context_set_state_callback(c.context, &Connection::contextState, &c);
    if (pa_context_connect(c.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        c.fail(c.contextError());
        return;
    }
    if (pa_threaded_mainloop_start(c.loop) < 0) {
        c.fail(QString::fromUtf8(pa_strerror(PA_ERR_INTERNAL)));
        return;
    }
    c.running = true;
}

PulseStream::~PulseStream()
{
    Connection &c = *m_connection;
    if (c.running) {
        {
            const LoopLock lock(c.loop);
            if (c.stream)
                pa_stream_disconnect(c.stream);
            pa_context_disconnect(c.context);
        }
        pa_threaded_mainloop_stop(c.loop); // joins its thread: no callback runs after this
    }
    if (c.stream)
        pa_stream_unref(c.stream);
    if (c.context)
        pa_context_unref(c.context);
    if (c.loop)
        pa_threaded_mainloop_free(c.loop);
}

PulseStream::State PulseStream::state() const
{
    const LoopLock lock(m_connection->running ? m_connection->loop : nullptr);
    return m_connection->state;
}

QString PulseStream::error() const
{
    const LoopLock lock(m_connection->running ? m_connection->loop : nullptr);
    return m_connection->error;
}

qint64 PulseStream::writableBytes() const
{
    Connection &c = *m_connection;
    const LoopLock lock(c.running ? c.loop : nullptr);
    if (c.state != State::Ready || c.direction != Direction::Playback)
        return 0;
    const size_t room = pa_stream_writable_size(c.stream);
    return room == size_t(-1) ? 0 : qint64(room);
}

qint64 PulseStream::write(const char *data, qint64 bytes)
{
    Connection &c = *m_connection;
    const LoopLock lock(c.running ? c.loop : nullptr);
    if (c.state != State::Ready || c.direction != Direction::Playback || c.drainAsked)
        return 0;
    const size_t room = pa_stream_writable_size(c.stream);
    if (room == size_t(-1))
        return 0;
    const qint64 frame = qint64(pa_frame_size(&c.sampleFormat));
    const qint64 taken = std::min<qint64>(bytes, qint64(room)) / frame * frame;
    if (taken <= 0)
        return 0;
    if (pa_stream_write(c.stream, data, size_t(taken), nullptr, 0, PA_SEEK_RELATIVE) < 0) {
        c.fail(c.contextError());
        return 0;
    }
    return taken;
}

void PulseStream::drain()
{
    Connection &c = *m_connection;
    const LoopLock lock(c.running ? c.loop : nullptr);
    if (c.drainAsked || c.direction != Direction::Playback)
        return;
    c.drainAsked = true;
    if (c.state == State::Ready)
        c.askDrain();
}

bool PulseStream::drained() const
{
    const LoopLock lock(m_connection->running ? m_connection->loop : nullptr);
    return m_connection->drained;
}

qint64 PulseStream::playedUSecs() const
{
    Connection &c = *m_connection;
    const LoopLock lock(c.running ? c.loop : nullptr);
    if (c.state != State::Ready || c.direction != Direction::Playback)
        return 0;
    pa_usec_t played = 0;
    if (pa_stream_get_time(c.stream, &played) < 0)
        return 0; // no timing from the server yet
    return qint64(played);
}

QByteArray PulseStream::takeRecorded()
{
    Connection &c = *m_connection;
    const LoopLock lock(c.running ? c.loop : nullptr);
    return std::exchange(c.recorded, QByteArray());
}

} // namespace kestrel

#include "speech_platform/soundserver/SoundServerDefaults.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace kestrel {
namespace {
constexpr pa_usec_t kReconnectUSecs = 1000 * 1000;
} // namespace

// Everything here but the constructor, the destructor and the public
// functions runs on PulseAudio's own mainloop thread.
struct SoundServerDefaults::Connection
{
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    mutable QMutex mutex;
    QByteArray source;
    QByteArray sink;
    std::atomic<bool> settled{false}; ///< the first answer came, or none will
    bool running = false;             ///< the mainloop thread was started
    bool stopping = false;            ///< being destroyed: no more connections
    bool reconnectPending = false;

    /// Connects `context` anew; its state callback takes it from there.
    void connect()
    {
        context = pa_context_new(pa_threaded_mainloop_get_api(loop), "KESTREL");
        if (!context) {
            settled = true;
            return;
        }
        pa_context_set_state_callback(context, &Connection::stateChanged, this);
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    }

    /// A server gone may be restarting: it is looked for again a second later,
    /// and again, for as long as the program runs.
    void scheduleReconnect()
    {
        if (stopping || reconnectPending || !running)
            return;
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), kReconnectUSecs);
        if (api->time_new(api, &when, &Connection::reconnect, this))
            reconnectPending = true;
    }

    static void reconnect(pa_mainloop_api *api, pa_time_event *event, const timeval *, void *self)
    {
        auto *c = static_cast<Connection *>(self);
        api->time_free(event);
        c->reconnectPending = false;
        if (c->stopping)
            return;
        if (c->context) {
            pa_context_set_state_callback(c->context, nullptr, nullptr);
            pa_context_unref(c->context);
        }
        c->connect();
    }

    void askServer()
    {
        if (pa_operation *op = pa_context_get_server_info(context, &Connection::serverInfo, this))
            pa_operation_unref(op);
    }

    static void serverInfo(pa_context *, const pa_server_info *info, void *self)
    {
        auto *c = static_cast<Connection *>(self);
        {
            const QMutexLocker lock(&c->mutex);
            c->source =
                info && info->default_source_name ? QByteArray(info->default_source_name) : QByteArray();
            c->sink = info && info->default_sink_name ? QByteArray(info->default_sink_name) : QByteArray();
        }
        c->settled = true;
    }

    static void changed(pa_context *, pa_subscription_event_type_t type, uint32_t, void *self)
    {
        if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER)
            static_cast<Connection *>(self)->askServer();
    }

    static void stateChanged(pa_context *context, void *self)
    {
        auto *c = static_cast<Connection *>(self);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(context, &Connection::changed, c);
            if (pa_operation *op =
                    pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
                pa_operation_unref(op);
            c->askServer();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED: {
            // A server gone no longer says; Qt's choice stands until one answers.
            {
                const QMutexLocker lock(&c->mutex);
                c->source.clear();
                c->sink.clear();
            }
            c->settled = true;
            c->scheduleReconnect();
            break;
        }
        default:
            break;
        }
    }
};

SoundServerDefaults::SoundServerDefaults(std::chrono::milliseconds firstAnswer)
    : m_connection(std::make_unique<Connection>())
{
    Connection &c = *m_connection;
    c.loop = pa_threaded_mainloop_new();
    if (!c.loop)
        return;
    pa_threaded_mainloop_lock(c.loop);
    c.running = pa_threaded_mainloop_start(c.loop) >= 0;
    if (c.running)
        c.connect();
    pa_threaded_mainloop_unlock(c.loop);
    if (!c.running)
        return;
    // The first answer usually takes a millisecond or two; an input chosen
    // before it would be Qt's.
    for (QDeadlineTimer deadline(firstAnswer.count()); !c.settled && !deadline.hasExpired();)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

SoundServerDefaults::~SoundServerDefaults()
{
    Connection &c = *m_connection;
    if (c.running) {
        pa_threaded_mainloop_lock(c.loop);
        c.stopping = true;
        pa_threaded_mainloop_unlock(c.loop);
        pa_threaded_mainloop_stop(c.loop); // joins its thread: no callback runs after this
    }
    if (c.context) {
        pa_context_set_state_callback(c.context, nullptr, nullptr);
        pa_context_disconnect(c.context);
        pa_context_unref(c.context);
    }
    if (c.loop)
        pa_threaded_mainloop_free(c.loop);
}

QByteArray SoundServerDefaults::defaultSource() const
{
    const QMutexLocker lock(&m_connection->mutex);
    return m_connection->source;
}

QByteArray SoundServerDefaults::defaultSink() const
{
    const QMutexLocker lock(&m_connection->mutex);
    return m_connection->sink;
}

bool SoundServerDefaults::silent(std::chrono::milliseconds within) const
{
    Connection &c = *m_connection;
    if (!c.running)
        return false;
    std::atomic<bool> answered{false};
    const auto answer = [](pa_context *, const pa_server_info *, void *flag) {
        static_cast<std::atomic<bool> *>(flag)->store(true);
    };
    pa_threaded_mainloop_lock(c.loop);
    pa_operation *op = c.context && pa_context_get_state(c.context) == PA_CONTEXT_READY
                           ? pa_context_get_server_info(c.context, answer, &answered)
                           : nullptr;
    pa_threaded_mainloop_unlock(c.loop);
    if (!op)
        return false;
    // The mainloop thread holds its lock only while it dispatches, never while
    // it waits for the server: polling here cannot be held up by a silent one.
    for (QDeadlineTimer deadline(within.count()); !answered && !deadline.hasExpired();)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pa_threaded_mainloop_lock(c.loop);
    // Cancelled under the lock, the answer can no longer reach `answered`.
    if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_operation_cancel(op);
    pa_operation_unref(op);
    pa_threaded_mainloop_unlock(c.loop);
    return !answered;
}

QList<QAudioDevice> SoundServerDefaults::defaultFirst(QList<QAudioDevice> devices,
                                                      const QByteArray &serverDefault)
{
    const auto isDefault = [&serverDefault](const QAudioDevice &d) { return d.id() == serverDefault; };
    if (serverDefault.isEmpty() || std::none_of(devices.cbegin(), devices.cend(), isDefault))
        std::stable_partition(devices.begin(), devices.end(),
                              [](const QAudioDevice &d) { return d.isDefault(); });
    else
        std::stable_partition(devices.begin(), devices.end(), isDefault);
    return devices;
}

} // namespace kestrel

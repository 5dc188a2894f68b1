#include "speech_platform/sphinx/AudioCapture.h"

#include "common/Failure.h"
#include "speech_platform/sphinx/SphinxDecoder.h"

#include "speech_platform/soundserver/PulseStream.h"

#include <QAudioFormat>
#include <QDeadlineTimer>
#include <QMediaDevices>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace kestrel {

/// Lives on the capture thread: owns the audio source and the stream decoder.
class AudioCapture::Worker : public QObject
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    Worker(std::shared_ptr<SphinxDecoder> decoder, UtteranceStream::Mode mode)
        : m_decoder(std::move(decoder)), m_stream(*m_decoder, mode)
    {
    }

    QString start(const QAudioDevice &device)
    {
        QAudioFormat format;
        format.setSampleRate(UtteranceStream::kSampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            return QStringLiteral("The audio input \"%1\" cannot record 16 kHz mono audio.")
                .arg(device.description());
        m_device = device;
        m_stopAsked = false; // an earlier stop has run: it was queued before this
        // Small fragments keep the time from end of speech to result short.
        m_source = std::make_unique<PulseStream>(PulseStream::Direction::Record, device.id(),
                                                 PulseStream::Format{UtteranceStream::kSampleRate, 1, false},
                                                 std::chrono::milliseconds(kFragmentMs));
        // Bounded below the caller's own wait, so that an open the server never
        // answers ends here, with nothing left behind on this thread.
        PulseStream::State state = m_source->state();
        for (QDeadlineTimer deadline(std::chrono::duration_cast<std::chrono::milliseconds>(kOpenTimeout) -
                                     kOpenMargin);
             state == PulseStream::State::Connecting && !deadline.hasExpired(); state = m_source->state())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (state != PulseStream::State::Ready) {
            m_source.reset();
            m_openTimedOut = state == PulseStream::State::Connecting;
            if (m_openTimedOut)
                return QStringLiteral("The audio input \"%1\" did not open.").arg(device.description());
            return QStringLiteral(
                       "The audio input \"%1\" could not be opened. It is possible that it is used by "
                       "another application.")
                .arg(device.description());
        }
        m_reader = std::make_unique<QTimer>();
        m_reader->setInterval(kReadMs);
        connect(m_reader.get(), &QTimer::timeout, this, [this] { read(); });
        m_reader->start();
        // A source that is gone simply stops sending, so the device list is
        // checked once a second. Qt's change signal would need a QMediaDevices
        // on this thread, made and dropped at every pause: Qt keeps those in a
        // list its sound thread walks, and it did not reach this thread for a
        // PulseAudio source that went away anyway.
        m_presence = std::make_unique<QTimer>();
        m_presence->setInterval(kPresenceCheckMs);
        connect(m_presence.get(), &QTimer::timeout, this, &Worker::checkInputListed);
        m_presence->start();
        return {};
    }

    /// Runs after start(), on its own: starting the stream may first build the
    /// command grammar, which takes seconds the window must not wait for. The
    /// audio that comes meanwhile waits in the sound server and is decoded after.
    void beginStream()
    {
        if (!m_source)
            return;
        try {
            Q_EMIT events(m_stream.start());
        } catch (const Failure &failure) {
            closeSource();
            Q_EMIT lost(failure.description());
        }
    }

    void emulate(const RecognitionResult &result)
    {
        // A lost input ends the stream here first; what the user typed
        // meanwhile must not go down with it.
        if (m_stream.running())
            Q_EMIT events(m_stream.emulated(result));
        else
            Q_EMIT emulatedAfterItsEnd(result);
    }

    /// The last start() failed because the server never answered the open.
    bool openTimedOut() const { return m_openTimedOut; }

    /// The open came back after the caller stopped waiting for it: nobody
    /// listens any more.
    void abandon()
    {
        if (m_source)
            closeSource();
    }

    /// From any thread: a stop is on its way. Audio from now on is the
    /// stop's to judge, not the reader's.
    void askStop() { m_stopAsked = true; }

    /// `askedAt`: when the window asked for the stop; the audio recorded after
    /// it is not decoded. Without it (the input failed), all of it is.
    void stop(bool released, std::optional<Clock::time_point> askedAt = std::nullopt)
    {
        if (!m_source)
            return;
        read(askedAt);
        closeSource();
        if (std::exchange(m_decoderFailed, false))
            return; // nothing more can be decoded, and a stream ended on purpose is no loss
        Q_EMIT events(m_stream.finish(released));
    }

Q_SIGNALS:
    void events(const QList<kestrel::StreamEvent> &events);
    void lost(const QString &description);
    void emulatedAfterItsEnd(const kestrel::RecognitionResult &result);
    void stopped();

private:
    /// Reads what was recorded and decodes it. With `stopAskedAt`, the audio
    /// recorded since then is left out.
    void read(std::optional<Clock::time_point> stopAskedAt = std::nullopt)
    {
        if (!m_source || m_decoderFailed)
            return;
        // The program's own voice starts the moment listening stops for it,
        // and a stop may wait here behind a grammar build: what the reader
        // would take meanwhile is for the stop to cut.
        if (!stopAskedAt && m_stopAsked)
            return;
        QByteArray recorded = m_source->takeRecorded();
        if (stopAskedAt) {
            // The server hands audio over at real-time pace, a fragment late at
            // most, so the newest bytes are those recorded since the stop.
            const auto since =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *stopAskedAt);
            const qint64 lateBytes = since.count() * UtteranceStream::kSampleRate / 1000 * 2;
            recorded.chop(qsizetype(std::min<qint64>(lateBytes, recorded.size())));
        }
        m_pending.append(recorded);
        if (m_source->state() == PulseStream::State::Failed) {
            // The source went away, or the sound server did (it may be starting
            // again): what came before is decoded, then the stream ends. Not
            // from inside the timer's own signal: closing deletes the timer.
            const QString description = QStringLiteral("The audio input \"%1\" stopped delivering audio.")
                                            .arg(m_device.description());
            QMetaObject::invokeMethod(
                this,
                [this, description] {
                    if (m_source)
                        fail(description);
                },
                Qt::QueuedConnection);
        }
        const qsizetype whole = m_pending.size() / 2 * 2;
        if (whole == 0)
            return;
        const auto *samples = reinterpret_cast<const int16_t *>(m_pending.constData());
        QList<StreamEvent> out;
        try {
            out = m_stream.feed(std::span(samples, size_t(whole / 2)));
        } catch (const Failure &failure) {
            // Thrown out of a slot of this thread's event loop, it would end the
            // program; the decoder could not go on, so the stream is lost. Not
            // from inside the timer's own signal: closing deletes the timer.
            m_decoderFailed = true;
            QMetaObject::invokeMethod(
                this,
                [this, description = failure.description()] {
                    m_decoderFailed = false;
                    if (m_source) { // not stopped meanwhile
                        closeSource();
                        Q_EMIT lost(description);
                    }
                },
                Qt::QueuedConnection);
            return;
        }
        m_pending.remove(0, whole);
        if (!out.isEmpty())
            Q_EMIT events(out);
    }

    void checkInputListed()
    {
        const auto inputs = QMediaDevices::audioInputs();
        const bool present = std::any_of(inputs.begin(), inputs.end(),
                                         [&](const QAudioDevice &d) { return d.id() == m_device.id(); });
        if (!present)
            fail(QStringLiteral("The audio input \"%1\" went away.").arg(m_device.description()));
    }

    void closeSource()
    {
        m_source.reset();
        m_reader->stop();
        m_reader.release()->deleteLater();
        // The check itself may be what found the device gone.
        m_presence->stop();
        m_presence.release()->deleteLater();
    }

    void fail(const QString &description)
    {
        stop(true);
        Q_EMIT lost(description);
    }

    std::shared_ptr<SphinxDecoder> m_decoder;
    UtteranceStream m_stream;
    QAudioDevice m_device;
    std::unique_ptr<PulseStream> m_source;
    static constexpr int kPresenceCheckMs = 1000;
    std::unique_ptr<QTimer> m_presence;
    static constexpr int kFragmentMs = 50;
    static constexpr int kReadMs = 20;
    static constexpr std::chrono::seconds kOpenMargin{2};
    std::unique_ptr<QTimer> m_reader;
    QByteArray m_pending;
    bool m_decoderFailed = false; ///< feeding threw; the source closes next
    bool m_openTimedOut = false;
    std::atomic_bool m_stopAsked{false};
};

AudioCapture::AudioCapture(std::shared_ptr<SphinxDecoder> decoder, UtteranceStream::Mode mode,
                           QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<kestrel::StreamEvent>();
    qRegisterMetaType<QList<kestrel::StreamEvent>>();
    m_worker = new Worker(std::move(decoder), mode);
    m_worker->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &Worker::events, this, &AudioCapture::events, Qt::QueuedConnection);
    connect(m_worker, &Worker::stopped, this, &AudioCapture::stopped, Qt::QueuedConnection);
    connect(
        m_worker, &Worker::lost, this,
        [this](const QString &description) {
            m_running = false;
            Q_EMIT lost(description);
        },
        Qt::QueuedConnection);
    m_thread->setObjectName(QStringLiteral("kestrel-audio-capture"));
    m_thread->start();
}

namespace {
std::atomic_int g_stuckCaptures{0};
} // namespace

int AudioCapture::stuckCaptures()
{
    return g_stuckCaptures.load();
}

AudioCapture::~AudioCapture()
{
    if (m_abandoned) {
        // Its thread may be caught in an open that never returns: waiting for
        // it would hang the program, and destroying a running thread ends it.
        // The thread is left to end by itself once the open comes back, or
        // with the process.
        m_thread->quit();
        QThread *thread = m_thread.release();
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        if (thread->isFinished())
            thread->deleteLater();
        return;
    }
    stop();
    // Quit only once the stop has run: it is queued on the thread, and a
    // thread told to quit need not run what is still queued.
    waitUntilStopped();
    m_thread->quit();
    m_thread->wait();
}

void AudioCapture::start(const QAudioDevice &device)
{
    if (m_running || m_abandoned)
        return;
    // A stream for an input that went away a moment ago is taken by the sound
    // server and failed after, and Qt then waits for ever for it to be ready;
    // a server that has stopped answering keeps it waiting until it answers.
    // The wait here is bounded, so such an input is a failure like any other.
    struct Opening
    {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<QString> error;
        bool timedOut = false;
        bool abandoned = false;
        std::atomic_bool stuck{false};
    };
    const auto opening = std::make_shared<Opening>();
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, device, opening] {
            const QString error = worker->start(device);
            std::unique_lock lock(opening->mutex);
            if (opening->abandoned) {
                lock.unlock();
                worker->abandon();
                --g_stuckCaptures;
                opening->stuck = false;
                return;
            }
            opening->error = error;
            opening->timedOut = worker->openTimedOut();
            opening->done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(opening->mutex);
    if (!opening->done.wait_for(lock, kOpenTimeout, [&] { return opening->error.has_value(); })) {
        opening->abandoned = true;
        opening->stuck = true;
        m_abandoned = true;
        m_stuckOpen = std::shared_ptr<const std::atomic_bool>(opening, &opening->stuck);
        ++g_stuckCaptures;
        throw Failure(QStringLiteral("The audio input \"%1\" did not open.").arg(device.description()));
    }
    const QString error = *opening->error;
    m_openTimedOut = opening->timedOut;
    lock.unlock();
    if (!error.isEmpty())
        throw Failure(error);
    m_running = true;
    QMetaObject::invokeMethod(m_worker, &Worker::beginStream, Qt::QueuedConnection);
}

void AudioCapture::emulate(const RecognitionResult &result)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, result] { worker->emulate(result); }, Qt::QueuedConnection);
}

void AudioCapture::onEmulatedAfterItsEnd(QObject *receiver,
                                         std::function<void(const RecognitionResult &)> take)
{
    connect(m_worker, &Worker::emulatedAfterItsEnd, receiver, std::move(take), Qt::QueuedConnection);
}

void AudioCapture::stop()
{
    if (!m_running)
        return;
    m_running = false;
    const auto askedAt = Worker::Clock::now();
    m_worker->askStop();
    auto done = std::make_shared<std::promise<void>>();
    m_stopDone = done->get_future().share();
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, askedAt, done] {
            worker->stop(false, askedAt);
            Q_EMIT worker->stopped();
            done->set_value();
        },
        Qt::QueuedConnection);
}

void AudioCapture::waitUntilStopped()
{
    if (m_stopDone.valid())
        m_stopDone.wait();
}

} // namespace kestrel

#include "AudioCapture.moc"

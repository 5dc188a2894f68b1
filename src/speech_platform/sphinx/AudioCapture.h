#pragma once

#include "speech_platform/sphinx/UtteranceStream.h"

#include <QAudioDevice>
#include <QList>
#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

namespace kestrel {

class SphinxDecoder;

/// Captures 16 kHz mono audio from one input device on its own thread and runs it
/// through an UtteranceStream there. The recording is a sound-server stream of
/// its own (PulseStream), so listening opens again after the server restarted. Events leave through the
/// events() signal, which a receiver on the user-interface thread gets queued.
class AudioCapture : public QObject
{
    Q_OBJECT
public:
    /// An open takes well under a second, a Bluetooth headset switching its
    /// profile a few seconds. The capture's own thread gives up on an open two
    /// seconds before this, so the caller's wait ends with its answer.
    static constexpr std::chrono::seconds kOpenTimeout{10};

    AudioCapture(std::shared_ptr<SphinxDecoder> decoder, UtteranceStream::Mode mode,
                 QObject *parent = nullptr);
    ~AudioCapture() override;

    /// How many captures this process has left stuck in an open that has not
    /// come back. The capture's thread bounds its own wait for the server, so
    /// this stays at zero unless that thread itself is held up.
    static int stuckCaptures();

    /// Opens the device and starts the stream; returns once it runs. Throws
    /// kestrel::Failure when the device cannot be opened, or has not opened
    /// within kOpenTimeout; such a capture never starts again.
    void start(const QAudioDevice &device);
    /// Ends the stream and closes the device, on the capture's thread: returns
    /// at once, also while that thread is busy building the command grammar
    /// (a second or more after a table edit). What was recorded up to this
    /// call is still decoded, what comes after is not; EndStream is the
    /// stream's last event, and stopped() follows it.
    void stop();
    /// Waits until the capture's thread has carried out stop(): the stream's
    /// last events are on their way and the decoder is free for another
    /// stream. Returns at once when stop() was never called. Bounded by the
    /// grammar build the thread may be in, as every call to the decoder is.
    void waitUntilStopped();
    /// Delivers `result` as a Recognition event of the running stream, after
    /// every event already on its way (its StartStream included).
    void emulate(const RecognitionResult &result);
    /// Calls `take`, in `receiver`'s thread, with a result emulate() was given
    /// after the stream had ended on the capture's thread, before the window heard
    /// of the end: it belongs to no stream. Straight from that thread to the
    /// receiver, since the window may already have let this capture go.
    void onEmulatedAfterItsEnd(QObject *receiver, std::function<void(const RecognitionResult &)> take);
    bool running() const { return m_running; }
    /// Its open did not come back in time (start threw for that reason).
    bool abandoned() const { return m_abandoned; }
    /// start() threw because the sound server took the open but never answered
    /// it; the capture's thread gave it up and holds nothing.
    bool openTimedOut() const { return m_openTimedOut; }
    /// Once abandoned: true for as long as that open has not come back. It
    /// comes back when a sound server that stopped answering answers again; one
    /// for an input that went away may never.
    std::shared_ptr<const std::atomic_bool> stuckOpen() const { return m_stuckOpen; }
    /// Whoever receives events() has been handed this stream's EndStream; for
    /// that receiver's own record, nothing here reads it.
    bool endDelivered() const { return m_endDelivered; }
    void setEndDelivered() { m_endDelivered = true; }

Q_SIGNALS:
    void events(const QList<kestrel::StreamEvent> &events);
    /// The device failed or went away while listening; the stream has ended.
    void lost(const QString &description);
    /// stop() has been carried out; every event of the stream came before.
    void stopped();

private:
    class Worker;
    std::unique_ptr<QThread> m_thread = std::make_unique<QThread>();
    Worker *m_worker = nullptr;
    bool m_running = false;
    bool m_abandoned = false; ///< an open did not come back in time; the thread may be stuck in it
    bool m_openTimedOut = false;
    std::shared_ptr<const std::atomic_bool> m_stuckOpen;
    bool m_endDelivered = false;
    std::shared_future<void> m_stopDone; ///< valid once stop() was asked for
};

} // namespace kestrel

Q_DECLARE_METATYPE(kestrel::StreamEvent)

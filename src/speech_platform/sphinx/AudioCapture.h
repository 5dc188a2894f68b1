#pragma once

#include "speech_platform/sphinx/UtteranceStream.h"

#include <QAudioDevice>
#include <QList>
#include <QObject>
#include <QThread>

#include <memory>

class QAudioSource;
class QIODevice;

namespace kestrel {

class SphinxDecoder;

/// Captures 16 kHz mono audio from one input device on its own thread and runs it
/// through an UtteranceStream there. Events leave through the events() signal,
/// which a receiver on the user-interface thread gets queued.
class AudioCapture : public QObject
{
    Q_OBJECT
public:
    AudioCapture(std::shared_ptr<SphinxDecoder> decoder, UtteranceStream::Mode mode,
                 QObject *parent = nullptr);
    ~AudioCapture() override;

    /// Opens the device and starts the stream; returns once it runs. Throws
    /// kestrel::Failure when the device cannot be opened.
    void start(const QAudioDevice &device);
    /// Ends the stream (EndStream is the last event) and closes the device.
    void stop();
    bool running() const { return m_running; }

Q_SIGNALS:
    void events(const QList<kestrel::StreamEvent> &events);
    /// The device failed or went away while listening; the stream has ended.
    void lost(const QString &description);

private:
    class Worker;
    QThread m_thread;
    Worker *m_worker = nullptr;
    bool m_running = false;
};

} // namespace kestrel

Q_DECLARE_METATYPE(kestrel::StreamEvent)

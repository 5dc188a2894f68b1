#pragma once

#include "speech_platform/AudioFormats.h"
#include "speech_platform/VoiceEngine.h"
#include "speech_platform/espeak/StreamOutput.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace kestrel {

class EspeakSynthesizer;
struct VoiceEventRecord;

class SoundServerDefaults;

/// The audio devices a voice can speak on, the default first, and how it opens
/// one for a stream. The defaults are Qt's output devices, in Qt's idea of the
/// default, and openStreamOutput().
struct AudioOutputs
{
    std::function<QList<QAudioDevice>()> devices = &qtOrder;
    std::function<std::unique_ptr<StreamOutput>(const QAudioDevice &, const AudioFormatInfo &)> open =
        &openStreamOutput;

    /// The system's outputs with the sound server's default first, which
    /// follows the default the user (or the desktop, for a headset plugged in)
    /// sets while the program runs; a connection to the server is made when
    /// none is given. A stream is not opened on a server that does not answer
    /// (see SoundServerDefaults::silent); it is timed by the clock.
    static AudioOutputs system(std::shared_ptr<const SoundServerDefaults> server = nullptr);

private:
    static QList<QAudioDevice> qtOrder();
};

/// The program's voice: eSpeak NG, played through Qt Multimedia.
///
/// speak() returns at once. eSpeak synthesises on a worker thread (see
/// EspeakSynthesizer); the samples are converted to the chosen output format and
/// played by a QAudioSink on the chosen device. A stream starts when its first
/// audio reaches the device; its events are emitted on the user-interface thread
/// when the device's processed time reaches their moment, and it ends when all of
/// its audio has been heard. A device that goes away part way hands the rest of
/// the stream to the output that speaks now. Without a device (or when the
/// device fails and no other one is there) the stream's audio is "heard"
/// against a clock, so every stream still has its events and its end; such a
/// stream takes up a device that the output list shows later.
///
/// Every accepted speak() produces exactly one startStream and one endStream, in
/// stream order, also when the stream is purged: a purged stream that never
/// started gets both, with nothing in between. voiceChange follows startStream of
/// the first stream spoken with a voice other than the previous stream's.
///
/// Settings (voice, output, format, rate, volume) are taken by each speak() as
/// they are at that moment; a stream already accepted keeps its own. speak()
/// never blocks, with or without the Async flag.
///
/// The output list is looked at once a second, and audioOutputsChanged tells of
/// a device plugged in or removed.
///
/// Only one voice may exist per process (eSpeak NG is one global instance); the
/// constructor throws kestrel::Failure for a second one, or when eSpeak NG cannot
/// start. Destroying the voice drops outstanding streams without events.
class EspeakVoice final : public VoiceEngine
{
    Q_OBJECT
public:
    explicit EspeakVoice(AudioOutputs outputs = {}, QObject *parent = nullptr);
    ~EspeakVoice() override;

    int speak(const QString &text, int flags) override;

    SpeechTokenList voices() const override;
    SpeechTokenList audioOutputs() const override;
    SpeechToken voice() const override { return m_voice; }
    void setVoice(const SpeechToken &voice) override;
    /// A token without an id: the default device, whichever it is when each
    /// stream starts (the voice starts so).
    void setAudioOutput(const SpeechToken &output) override;

    int outputFormat() const override { return m_formatCode; }
    void setOutputFormat(int formatCode) override;
    void setAllowAudioOutputFormatChangesOnNextSet(bool allow) override { m_allowFormatChanges = allow; }
    bool allowAudioOutputFormatChangesOnNextSet() const { return m_allowFormatChanges; }

    int rate() const override { return m_rate; }
    void setRate(int rate) override;
    int volume() const override { return m_volume; }
    void setVolume(int volume) override;

    /// The device the next stream plays on: the chosen one while it is listed,
    /// otherwise the default one at this moment; empty when there is none.
    SpeechToken audioOutput() const;
    /// Streams accepted and not yet ended.
    int pendingStreams() const { return static_cast<int>(m_streams.size()); }

private:
    struct Stream;

    QAudioDevice currentDevice() const;
    void schedulePump();
    void pump();
    bool step();
    bool finishPurged(Stream &stream);
    void collect(Stream &stream);
    bool openOutput(Stream &stream);
    void keepOutputAlive(Stream &stream);
    void emitEvent(int streamNumber, qint64 bytePosition, const VoiceEventRecord &event);
    void purgeAll(int throughStream);
    void retire(std::unique_ptr<StreamOutput> output);
    void releaseRetired();

    AudioOutputs m_outputs;
    std::unique_ptr<EspeakSynthesizer> m_synthesizer;
    SpeechToken m_voice;
    SpeechToken m_lastStartedVoice;
    QAudioDevice m_device;
    int m_formatCode = AudioFormats::DefaultCode;
    bool m_allowFormatChanges = true;
    int m_rate = 0;
    int m_volume = 100;
    int m_nextStream = 1;
    std::deque<std::unique_ptr<Stream>> m_streams;
    /// Outputs of finished streams, destroyed by the pump outside its steps:
    /// destroying a QAudioSink runs the event loop, which may pump again.
    std::vector<std::unique_ptr<StreamOutput>> m_retired;
    bool m_closing = false;
    QTimer m_timer;
    /// Looks for outputs plugged in or removed (audioOutputsChanged).
    QTimer m_outputWatch;
    SpeechTokenList m_listedOutputs;
    int m_outputListChanges = 0; ///< how often m_listedOutputs changed
    std::atomic<bool> m_pumpPosted{false};
};

} // namespace kestrel

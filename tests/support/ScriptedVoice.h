#pragma once

#include "speech_platform/VoiceEngine.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrel {

/// A VoiceEngine whose every call is recorded and whose events a test emits.
///
/// - speak() records the text and flags and returns 1, 2, ...; it emits nothing by
///   itself unless auto-play is on.
/// - voices()/audioOutputs() return the configured lists; the setters record.
/// - throwOnSpeak/throwOnSetAudioOutput/throwOnSetOutputFormat make those calls
///   throw Failure, as a backend does when the service refuses.
/// - calls() lists every state-changing call in order ("speak", "setVoice:<id>",
///   "setAudioOutput:<id>", "allowFormatChanges:0", "setOutputFormat:<code>",
///   "setRate:<n>", "setVolume:<n>") so a test can check the order of effects.
/// - With auto-play on, each speak() queues startStream, a word event for every
///   run of non-blank characters, and endStream; the events are delivered one per
///   event-loop pass, like a real backend's queued signals. A purging speak drops
///   the pending words of the stream before it but still delivers its end.
class ScriptedVoice : public VoiceEngine
{
    Q_OBJECT
public:
    struct SpeakCall
    {
        QString text;
        int flags = 0;
    };

    explicit ScriptedVoice(QObject *parent = nullptr);
    ~ScriptedVoice() override;

    int speak(const QString &text, int flags) override;
    SpeechTokenList voices() const override { return m_voices; }
    SpeechTokenList audioOutputs() const override { return m_outputs; }
    SpeechToken voice() const override { return m_voice; }
    void setVoice(const SpeechToken &voice) override;
    void setAudioOutput(const SpeechToken &output) override;
    int outputFormat() const override { return m_format; }
    void setOutputFormat(int formatCode) override;
    void setAllowAudioOutputFormatChangesOnNextSet(bool allow) override;
    int rate() const override { return m_rate; }
    void setRate(int rate) override;
    int volume() const override { return m_volume; }
    void setVolume(int volume) override;

    // --- Configuration -------------------------------------------------------
    SpeechTokenList m_voices;
    SpeechTokenList m_outputs;
    SpeechToken m_voice;
    SpeechToken m_output;
    int m_format = 22;
    int m_rate = 0;
    int m_volume = 100;
    bool m_allowFormatChanges = true;
    bool throwOnSpeak = false;
    bool throwOnSetAudioOutput = false;
    bool throwOnSetOutputFormat = false;
    bool autoPlay = false;
    /// Runs inside speak(), before it returns: a real voice stopping its sound
    /// may run the event loop there and deliver a purged stream's end.
    std::function<void()> duringSpeak;

    // --- Records -------------------------------------------------------------
    QList<SpeakCall> speakCalls;
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

    // --- Events a test emits (stream number defaults to the latest speak) -----
    void emitStartStream(int stream = 0);
    void emitEndStream(int stream = 0);
    void emitWord(int position, int length, int stream = 0);
    void emitViseme(int visemeId, int stream = 0);
    void emitVoiceChange(const SpeechToken &token, int stream = 0);
    /// startStream, the word events of `text`, endStream.
    void emitWholeStream(const QString &text, int stream = 0);

private:
    struct Pending
    {
        enum Kind { Start, Word, End } kind;
        int stream;
        int position = 0;
        int length = 0;
    };

    int streamOrLatest(int stream) const { return stream > 0 ? stream : m_lastStream; }
    void queueStream(int stream, const QString &text);
    void deliverNext();

    QStringList m_calls;
    QList<Pending> m_pending;
    int m_lastStream = 0;
    bool m_deliveryScheduled = false;
};

} // namespace kestrel

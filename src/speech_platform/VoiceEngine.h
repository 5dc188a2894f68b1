#pragma once

#include "speech_platform/SpeechToken.h"

#include <QObject>

namespace kestrel {

/// The one synthetic voice of the program.
///
/// Threading: call from the user-interface thread only. Backends may synthesise
/// and play on worker threads, but every signal is emitted on the user-interface
/// thread (queued), in stream order, in step with what is heard.
///
/// Failures: operations that cannot be carried out throw kestrel::Failure.
///
/// Events: every accepted speak request produces startStream, then any number of
/// word/viseme/phoneme/bookmark/sentence events, then endStream -- also when the
/// stream was purged, and also when no audio device is available (the events are
/// then released against a clock), so a caller waiting for the end is released.
class VoiceEngine : public QObject
{
    Q_OBJECT
public:
    enum SpeakFlag {
        Async = 1,            ///< return at once
        PurgeBeforeSpeak = 2, ///< discard what is being spoken or queued
        IsXml = 8,            ///< the text is SSML markup
    };

    using QObject::QObject;
    ~VoiceEngine() override = default;

    /// Queues `text` for speaking; returns its stream number (1, 2, ...).
    virtual int speak(const QString &text, int flags) = 0;

    virtual SpeechTokenList voices() const = 0;
    virtual SpeechTokenList audioOutputs() const = 0;
    virtual SpeechToken voice() const = 0;
    virtual void setVoice(const SpeechToken &voice) = 0;
    virtual void setAudioOutput(const SpeechToken &output) = 0;

    /// The audio output stream's format type: one of the codes 4 to 39 (see
    /// AudioFormats.h). setOutputFormat throws Failure for other codes.
    virtual int outputFormat() const = 0;
    virtual void setOutputFormat(int formatCode) = 0;
    virtual void setAllowAudioOutputFormatChangesOnNextSet(bool allow) = 0;

    virtual int rate() const = 0; ///< -10 to 10
    virtual void setRate(int rate) = 0;
    virtual int volume() const = 0; ///< 0 to 100
    virtual void setVolume(int volume) = 0;

Q_SIGNALS:
    void startStream(int streamNumber, qint64 streamPosition);
    void endStream(int streamNumber, qint64 streamPosition);
    void voiceChange(int streamNumber, qint64 streamPosition, const kestrel::SpeechToken &voice);
    /// `characterPosition` is 0-based in the text as given to speak().
    void word(int streamNumber, qint64 streamPosition, int characterPosition, int length);
    void sentence(int streamNumber, qint64 streamPosition, int characterPosition, int length);
    void viseme(int streamNumber, qint64 streamPosition, int visemeId);
    void phoneme(int streamNumber, qint64 streamPosition, int phoneId);
    void bookmark(int streamNumber, qint64 streamPosition, const QString &name, int id);
    /// The audio outputs listed, or the default among them, have changed.
    void audioOutputsChanged();
};

} // namespace kestrel

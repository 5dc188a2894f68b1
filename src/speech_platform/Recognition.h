#pragma once

#include "speech_platform/RecognitionTypes.h"
#include "speech_platform/SpeechToken.h"

#include <QObject>

#include <memory>

namespace kestrel {

/// The one grammar of a recognition context: dictation plus the command grammar
/// file. Failures throw kestrel::Failure.
class RecoGrammar
{
public:
    virtual ~RecoGrammar() = default;
    virtual void dictationLoad() = 0;
    /// Active dictation means utterances are decoded and reported.
    virtual void dictationSetState(bool active) = 0;
    virtual bool dictationActive() const = 0;
    /// Loads an SRGS XML grammar file; `dynamic` allows rule changes at run time.
    virtual void cmdLoadFromFile(const QString &fileName, bool dynamic) = 0;
    /// Rule id 0 means every rule.
    virtual void cmdSetRuleIdState(int ruleId, bool active) = 0;
};

class RecoContext;

/// A recogniser: shared (default input, first engine) or in-process (chosen engine,
/// chosen input). Failures throw kestrel::Failure.
class Recognizer
{
public:
    virtual ~Recognizer() = default;
    virtual SpeechTokenList recognizers() const = 0; ///< installed engines, in order
    virtual void setRecognizer(const SpeechToken &engine) = 0;
    virtual SpeechTokenList audioInputs() const = 0;
    /// The input the desktop takes as its default (the sound server's), while it
    /// is listed; an empty token when none is known.
    virtual SpeechToken desktopDefaultInput() const = 0;
    virtual void setAudioInput(const SpeechToken &input) = 0;
    virtual std::unique_ptr<RecoContext> createRecoContext() = 0;
    /// A Recognition event carrying `text`, its words and pronunciations, without
    /// audio, delivered asynchronously exactly like a spoken one.
    virtual void emulateRecognition(const QString &text) = 0;
};

/// A recognition context and its events.
///
/// Threading: every signal is delivered on the user-interface thread (queued).
/// Audio capture and decoding may run on backend threads.
class RecoContext : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~RecoContext() override = default;

    virtual Recognizer &recognizer() = 0;
    virtual qint32 eventInterests() const = 0;
    virtual void setEventInterests(qint32 flags) = 0;
    virtual void setRetainedAudio(bool retain) = 0;
    /// The context keeps one grammar; creating it again replaces it.
    virtual RecoGrammar &createGrammar(int grammarId) = 0;

Q_SIGNALS:
    void startStream(qint32 streamNumber, qint64 streamPosition);
    void endStream(qint32 streamNumber, qint64 streamPosition, bool streamReleased);
    void soundStart(qint32 streamNumber, qint64 streamPosition);
    void soundEnd(qint32 streamNumber, qint64 streamPosition);
    void phraseStart(qint32 streamNumber, qint64 streamPosition);
    void hypothesis(qint32 streamNumber, qint64 streamPosition, const kestrel::RecognitionResult &result);
    void recognition(qint32 streamNumber, qint64 streamPosition, qint32 recognitionType,
                     const kestrel::RecognitionResult &result);
    void falseRecognition(qint32 streamNumber, qint64 streamPosition,
                          const kestrel::RecognitionResult &result);
    void bookmark(qint32 streamNumber, qint64 streamPosition, const QVariant &bookmarkId, qint32 options);
    void propertyNumberChange(qint32 streamNumber, qint64 streamPosition, const QString &name, qint32 value);
    void propertyStringChange(qint32 streamNumber, qint64 streamPosition, const QString &name,
                              const QString &value);
    void interference(qint32 streamNumber, qint64 streamPosition, qint32 interference);
    void requestUI(qint32 streamNumber, qint64 streamPosition, const QString &uiType);
    void recognizerStateChange(qint32 streamNumber, qint64 streamPosition, qint32 newState);
    void adaptation(qint32 streamNumber, qint64 streamPosition);
    void recognitionForOtherContext(qint32 streamNumber, qint64 streamPosition);
    void audioLevel(qint32 streamNumber, qint64 streamPosition, qint32 level);
    void enginePrivate(qint32 streamNumber, qint64 streamPosition, const QVariant &engineData);
    /// Listening stopped on its own (the audio input went away); the
    /// description says why. Not one of the event interests: it always comes.
    void listeningLost(const QString &description);
};

/// Converts phone ids to phone names for a language (CMU phone set for US English).
class PhoneConverter
{
public:
    virtual ~PhoneConverter() = default;
    virtual QString idToPhone(int languageId, int phoneId) const = 0;
};

/// The entry point of a recognition backend.
class SpeechRecognitionService
{
public:
    virtual ~SpeechRecognitionService() = default;
    /// A context on the shared recogniser (default input, first engine).
    virtual std::unique_ptr<RecoContext> createSharedRecoContext() = 0;
    /// A new in-process recogniser; choose engine and input, then create a context.
    virtual std::unique_ptr<Recognizer> createInprocRecognizer() = 0;
    virtual const PhoneConverter &phoneConverter() const = 0;
};

} // namespace kestrel

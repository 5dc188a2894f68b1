#pragma once

#include "speech_platform/Recognition.h"

#include <QHash>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>

namespace kestrel {

class ScriptedRecognizer;
class ScriptedRecoRecognizer;

/// Grammar double: keeps the dictation state, records every call. Switching
/// dictation on fails, as it does for real, while the audio input its
/// recogniser was given is no longer listed, or with none given, while no
/// input at all is listed.
class ScriptedRecoGrammar : public RecoGrammar
{
public:
    ScriptedRecoGrammar(ScriptedRecognizer &script, const ScriptedRecoRecognizer &recognizer)
        : m_script(script), m_recognizer(recognizer)
    {
    }
    void dictationLoad() override;
    void dictationSetState(bool active) override;
    bool dictationActive() const override { return m_dictationActive; }
    /// Fails like a real engine when the file is missing from the working directory.
    void cmdLoadFromFile(const QString &fileName, bool dynamic) override;
    void cmdSetRuleIdState(int ruleId, bool active) override;

    bool dictationLoaded() const { return m_dictationLoaded; }
    bool rulesActive() const { return m_rulesActive; }

private:
    ScriptedRecognizer &m_script;
    const ScriptedRecoRecognizer &m_recognizer;
    bool m_dictationLoaded = false;
    bool m_dictationActive = false;
    bool m_rulesActive = true;
};

class ScriptedRecoContext;

/// Recogniser double: shared (owned by its context) or in-process (owned by
/// the caller of createInprocRecognizer).
class ScriptedRecoRecognizer : public Recognizer
{
public:
    ScriptedRecoRecognizer(ScriptedRecognizer &script, bool shared);
    SpeechTokenList recognizers() const override;
    void setRecognizer(const SpeechToken &engine) override;
    SpeechTokenList audioInputs() const override;
    SpeechToken desktopDefaultInput() const override;
    void setAudioInput(const SpeechToken &input) override;
    std::unique_ptr<RecoContext> createRecoContext() override;
    void emulateRecognition(const QString &text) override;

    bool isShared() const { return m_shared; }
    SpeechToken engine() const { return m_engine; }
    /// The input given with setAudioInput; none means the default input.
    const std::optional<SpeechToken> &input() const { return m_input; }
    void attach(ScriptedRecoContext *context);

private:
    ScriptedRecognizer &m_script;
    bool m_shared;
    SpeechToken m_engine;
    std::optional<SpeechToken> m_input;
    QPointer<ScriptedRecoContext> m_context;
};

/// Context double. Tests emit its signals directly (they are public), or use
/// the helpers below for whole utterances.
class ScriptedRecoContext : public RecoContext
{
    Q_OBJECT
public:
    /// `owned` is set for a shared context, which owns its recogniser.
    ScriptedRecoContext(ScriptedRecognizer &script, ScriptedRecoRecognizer &recognizer,
                        std::unique_ptr<ScriptedRecoRecognizer> owned);
    ~ScriptedRecoContext() override;

    Recognizer &recognizer() override { return m_recognizer; }
    qint32 eventInterests() const override;
    void setEventInterests(qint32 flags) override;
    void setRetainedAudio(bool retain) override;
    RecoGrammar &createGrammar(int grammarId) override;

    ScriptedRecoRecognizer &scriptedRecognizer() { return m_recognizer; }
    ScriptedRecoGrammar *grammar() const { return m_grammar.get(); }
    int grammarId() const { return m_grammarId; }

    /// StartStream, SoundStart, PhraseStart, Hypothesis, Recognition, SoundEnd,
    /// EndStream, at positions 0, 100, 200, ... of stream `streamNumber`.
    void emitUtterance(const RecognitionResult &result, qint32 streamNumber = 1, qint32 recognitionType = 0);
    /// A lone Recognition event, as an emulated phrase arrives.
    void emitRecognition(const RecognitionResult &result, qint32 streamNumber = 1, qint64 position = 0,
                         qint32 recognitionType = 0);

private:
    ScriptedRecognizer &m_script;
    std::unique_ptr<ScriptedRecoRecognizer> m_ownedRecognizer;
    ScriptedRecoRecognizer &m_recognizer;
    std::unique_ptr<ScriptedRecoGrammar> m_grammar;
    int m_grammarId = 0;
    qint32 m_interests;
};

/// Phone converter double: phone id n is the n-th entry of a list.
class ScriptedPhoneConverter : public PhoneConverter
{
public:
    explicit ScriptedPhoneConverter(ScriptedRecognizer &script) : m_script(script) {}
    QString idToPhone(int languageId, int phoneId) const override;

private:
    ScriptedRecognizer &m_script;
};

/// A scripted recognition service for tests: configurable engines, audio inputs
/// and default event interests; every call recorded as one line of calls();
/// any operation can be told to fail with a kestrel::Failure; the current
/// context emits whatever event sequence a test asks for.
///
/// Call lines: "createSharedRecoContext", "createInprocRecognizer",
/// "setRecognizer(<id>)", "setAudioInput(<id>)", "createRecoContext",
/// "releaseRecoContext", "createGrammar(<id>)", "dictationLoad",
/// "dictationSetState(true|false)", "cmdLoadFromFile(<file>,true|false)",
/// "cmdSetRuleIdState(<id>,true|false)", "emulateRecognition(<text>)",
/// "setEventInterests(<mask>)", "setRetainedAudio(true|false)".
/// Failable operations are named as the call lines without arguments, plus
/// "recognizers", "audioInputs", "eventInterests" and "idToPhone".
///
/// Contexts refer back to this object: destroy them (the window) first.
class ScriptedRecognizer : public SpeechRecognitionService
{
public:
    ScriptedRecognizer();
    ~ScriptedRecognizer() override;

    // --- SpeechRecognitionService ---
    std::unique_ptr<RecoContext> createSharedRecoContext() override;
    std::unique_ptr<Recognizer> createInprocRecognizer() override;
    const PhoneConverter &phoneConverter() const override { return m_phones; }

    // --- Script ---
    SpeechTokenList engines;     ///< default: two engines
    SpeechTokenList audioInputs; ///< default: one input
    /// The desktop's default input; reported only while listed. Default: none known.
    SpeechToken desktopDefaultInput;
    /// Ids of inputs that are listed but do not open (held by another program,
    /// say): dictation on fails while the recogniser's input is one of them.
    QStringList unopenableInputs;
    qint32 defaultEventInterests;
    QStringList phones; ///< phone id -> phone name
    /// emulateRecognition queues a Recognition event of the text on the
    /// recogniser's latest context (delivered by the event loop).
    bool emulationDelivers = true;

    /// Makes `operation` throw Failure(description) the next `times` calls
    /// (-1: every call until clearFailures()).
    void failOn(const QString &operation, int times = -1, const QString &description = QString());
    void clearFailures() { m_failures.clear(); }

    // --- Observation ---
    const QStringList &calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    int callCount(const QString &line) const { return m_calls.count(line); }
    /// calls() without the lines that start with `prefix`.
    QStringList callsWithout(const QString &prefix) const;
    /// The latest context still alive, or nullptr.
    ScriptedRecoContext *context() const { return m_context.data(); }
    ScriptedRecoGrammar *grammar() const { return m_context ? m_context->grammar() : nullptr; }
    int contextsCreated() const { return m_contextsCreated; }

    /// A result whose words are the blank-separated words of `text`, each with
    /// a two-phone pronunciation, no properties, and no alternates collection.
    static RecognitionResult resultFor(const QString &text);

    // Used by the doubles.
    void record(const QString &line) { m_calls.append(line); }
    void check(const QString &operation) const;
    void contextCreated(ScriptedRecoContext *context);

private:
    mutable QHash<QString, int> m_failures;
    QHash<QString, QString> m_failureTexts;
    QStringList m_calls;
    QPointer<ScriptedRecoContext> m_context;
    int m_contextsCreated = 0;
    ScriptedPhoneConverter m_phones;
};

} // namespace kestrel

#pragma once

#include "speech_platform/Recognition.h"
#include "speech_platform/SrgsGrammar.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/SphinxDecoder.h"
#include "speech_platform/sphinx/UtteranceStream.h"

#include <QAudioDevice>
#include <QDeadlineTimer>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

namespace kestrel {

class AudioCapture;
class CommandVocabulary;
class SoundServerDefaults;
class SphinxRecoContext;

/// What every recogniser of one service shares: the models (loaded once, in the
/// background from the first recognition context on) and the command phrases,
/// which follow the vocabulary.
class SphinxEngineShared : public QObject
{
    Q_OBJECT
public:
    /// `pronouncer` is given to the decoder (eSpeak NG's when none is given).
    SphinxEngineShared(CommandVocabulary &vocabulary, SphinxModelPaths paths,
                       SphinxDecoder::WordPronouncer pronouncer = {});
    /// Waits for a model load and a command grammar build in progress.
    ~SphinxEngineShared() override;

    /// Starts loading the models and building the command grammar on a thread
    /// of their own, unless they are loaded or being loaded.
    void loadInBackground();
    /// Whether the models are loaded (or their load has ended in failure),
    /// without waiting for them.
    bool modelsLoaded() const;
    /// The models, waiting for a load in progress or loading them here when
    /// none was started; throws kestrel::Failure when they cannot be loaded
    /// (the next call tries again). The command grammar is built in the
    /// background.
    std::shared_ptr<SphinxDecoder> decoder();
    void checkModels() const { m_paths.check(); }

    /// Inputs whose open did not come back. Opening one again would wait out
    /// the open once more and leave one more thread stuck in the sound backend,
    /// and listening resumes after every sentence the program says; so it is
    /// refused at once until the open comes back after all (`stuck` turns
    /// false: the sound server answers again), a listing of the inputs has
    /// lacked it (unplugged, and perhaps back), or for `time` at most: one that
    /// was back before the next listing, or cannot be unplugged, gets another
    /// chance then.
    void giveUpInput(const QString &id, std::chrono::milliseconds time,
                     std::shared_ptr<const std::atomic_bool> stuck = nullptr)
    {
        m_givenUpInputs.insert(id, GivenUp{QDeadlineTimer(time), std::move(stuck)});
    }
    bool inputGivenUp(const QString &id) const
    {
        const auto it = m_givenUpInputs.constFind(id);
        return it != m_givenUpInputs.constEnd() && !it->until.hasExpired() && (!it->stuck || *it->stuck);
    }
    void inputsListed(const QList<QAudioDevice> &listed);

private:
    void buildInBackground();

    CommandVocabulary &m_vocabulary;
    SphinxModelPaths m_paths;
    SphinxDecoder::WordPronouncer m_pronouncer;
    std::shared_ptr<SphinxDecoder> m_decoder;
    /// The decoder of a load in progress, ready before that load's first build ends.
    std::future<std::shared_ptr<SphinxDecoder>> m_loadedDecoder;
    /// The load with its first build.
    std::future<void> m_loading;
    bool m_phrasesChangedWhileLoading = false;
    QThreadPool m_builder;
    struct GivenUp
    {
        QDeadlineTimer until;
        std::shared_ptr<const std::atomic_bool> stuck;
    };
    QHash<QString, GivenUp> m_givenUpInputs;
};

/// Lists the audio inputs; tests substitute their own.
struct AudioInputs
{
    std::function<QList<QAudioDevice>()> list;
    std::function<QAudioDevice()> defaultInput;
    /// How long an input whose open never came back is refused at most (about
    /// as long as the longest wait between the input watch's tries).
    std::chrono::milliseconds giveUpTime = std::chrono::minutes(5);
    /// The id of the input the desktop takes as its default; empty when not known.
    std::function<QByteArray()> desktopDefault = {};
    /// The sound server is there but does not answer, so an open would only
    /// wait (see SoundServerDefaults::silent); never, when not given.
    std::function<bool()> serverSilent = {};
    /// The system's inputs, the sound server's default first (see
    /// SoundServerDefaults); a connection to the server is made when none is
    /// given.
    static AudioInputs system(std::shared_ptr<const SoundServerDefaults> server = nullptr);
};

class SphinxRecognizer : public Recognizer
{
public:
    static constexpr const char *kCommandsEngine = "pocketsphinx-en-us-commands";
    static constexpr const char *kDictationEngine = "pocketsphinx-en-us-dictation";

    SphinxRecognizer(SphinxEngineShared &shared, AudioInputs inputs);
    ~SphinxRecognizer() override;

    SpeechTokenList recognizers() const override;
    void setRecognizer(const SpeechToken &engine) override;
    SpeechTokenList audioInputs() const override;
    SpeechToken desktopDefaultInput() const override;
    void setAudioInput(const SpeechToken &input) override;
    std::unique_ptr<RecoContext> createRecoContext() override;
    void emulateRecognition(const QString &text) override;

    UtteranceStream::Mode mode() const;
    std::chrono::milliseconds inputGiveUpTime() const { return m_inputs.giveUpTime; }
    bool serverSilent() const { return m_inputs.serverSilent && m_inputs.serverSilent(); }
    /// The chosen input, or the default one; throws kestrel::Failure when there is none.
    QAudioDevice inputDevice() const;
    SphinxEngineShared &shared() { return m_shared; }
    void remember(SphinxRecoContext *context) { m_contexts << context; }
    void forget(SphinxRecoContext *context);

private:
    QList<QAudioDevice> listInputs() const;

    SphinxEngineShared &m_shared;
    AudioInputs m_inputs;
    SpeechToken m_engine;
    std::optional<SpeechToken> m_input;
    QList<QPointer<SphinxRecoContext>> m_contexts;
};

class SphinxRecoGrammar : public RecoGrammar
{
public:
    explicit SphinxRecoGrammar(SphinxRecoContext &context);
    ~SphinxRecoGrammar() override;

    void dictationLoad() override;
    void dictationSetState(bool active) override;
    bool dictationActive() const override { return m_active; }
    bool dictationLoaded() const { return m_loaded; }
    void cmdLoadFromFile(const QString &fileName, bool dynamic) override;
    void cmdSetRuleIdState(int ruleId, bool active) override;

    const std::optional<SrgsGrammar> &commandGrammar() const { return m_commands; }
    bool commandRulesActive() const { return m_rulesActive; }

private:
    SphinxRecoContext &m_context;
    bool m_loaded = false;
    bool m_active = false;
    bool m_rulesActive = false;
    std::optional<SrgsGrammar> m_commands;
};

class SphinxRecoContext : public RecoContext
{
    Q_OBJECT
public:
    /// Everything but the audio level, which would flood a listener.
    static constexpr qint32 kDefaultInterests = 0xFFFF | EventPrivate;

    /// `owned` keeps a shared context's recogniser alive with it.
    SphinxRecoContext(SphinxRecognizer &recognizer, std::unique_ptr<SphinxRecognizer> owned = nullptr);
    ~SphinxRecoContext() override;

    Recognizer &recognizer() override { return m_recognizer; }
    qint32 eventInterests() const override { return m_interests; }
    void setEventInterests(qint32 flags) override { m_interests = flags; }
    void setRetainedAudio(bool retain) override { m_retainAudio = retain; }
    RecoGrammar &createGrammar(int grammarId) override;

    bool listening() const;
    void startListening();
    void stopListening();
    bool dictationActive() const { return m_grammar && m_grammar->dictationActive(); }
    bool dictationLoaded() const { return m_grammar && m_grammar->dictationLoaded(); }
    /// Queues a Recognition event with this result, as for speech.
    void deliverEmulated(const RecognitionResult &result);
    /// The recogniser is going away: stop listening and never touch it again.
    void detach();
    /// The capture of the stream listening now, if any; its events() signal is
    /// how the stream's events reach this context.
    AudioCapture *capture() const { return m_capture.get(); }

private:
    void deliver(const QPointer<AudioCapture> &from, const QList<StreamEvent> &events);
    /// A Recognition event of no running stream: typed with no capture
    /// listening, or after the capture's stream had ended.
    void recognizeOutsideAStream(const RecognitionResult &result);
    /// `openingStream`: the stream a switch on opens; none for a switch off.
    void postStateChange(std::optional<qint32> openingStream, qint32 state);
    /// A stopping capture's thread is done: its stream's events were all delivered.
    void captureStopped(AudioCapture *capture);
    /// Disconnects and deletes every capture, waiting for any still stopping.
    void dropCaptures();
    bool wants(RecoEventFlag flag) const { return (m_interests & flag) != 0; }

    std::unique_ptr<SphinxRecognizer> m_owned;
    SphinxRecognizer &m_recognizer;
    std::unique_ptr<SphinxRecoGrammar> m_grammar;
    std::unique_ptr<AudioCapture> m_capture;
    /// Captures told to stop whose thread has not yet said it is done (it may
    /// be building the command grammar); oldest first.
    std::vector<std::unique_ptr<AudioCapture>> m_stopping;
    /// Typed while a stream was still ending: results for after its end.
    QList<RecognitionResult> m_typedWhileStopping;
    qint32 m_interests = kDefaultInterests;
    qint32 m_streamNumber = 0;
    qint64 m_lastPosition = 0;
    bool m_lossReported = false; ///< the capture said its input went away
    bool m_retainAudio = false;
    bool m_detached = false;
};

/// The PocketSphinx recognition backend: US English, two engines (command
/// grammar with dictation fallback, and dictation only), Qt Multimedia audio
/// inputs.
class SphinxRecognitionService : public SpeechRecognitionService
{
public:
    /// `pronouncer` says the words the dictionary lacks (eSpeak NG when none is
    /// given); tests give one they control.
    explicit SphinxRecognitionService(CommandVocabulary &vocabulary,
                                      SphinxModelPaths paths = SphinxModelPaths::usEnglish(),
                                      AudioInputs inputs = AudioInputs::system(),
                                      SphinxDecoder::WordPronouncer pronouncer = {});
    ~SphinxRecognitionService() override;

    std::unique_ptr<RecoContext> createSharedRecoContext() override;
    std::unique_ptr<Recognizer> createInprocRecognizer() override;
    const PhoneConverter &phoneConverter() const override { return m_phones; }
    /// Whether the load of the models has ended (loaded, or failed: the next
    /// use says why), without waiting: the first recognition context starts it.
    bool modelsLoaded() const { return m_shared.modelsLoaded(); }

private:
    SphinxEngineShared m_shared;
    AudioInputs m_inputs;
    CmuPhoneConverter m_phones;
};

} // namespace kestrel

#include "speech_platform/sphinx/SphinxRecognition.h"

#include "common/Failure.h"
#include "speech_platform/CommandVocabulary.h"
#include "speech_platform/soundserver/SoundServerDefaults.h"
#include "speech_platform/sphinx/AudioCapture.h"

#include <QMediaDevices>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <memory>
#include <system_error>

namespace kestrel {
namespace {

constexpr qint32 kRecognitionStandard = 0;
constexpr qint32 kRecognitionEmulated = 2;
constexpr qint32 kStateInactive = 0;
constexpr qint32 kStateActive = 1;
// Short enough that a server that answers again is listened to soon after.
constexpr std::chrono::milliseconds kTimedOutOpenRefusal = std::chrono::seconds(30);

SpeechToken commandsEngine()
{
    return {QString::fromLatin1(SphinxRecognizer::kCommandsEngine),
            QStringLiteral("PocketSphinx US English (commands and dictation)")};
}

SpeechToken dictationEngine()
{
    return {QString::fromLatin1(SphinxRecognizer::kDictationEngine),
            QStringLiteral("PocketSphinx US English (dictation only)")};
}

SpeechToken tokenOf(const QAudioDevice &device)
{
    return {QString::fromUtf8(device.id()), device.description()};
}

} // namespace

// --- shared engine state ---------------------------------------------------

SphinxEngineShared::SphinxEngineShared(CommandVocabulary &vocabulary, SphinxModelPaths paths,
                                       SphinxDecoder::WordPronouncer pronouncer)
    : m_vocabulary(vocabulary), m_paths(std::move(paths)), m_pronouncer(std::move(pronouncer))
{
    // One build at a time; a build finds the latest phrases queued, so edits made
    // while one runs are built together by the next.
    m_builder.setMaxThreadCount(1);
    m_builder.setObjectName(QStringLiteral("kestrel-grammar-build"));
    connect(&m_vocabulary, &CommandVocabulary::changed, this, [this] {
        if (m_decoder)
            buildInBackground();
        else if (m_loadedDecoder.valid())
            m_phrasesChangedWhileLoading = true;
    });
}

SphinxEngineShared::~SphinxEngineShared()
{
    if (m_loading.valid())
        m_loading.wait();
    m_builder.waitForDone();
}

// Loading the models takes most of a second. The recognition window makes its
// context as it loads, at start-up, and a Start that fails there (no
// microphone plugged in yet, a sound server that does not answer) never asked
// for them: the Start when the microphone arrives, or the first typed command,
// would hold the window for the load. It runs from the first context on
// instead, and the command grammar is built on the same thread straight
// after, from the phrases of that moment.
void SphinxEngineShared::loadInBackground()
{
    if (m_decoder || m_loadedDecoder.valid())
        return;
    std::promise<std::shared_ptr<SphinxDecoder>> loaded;
    auto loadedDecoder = loaded.get_future();
    std::future<void> loading;
    try {
        loading = std::async(std::launch::async, [paths = m_paths, pronouncer = m_pronouncer,
                                                  phrases = m_vocabulary.phrases(),
                                                  loaded = std::move(loaded)]() mutable {
            std::shared_ptr<SphinxDecoder> decoder;
            try {
                decoder = std::make_shared<SphinxDecoder>(paths, SphinxDecoder::kCommandModelWeight,
                                                          QStringList{}, pronouncer);
                // Queued before anyone can see the decoder: phrases queued
                // later by the window are newer, and must be the ones a build
                // finds.
                decoder->queueCommandPhrases(phrases);
            } catch (...) {
                loaded.set_exception(std::current_exception());
                return;
            }
            loaded.set_value(decoder);
            try {
                decoder->applyQueuedPhrasesUnlessListening();
            } catch (const std::exception &) {
                // Listening applies the queued phrases itself.
            }
        });
    } catch (const std::system_error &) {
        return; // no thread to spare: decoder() loads them when they are needed
    }
    m_loadedDecoder = std::move(loadedDecoder);
    m_loading = std::move(loading);
    m_phrasesChangedWhileLoading = false;
}

bool SphinxEngineShared::modelsLoaded() const
{
    return m_decoder || (m_loadedDecoder.valid() &&
                         m_loadedDecoder.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
}

std::shared_ptr<SphinxDecoder> SphinxEngineShared::decoder()
{
    if (m_decoder)
        return m_decoder;
    if (m_loadedDecoder.valid()) {
        // Taken out first: a load that failed is reported once, and the next
        // call loads again (the user may have mended the files meanwhile).
        auto loaded = std::exchange(m_loadedDecoder, {});
        m_decoder = loaded.get();
        if (m_phrasesChangedWhileLoading)
            buildInBackground();
    } else {
        m_decoder = std::make_shared<SphinxDecoder>(m_paths, SphinxDecoder::kCommandModelWeight,
                                                    QStringList{}, m_pronouncer);
        buildInBackground();
    }
    return m_decoder;
}

// A build takes seconds (mixing the command model into dictation, pronouncing new
// words); on the window's thread it froze the window at start-up and at every
// Start after an edit. The phrases are queued first, so whoever needs them
// before the build here runs (listening starting) applies them itself, and
// listening applies them at the next pause when the build here finds it on.
void SphinxEngineShared::buildInBackground()
{
    m_decoder->queueCommandPhrases(m_vocabulary.phrases());
    m_builder.start([decoder = m_decoder] {
        try {
            decoder->applyQueuedPhrasesUnlessListening();
        } catch (const std::exception &) {
            // The grammar in force stays; dictation goes on either way.
        }
    });
}

void SphinxEngineShared::inputsListed(const QList<QAudioDevice> &listed)
{
    if (m_givenUpInputs.isEmpty())
        return;
    QSet<QString> stillListed;
    for (const QAudioDevice &device : listed)
        stillListed.insert(tokenOf(device).id);
    m_givenUpInputs.removeIf([&](const auto &entry) { return !stillListed.contains(entry.key()); });
}

// Qt's own default input is the first source it was told of, not the one the
// sound server (and the user's desktop) takes as the default; that one is
// asked of the server, and listed first, so that "the first input" is it too.
AudioInputs AudioInputs::system(std::shared_ptr<const SoundServerDefaults> server)
{
    if (!server)
        server = std::make_shared<SoundServerDefaults>();
    const auto listed = [server] {
        return SoundServerDefaults::defaultFirst(QMediaDevices::audioInputs(), server->defaultSource());
    };
    AudioInputs inputs;
    inputs.list = listed;
    inputs.defaultInput = [listed] {
        const QList<QAudioDevice> devices = listed();
        return devices.isEmpty() ? QMediaDevices::defaultAudioInput() : devices.constFirst();
    };
    inputs.desktopDefault = [server] { return server->defaultSource(); };
    inputs.serverSilent = [server] { return server->silent(SoundServerDefaults::kAnswerTime); };
    return inputs;
}

// --- recogniser --------------------------------------------------------------

SphinxRecognizer::SphinxRecognizer(SphinxEngineShared &shared, AudioInputs inputs)
    : m_shared(shared), m_inputs(std::move(inputs)), m_engine(commandsEngine())
{
}

SphinxRecognizer::~SphinxRecognizer()
{
    for (const QPointer<SphinxRecoContext> &context : std::as_const(m_contexts)) {
        if (context)
            context->detach();
    }
}

SpeechTokenList SphinxRecognizer::recognizers() const
{
    return {commandsEngine(), dictationEngine()};
}

void SphinxRecognizer::setRecognizer(const SpeechToken &engine)
{
    if (!recognizers().contains(engine))
        throw Failure(QStringLiteral("There is no recognition engine \"%1\".").arg(engine.description));
    m_engine = engine;
}

QList<QAudioDevice> SphinxRecognizer::listInputs() const
{
    QList<QAudioDevice> devices = m_inputs.list();
    m_shared.inputsListed(devices);
    return devices;
}

SpeechTokenList SphinxRecognizer::audioInputs() const
{
    SpeechTokenList tokens;
    for (const QAudioDevice &device : listInputs())
        tokens << tokenOf(device);
    return tokens;
}

SpeechToken SphinxRecognizer::desktopDefaultInput() const
{
    // Qt's own default is the first input it was told of, and stays so; only
    // the sound server knows which one the desktop takes now.
    const QByteArray id = m_inputs.desktopDefault ? m_inputs.desktopDefault() : QByteArray();
    if (id.isEmpty())
        return {};
    for (const QAudioDevice &device : listInputs()) {
        if (device.id() == id)
            return tokenOf(device);
    }
    return {};
}

void SphinxRecognizer::setAudioInput(const SpeechToken &input)
{
    if (!audioInputs().contains(input))
        throw Failure(QStringLiteral("There is no audio input \"%1\".").arg(input.description));
    m_input = input;
}

QAudioDevice SphinxRecognizer::inputDevice() const
{
    const QList<QAudioDevice> devices = listInputs();
    if (m_input) {
        for (const QAudioDevice &device : devices) {
            if (tokenOf(device).id == m_input->id)
                return device;
        }
        throw Failure(
            QStringLiteral("The audio input \"%1\" is no longer present.").arg(m_input->description));
    }
    const QAudioDevice device = m_inputs.defaultInput();
    if (device.isNull() || devices.isEmpty())
        throw Failure(QStringLiteral("There is no audio input device to listen to."));
    return device;
}

UtteranceStream::Mode SphinxRecognizer::mode() const
{
    return m_engine == dictationEngine() ? UtteranceStream::Mode::DictationOnly
                                         : UtteranceStream::Mode::CommandsAndDictation;
}

std::unique_ptr<RecoContext> SphinxRecognizer::createRecoContext()
{
    m_shared.checkModels();
    m_shared.loadInBackground();
    auto context = std::make_unique<SphinxRecoContext>(*this);
    m_contexts << context.get();
    return context;
}

void SphinxRecognizer::forget(SphinxRecoContext *context)
{
    m_contexts.removeAll(context);
}

void SphinxRecognizer::emulateRecognition(const QString &text)
{
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // The contexts listening take it; when none listens (no microphone to
    // open), those that could: typed text needs no audio.
    QList<SphinxRecoContext *> listening;
    QList<SphinxRecoContext *> loaded;
    for (const QPointer<SphinxRecoContext> &context : std::as_const(m_contexts)) {
        if (context && context->dictationActive())
            listening << context.data();
        else if (context && context->dictationLoaded())
            loaded << context.data();
    }
    const QList<SphinxRecoContext *> targets = listening.isEmpty() ? loaded : listening;
    if (targets.isEmpty())
        throw Failure(QStringLiteral("No grammar is loaded to receive the emulated recognition."));
    if (words.isEmpty())
        return;
    RecognitionResult result =
        UtteranceStream::makeResult(*m_shared.decoder(), words, QStringLiteral("Emulated"), {});
    result.emulated = true;
    for (SphinxRecoContext *context : targets)
        context->deliverEmulated(result);
}

// --- grammar -------------------------------------------------------------------

SphinxRecoGrammar::SphinxRecoGrammar(SphinxRecoContext &context) : m_context(context) {}

SphinxRecoGrammar::~SphinxRecoGrammar() = default;

void SphinxRecoGrammar::dictationLoad()
{
    m_loaded = true;
}

void SphinxRecoGrammar::dictationSetState(bool active)
{
    if (active == m_active)
        return;
    if (active) {
        if (!m_loaded)
            throw Failure(QStringLiteral("The dictation grammar is not loaded."));
        m_context.startListening(); // throws before anything changed
    } else {
        m_context.stopListening();
    }
    m_active = active;
}

void SphinxRecoGrammar::cmdLoadFromFile(const QString &fileName, bool dynamic)
{
    Q_UNUSED(dynamic) // every rule may change at run time here
    m_commands.reset();
    m_commands = SrgsGrammar::loadFile(fileName);
    m_rulesActive = false;
}

void SphinxRecoGrammar::cmdSetRuleIdState(int ruleId, bool active)
{
    if (!m_commands)
        throw Failure(QStringLiteral("No command grammar is loaded."));
    // SRGS rules are named, not numbered: only "every rule" (0) can be addressed.
    if (ruleId != 0)
        throw Failure(QStringLiteral("The command grammar has no rule with id %1.").arg(ruleId));
    m_rulesActive = active;
}

// --- context ---------------------------------------------------------------------

SphinxRecoContext::SphinxRecoContext(SphinxRecognizer &recognizer, std::unique_ptr<SphinxRecognizer> owned)
    : m_owned(std::move(owned)), m_recognizer(recognizer)
{
}

SphinxRecoContext::~SphinxRecoContext()
{
    dropCaptures();
    if (!m_detached)
        m_recognizer.forget(this);
}

void SphinxRecoContext::detach()
{
    dropCaptures();
    m_detached = true;
}

// No more events once the context is released. The captures' threads must be
// done with the decoder first, so this waits for a grammar build in progress.
void SphinxRecoContext::dropCaptures()
{
    if (m_capture) {
        m_capture->disconnect(this);
        m_capture->stop();
        m_capture.reset();
    }
    for (const auto &capture : m_stopping)
        capture->disconnect(this);
    m_stopping.clear();
    m_typedWhileStopping.clear();
}

RecoGrammar &SphinxRecoContext::createGrammar(int grammarId)
{
    Q_UNUSED(grammarId) // one grammar per context; a new one replaces the old
    if (m_capture && m_capture->running())
        stopListening();
    m_grammar = std::make_unique<SphinxRecoGrammar>(*this);
    return *m_grammar;
}

bool SphinxRecoContext::listening() const
{
    return m_capture && m_capture->running();
}

void SphinxRecoContext::startListening()
{
    if (m_detached)
        throw Failure(QStringLiteral("The recogniser of this context was released."));
    const QAudioDevice device = m_recognizer.inputDevice();
    SphinxEngineShared &shared = m_recognizer.shared();
    const QString inputId = tokenOf(device).id;
    if (shared.inputGivenUp(inputId))
        throw Failure(QStringLiteral("The audio input \"%1\" did not open.").arg(device.description()));
    // An open on a silent server waits until it answers or the capture gives
    // up; after each sentence the program says, that wait would hold the window.
    if (m_recognizer.serverSilent())
        throw Failure(QStringLiteral("The sound server does not answer, so the audio input \"%1\" was not "
                                     "opened.")
                          .arg(device.description()));
    auto decoder = shared.decoder();
    // The decoder hears one stream at a time. A stream stopped during a grammar
    // build ends once the build is done, and a new one started before that
    // would have its utterance ended by the old one's end: it heard nothing.
    // Listening usually starts again after the program has said a sentence,
    // by when the build is long done.
    for (const auto &stopping : m_stopping)
        stopping->waitUntilStopped();
    auto capture = std::make_unique<AudioCapture>(decoder, m_recognizer.mode());
    connect(capture.get(), &AudioCapture::events, this,
            [this, from = QPointer<AudioCapture>(capture.get())](const QList<StreamEvent> &events) {
                deliver(from, events);
            });
    capture->onEmulatedAfterItsEnd(
        this, [this](const RecognitionResult &result) { recognizeOutsideAStream(result); });
    connect(capture.get(), &AudioCapture::lost, this,
            [this, from = capture.get()](const QString &description) {
                // A capture already told to stop was not listening for anyone; its
                // stop says listening ended.
                if (from != m_capture.get())
                    return;
                const QPointer<SphinxRecoContext> alive(this);
                m_lossReported = true;
                if (wants(EventRecognizerStateChange))
                    Q_EMIT recognizerStateChange(m_streamNumber, m_lastPosition, kStateInactive);
                if (alive)
                    Q_EMIT listeningLost(description);
            });
    try {
        capture->start(device);
    } catch (const Failure &) {
        if (capture->abandoned())
            shared.giveUpInput(inputId, m_recognizer.inputGiveUpTime(), capture->stuckOpen());
        // The server answers, but not for this input (a source that cannot
        // start, or a stall that began inside the open). Listening resumes after
        // every sentence, and each try would hold the window for the whole
        // wait again: it is refused at once for a while instead.
        else if (capture->openTimedOut())
            shared.giveUpInput(inputId, std::min(m_recognizer.inputGiveUpTime(), kTimedOutOpenRefusal));
        throw;
    }
    m_capture = std::move(capture);
    m_lossReported = false;
    // Reported for the stream this listening opens.
    postStateChange(m_streamNumber + 1, kStateActive);
}

void SphinxRecoContext::stopListening()
{
    if (!m_capture)
        return;
    std::unique_ptr<AudioCapture> capture = std::move(m_capture);
    if (!capture->running()) {
        // Its input went away, and that loss said listening stopped. The
        // capture object goes once its last queued events were delivered.
        capture.release()->deleteLater();
        if (!m_lossReported)
            postStateChange(std::nullopt, kStateInactive);
        return;
    }
    // Returns at once, even while the capture's thread builds the command
    // grammar: the window must not freeze, nor the program's voice wait, for a
    // table edit. Listening is reported off once the stream has really ended.
    capture->stop();
    AudioCapture *stopping = capture.get();
    connect(stopping, &AudioCapture::stopped, this, [this, stopping] { captureStopped(stopping); });
    m_stopping.push_back(std::move(capture));
}

void SphinxRecoContext::captureStopped(AudioCapture *capture)
{
    const auto it =
        std::find_if(m_stopping.begin(), m_stopping.end(), [&](const auto &c) { return c.get() == capture; });
    if (it == m_stopping.end())
        return;
    // Its last events came before this; the object itself goes once this
    // signal's emission is over.
    it->release()->deleteLater();
    m_stopping.erase(it);
    const QList<RecognitionResult> typed =
        m_stopping.empty() ? std::exchange(m_typedWhileStopping, {}) : QList<RecognitionResult>{};
    // Emitted from here, not queued again: a stream started meanwhile has its
    // own opening change queued already, and this must come before it.
    const QPointer<SphinxRecoContext> alive(this);
    if (wants(EventRecognizerStateChange))
        Q_EMIT recognizerStateChange(m_streamNumber, m_lastPosition, kStateInactive);
    for (const RecognitionResult &result : typed) {
        if (!alive)
            return;
        recognizeOutsideAStream(result);
    }
}

void SphinxRecoContext::postStateChange(std::optional<qint32> openingStream, qint32 state)
{
    // Queued like every other event: a handler must never run inside the call
    // that switched the grammar on or off, which its own caller may be in. A
    // closing change reads the stream when it is delivered: the stream's own
    // last events were queued ahead of it, also when it opened and closed in
    // one go.
    QMetaObject::invokeMethod(
        this,
        [this, openingStream, state] {
            if (wants(EventRecognizerStateChange))
                Q_EMIT recognizerStateChange(openingStream.value_or(m_streamNumber),
                                             openingStream ? 0 : m_lastPosition, state);
        },
        Qt::QueuedConnection);
}

void SphinxRecoContext::deliverEmulated(const RecognitionResult &result)
{
    // Emulating with recognition off switches on, emulates and switches off in
    // one go, and the stream's start comes from the capture thread: through the
    // capture, the result is an event of that stream, after its start.
    if (m_capture && m_capture->running()) {
        m_capture->emulate(result);
        return;
    }
    // After the end of the stream still ending, as it would have been had the
    // stop waited for that end.
    if (!m_stopping.empty()) {
        m_typedWhileStopping << result;
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, result] { recognizeOutsideAStream(result); }, Qt::QueuedConnection);
}

void SphinxRecoContext::recognizeOutsideAStream(const RecognitionResult &result)
{
    if (wants(EventRecognition))
        Q_EMIT recognition(m_streamNumber, m_lastPosition, kRecognitionEmulated, result);
}

void SphinxRecoContext::deliver(const QPointer<AudioCapture> &from, const QList<StreamEvent> &events)
{
    // A handler may release this context (the program closing while a command
    // waits for a launch or for speech); nothing of it may be touched after.
    // A recognition's command may also pause listening and wait, and the
    // stream's end is reported inside that wait: the rest of this batch
    // belongs to a stream that has ended, and is dropped.
    const QPointer<SphinxRecoContext> alive(this);
    for (const StreamEvent &e : events) {
        if (!alive || !from || from->endDelivered())
            return;
        if (e.kind == StreamEvent::Kind::EndStream)
            from->setEndDelivered();
        if (e.kind == StreamEvent::Kind::StartStream)
            ++m_streamNumber;
        m_lastPosition = e.position;
        const qint32 n = m_streamNumber;
        const qint64 p = e.position;
        switch (e.kind) {
        case StreamEvent::Kind::StartStream:
            if (wants(EventStartStream))
                Q_EMIT startStream(n, p);
            break;
        case StreamEvent::Kind::EndStream:
            if (wants(EventEndStream))
                Q_EMIT endStream(n, p, e.value != 0);
            break;
        case StreamEvent::Kind::SoundStart:
            if (wants(EventSoundStart))
                Q_EMIT soundStart(n, p);
            break;
        case StreamEvent::Kind::SoundEnd:
            if (wants(EventSoundEnd))
                Q_EMIT soundEnd(n, p);
            break;
        case StreamEvent::Kind::PhraseStart:
            if (wants(EventPhraseStart))
                Q_EMIT phraseStart(n, p);
            break;
        case StreamEvent::Kind::Hypothesis:
            if (wants(EventHypothesis))
                Q_EMIT hypothesis(n, p, e.result);
            break;
        case StreamEvent::Kind::Recognition:
            // Decoded before listening paused or stopped, and delivered after:
            // carried out now, it would run inside the pause (a launch wait,
            // the program's own answer) or after the user asked for quiet.
            // An emulated one was asked for, listening or not.
            if (e.value == 0 && from.data() != m_capture.get()) {
                if (wants(EventFalseRecognition))
                    Q_EMIT falseRecognition(n, p, e.result);
            } else if (wants(EventRecognition)) {
                Q_EMIT recognition(n, p, e.value != 0 ? kRecognitionEmulated : kRecognitionStandard, e.result);
            }
            break;
        case StreamEvent::Kind::FalseRecognition:
            if (wants(EventFalseRecognition))
                Q_EMIT falseRecognition(n, p, e.result);
            break;
        case StreamEvent::Kind::AudioLevel:
            if (wants(EventAudioLevel))
                Q_EMIT audioLevel(n, p, e.value);
            break;
        }
    }
}

// --- service ----------------------------------------------------------------------

SphinxRecognitionService::SphinxRecognitionService(CommandVocabulary &vocabulary, SphinxModelPaths paths,
                                                   AudioInputs inputs,
                                                   SphinxDecoder::WordPronouncer pronouncer)
    : m_shared(vocabulary, std::move(paths), std::move(pronouncer)), m_inputs(std::move(inputs))
{
}

SphinxRecognitionService::~SphinxRecognitionService() = default;

std::unique_ptr<RecoContext> SphinxRecognitionService::createSharedRecoContext()
{
    m_shared.checkModels();
    m_shared.loadInBackground();
    auto recognizer = std::make_unique<SphinxRecognizer>(m_shared, m_inputs);
    SphinxRecognizer &ref = *recognizer;
    auto context = std::make_unique<SphinxRecoContext>(ref, std::move(recognizer));
    ref.remember(context.get());
    return context;
}

std::unique_ptr<Recognizer> SphinxRecognitionService::createInprocRecognizer()
{
    return std::make_unique<SphinxRecognizer>(m_shared, m_inputs);
}

} // namespace kestrel

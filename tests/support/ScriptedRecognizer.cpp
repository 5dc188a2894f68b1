#include "support/ScriptedRecognizer.h"

#include "common/Failure.h"

#include <QFileInfo>

namespace kestrel {

namespace {
QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

// --- ScriptedRecoGrammar -------------------------------------------------

void ScriptedRecoGrammar::dictationLoad()
{
    m_script.record(QStringLiteral("dictationLoad"));
    m_script.check(QStringLiteral("dictationLoad"));
    m_dictationLoaded = true;
}

void ScriptedRecoGrammar::dictationSetState(bool active)
{
    m_script.record(QStringLiteral("dictationSetState(%1)").arg(boolText(active)));
    m_script.check(QStringLiteral("dictationSetState"));
    const std::optional<SpeechToken> &input = m_recognizer.input();
    if (active && input && !m_script.audioInputs.contains(*input))
        throw Failure(QStringLiteral("The audio input \"%1\" is no longer present.").arg(input->description));
    if (active && input && m_script.unopenableInputs.contains(input->id))
        throw Failure(QStringLiteral("The audio input \"%1\" cannot be opened.").arg(input->description));
    if (active && !input && m_script.audioInputs.isEmpty())
        throw Failure(QStringLiteral("There is no audio input device to listen to."));
    m_dictationActive = active;
}

void ScriptedRecoGrammar::cmdLoadFromFile(const QString &fileName, bool dynamic)
{
    m_script.record(QStringLiteral("cmdLoadFromFile(%1,%2)").arg(fileName, boolText(dynamic)));
    m_script.check(QStringLiteral("cmdLoadFromFile"));
    if (!QFileInfo::exists(fileName))
        throw Failure(QStringLiteral("Grammar file not found: %1").arg(fileName));
}

void ScriptedRecoGrammar::cmdSetRuleIdState(int ruleId, bool active)
{
    m_script.record(QStringLiteral("cmdSetRuleIdState(%1,%2)").arg(ruleId).arg(boolText(active)));
    m_script.check(QStringLiteral("cmdSetRuleIdState"));
    if (ruleId == 0)
        m_rulesActive = active;
}

// --- ScriptedRecoRecognizer ----------------------------------------------

ScriptedRecoRecognizer::ScriptedRecoRecognizer(ScriptedRecognizer &script, bool shared)
    : m_script(script), m_shared(shared)
{
    // A shared recogniser comes configured; an in-process one waits for a choice.
    if (shared && !script.engines.isEmpty())
        m_engine = script.engines.first();
}

SpeechTokenList ScriptedRecoRecognizer::recognizers() const
{
    m_script.check(QStringLiteral("recognizers"));
    return m_script.engines;
}

void ScriptedRecoRecognizer::setRecognizer(const SpeechToken &engine)
{
    m_script.record(QStringLiteral("setRecognizer(%1)").arg(engine.id));
    m_script.check(QStringLiteral("setRecognizer"));
    m_engine = engine;
}

SpeechTokenList ScriptedRecoRecognizer::audioInputs() const
{
    m_script.check(QStringLiteral("audioInputs"));
    return m_script.audioInputs;
}

SpeechToken ScriptedRecoRecognizer::desktopDefaultInput() const
{
    m_script.check(QStringLiteral("audioInputs"));
    return m_script.audioInputs.contains(m_script.desktopDefaultInput) ? m_script.desktopDefaultInput
                                                                        : SpeechToken{};
}

void ScriptedRecoRecognizer::setAudioInput(const SpeechToken &input)
{
    m_script.record(QStringLiteral("setAudioInput(%1)").arg(input.id));
    m_script.check(QStringLiteral("setAudioInput"));
    m_input = input;
}

std::unique_ptr<RecoContext> ScriptedRecoRecognizer::createRecoContext()
{
    m_script.record(QStringLiteral("createRecoContext"));
    m_script.check(QStringLiteral("createRecoContext"));
    auto context = std::make_unique<ScriptedRecoContext>(m_script, *this, nullptr);
    attach(context.get());
    return context;
}

void ScriptedRecoRecognizer::emulateRecognition(const QString &text)
{
    m_script.record(QStringLiteral("emulateRecognition(%1)").arg(text));
    m_script.check(QStringLiteral("emulateRecognition"));
    // As the real engine: typed text needs no microphone, but a grammar to take it.
    const ScriptedRecoGrammar *grammar = m_context ? m_context->grammar() : nullptr;
    if (!grammar || !grammar->dictationLoaded())
        throw Failure(QStringLiteral("No grammar is loaded to receive the emulated recognition."));
    if (!m_script.emulationDelivers || !m_context)
        return;
    ScriptedRecoContext *context = m_context.data();
    RecognitionResult result = ScriptedRecognizer::resultFor(text);
    result.emulated = true;
    // Queued like a real engine's event; dropped if the context goes first.
    QMetaObject::invokeMethod(
        context, [context, result] { context->emitRecognition(result, 1, 0, 2); }, Qt::QueuedConnection);
}

void ScriptedRecoRecognizer::attach(ScriptedRecoContext *context)
{
    m_context = context;
}

// --- ScriptedRecoContext -------------------------------------------------

ScriptedRecoContext::ScriptedRecoContext(ScriptedRecognizer &script, ScriptedRecoRecognizer &recognizer,
                                         std::unique_ptr<ScriptedRecoRecognizer> owned)
    : m_script(script), m_ownedRecognizer(std::move(owned)), m_recognizer(recognizer),
      m_interests(script.defaultEventInterests)
{
    script.contextCreated(this);
}

ScriptedRecoContext::~ScriptedRecoContext()
{
    m_script.record(QStringLiteral("releaseRecoContext"));
}

qint32 ScriptedRecoContext::eventInterests() const
{
    m_script.check(QStringLiteral("eventInterests"));
    return m_interests;
}

void ScriptedRecoContext::setEventInterests(qint32 flags)
{
    m_script.record(QStringLiteral("setEventInterests(%1)").arg(flags));
    m_script.check(QStringLiteral("setEventInterests"));
    m_interests = flags;
}

void ScriptedRecoContext::setRetainedAudio(bool retain)
{
    m_script.record(QStringLiteral("setRetainedAudio(%1)").arg(boolText(retain)));
    m_script.check(QStringLiteral("setRetainedAudio"));
}

RecoGrammar &ScriptedRecoContext::createGrammar(int grammarId)
{
    m_script.record(QStringLiteral("createGrammar(%1)").arg(grammarId));
    m_script.check(QStringLiteral("createGrammar"));
    m_grammar = std::make_unique<ScriptedRecoGrammar>(m_script, m_recognizer);
    m_grammarId = grammarId;
    return *m_grammar;
}

void ScriptedRecoContext::emitUtterance(const RecognitionResult &result, qint32 streamNumber,
                                        qint32 recognitionType)
{
    Q_EMIT startStream(streamNumber, 0);
    Q_EMIT soundStart(streamNumber, 100);
    Q_EMIT phraseStart(streamNumber, 200);
    Q_EMIT hypothesis(streamNumber, 300, result);
    Q_EMIT recognition(streamNumber, 400, recognitionType, result);
    Q_EMIT soundEnd(streamNumber, 500);
    Q_EMIT endStream(streamNumber, 600, true);
}

void ScriptedRecoContext::emitRecognition(const RecognitionResult &result, qint32 streamNumber,
                                          qint64 position, qint32 recognitionType)
{
    Q_EMIT recognition(streamNumber, position, recognitionType, result);
}

// --- ScriptedPhoneConverter ----------------------------------------------

QString ScriptedPhoneConverter::idToPhone(int /*languageId*/, int phoneId) const
{
    m_script.check(QStringLiteral("idToPhone"));
    if (phoneId < 0 || phoneId >= m_script.phones.size())
        throw Failure(QStringLiteral("Unknown phone id %1").arg(phoneId));
    return m_script.phones.at(phoneId);
}

// --- ScriptedRecognizer --------------------------------------------------

ScriptedRecognizer::ScriptedRecognizer()
    : engines{{QStringLiteral("engine-1"), QStringLiteral("PocketSphinx US English")},
              {QStringLiteral("engine-2"), QStringLiteral("PocketSphinx US English (small)")}},
      audioInputs{{QStringLiteral("input-1"), QStringLiteral("Default microphone")},
                  {QStringLiteral("input-2"), QStringLiteral("Line in")}},
      defaultEventInterests(EventEndStream | EventSoundStart | EventSoundEnd | EventPhraseStart |
                            EventRecognition | EventHypothesis | EventFalseRecognition |
                            EventRecognizerStateChange | EventStartStream),
      phones{QStringLiteral("sil"), QStringLiteral("aa"), QStringLiteral("ae"), QStringLiteral("ah"),
             QStringLiteral("ao"),  QStringLiteral("aw"), QStringLiteral("ay"), QStringLiteral("b"),
             QStringLiteral("ch"),  QStringLiteral("d"),  QStringLiteral("dh"), QStringLiteral("eh"),
             QStringLiteral("er"),  QStringLiteral("ey"), QStringLiteral("f"),  QStringLiteral("g"),
             QStringLiteral("hh"),  QStringLiteral("ih"), QStringLiteral("iy"), QStringLiteral("jh"),
             QStringLiteral("k"),   QStringLiteral("l"),  QStringLiteral("m"),  QStringLiteral("n"),
             QStringLiteral("ng"),  QStringLiteral("ow"), QStringLiteral("oy"), QStringLiteral("p"),
             QStringLiteral("r"),   QStringLiteral("s"),  QStringLiteral("sh"), QStringLiteral("t")},
      m_phones(*this)
{
}

ScriptedRecognizer::~ScriptedRecognizer() = default;

std::unique_ptr<RecoContext> ScriptedRecognizer::createSharedRecoContext()
{
    record(QStringLiteral("createSharedRecoContext"));
    check(QStringLiteral("createSharedRecoContext"));
    auto owned = std::make_unique<ScriptedRecoRecognizer>(*this, true);
    ScriptedRecoRecognizer &recognizer = *owned;
    auto context = std::make_unique<ScriptedRecoContext>(*this, recognizer, std::move(owned));
    recognizer.attach(context.get());
    return context;
}

std::unique_ptr<Recognizer> ScriptedRecognizer::createInprocRecognizer()
{
    record(QStringLiteral("createInprocRecognizer"));
    check(QStringLiteral("createInprocRecognizer"));
    return std::make_unique<ScriptedRecoRecognizer>(*this, false);
}

void ScriptedRecognizer::failOn(const QString &operation, int times, const QString &description)
{
    m_failures.insert(operation, times);
    m_failureTexts.insert(operation,
                          description.isEmpty() ? operation + QStringLiteral(" failed") : description);
}

void ScriptedRecognizer::check(const QString &operation) const
{
    const auto it = m_failures.find(operation);
    if (it == m_failures.end() || *it == 0)
        return;
    if (*it > 0)
        --*it;
    throw Failure(m_failureTexts.value(operation));
}

void ScriptedRecognizer::contextCreated(ScriptedRecoContext *context)
{
    m_context = context;
    ++m_contextsCreated;
}

RecognitionResult ScriptedRecognizer::resultFor(const QString &text)
{
    RecognitionResult result;
    result.phrase.text = text;
    result.phrase.textWithReplacements = text;
    result.phrase.rule.name = QStringLiteral("Dictation");
    QList<PhraseElement> elements;
    int phone = 1;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        elements.append(PhraseElement{word, {phone, phone + 1}});
        phone = (phone + 2) % 30 + 1;
    }
    result.phrase.elements = elements;
    return result;
}

QStringList ScriptedRecognizer::callsWithout(const QString &prefix) const
{
    QStringList kept;
    for (const QString &call : m_calls) {
        if (!call.startsWith(prefix))
            kept.append(call);
    }
    return kept;
}

} // namespace kestrel

#include "speech_platform/espeak/EspeakSynthesizer.h"

#include "common/Failure.h"
#include "speech_platform/espeak/PhonemeVisemes.h"
#include "speech_platform/espeak/SampleConverter.h"
#include "speech_platform/espeak/TextPositionMap.h"

#include <espeak-ng/speak_lib.h>

#include <cstring>

namespace kestrel {

struct EspeakSynthesizer::Run
{
    Run(EspeakSynthesizer *runOwner, const SynthesisRequest &runRequest, int sourceRate)
        : owner(runOwner), request(runRequest), converter(sourceRate, runRequest.format),
          positions(runRequest.text, runRequest.isXml)
    {
    }

    EspeakSynthesizer *owner;
    const SynthesisRequest &request;
    SampleConverter converter;
    TextPositionMap positions;
};

namespace {

// eSpeak's buffers: short enough that the first sound is ready at once, long
// enough that a stream is a handful of pieces per second.
constexpr int kBufferMs = 50;
// How much audio the worker may have queued ahead of the player.
constexpr int kQueuedSeconds = 3;
constexpr const char *kDefaultVoice = "gmw/en-US";

// eSpeak has one instance per process and calls back through a plain function;
// these are that instance's bookkeeping, not state of ours that could be shared.
std::atomic<bool> g_inUse{false};
std::once_flag g_initialised;
int g_sampleRate = -1;
EspeakSynthesizer::Run *g_run = nullptr; // touched by the worker thread only

int synthCallback(short *samples, int count, espeak_EVENT *events)
{
    if (!g_run)
        return 1;
    return g_run->owner->deliver(*g_run, samples, count, events) ? 0 : 1;
}

int leadingNumber(const QString &name)
{
    int value = 0;
    for (const QChar c : name) {
        if (!c.isDigit() || value > 100000000)
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

SpeechTokenList listVoices()
{
    SpeechTokenList voices;
    for (const espeak_VOICE **voice = espeak_ListVoices(nullptr); voice && *voice; ++voice) {
        const espeak_VOICE &v = **voice;
        if (!v.identifier || !v.name)
            continue;
        const QString identifier = QString::fromUtf8(v.identifier);
        // MBROLA voices need a separate synthesiser that is not installed.
        if (identifier.startsWith(QLatin1String("mb/")))
            continue;
        // "languages" is a priority byte followed by the language name.
        const QString language =
            v.languages && v.languages[0] ? QString::fromUtf8(v.languages + 1) : QString();
        QString description = QString::fromUtf8(v.name);
        if (!language.isEmpty())
            description += QStringLiteral(" (%1)").arg(language);
        SpeechToken token{identifier, description};
        if (identifier == QLatin1String(kDefaultVoice))
            voices.prepend(token);
        else
            voices.append(token);
    }
    return voices;
}

} // namespace

EspeakSynthesizer::EspeakSynthesizer(std::function<void()> wake) : m_wake(std::move(wake))
{
    if (g_inUse.exchange(true))
        throw Failure(QStringLiteral("The eSpeak NG voice is already in use in this program"));
    std::call_once(g_initialised, [] {
        g_sampleRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kBufferMs, nullptr,
                                         espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
        if (g_sampleRate > 0) {
            espeak_SetSynthCallback(&synthCallback);
            // Every text is spoken as markup, and for an audio element eSpeak
            // would open the file named (a FIFO blocks it for good) and run a
            // shell with that name to convert it. Text from the clipboard or a
            // file must do neither: no sound file is ever available.
            espeak_SetUriCallback([](int, const char *, const char *) { return 1; });
        }
    });
    m_sampleRate = g_sampleRate;
    if (m_sampleRate > 0)
        m_voices = listVoices();
    if (m_sampleRate <= 0 || m_voices.isEmpty()) {
        g_inUse = false;
        throw Failure(QStringLiteral("eSpeak NG could not be started (no voice data found)"));
    }
    // The first voice takes eSpeak some 25 ms to load; better here than in the
    // first thing the program says.
    espeak_SetVoiceByName(m_voices.constFirst().id.toUtf8().constData());
    m_worker = std::thread([this] { work(); });
}

EspeakSynthesizer::~EspeakSynthesizer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workAvailable.notify_all();
    m_roomAvailable.notify_all();
    m_worker.join();
    g_inUse = false;
}

void EspeakSynthesizer::submit(SynthesisRequest request)
{
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(request));
    }
    m_workAvailable.notify_one();
}

void EspeakSynthesizer::cancelThrough(int stream)
{
    {
        std::lock_guard lock(m_mutex);
        if (stream <= m_cancelledThrough)
            return;
        m_cancelledThrough = stream;
        while (!m_requests.empty() && m_requests.front().stream <= stream)
            m_requests.pop_front();
        while (!m_chunks.empty() && m_chunks.front().stream <= stream)
            dropFront();
    }
    m_roomAvailable.notify_all();
}

void EspeakSynthesizer::dropFront()
{
    m_queuedFrames -= m_chunks.front().sourceFrames;
    m_chunks.pop_front();
}

std::optional<SynthesisChunk> EspeakSynthesizer::take(int stream)
{
    std::optional<SynthesisChunk> chunk;
    {
        std::lock_guard lock(m_mutex);
        while (!m_chunks.empty() &&
               (m_chunks.front().stream < stream || isCancelled(m_chunks.front().stream)))
            dropFront();
        if (m_chunks.empty() || m_chunks.front().stream != stream)
            return std::nullopt;
        chunk = std::move(m_chunks.front());
        dropFront();
    }
    m_roomAvailable.notify_all();
    return chunk;
}

bool EspeakSynthesizer::push(SynthesisChunk chunk)
{
    {
        std::unique_lock lock(m_mutex);
        const std::int64_t limit = static_cast<std::int64_t>(kQueuedSeconds) * m_sampleRate;
        m_roomAvailable.wait(
            lock, [&] { return m_stopping || isCancelled(chunk.stream) || m_queuedFrames < limit; });
        if (m_stopping || isCancelled(chunk.stream))
            return false;
        m_queuedFrames += chunk.sourceFrames;
        m_chunks.push_back(std::move(chunk));
    }
    m_wake();
    return true;
}

void EspeakSynthesizer::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workAvailable.wait(lock, [this] { return m_stopping || !m_requests.empty(); });
        if (m_stopping)
            return;
        SynthesisRequest request = std::move(m_requests.front());
        m_requests.pop_front();
        if (isCancelled(request.stream))
            continue;
        lock.unlock();
        synthesize(request);
        lock.lock();
    }
}

void EspeakSynthesizer::synthesize(const SynthesisRequest &request)
{
    // Set for every stream, so that a voice an SSML text switched to does not
    // carry over into the next one; once loaded, a voice sets in well under 1 ms.
    espeak_SetVoiceByName(request.voiceId.toUtf8().constData());
    espeak_SetParameter(espeakRATE, request.wordsPerMinute, 0);
    espeak_SetParameter(espeakVOLUME, request.volume, 0);

    std::optional<Run> run;
    try {
        run.emplace(this, request, m_sampleRate);
    } catch (const Failure &) {
        // Without a converter there is nothing to play; the stream still ends.
    }
    if (run) {
        // eSpeak reads its text up to the first NUL; pasted text can hold some, and
        // the rest of it would go unsaid. A space in its place keeps every
        // character where the text positions expect it.
        QString spoken = run->positions.handedText();
        spoken.replace(QChar(0), QLatin1Char(' '));
        const QByteArray text = spoken.toUtf8();
        unsigned int flags = espeakCHARS_UTF8;
        if (request.isXml)
            flags |= espeakSSML;
        g_run = &*run;
        espeak_Synth(text.constData(), static_cast<size_t>(text.size()) + 1, 0, POS_CHARACTER, 0, flags,
                     nullptr, nullptr);
        g_run = nullptr;
    }

    // A stream whose synthesis failed still ends, with whatever it got so far.
    SynthesisChunk last;
    last.stream = request.stream;
    if (run) {
        try {
            last.audio = run->converter.finish();
        } catch (const Failure &) {
        }
    }
    last.outputFrames = last.audio.size() / request.format.bytesPerFrame();
    last.last = true;
    push(std::move(last));
}

bool EspeakSynthesizer::deliver(Run &run, const short *samples, int count, const void *eventList)
{
    if (m_stopping || isCancelled(run.request.stream))
        return false;
    SynthesisChunk chunk;
    chunk.stream = run.request.stream;
    for (auto *event = static_cast<const espeak_EVENT *>(eventList);
         event && event->type != espeakEVENT_LIST_TERMINATED; ++event) {
        VoiceEventRecord record;
        record.audioUSecs = static_cast<qint64>(event->audio_position) * 1000;
        switch (event->type) {
        case espeakEVENT_WORD: {
            const auto span = run.positions.wordSpan(event->text_position, event->length);
            if (!span)
                continue;
            record.kind = VoiceEventRecord::Kind::Word;
            record.position = span->start;
            record.length = span->length;
            break;
        }
        case espeakEVENT_SENTENCE: {
            const TextSpan span = run.positions.sentenceSpan(event->text_position);
            record.kind = VoiceEventRecord::Kind::Sentence;
            record.position = span.start;
            record.length = span.length;
            break;
        }
        case espeakEVENT_MARK:
            record.kind = VoiceEventRecord::Kind::Bookmark;
            record.name = QString::fromUtf8(event->id.name ? event->id.name : "");
            record.bookmarkId = leadingNumber(record.name);
            break;
        case espeakEVENT_PHONEME: {
            const std::string_view mnemonic(event->id.string,
                                            strnlen(event->id.string, sizeof event->id.string));
            const StandardPhone *phone = standardPhoneForEspeak(mnemonic);
            if (!phone)
                continue;
            // Each phone is a viseme event (what the window shows) and then a
            // phoneme event, at the same moment.
            VoiceEventRecord visemeRecord = record;
            visemeRecord.kind = VoiceEventRecord::Kind::Viseme;
            visemeRecord.viseme = phone->viseme;
            chunk.events.push_back(visemeRecord);
            record.kind = VoiceEventRecord::Kind::Phoneme;
            record.phoneId = phone->phoneId;
            break;
        }
        default:
            continue;
        }
        chunk.events.push_back(std::move(record));
    }
    if (samples && count > 0) {
        // No exception may cross eSpeak's C frames: a failed conversion ends the
        // stream's synthesis instead.
        try {
            chunk.audio = run.converter.convert(reinterpret_cast<const std::int16_t *>(samples),
                                                static_cast<std::size_t>(count));
        } catch (const Failure &) {
            return false;
        }
        chunk.sourceFrames = count;
        chunk.outputFrames = chunk.audio.size() / run.request.format.bytesPerFrame();
    }
    if (chunk.audio.isEmpty() && chunk.events.empty())
        return true;
    return push(std::move(chunk));
}

} // namespace kestrel

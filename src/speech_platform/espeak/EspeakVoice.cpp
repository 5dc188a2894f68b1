#include "speech_platform/espeak/EspeakVoice.h"

#include "common/Failure.h"
#include "speech_platform/espeak/EspeakSynthesizer.h"
#include "speech_platform/espeak/TextPositionMap.h"
#include "speech_platform/espeak/VoiceParameters.h"
#include "speech_platform/soundserver/SoundServerDefaults.h"

#include <algorithm>
#include <utility>

namespace kestrel {
namespace {

// Events are released against the device's clock, polled this often.
constexpr int kPollMs = 10;
// Qt's sound-server backend keeps its device list up to date but, in the Qt
// versions we build with, does not tell of a change; looking costs a copy.
constexpr int kOutputWatchMs = 1000;
// Audio handed to a stream's output ahead of what has been heard. More only
// costs memory; the device keeps its own, smaller buffer full from this.
constexpr qint64 kLookaheadUSecs = 1500000;

SpeechToken tokenOf(const QAudioDevice &device)
{
    return SpeechToken{QString::fromUtf8(device.id()), device.description()};
}

qint64 bytesAt(const AudioFormatInfo &format, qint64 usecs)
{
    return usecs * format.sampleRate / 1000000 * format.bytesPerFrame();
}

} // namespace

QList<QAudioDevice> AudioOutputs::qtOrder()
{
    return SoundServerDefaults::defaultFirst(QMediaDevices::audioOutputs(), {});
}

AudioOutputs AudioOutputs::system(std::shared_ptr<const SoundServerDefaults> server)
{
    if (!server)
        server = std::make_shared<SoundServerDefaults>();
    AudioOutputs outputs;
    outputs.devices = [server] {
        return SoundServerDefaults::defaultFirst(QMediaDevices::audioOutputs(), server->defaultSink());
    };
    outputs.open = [server](const QAudioDevice &device,
                            const AudioFormatInfo &format) -> std::unique_ptr<StreamOutput> {
        // Qt opens a stream on this thread and waits, without a limit, for the
        // server to make it ready: one that has stopped answering would freeze
        // the program, for good once the stream fails. The stream is heard
        // against the clock instead.
        if (!device.isNull() && server->silent(SoundServerDefaults::kAnswerTime))
            return std::make_unique<ClockOutput>(format);
        return openStreamOutput(device, format);
    };
    return outputs;
}

struct EspeakVoice::Stream
{
    int number = 0;
    SpeechToken voice;
    AudioFormatInfo format;
    QAudioDevice device;
    bool purged = false;
    bool started = false;
    bool voiceChangePending = false;
    bool synthesisDone = false;
    bool opening = false; ///< its output is being opened (see openOutput)
    int outputListSeen = 0; ///< the output list's change count when last looked at
    qint64 purgedAt = 0;  ///< bytes heard when the stream was purged
    std::unique_ptr<StreamOutput> output;
    std::deque<VoiceEventRecord> events;

    qint64 heardBytes() const
    {
        return output ? std::min(bytesAt(format, output->processedUSecs()), output->writtenBytes()) : 0;
    }
};

EspeakVoice::EspeakVoice(AudioOutputs outputs, QObject *parent)
    : VoiceEngine(parent), m_outputs(std::move(outputs)),
      m_synthesizer(std::make_unique<EspeakSynthesizer>([this] { schedulePump(); }))
{
    m_voice = m_synthesizer->voices().constFirst();
    m_lastStartedVoice = m_voice;
    m_listedOutputs = audioOutputs();
    m_outputWatch.setInterval(kOutputWatchMs);
    connect(&m_outputWatch, &QTimer::timeout, this, [this] {
        SpeechTokenList now = audioOutputs();
        if (now == m_listedOutputs)
            return;
        m_listedOutputs = std::move(now);
        ++m_outputListChanges;
        Q_EMIT audioOutputsChanged();
    });
    m_outputWatch.start();
    m_timer.setInterval(kPollMs);
    // Single-shot, and armed again as each pump begins: Qt never fires a timer
    // while its own timeout is still being handled, and a handler of an event
    // the pump emits may wait in a nested loop (a message box). A repeating
    // timer would then stop pumping, and a sentence started inside that loop
    // would never end. A single-shot timer started anew is another timer.
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &EspeakVoice::pump);
}

EspeakVoice::~EspeakVoice()
{
    m_closing = true;
    m_timer.stop();
    m_outputWatch.stop();
    // The worker may still call back into this object; it is gone after this.
    m_synthesizer.reset();
    // Sinks run the event loop while they are destroyed; m_closing keeps a
    // queued pump from touching the half-destroyed voice.
    for (const auto &stream : m_streams)
        retire(std::move(stream->output));
    releaseRetired();
}

int EspeakVoice::speak(const QString &text, int flags)
{
    if (flags & ~(Async | PurgeBeforeSpeak | IsXml))
        throw Failure(QStringLiteral("Unsupported speak flags: %1").arg(flags));
    const int number = m_nextStream++;
    if (flags & PurgeBeforeSpeak)
        purgeAll(number - 1);

    auto stream = std::make_unique<Stream>();
    stream->number = number;
    stream->voice = m_voice;
    stream->format = *AudioFormats::byCode(m_formatCode);
    stream->device = currentDevice();
    m_streams.push_back(std::move(stream));

    SynthesisRequest request;
    request.stream = number;
    request.text = text;
    request.isXml = (flags & IsXml) != 0 && holdsMarkup(text);
    request.voiceId = m_voice.id;
    request.wordsPerMinute = VoiceParameters::wordsPerMinute(m_rate);
    request.volume = VoiceParameters::espeakVolume(m_volume);
    request.format = *AudioFormats::byCode(m_formatCode);
    m_synthesizer->submit(std::move(request));

    if (!m_timer.isActive())
        m_timer.start();
    schedulePump();
    return number;
}

void EspeakVoice::purgeAll(int throughStream)
{
    // Settle every stream first, then stop the sound: a sink may run the event
    // loop while it stops, and a pump from there must find the streams settled.
    std::vector<std::unique_ptr<StreamOutput>> stopping;
    for (const auto &stream : m_streams) {
        if (stream->purged)
            continue;
        stream->purged = true;
        stream->events.clear();
        stream->purgedAt = stream->heardBytes();
        if (stream->output)
            stopping.push_back(std::move(stream->output));
    }
    m_synthesizer->cancelThrough(throughStream);
    for (auto &output : stopping) {
        output->stop();
        retire(std::move(output));
    }
}

void EspeakVoice::retire(std::unique_ptr<StreamOutput> output)
{
    if (output)
        m_retired.push_back(std::move(output));
}

void EspeakVoice::releaseRetired()
{
    while (!m_retired.empty()) {
        std::unique_ptr<StreamOutput> output = std::move(m_retired.back());
        m_retired.pop_back();
        output.reset();
    }
}

SpeechTokenList EspeakVoice::voices() const
{
    return m_synthesizer->voices();
}

void EspeakVoice::setVoice(const SpeechToken &voice)
{
    const SpeechTokenList &all = m_synthesizer->voices();
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const SpeechToken &t) { return t.id == voice.id; });
    if (found == all.end())
        throw Failure(QStringLiteral("Voice not found: %1").arg(voice.id));
    m_voice = *found;
}

SpeechTokenList EspeakVoice::audioOutputs() const
{
    SpeechTokenList tokens;
    for (const QAudioDevice &device : m_outputs.devices())
        tokens.append(tokenOf(device));
    return tokens;
}

SpeechToken EspeakVoice::audioOutput() const
{
    const QAudioDevice device = currentDevice();
    return device.isNull() ? SpeechToken{} : tokenOf(device);
}

QAudioDevice EspeakVoice::currentDevice() const
{
    // The chosen device is kept while it is away (an unplugged headset, a sound
    // server that was not up yet when the voice was made), so that it is used
    // again when it is back; meanwhile the default one speaks.
    const QList<QAudioDevice> devices = m_outputs.devices();
    if (!m_device.isNull() && devices.contains(m_device))
        return m_device;
    return devices.isEmpty() ? QAudioDevice() : devices.constFirst();
}

void EspeakVoice::setAudioOutput(const SpeechToken &output)
{
    if (output.id.isEmpty()) {
        m_device = QAudioDevice();
        return;
    }
    for (const QAudioDevice &device : m_outputs.devices()) {
        if (QString::fromUtf8(device.id()) == output.id) {
            m_device = device;
            return;
        }
    }
    throw Failure(QStringLiteral("Audio output not found: %1").arg(output.description));
}

void EspeakVoice::setOutputFormat(int formatCode)
{
    if (!AudioFormats::byCode(formatCode))
        throw Failure(QStringLiteral("Unsupported audio format: %1").arg(formatCode));
    m_formatCode = formatCode;
}

void EspeakVoice::setRate(int rate)
{
    if (rate < VoiceParameters::MinRate || rate > VoiceParameters::MaxRate)
        throw Failure(QStringLiteral("Rate out of range: %1").arg(rate));
    m_rate = rate;
}

void EspeakVoice::setVolume(int volume)
{
    if (volume < VoiceParameters::MinVolume || volume > VoiceParameters::MaxVolume)
        throw Failure(QStringLiteral("Volume out of range: %1").arg(volume));
    m_volume = volume;
}

void EspeakVoice::schedulePump()
{
    // Called from the worker too; one queued pump at a time is enough.
    if (!m_pumpPosted.exchange(true))
        QMetaObject::invokeMethod(this, &EspeakVoice::pump, Qt::QueuedConnection);
}

void EspeakVoice::pump()
{
    m_pumpPosted = false;
    if (m_closing)
        return;
    if (!m_streams.empty())
        m_timer.start();
    releaseRetired();
    // Each step emits at most one signal, after the state it reports has been
    // settled, and keeps no reference across it: a handler may speak, purge or
    // wait in a nested event loop that pumps again.
    while (step()) {
    }
    // A finished stream's sink goes now, not at the next speak: an idle sink
    // left open holds a playback stream on the sound server between utterances.
    releaseRetired();
    if (m_streams.empty())
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

void EspeakVoice::collect(Stream &stream)
{
    while (!stream.synthesisDone && (!stream.output || stream.output->bufferedUSecs() < kLookaheadUSecs)) {
        std::optional<SynthesisChunk> chunk = m_synthesizer->take(stream.number);
        if (!chunk)
            break;
        for (VoiceEventRecord &event : chunk->events)
            stream.events.push_back(std::move(event));
        if (!chunk->audio.isEmpty()) {
            if (!stream.output && !openOutput(stream))
                return;
            stream.output->write(chunk->audio);
        }
        if (chunk->last) {
            stream.synthesisDone = true;
            if (stream.output)
                stream.output->endOfData();
        }
    }
}

bool EspeakVoice::openOutput(Stream &stream)
{
    // Opening a sink can run the event loop (Qt's PulseAudio backend does when
    // the server has gone away); a pump from there must leave this stream alone.
    stream.opening = true;
    std::unique_ptr<StreamOutput> output = m_outputs.open(stream.device, stream.format);
    stream.opening = false;
    if (!output)
        output = std::make_unique<ClockOutput>(stream.format);
    if (stream.purged) {
        // Purged meanwhile: nothing has been played, so nothing to stop.
        retire(std::move(output));
        return false;
    }
    stream.output = std::move(output);
    return true;
}

void EspeakVoice::keepOutputAlive(Stream &stream)
{
    if (!stream.output)
        return;
    stream.output->service();
    const bool broken = stream.output->failed();
    // A stream timed by a clock looks for a device again whenever the list of
    // outputs changes: a device that went away may have left the list only
    // after its sink broke, and a long reading would stay silent to its end.
    const bool lookAgain = !stream.output->audible() && stream.outputListSeen != m_outputListChanges;
    if (!broken && !lookAgain)
        return;
    stream.outputListSeen = m_outputListChanges;
    // A device that went away (a headset unplugged, a sink unloaded): the rest
    // is read on the output that speaks now. Timed by a clock in silence, a long
    // reading would hold listening off for all its length. A device still
    // listed is not opened again: a stalled sound server can hang that open.
    const QAudioDevice now = currentDevice();
    std::unique_ptr<StreamOutput> rest;
    if (!now.isNull() && now != stream.device) {
        stream.device = now;
        stream.opening = true;
        rest = m_outputs.open(now, stream.format);
        stream.opening = false;
        if (stream.purged) {
            // Purged meanwhile (the open ran the event loop): the purge took
            // the old output, and nothing is left to play.
            retire(std::move(rest));
            return;
        }
        if (rest && !rest->audible())
            retire(std::move(rest));
    }
    if (rest) {
        // What the old device was never handed is played on the new one.
        const QByteArray unsent = stream.output->takeUnsent();
        rest = std::make_unique<ContinuedOutput>(std::move(rest), stream.output->writtenBytes());
        if (!unsent.isEmpty())
            rest->write(unsent);
    } else if (broken) {
        // Nowhere to speak: the rest of the stream is timed by a clock from
        // where the device stopped.
        rest = std::make_unique<ClockOutput>(stream.format, stream.output->processedUSecs(),
                                             stream.output->writtenBytes());
    } else {
        return; // the clock goes on until a device comes
    }
    if (stream.synthesisDone)
        rest->endOfData();
    retire(std::exchange(stream.output, std::move(rest)));
}

bool EspeakVoice::finishPurged(Stream &stream)
{
    const int number = stream.number;
    if (!stream.started) {
        stream.started = true;
        Q_EMIT startStream(number, 0);
        return true;
    }
    const qint64 position = stream.purgedAt;
    m_streams.pop_front();
    Q_EMIT endStream(number, position);
    return true;
}

bool EspeakVoice::step()
{
    if (m_streams.empty())
        return false;
    Stream &stream = *m_streams.front();
    if (stream.opening)
        return false;
    if (stream.purged)
        return finishPurged(stream);

    collect(stream);
    if (stream.purged)
        return true;
    keepOutputAlive(stream);
    if (stream.purged)
        return true;
    const int number = stream.number;

    if (!stream.started) {
        if (!stream.output && !stream.synthesisDone)
            return false;
        stream.started = true;
        stream.voiceChangePending = stream.voice != m_lastStartedVoice;
        m_lastStartedVoice = stream.voice;
        Q_EMIT startStream(number, 0);
        return true;
    }
    if (stream.voiceChangePending) {
        stream.voiceChangePending = false;
        Q_EMIT voiceChange(number, 0, stream.voice);
        return true;
    }

    const bool heardAll = stream.synthesisDone && (!stream.output || stream.output->finished());
    const qint64 heard = stream.output ? stream.output->processedUSecs() : 0;
    if (!stream.events.empty() && (heardAll || stream.events.front().audioUSecs <= heard)) {
        const VoiceEventRecord event = std::move(stream.events.front());
        stream.events.pop_front();
        emitEvent(number, bytesAt(stream.format, event.audioUSecs), event);
        return true;
    }
    if (heardAll) {
        const qint64 position = stream.output ? stream.output->writtenBytes() : 0;
        retire(std::move(stream.output));
        m_streams.pop_front();
        Q_EMIT endStream(number, position);
        return true;
    }
    return false;
}

void EspeakVoice::emitEvent(int streamNumber, qint64 bytePosition, const VoiceEventRecord &event)
{
    switch (event.kind) {
    case VoiceEventRecord::Kind::Word:
        Q_EMIT word(streamNumber, bytePosition, event.position, event.length);
        break;
    case VoiceEventRecord::Kind::Sentence:
        Q_EMIT sentence(streamNumber, bytePosition, event.position, event.length);
        break;
    case VoiceEventRecord::Kind::Bookmark:
        Q_EMIT bookmark(streamNumber, bytePosition, event.name, event.bookmarkId);
        break;
    case VoiceEventRecord::Kind::Viseme:
        Q_EMIT viseme(streamNumber, bytePosition, event.viseme);
        break;
    case VoiceEventRecord::Kind::Phoneme:
        Q_EMIT phoneme(streamNumber, bytePosition, event.phoneId);
        break;
    }
}

} // namespace kestrel

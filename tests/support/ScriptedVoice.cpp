#include "support/ScriptedVoice.h"

#include "common/Failure.h"

#include <QTimer>

#include <utility>

namespace kestrel {

namespace {

// Runs of non-blank characters: where a voice would report its words.
QList<std::pair<int, int>> wordSpans(const QString &text)
{
    QList<std::pair<int, int>> spans;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool blank = i == text.size() || text.at(i).isSpace();
        if (!blank && start < 0)
            start = i;
        if (blank && start >= 0) {
            spans.append({static_cast<int>(start), static_cast<int>(i - start)});
            start = -1;
        }
    }
    return spans;
}

} // namespace

ScriptedVoice::ScriptedVoice(QObject *parent) : VoiceEngine(parent) {}

ScriptedVoice::~ScriptedVoice() = default;

int ScriptedVoice::speak(const QString &text, int flags)
{
    m_calls << QStringLiteral("speak");
    if (throwOnSpeak)
        throw Failure(QStringLiteral("The voice refused to speak"));
    speakCalls.append({text, flags});
    ++m_lastStream;
    if (autoPlay) {
        if (flags & PurgeBeforeSpeak) {
            m_pending.removeIf([](const Pending &p) { return p.kind == Pending::Word; });
        }
        queueStream(m_lastStream, text);
    }
    if (duringSpeak)
        duringSpeak();
    return m_lastStream;
}

void ScriptedVoice::setVoice(const SpeechToken &voice)
{
    m_calls << QStringLiteral("setVoice:") + voice.id;
    m_voice = voice;
}

void ScriptedVoice::setAudioOutput(const SpeechToken &output)
{
    m_calls << QStringLiteral("setAudioOutput:") + output.id;
    if (throwOnSetAudioOutput)
        throw Failure(QStringLiteral("The audio output could not be opened"));
    m_output = output;
}

void ScriptedVoice::setOutputFormat(int formatCode)
{
    m_calls << QStringLiteral("setOutputFormat:%1").arg(formatCode);
    if (throwOnSetOutputFormat || formatCode < 4 || formatCode > 39)
        throw Failure(QStringLiteral("The audio format is not supported"));
    m_format = formatCode;
}

void ScriptedVoice::setAllowAudioOutputFormatChangesOnNextSet(bool allow)
{
    m_calls << QStringLiteral("allowFormatChanges:%1").arg(allow ? 1 : 0);
    m_allowFormatChanges = allow;
}

void ScriptedVoice::setRate(int rate)
{
    m_calls << QStringLiteral("setRate:%1").arg(rate);
    m_rate = rate;
}

void ScriptedVoice::setVolume(int volume)
{
    m_calls << QStringLiteral("setVolume:%1").arg(volume);
    m_volume = volume;
}

void ScriptedVoice::emitStartStream(int stream)
{
    Q_EMIT startStream(streamOrLatest(stream), 0);
}

void ScriptedVoice::emitEndStream(int stream)
{
    Q_EMIT endStream(streamOrLatest(stream), 0);
}

void ScriptedVoice::emitWord(int position, int length, int stream)
{
    Q_EMIT word(streamOrLatest(stream), 0, position, length);
}

void ScriptedVoice::emitViseme(int visemeId, int stream)
{
    Q_EMIT viseme(streamOrLatest(stream), 0, visemeId);
}

void ScriptedVoice::emitVoiceChange(const SpeechToken &token, int stream)
{
    Q_EMIT voiceChange(streamOrLatest(stream), 0, token);
}

void ScriptedVoice::emitWholeStream(const QString &text, int stream)
{
    const int number = streamOrLatest(stream);
    emitStartStream(number);
    for (const auto &[position, length] : wordSpans(text))
        emitWord(position, length, number);
    emitEndStream(number);
}

void ScriptedVoice::queueStream(int stream, const QString &text)
{
    m_pending.append({Pending::Start, stream});
    for (const auto &[position, length] : wordSpans(text))
        m_pending.append({Pending::Word, stream, position, length});
    m_pending.append({Pending::End, stream});
    if (!m_deliveryScheduled) {
        m_deliveryScheduled = true;
        QTimer::singleShot(0, this, &ScriptedVoice::deliverNext);
    }
}

void ScriptedVoice::deliverNext()
{
    m_deliveryScheduled = false;
    if (m_pending.isEmpty())
        return;
    const Pending next = m_pending.takeFirst();
    // Schedule the following event first: a handler may speak (and queue) again.
    if (!m_pending.isEmpty()) {
        m_deliveryScheduled = true;
        QTimer::singleShot(0, this, &ScriptedVoice::deliverNext);
    }
    switch (next.kind) {
    case Pending::Start:
        Q_EMIT startStream(next.stream, 0);
        break;
    case Pending::Word:
        Q_EMIT word(next.stream, 0, next.position, next.length);
        break;
    case Pending::End:
        Q_EMIT endStream(next.stream, 0);
        break;
    }
}

} // namespace kestrel

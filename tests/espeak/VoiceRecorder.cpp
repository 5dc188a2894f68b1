#include "VoiceRecorder.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QTest>

namespace kestrel {

namespace {

constexpr int kGuardMs = 120000;

VoiceEvent event(const char *kind, int stream, qint64 position, int a = 0, int b = 0,
                 const QString &name = {})
{
    return VoiceEvent{QString::fromLatin1(kind), stream, position, a, b, name};
}

} // namespace

bool haveSpeaker()
{
    return qEnvironmentVariableIsSet("PULSE_SERVER") && !QMediaDevices::audioOutputs().isEmpty();
}

VoiceRecorder::VoiceRecorder(VoiceEngine &voice)
{
    QObject::connect(&voice, &VoiceEngine::startStream,
                     [this](int s, qint64 p) { add(event("start", s, p)); });
    QObject::connect(&voice, &VoiceEngine::endStream, [this](int s, qint64 p) { add(event("end", s, p)); });
    QObject::connect(&voice, &VoiceEngine::voiceChange, [this](int s, qint64 p, const SpeechToken &token) {
        add(event("voice", s, p, 0, 0, token.id));
    });
    QObject::connect(&voice, &VoiceEngine::word,
                     [this](int s, qint64 p, int pos, int len) { add(event("word", s, p, pos, len)); });
    QObject::connect(&voice, &VoiceEngine::sentence,
                     [this](int s, qint64 p, int pos, int len) { add(event("sentence", s, p, pos, len)); });
    QObject::connect(&voice, &VoiceEngine::viseme,
                     [this](int s, qint64 p, int id) { add(event("viseme", s, p, id)); });
    QObject::connect(&voice, &VoiceEngine::phoneme,
                     [this](int s, qint64 p, int id) { add(event("phoneme", s, p, id)); });
    QObject::connect(&voice, &VoiceEngine::bookmark, [this](int s, qint64 p, const QString &name, int id) {
        add(event("bookmark", s, p, id, 0, name));
    });
}

void VoiceRecorder::add(VoiceEvent recorded)
{
    m_events.append(recorded);
    if (onEvent)
        onEvent(m_events.constLast());
}

QList<VoiceEvent> VoiceRecorder::eventsOf(int stream) const
{
    QList<VoiceEvent> result;
    for (const VoiceEvent &e : m_events) {
        if (e.stream == stream)
            result.append(e);
    }
    return result;
}

QStringList VoiceRecorder::kindsOf(int stream) const
{
    QStringList kinds;
    for (const VoiceEvent &e : eventsOf(stream))
        kinds.append(e.kind);
    return kinds;
}

QStringList VoiceRecorder::wordsOf(int stream, const QString &text) const
{
    QStringList words;
    for (const VoiceEvent &e : eventsOf(stream)) {
        if (e.kind == QLatin1String("word"))
            words.append(text.mid(e.a, e.b));
    }
    return words;
}

QList<int> VoiceRecorder::visemesOf(int stream) const
{
    QList<int> visemes;
    for (const VoiceEvent &e : eventsOf(stream)) {
        if (e.kind == QLatin1String("viseme"))
            visemes.append(e.a);
    }
    return visemes;
}

int VoiceRecorder::count(const QString &kind, int stream) const
{
    int n = 0;
    for (const VoiceEvent &e : m_events)
        n += e.stream == stream && e.kind == kind;
    return n;
}

bool VoiceRecorder::waitForEnd(int stream)
{
    return waitFor([&] { return ended(stream); });
}

bool VoiceRecorder::waitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, kGuardMs);
}

} // namespace kestrel

#pragma once

#include "speech_platform/VoiceEngine.h"

#include <QList>
#include <QMediaDevices>
#include <QStringList>
#include <QTest>

#include <functional>

namespace kestrel {

/// A call that replaces whatever the voice is saying.
inline constexpr int kSpeakFlags = VoiceEngine::Async | VoiceEngine::PurgeBeforeSpeak | VoiceEngine::IsXml;

/// Whether the PulseAudio null sink of the test session is there to play on.
inline bool haveSpeaker()
{
    return qEnvironmentVariableIsSet("PULSE_SERVER") && !QMediaDevices::audioOutputs().isEmpty();
}

/// One event of a voice, as a test sees it.
struct VoiceEvent
{
    QString kind; ///< "start", "end", "word", "sentence", "viseme", "phoneme", "bookmark", "voice"
    int stream = 0;
    qint64 position = 0; ///< stream position in bytes
    int a = 0;           ///< word/sentence: character position; viseme/phoneme: id; bookmark: id
    int b = 0;           ///< word/sentence: length
    QString name;        ///< bookmark name, voice id
};

/// Records every signal of a voice in the order they came.
class VoiceRecorder
{
public:
    explicit VoiceRecorder(VoiceEngine &voice)
    {
        using V = VoiceEngine;
        QObject::connect(&voice, &V::startStream, [this](int s, qint64 p) { add("start", s, p); });
        QObject::connect(&voice, &V::endStream, [this](int s, qint64 p) { add("end", s, p); });
        QObject::connect(&voice, &V::voiceChange,
                         [this](int s, qint64 p, const SpeechToken &t) { add("voice", s, p, 0, 0, t.id); });
        QObject::connect(&voice, &V::word,
                         [this](int s, qint64 p, int at, int n) { add("word", s, p, at, n); });
        QObject::connect(&voice, &V::sentence,
                         [this](int s, qint64 p, int at, int n) { add("sentence", s, p, at, n); });
        QObject::connect(&voice, &V::viseme, [this](int s, qint64 p, int id) { add("viseme", s, p, id); });
        QObject::connect(&voice, &V::phoneme, [this](int s, qint64 p, int id) { add("phoneme", s, p, id); });
        QObject::connect(&voice, &V::bookmark, [this](int s, qint64 p, const QString &name, int id) {
            add("bookmark", s, p, id, 0, name);
        });
    }

    const QList<VoiceEvent> &events() const { return m_events; }
    /// The events of `stream`; only those of `kind` unless it is empty.
    QList<VoiceEvent> eventsOf(int stream, const QString &kind = {}) const
    {
        QList<VoiceEvent> result;
        for (const VoiceEvent &e : m_events) {
            if (e.stream == stream && (kind.isEmpty() || e.kind == kind))
                result.append(e);
        }
        return result;
    }
    QStringList kindsOf(int stream) const
    {
        QStringList kinds;
        for (const VoiceEvent &e : eventsOf(stream))
            kinds.append(e.kind);
        return kinds;
    }
    /// The text each word event of `stream` selects in `text`.
    QStringList wordsOf(int stream, const QString &text) const
    {
        QStringList words;
        for (const VoiceEvent &e : eventsOf(stream, QStringLiteral("word")))
            words.append(text.mid(e.a, e.b));
        return words;
    }
    QList<int> visemesOf(int stream) const
    {
        QList<int> visemes;
        for (const VoiceEvent &e : eventsOf(stream, QStringLiteral("viseme")))
            visemes.append(e.a);
        return visemes;
    }
    int count(const QString &kind, int stream) const { return int(eventsOf(stream, kind).size()); }
    bool ended(int stream) const { return count(QStringLiteral("end"), stream) > 0; }

    /// Runs the event loop until `stream` has ended (false after a generous
    /// guard time, which only keeps a broken build from hanging).
    bool waitForEnd(int stream)
    {
        return waitFor([&] { return ended(stream); });
    }
    bool waitFor(const std::function<bool()> &condition) { return QTest::qWaitFor(condition, 120000); }

    /// Called after each recorded event, inside the voice's signal.
    std::function<void(const VoiceEvent &)> onEvent;

private:
    void add(const char *kind, int stream, qint64 position, int a = 0, int b = 0, const QString &name = {})
    {
        m_events.append(VoiceEvent{QString::fromLatin1(kind), stream, position, a, b, name});
        if (onEvent)
            onEvent(m_events.constLast());
    }

    QList<VoiceEvent> m_events;
};

} // namespace kestrel

#pragma once

#include "speech_platform/VoiceEngine.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrel {

/// A call that replaces whatever the voice is saying.
inline constexpr int kSpeakFlags = VoiceEngine::Async | VoiceEngine::PurgeBeforeSpeak | VoiceEngine::IsXml;

/// Whether the PulseAudio null sink of the test session is there to play on.
bool haveSpeaker();

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
    explicit VoiceRecorder(VoiceEngine &voice);

    const QList<VoiceEvent> &events() const { return m_events; }
    QList<VoiceEvent> eventsOf(int stream) const;
    QStringList kindsOf(int stream) const;
    /// The text each word event of `stream` selects in `text`.
    QStringList wordsOf(int stream, const QString &text) const;
    QList<int> visemesOf(int stream) const;
    int count(const QString &kind, int stream) const;
    bool ended(int stream) const { return count(QStringLiteral("end"), stream) > 0; }

    /// Runs the event loop until `stream` has ended (false after a generous
    /// guard time, which only keeps a broken build from hanging).
    bool waitForEnd(int stream);
    bool waitFor(const std::function<bool()> &condition);

    /// Called after each recorded event, inside the voice's signal.
    std::function<void(const VoiceEvent &)> onEvent;

private:
    void add(VoiceEvent recorded);

    QList<VoiceEvent> m_events;
};

} // namespace kestrel

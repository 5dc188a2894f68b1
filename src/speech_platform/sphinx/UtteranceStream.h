#pragma once

#include "speech_platform/RecognitionTypes.h"
#include "speech_platform/sphinx/CommandRejection.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kestrel {

class SphinxDecoder;

/// One event of a recognition stream, before it is stamped with a stream number
/// and filtered by a context's interests.
struct StreamEvent
{
    enum class Kind {
        StartStream,
        EndStream,
        SoundStart,
        SoundEnd,
        PhraseStart,
        Hypothesis,
        Recognition,
        FalseRecognition,
        AudioLevel,
    };
    Kind kind = Kind::StartStream;
    qint64 position = 0; ///< bytes of 16 kHz 16-bit mono audio since the stream started
    /// AudioLevel: 0 to 100; EndStream: 1 when the stream was released;
    /// Recognition: 1 when emulated.
    int value = 0;
    RecognitionResult result;
};

/// How one utterance was judged; kept for evaluation and tests.
struct UtteranceVerdict
{
    bool commandAccepted = false;
    QStringList commandWords;   ///< the command, or the grammar's best phrase when rejected
    QStringList heardWords;     ///< what the command model heard
    QStringList dictationWords; ///< the dictation decode, made only when rejected
    RejectionFeatures features;
    double confidence = 0.0; ///< what the rejection made of the features
};

/// Turns a stream of 16 kHz mono samples into recognition events: voice activity
/// cuts utterances, each utterance is decoded and judged. With commands on, the
/// live search is the command model; when the utterance ends, the command grammar
/// decodes it too (a few milliseconds) and the two are weighed. When no command
/// is accepted, the dictation decode of the same audio is the result.
/// Runs on whichever single thread feeds it.
class UtteranceStream
{
public:
    enum class Mode { CommandsAndDictation, DictationOnly };
    static constexpr int kSampleRate = 16000;
    /// Speech that goes on longer than this without a pause (a radio in the room)
    /// is ended here and judged as one utterance; the rest begins the next one.
    static constexpr int kMaxUtteranceSeconds = 20;

    UtteranceStream(SphinxDecoder &decoder, Mode mode,
                    CommandRejection rejection = CommandRejection::calibrated());

    QList<StreamEvent> start();
    QList<StreamEvent> feed(std::span<const int16_t> samples);
    /// Judges an utterance still open, then ends the stream.
    QList<StreamEvent> finish(bool released);
    /// An emulated recognition as an event of this stream, where it now is; for
    /// a running stream only.
    QList<StreamEvent> emulated(const RecognitionResult &result) const;
    bool running() const { return m_running; }
    /// Called with every judged utterance, for evaluation.
    void setVerdictObserver(std::function<void(const UtteranceVerdict &)> observer)
    {
        m_observer = std::move(observer);
    }

    /// Judges an utterance the command model has already heard.
    UtteranceVerdict judgeHeard(const QStringList &heard, std::span<const int16_t> utterance,
                                RecognitionResult *result = nullptr);

    /// Builds a result from words: elements with dictionary pronunciations,
    /// replacements applied.
    static RecognitionResult makeResult(SphinxDecoder &decoder, const QStringList &words,
                                        const QString &ruleName, const QList<QStringList> &alternates);

private:
    /// The search this stream asks the decoder for; see SphinxDecoder::startLive.
    const char *searchWanted() const;
    void endUtterance(QList<StreamEvent> &events);
    void endShortSettlingSegment(QList<StreamEvent> &events);
    qint64 bytePosition() const { return m_samplesSeen * 2; }

    SphinxDecoder &m_decoder;
    Mode m_mode;
    CommandRejection m_rejection;
    std::function<void(const UtteranceVerdict &)> m_observer;
    bool m_running = false;
    bool m_inSpeech = false;
    bool m_announced = false; ///< SoundStart was reported for the current segment
    qint64 m_samplesSeen = 0;
    qint64 m_nextLevelAt = 0;
    qint64 m_nextPartialAt = 0;
    QStringList m_lastPartial;
    std::vector<int16_t> m_preRoll;   ///< the most recent audio before speech
    std::vector<int16_t> m_utterance; ///< pre-roll plus the speech so far
};

} // namespace kestrel

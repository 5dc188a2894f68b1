#include "speech_platform/sphinx/UtteranceStream.h"

#include "speech_platform/SpokenNumbers.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/SphinxDecoder.h"

#include <QtMath>

#include <cmath>

namespace kestrel {
namespace {

constexpr qint64 kPreRollSamples = UtteranceStream::kSampleRate / 2;
constexpr qint64 kLevelInterval = UtteranceStream::kSampleRate / 10;
constexpr qint64 kPartialInterval = UtteranceStream::kSampleRate / 4;
/// The voice activity detector reports a short burst of speech right after a
/// stream starts, even on silence, while it learns the noise floor.
constexpr qint64 kSettleSamples = UtteranceStream::kSampleRate * 3 / 10;
/// A segment that began while settling and is longer than this is speech.
constexpr qint64 kBurstSamples = UtteranceStream::kSampleRate * 3 / 2;
constexpr int kAlternates = 5;
constexpr qint64 kMaxUtteranceSamples =
    qint64(UtteranceStream::kSampleRate) * UtteranceStream::kMaxUtteranceSeconds;

int audioLevel(std::span<const int16_t> samples)
{
    if (samples.empty())
        return 0;
    double sum = 0.0;
    for (const int16_t s : samples)
        sum += double(s) * double(s);
    const double rms = std::sqrt(sum / double(samples.size())) / 32768.0;
    // -60 dBFS and below is 0, full scale is 100.
    const double db = rms > 0.0 ? 20.0 * std::log10(rms) : -100.0;
    return int(std::lround(std::clamp((db + 60.0) / 60.0 * 100.0, 0.0, 100.0)));
}

QStringList phonesOf(SphinxDecoder &decoder, const QStringList &words)
{
    QStringList phones;
    for (const QString &pronounced : decoder.pronunciations(words))
        phones << pronounced.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return phones;
}

PhraseInfo makePhrase(SphinxDecoder &decoder, const QStringList &words, const QString &ruleName)
{
    PhraseInfo phrase;
    phrase.text = words.join(QLatin1Char(' '));
    phrase.textWithReplacements = applyReplacements(words);
    phrase.rule.name = ruleName;
    QList<PhraseElement> elements;
    const QStringList pronounced = decoder.pronunciations(words);
    for (qsizetype i = 0; i < words.size(); ++i)
        elements << PhraseElement{words[i], CmuPhones::idsFromText(pronounced[i])};
    phrase.elements = elements;
    return phrase;
}

} // namespace

UtteranceStream::UtteranceStream(SphinxDecoder &decoder, Mode mode, CommandRejection rejection)
    : m_decoder(decoder), m_mode(mode), m_rejection(rejection)
{
}

RecognitionResult UtteranceStream::makeResult(SphinxDecoder &decoder, const QStringList &words,
                                              const QString &ruleName, const QList<QStringList> &alternates)
{
    RecognitionResult result;
    result.phrase = makePhrase(decoder, words, ruleName);
    QList<PhraseInfo> alternatePhrases;
    for (const QStringList &alternate : alternates.mid(0, kAlternates))
        alternatePhrases << makePhrase(decoder, alternate, ruleName);
    result.alternates = alternatePhrases;
    return result;
}

// The decoder itself falls back to dictation while it has no command grammar:
// the grammar may still be building when listening starts.
const char *UtteranceStream::searchWanted() const
{
    return m_mode == Mode::CommandsAndDictation ? SphinxDecoder::kCommandModelSearch
                                                : SphinxDecoder::kDictationSearch;
}

QList<StreamEvent> UtteranceStream::start()
{
    m_running = true;
    m_inSpeech = false;
    m_announced = false;
    m_samplesSeen = 0;
    m_nextLevelAt = 0;
    m_preRoll.clear();
    m_utterance.clear();
    m_decoder.startLive(searchWanted());
    return {StreamEvent{StreamEvent::Kind::StartStream, 0, 0, {}}};
}

QList<StreamEvent> UtteranceStream::feed(std::span<const int16_t> samples)
{
    QList<StreamEvent> events;
    if (!m_running)
        return events;
    // Small pieces keep voice activity decisions close to the audio.
    constexpr size_t kPiece = 512;
    for (size_t offset = 0; offset < samples.size(); offset += kPiece) {
        const auto piece = samples.subspan(offset, std::min(kPiece, samples.size() - offset));
        if (!m_decoder.liveRunning())
            m_decoder.startLive(searchWanted());
        const bool inSpeech = m_decoder.processLive(piece);
        m_samplesSeen += qint64(piece.size());
        if (m_inSpeech)
            m_utterance.insert(m_utterance.end(), piece.begin(), piece.end());
        else {
            m_preRoll.insert(m_preRoll.end(), piece.begin(), piece.end());
            if (qint64(m_preRoll.size()) > kPreRollSamples)
                m_preRoll.erase(m_preRoll.begin(), m_preRoll.end() - kPreRollSamples);
        }

        if (m_samplesSeen >= m_nextLevelAt) {
            events << StreamEvent{StreamEvent::Kind::AudioLevel, bytePosition(), audioLevel(piece), {}};
            m_nextLevelAt = m_samplesSeen + kLevelInterval;
        }
        if (inSpeech && !m_inSpeech) {
            m_inSpeech = true;
            m_utterance = m_preRoll;
            m_preRoll.clear();
            m_lastPartial.clear();
            m_nextPartialAt = m_samplesSeen + kPartialInterval;
            // The detector reports a short burst right after the stream starts,
            // even on silence; such a segment is announced only once it has
            // lasted long enough to be speech.
            m_announced = m_samplesSeen > kSettleSamples;
            if (m_announced) {
                events << StreamEvent{StreamEvent::Kind::SoundStart, bytePosition(), 0, {}};
                events << StreamEvent{StreamEvent::Kind::PhraseStart, bytePosition(), 0, {}};
            }
        } else if (!inSpeech && m_inSpeech) {
            if (m_announced)
                endUtterance(events);
            else
                endShortSettlingSegment(events);
        } else if (m_inSpeech && !m_announced && qint64(m_utterance.size()) >= kBurstSamples) {
            m_announced = true;
            events << StreamEvent{StreamEvent::Kind::SoundStart, bytePosition(), 0, {}};
            events << StreamEvent{StreamEvent::Kind::PhraseStart, bytePosition(), 0, {}};
        } else if (m_inSpeech && m_announced && qint64(m_utterance.size()) >= kMaxUtteranceSamples) {
            // Held any longer, the utterance costs memory all the while, and
            // judging it at the end blocks this thread for seconds while the
            // audio that follows is lost.
            endUtterance(events);
        } else if (m_inSpeech && m_announced && m_samplesSeen >= m_nextPartialAt) {
            m_nextPartialAt = m_samplesSeen + kPartialInterval;
            const QStringList partial = m_decoder.livePartial();
            if (!partial.isEmpty() && partial != m_lastPartial) {
                m_lastPartial = partial;
                events << StreamEvent{StreamEvent::Kind::Hypothesis, bytePosition(), 0,
                                      makeResult(m_decoder, partial, QStringLiteral("Hypothesis"), {})};
            }
        }
    }
    return events;
}

void UtteranceStream::endUtterance(QList<StreamEvent> &events)
{
    m_inSpeech = false;
    const bool dictationOnly = m_mode == Mode::DictationOnly || !m_decoder.hasCommandSearch();
    // The command model's own alternates are not needed: the grammar gives them.
    const SphinxHypothesis live = m_decoder.endLive(dictationOnly ? kAlternates : 0);
    events << StreamEvent{StreamEvent::Kind::SoundEnd, bytePosition(), 0, {}};
    RecognitionResult result;
    bool recognised = false;
    if (dictationOnly) {
        recognised = !live.words.isEmpty();
        result = makeResult(m_decoder, live.words, QStringLiteral("Dictation"), live.nbest);
    } else {
        const UtteranceVerdict verdict = judgeHeard(live.words, m_utterance, &result);
        if (m_observer)
            m_observer(verdict);
        recognised = verdict.commandAccepted || !verdict.dictationWords.isEmpty();
    }
    m_utterance.clear();
    events << StreamEvent{recognised ? StreamEvent::Kind::Recognition : StreamEvent::Kind::FalseRecognition,
                          bytePosition(), 0, result};
}

// Listening resumes the moment the program's own question ends, and a quick
// "yes" then falls inside the detector's settling burst. Forgetting every such
// segment lost the answer without a trace. The burst is mostly noise, or the
// tail of the program's own voice echoing from the speakers ("Executing
// paste"): carried out, that would run the command again, and again. So such a
// segment counts only as a yes or a no the grammar accepts.
void UtteranceStream::endShortSettlingSegment(QList<StreamEvent> &events)
{
    m_inSpeech = false;
    if (m_mode != Mode::CommandsAndDictation || !m_decoder.hasCommandSearch()) {
        m_decoder.endLive();
        m_utterance.clear();
        return;
    }
    const SphinxHypothesis live = m_decoder.endLive(0);
    // The burst of every stream start is judged otherwise, at the cost of a
    // grammar decode each time listening resumes; a segment in which the live
    // search heard no word at all is no answer.
    if (live.words.isEmpty()) {
        m_utterance.clear();
        return;
    }
    RecognitionResult result;
    const UtteranceVerdict verdict = judgeHeard(live.words, m_utterance, &result);
    m_utterance.clear();
    if (m_observer)
        m_observer(verdict);
    if (!verdict.commandAccepted || !m_decoder.isAnswer(verdict.commandWords))
        return;
    const qint64 at = bytePosition();
    events << StreamEvent{StreamEvent::Kind::SoundStart, at, 0, {}};
    events << StreamEvent{StreamEvent::Kind::PhraseStart, at, 0, {}};
    events << StreamEvent{StreamEvent::Kind::SoundEnd, at, 0, {}};
    events << StreamEvent{StreamEvent::Kind::Recognition, at, 0, result};
}

UtteranceVerdict UtteranceStream::judgeHeard(const QStringList &heard, std::span<const int16_t> utterance,
                                             RecognitionResult *result)
{
    UtteranceVerdict verdict;
    verdict.heardWords = heard;
    RejectionFeatures &f = verdict.features;
    f.frames = int(utterance.size() / (kSampleRate / 100));
    f.heardCommand = m_decoder.isCommand(heard, CommandGrammar::SoundAlikes::Ignore);
    f.heardWords = !heard.isEmpty();
    // The grammar always names its closest phrase, and lists the runners-up the
    // result offers as alternates.
    const SphinxHypothesis grammar =
        m_decoder.decode(SphinxDecoder::kCommandSearch, utterance, kAlternates + 1);
    f.grammarScore = grammar.score;
    f.numberForm = m_decoder.isNumberForm(grammar.words);
    const QStringList grammarPhones = phonesOf(m_decoder, grammar.words);
    const QStringList heardPhones = phonesOf(m_decoder, heard);
    f.agreement = phoneAgreement(grammarPhones, heardPhones);
    f.commonPhones = commonPhones(grammarPhones, heardPhones);
    if (!grammar.words.isEmpty()) {
        // Both hypotheses forced onto the same audio, so their scores compare.
        const SphinxHypothesis phrase = m_decoder.align(grammar.words, utterance);
        f.phraseScore = phrase.score;
        f.phraseWordFrames = phrase.wordFrames;
        if (f.heardWords) {
            const SphinxHypothesis free = m_decoder.align(heard, utterance);
            // Words that would not align again are no rival worth weighing.
            f.heardWords = !free.words.isEmpty();
            f.heardScore = free.score;
            f.heardWordFrames = free.wordFrames;
        }
    }
    verdict.commandWords = f.heardCommand ? heard : grammar.words;
    // Judged on the words that would be carried out: the grammar may have chosen
    // "know" where the command model heard "no" itself.
    f.soundAlike = !verdict.commandWords.isEmpty() &&
                   !m_decoder.isCommand(verdict.commandWords, CommandGrammar::SoundAlikes::Ignore);
    verdict.confidence = m_rejection.confidence(f);
    verdict.commandAccepted = !verdict.commandWords.isEmpty() && m_rejection.accept(f);
    if (verdict.commandAccepted) {
        QList<QStringList> alternates;
        for (const QStringList &words : QList<QStringList>{grammar.words} + grammar.nbest) {
            if (!words.isEmpty() && words != verdict.commandWords && !alternates.contains(words))
                alternates << words;
        }
        if (result)
            *result = makeResult(m_decoder, verdict.commandWords, QStringLiteral("Command"), alternates);
        return verdict;
    }
    // Dictation alternates would need an n-best walk of the language model
    // lattice, which costs more than the decode itself.
    verdict.dictationWords = m_decoder.decode(SphinxDecoder::kDictationSearch, utterance).words;
    if (result)
        *result = makeResult(m_decoder, verdict.dictationWords, QStringLiteral("Dictation"), {});
    return verdict;
}

QList<StreamEvent> UtteranceStream::emulated(const RecognitionResult &result) const
{
    return {StreamEvent{StreamEvent::Kind::Recognition, bytePosition(), 1, result}};
}

QList<StreamEvent> UtteranceStream::finish(bool released)
{
    QList<StreamEvent> events;
    if (!m_running)
        return events;
    m_decoder.endLive();
    if (m_inSpeech && m_announced) {
        // Cut off by a Stop, by the pause while the program's own voice speaks,
        // or by a lost input: half a sentence is nothing to carry out once the
        // user has asked for quiet, so it is heard but not recognised.
        m_inSpeech = false;
        m_utterance.clear();
        events << StreamEvent{StreamEvent::Kind::SoundEnd, bytePosition(), 0, {}};
        events << StreamEvent{StreamEvent::Kind::FalseRecognition, bytePosition(), 0, {}};
    }
    m_running = false;
    events << StreamEvent{StreamEvent::Kind::EndStream, bytePosition(), released ? 1 : 0, {}};
    return events;
}

} // namespace kestrel

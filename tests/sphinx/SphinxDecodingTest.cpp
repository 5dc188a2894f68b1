// Real decoding: synthetic and recorded speech fed straight into the stream
// decoder the recogniser uses, no audio device involved.

#include "SpeechClips.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/SphinxDecoder.h"
#include "speech_platform/sphinx/UtteranceStream.h"
#include "common/Failure.h"

#include <QFile>

#include <cmath>
#include <functional>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

using testing::Samples;
using Kind = StreamEvent::Kind;

QStringList tablePhrases()
{
    return {QStringLiteral("OPEN NOTEPAD"),  QStringLiteral("CLOSE NOTEPAD"), QStringLiteral("LEFT CLICK"),
            QStringLiteral("RIGHT CLICK"),   QStringLiteral("SCROLL DOWN"),   QStringLiteral("SAVE FILE"),
            QStringLiteral("OPEN KESTREL"),  QStringLiteral("FRONT CENTER"),  QStringLiteral("FRONT LEFT"),
            QStringLiteral("REAR RIGHT"),    QStringLiteral("CURSOR"),        QStringLiteral("SELECT")};
}

class SphinxDecoding : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_decoder = new SphinxDecoder(SphinxModelPaths::usEnglish());
        s_dropped = s_decoder->setCommandPhrases(tablePhrases());
    }
    static void TearDownTestSuite()
    {
        delete s_decoder;
        s_decoder = nullptr;
    }

    static QList<StreamEvent> run(const Samples &audio,
                                  UtteranceStream::Mode mode = UtteranceStream::Mode::CommandsAndDictation)
    {
        UtteranceStream stream(*s_decoder, mode);
        QList<StreamEvent> events = stream.start();
        for (size_t i = 0; i < audio.size(); i += 1600)
            events << stream.feed(std::span(audio).subspan(i, std::min<size_t>(1600, audio.size() - i)));
        events << stream.finish(false);
        return events;
    }

    static QList<RecognitionResult> results(const QList<StreamEvent> &events, Kind kind, const char *rule = nullptr)
    {
        QList<RecognitionResult> out;
        for (const StreamEvent &e : events) {
            if (e.kind == kind && (!rule || e.result.phrase.rule.name == QLatin1String(rule)))
                out << e.result;
        }
        return out;
    }

    static Samples spoken(const char *text, const char *voice = "en-us", int speed = 160, double noise = 40)
    {
        const Samples clip = testing::synthesise(QString::fromLatin1(text), QString::fromLatin1(voice), speed);
        if (clip.empty())
            ADD_FAILURE() << "espeak-ng or sox could not make a clip";
        return testing::padded(clip, 1.0, 1.0, noise);
    }

    static inline SphinxDecoder *s_decoder = nullptr;
    static inline QStringList s_dropped;
};

struct InTableCase
{
    const char *spoken;
    const char *voice;
    int speed;
    const char *text;             ///< words as heard
    const char *withReplacements; ///< what the interpreter gets
};

TEST_F(SphinxDecoding, inTablePhrasesAreRecognisedAsTheirCommandNeverAsAnother)
{
    const InTableCase cases[] = {
        {"open notepad", "en-us", 160, "open notepad", "open notepad"},
        {"left click", "en-us+f3", 175, "left click", "left click"},
        {"save file", "en-gb-x-rp", 150, "save file", "save file"},
        {"select five", "en-us", 160, "select five", "select 5"},
        {"cursor one hundred comma two hundred", "en-us", 160, "cursor one hundred comma two hundred",
         "cursor 100, 200"},
        {"open kestrel", "en-us+m3", 160, "open kestrel", "open kestrel"},
    };
    int recognised = 0;
    for (const InTableCase &c : cases) {
        const QList<RecognitionResult> commands =
            results(run(spoken(c.spoken, c.voice, c.speed)), Kind::Recognition, "Command");
        EXPECT_LE(commands.size(), 1) << c.spoken;
        if (commands.isEmpty())
            continue; // rejected: it came back as dictation, which the accuracy figures count
        EXPECT_EQ(commands[0].phrase.text, QString::fromLatin1(c.text)) << "a wrong command for " << c.spoken << ": " << qPrintable(commands[0].phrase.text);
        EXPECT_EQ(commands[0].phrase.textWithReplacements, QString::fromLatin1(c.withReplacements));
        ++recognised;
    }
    // A sane minimum on a small set; the accuracy itself is measured by kestrel_sphinx_eval.
    EXPECT_GE(recognised, 3);
}

TEST_F(SphinxDecoding, yesAndNoSaidClearlyAreTheAnswersThemselves)
{
    // Beside "no" the grammar once held "know", pronounced the same, and named
    // either for a clear "no"; a sound-alike is never a command, so half the
    // answers were lost.
    const struct {
        const char *spoken;
        const char *voice;
        int speed;
    } cases[] = {{"no", "en-us", 140}, {"no", "en-us", 210}, {"no", "en-us+f3", 140}, {"yes", "en-us", 175}};
    for (const auto &c : cases) {
        const QList<RecognitionResult> commands =
            results(run(spoken(c.spoken, c.voice, c.speed, 30)), Kind::Recognition, "Command");
        ASSERT_EQ(commands.size(), 1) << c.spoken << " " << c.voice << " " << c.speed;
        EXPECT_EQ(commands[0].phrase.text, QString::fromLatin1(c.spoken));
    }
}

struct NoCommandCase
{
    const char *name;
    char noise; ///< 0: speech
    const char *spoken;
    UtteranceStream::Mode mode = UtteranceStream::Mode::CommandsAndDictation;
};

class NoCommand : public SphinxDecoding, public ::testing::WithParamInterface<NoCommandCase>
{
};

TEST_P(NoCommand, forOtherSpeechNoiseOrADictationOnlyEngine)
{
    const NoCommandCase c = GetParam();
    const Samples audio = c.noise ? testing::padded(testing::noiseClip(c.noise, 1.5, 2000, 7), 1.0, 1.0, 40)
                                  : spoken(c.spoken, "en-us", 170);
    const QList<StreamEvent> events = run(audio, c.mode);
    EXPECT_TRUE(results(events, Kind::Recognition, "Command").isEmpty());
    if (!c.noise) {
        // Not a command, so the same utterance comes back as dictation.
        const QList<RecognitionResult> dictation = results(events, Kind::Recognition, "Dictation");
        ASSERT_EQ(dictation.size(), 1);
        EXPECT_FALSE(dictation[0].phrase.text.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Utterances, NoCommand,
    ::testing::Values(NoCommandCase{"Weather", 0, "the weather is nice today"},
                      NoCommandCase{"Coffee", 0, "i would like a cup of coffee"},
                      NoCommandCase{"WhiteNoise", 'w', nullptr}, NoCommandCase{"Hum", 'h', nullptr},
                      NoCommandCase{"TablePhraseOnTheDictationOnlyEngine", 0, "open notepad",
                                    UtteranceStream::Mode::DictationOnly}),
    [](const ::testing::TestParamInfo<NoCommandCase> &p) { return std::string(p.param.name); });

TEST_F(SphinxDecoding, humanRecordingsOfTablePhrasesAreRecognised)
{
    const struct {
        const char *file;
        const char *text;
    } recordings[] = {{"Front_Center.wav", "front center"}, {"Front_Left.wav", "front left"},
                      {"Rear_Right.wav", "rear right"}};
    for (const auto &r : recordings) {
        const QString path = QStringLiteral("/usr/share/sounds/alsa/") + QLatin1String(r.file);
        if (!QFile::exists(path))
            GTEST_SKIP() << "alsa-utils sounds are not installed";
        Samples clip = testing::loadWav(path);
        ASSERT_FALSE(clip.empty()) << r.file;
        const QList<RecognitionResult> commands =
            results(run(testing::padded(clip, 1.0, 1.0, 40)), Kind::Recognition, "Command");
        ASSERT_EQ(commands.size(), 1) << r.file;
        EXPECT_EQ(commands[0].phrase.text, QString::fromLatin1(r.text)) << r.file;
    }
}

TEST_F(SphinxDecoding, resultCarriesWordsPronunciationsAndAlternates)
{
    const QList<RecognitionResult> commands =
        results(run(spoken("close notepad")), Kind::Recognition, "Command");
    ASSERT_EQ(commands.size(), 1);
    const RecognitionResult &r = commands[0];
    ASSERT_TRUE(r.phrase.elements.has_value());
    ASSERT_EQ(r.phrase.elements->size(), 2);
    EXPECT_EQ(r.phrase.elements->at(1).displayText, QStringLiteral("notepad"));
    EXPECT_EQ(r.phrase.elements->at(1).pronunciation, CmuPhones::idsFromText(QStringLiteral("N OW T P AE D")));
    ASSERT_TRUE(r.alternates.has_value());
    EXPECT_LE(r.alternates->size(), 5);
    for (const PhraseInfo &alternate : *r.alternates)
        EXPECT_NE(alternate.text, r.phrase.text) << "an alternate repeats the best phrase";
    EXPECT_FALSE(r.hasAudio);
}

TEST_F(SphinxDecoding, alignmentScoresTheWordsSaidAboveOthersAndCoversTheSpeech)
{
    const auto words = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    const struct {
        const char *spoken;
        const char *other; ///< words forced onto the same audio for comparison
    } cases[] = {{"open notepad", "select five"},
                 {"the weather is nice today", "open notepad"},
                 {"save file", "scroll down"}};
    for (const auto &c : cases) {
        const Samples audio = spoken(c.spoken);
        const SphinxHypothesis said = s_decoder->align(words(c.spoken), audio);
        const SphinxHypothesis other = s_decoder->align(words(c.other), audio);
        EXPECT_EQ(said.words, words(c.spoken));
        // Words that do not fit may not align at all.
        EXPECT_TRUE(other.words.isEmpty() || said.score > other.score) << c.spoken << " against " << c.other;
        // Words cover the speech; the second of padding either side is left to silence.
        EXPECT_GT(said.wordFrames, 30) << c.spoken;
        EXPECT_LT(said.wordFrames, int(audio.size() / 160) - 150) << c.spoken;
    }
    const SphinxHypothesis sentence = s_decoder->align(words(cases[1].spoken), spoken(cases[1].spoken));
    const SphinxHypothesis phrase = s_decoder->align(words(cases[1].other), spoken(cases[1].spoken));
    EXPECT_LT(phrase.wordFrames, sentence.wordFrames) << "a short phrase forced onto a sentence leaves most of it to fillers";
    EXPECT_TRUE(s_decoder->align({}, spoken("open notepad")).words.isEmpty());
}

TEST_F(SphinxDecoding, anUtteranceScoresTheSameWhateverWasHeardOrDecodedBefore)
{
    // The phrase and the heard words are forced onto one utterance one after
    // the other; their scores compare only if neither decode shifts the other,
    // and a verdict must not depend on what was said minutes ago. The channel's
    // noise estimate is kept for the whole stream on purpose, which may move a
    // score by a hair; the running cepstral mean moved it by hundreds.
    const QStringList words{QStringLiteral("open"), QStringLiteral("notepad")};
    const Samples audio = spoken("open notepad");
    s_decoder->align(words, audio); // the channel has heard this room
    const SphinxHypothesis aligned = s_decoder->align(words, audio);
    const SphinxHypothesis grammar = s_decoder->decode(SphinxDecoder::kCommandSearch, audio);
    ASSERT_EQ(aligned.words, words);
    ASSERT_EQ(grammar.words, words);
    const double hair = 0.01 * std::abs(double(aligned.score));
    const struct {
        const char *before; ///< what happens in between
        std::function<void()> act;
    } cases[] = {
        {"nothing", [] {}},
        {"the same decodes", [&] {
             s_decoder->align(words, audio);
             s_decoder->decode(SphinxDecoder::kCommandSearch, audio);
         }},
        {"another voice, live", [] { run(spoken("scroll down", "en-us+f3", 210, 300)); }},
        {"loud noise, live", [] { run(testing::padded(testing::noiseClip('w', 1.5, 3000.0, 7), 1.0, 1.0, 30.0)); }},
        {"dictation of a sentence", [] {
             s_decoder->decode(SphinxDecoder::kDictationSearch, spoken("the weather is nice today", "en-029"));
         }},
    };
    for (const auto &c : cases) {
        c.act();
        EXPECT_NEAR(double(s_decoder->align(words, audio).score), double(aligned.score), hair) << "after " << c.before;
        EXPECT_NEAR(double(s_decoder->decode(SphinxDecoder::kCommandSearch, audio).score), double(grammar.score), hair)
            << "after " << c.before;
    }
}

TEST_F(SphinxDecoding, wordsMissingFromTheDictionaryGetPronunciations)
{
    EXPECT_TRUE(s_dropped.isEmpty()) << qPrintable(s_dropped.join(QLatin1Char(',')));
    const QList<int> phones = CmuPhones::idsFromText(s_decoder->pronunciation(QStringLiteral("kestrel")));
    ASSERT_FALSE(phones.isEmpty());
    EXPECT_EQ(CmuPhones::name(phones.first()), QStringLiteral("K"));
}

TEST_F(SphinxDecoding, eventsFollowTheStreamInOrder)
{
    const QList<StreamEvent> events = run(spoken("scroll down"));
    QList<Kind> kinds;
    qint64 lastPosition = 0;
    for (const StreamEvent &e : events) {
        EXPECT_GE(e.position, lastPosition);
        lastPosition = e.position;
        if (e.kind == Kind::AudioLevel) {
            EXPECT_GE(e.value, 0);
            EXPECT_LE(e.value, 100);
        } else if (e.kind != Kind::Hypothesis) {
            kinds << e.kind;
        }
    }
    EXPECT_EQ(kinds, (QList<Kind>{Kind::StartStream, Kind::SoundStart, Kind::PhraseStart, Kind::SoundEnd,
                                  Kind::Recognition, Kind::EndStream}));
}

TEST_F(SphinxDecoding, silenceGivesNoSpeechEvents)
{
    Samples quiet = testing::padded({}, 3.0, 0.0, 40);
    for (const StreamEvent &e : run(quiet)) {
        EXPECT_TRUE(e.kind == Kind::StartStream || e.kind == Kind::EndStream || e.kind == Kind::AudioLevel)
            << int(e.kind);
    }
}

TEST(SphinxModels, missingFilesAreAFailureNamingTheFile)
{
    try {
        SphinxDecoder decoder(SphinxModelPaths::usEnglish(QStringLiteral("/nonexistent/model")));
        FAIL() << "loaded a model that does not exist";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("/nonexistent/model")));
    }
}

TEST(SphinxModels, badEngineOptionsAreAFailureNotACrash)
{
    const struct
    {
        QStringList options;
        const char *named; ///< what the description must name
    } cases[] = {
        {{QStringLiteral("-topn")}, "-topn"},
        {{QStringLiteral("topn"), QStringLiteral("8")}, "topn"},
        {{QStringLiteral("-hmm"), QStringLiteral("/tmp")}, "-hmm"},
        {{QStringLiteral("-topn"), QStringLiteral("8"), QStringLiteral("-topn"), QStringLiteral("4")}, "-topn"},
        {{QStringLiteral("-no_such_option"), QStringLiteral("1")}, "-no_such_option"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.options.join(QLatin1Char(' ')).toStdString());
        try {
            SphinxDecoder decoder(SphinxModelPaths::usEnglish(), SphinxDecoder::kCommandModelWeight, c.options);
            ADD_FAILURE() << "accepted";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(QLatin1String(c.named))) << qPrintable(failure.description());
        }
    }
}

} // namespace
} // namespace kestrel

// Real decoding: synthetic and recorded speech fed straight into the stream
// decoder the recogniser uses, no audio device involved.

#include "SpeechClips.h"
#include "common/Failure.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/SphinxDecoder.h"
#include "speech_platform/sphinx/UtteranceStream.h"

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <tuple>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

using testing::Samples;
using Kind = StreamEvent::Kind;

class SphinxDecoding : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_decoder = new SphinxDecoder(SphinxModelPaths::usEnglish());
        s_dropped = s_decoder->setCommandPhrases(
            {"OPEN NOTEPAD", "CLOSE NOTEPAD", "LEFT CLICK", "RIGHT CLICK", "SCROLL DOWN", "SAVE FILE",
             "OPEN KESTREL", "FRONT CENTER", "FRONT LEFT", "REAR RIGHT", "CURSOR", "SELECT"});
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

    static QList<RecognitionResult> results(const QList<StreamEvent> &events, Kind kind,
                                            const char *rule = nullptr)
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
        const Samples clip =
            testing::synthesise(QString::fromLatin1(text), QString::fromLatin1(voice), speed);
        if (clip.empty())
            ADD_FAILURE() << "espeak-ng or sox could not make a clip";
        return testing::padded(clip, 1.0, 1.0, noise);
    }

    static inline SphinxDecoder *s_decoder = nullptr;
    static inline QStringList s_dropped;
};

TEST_F(SphinxDecoding, inTablePhrasesAreRecognisedAsTheirCommandNeverAsAnother)
{
    const struct
    {
        const char *spoken; ///< also the words heard
        const char *voice;
        int speed;
        const char *withReplacements; ///< what the interpreter gets
    } cases[] = {
        {"open notepad", "en-us", 160, "open notepad"},
        {"left click", "en-us+f3", 175, "left click"},
        {"save file", "en-gb-x-rp", 150, "save file"},
        {"select five", "en-us", 160, "select 5"},
        {"cursor one hundred comma two hundred", "en-us", 160, "cursor 100, 200"},
        {"open kestrel", "en-us+m3", 160, "open kestrel"},
    };
    int recognised = 0;
    for (const auto &c : cases) {
        const QList<RecognitionResult> commands =
            results(run(spoken(c.spoken, c.voice, c.speed)), Kind::Recognition, "Command");
        EXPECT_LE(commands.size(), 1) << c.spoken;
        if (commands.isEmpty())
            continue; // rejected: it came back as dictation, which the accuracy figures count
        EXPECT_EQ(commands[0].phrase.text, QString::fromLatin1(c.spoken)) << "a wrong command";
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
    const std::tuple<const char *, const char *, int> cases[] = {
        {"no", "en-us", 140}, {"no", "en-us", 210}, {"no", "en-us+f3", 140}, {"yes", "en-us", 175}};
    for (const auto &[said, voice, speed] : cases) {
        const QList<RecognitionResult> commands =
            results(run(spoken(said, voice, speed, 30)), Kind::Recognition, "Command");
        ASSERT_EQ(commands.size(), 1) << said << " " << voice << " " << speed;
        EXPECT_EQ(commands[0].phrase.text, QString::fromLatin1(said));
    }
}

// Listening resumes the moment the program's question ends, so a quick "yes"
// falls inside the burst the detector reports while it settles at the start of
// a stream. It must still be heard. The burst's noise, or the tail of the
// program's own voice echoing from the speakers, must still not be a command:
// "Executing left click" would run the click again, and again.
TEST_F(SphinxDecoding, aQuickAnswerAtTheStartOfListeningIsHeardAndTheSettlingBurstIsNot)
{
    const struct
    {
        const char *said;
        double lead; ///< seconds of room noise before it, from the start of the stream
        const char *command; ///< nullptr: no command, and no Hypothesis without a SoundStart
        double lastSeconds = 0; ///< only the end of what was said: the tail of the program's question
    } cases[] = {
        {"yes", 0.0, "yes"},
        {"yes", 0.3, "yes"},
        {"no", 0.4, "no"},
        {nullptr, 0.0, nullptr}, // room noise alone
        {"did you say close notepad", 0.0, nullptr, 0.5},
        {"did you say close notepad", 0.0, nullptr, 0.3},
        {"executing left click", 0.0, nullptr, 0.7},
        {"executing scroll down", 0.0, nullptr, 0.8},
        {"left click", 0.1, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.said ? c.said : "noise") << " after " << c.lead << " s");
        Samples clip;
        if (c.said) {
            clip = testing::synthesise(QString::fromLatin1(c.said), QStringLiteral("en-us"), 175);
            ASSERT_FALSE(clip.empty());
        }
        if (c.lastSeconds > 0) {
            const auto keep = size_t(c.lastSeconds * UtteranceStream::kSampleRate);
            ASSERT_GT(clip.size(), keep);
            clip.erase(clip.begin(), clip.end() - qsizetype(keep));
        }
        const QList<StreamEvent> events = run(testing::padded(clip, c.lead, 2.0, 40));
        const QList<RecognitionResult> commands = results(events, Kind::Recognition, "Command");
        if (c.command) {
            ASSERT_EQ(commands.size(), 1);
            EXPECT_EQ(commands[0].phrase.text, QString::fromLatin1(c.command));
        } else {
            EXPECT_TRUE(commands.isEmpty());
        }
        // The event list reads in order: a sound before anything heard of it.
        bool soundStarted = false;
        qint64 lastPosition = 0;
        for (const StreamEvent &e : events) {
            EXPECT_GE(e.position, lastPosition);
            lastPosition = e.position;
            soundStarted = soundStarted || e.kind == Kind::SoundStart;
            if (e.kind == Kind::Hypothesis || e.kind == Kind::Recognition) {
                EXPECT_TRUE(soundStarted) << "an event of a sound never announced";
            }
        }
    }
}

TEST_F(SphinxDecoding, otherSpeechNoiseAndTheDictationOnlyEngineGiveNoCommand)
{
    const auto both = UtteranceStream::Mode::CommandsAndDictation;
    const struct
    {
        const char *spoken; ///< null: noise of this kind
        char noise;
        UtteranceStream::Mode mode;
    } cases[] = {{"the weather is nice today", 0, both},
                 {"i would like a cup of coffee", 0, both},
                 {nullptr, 'w', both},
                 {nullptr, 'h', both},
                 {"open notepad", 0, UtteranceStream::Mode::DictationOnly}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.spoken ? c.spoken : "noise");
        const QList<StreamEvent> events =
            run(c.spoken ? spoken(c.spoken, "en-us", 170)
                         : testing::padded(testing::noiseClip(c.noise, 1.5, 2000, 7), 1.0, 1.0, 40),
                c.mode);
        EXPECT_TRUE(results(events, Kind::Recognition, "Command").isEmpty());
        if (c.spoken) {
            // Not a command, so the same utterance comes back as dictation.
            const QList<RecognitionResult> dictation = results(events, Kind::Recognition, "Dictation");
            ASSERT_EQ(dictation.size(), 1);
            EXPECT_FALSE(dictation[0].phrase.text.isEmpty());
        }
    }
}

TEST_F(SphinxDecoding, humanRecordingsOfTablePhrasesAreRecognised)
{
    const std::pair<const char *, const char *> recordings[] = {
        {"Front_Center", "front center"}, {"Front_Left", "front left"}, {"Rear_Right", "rear right"}};
    for (const auto &[name, text] : recordings) {
        const QString file = QStringLiteral("/usr/share/sounds/alsa/%1.wav").arg(QLatin1String(name));
        if (!QFile::exists(file))
            GTEST_SKIP() << "alsa-utils sounds are not installed";
        const Samples clip = testing::loadWav(file);
        ASSERT_FALSE(clip.empty()) << name;
        const QList<RecognitionResult> commands =
            results(run(testing::padded(clip, 1.0, 1.0, 40)), Kind::Recognition, "Command");
        ASSERT_EQ(commands.size(), 1) << text;
        EXPECT_EQ(commands[0].phrase.text, QString::fromLatin1(text));
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
    EXPECT_EQ(r.phrase.elements->at(1).pronunciation,
              CmuPhones::idsFromText(QStringLiteral("N OW T P AE D")));
    ASSERT_TRUE(r.alternates.has_value());
    EXPECT_LE(r.alternates->size(), 5);
    for (const PhraseInfo &alternate : *r.alternates)
        EXPECT_NE(alternate.text, r.phrase.text) << "an alternate repeats the best phrase";
    EXPECT_FALSE(r.hasAudio);
}

TEST_F(SphinxDecoding, alignmentScoresTheWordsSaidAboveOthersAndCoversTheSpeech)
{
    const auto words = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    const struct
    {
        const char *spoken;
        const char *other;    ///< words forced onto the same audio for comparison
        bool fewerWordFrames; ///< a short phrase forced onto a sentence leaves most of it to fillers
    } cases[] = {{"open notepad", "select five", false},
                 {"the weather is nice today", "open notepad", true},
                 {"save file", "scroll down", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.spoken);
        const Samples audio = spoken(c.spoken);
        const SphinxHypothesis said = s_decoder->align(words(c.spoken), audio);
        const SphinxHypothesis other = s_decoder->align(words(c.other), audio);
        EXPECT_EQ(said.words, words(c.spoken));
        // Words that do not fit may not align at all.
        EXPECT_TRUE(other.words.isEmpty() || said.score > other.score) << "against " << c.other;
        // Words cover the speech; the second of padding either side is left to silence.
        EXPECT_GT(said.wordFrames, 30);
        EXPECT_LT(said.wordFrames, int(audio.size() / 160) - 150);
        EXPECT_TRUE(!c.fewerWordFrames || other.wordFrames < said.wordFrames) << other.wordFrames;
    }
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
    const struct
    {
        const char *before; ///< what happens in between
        std::function<void()> act;
    } cases[] = {
        {"nothing", [] {}},
        {"the same decodes",
         [&] {
             s_decoder->align(words, audio);
             s_decoder->decode(SphinxDecoder::kCommandSearch, audio);
         }},
        {"another voice, live", [] { run(spoken("scroll down", "en-us+f3", 210, 300)); }},
        {"loud noise, live",
         [] { run(testing::padded(testing::noiseClip('w', 1.5, 3000.0, 7), 1.0, 1.0, 30.0)); }},
        {"dictation of a sentence",
         [] {
             s_decoder->decode(SphinxDecoder::kDictationSearch,
                               spoken("the weather is nice today", "en-029"));
         }},
    };
    for (const auto &c : cases) {
        c.act();
        EXPECT_NEAR(double(s_decoder->align(words, audio).score), double(aligned.score), hair)
            << "after " << c.before;
        EXPECT_NEAR(double(s_decoder->decode(SphinxDecoder::kCommandSearch, audio).score),
                    double(grammar.score), hair)
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

TEST_F(SphinxDecoding, eventsFollowTheStreamInOrderAndSilenceHasNoSpeechEvents)
{
    const auto kindsOf = [](const QList<StreamEvent> &events) {
        QList<Kind> kinds;
        qint64 lastPosition = 0;
        for (const StreamEvent &e : events) {
            EXPECT_GE(e.position, lastPosition);
            lastPosition = e.position;
            EXPECT_TRUE(e.kind != Kind::AudioLevel || (e.value >= 0 && e.value <= 100)) << e.value;
            if (e.kind != Kind::AudioLevel)
                kinds << e.kind;
        }
        return kinds;
    };
    QList<Kind> speech = kindsOf(run(spoken("scroll down")));
    speech.removeAll(Kind::Hypothesis);
    EXPECT_EQ(speech, (QList<Kind>{Kind::StartStream, Kind::SoundStart, Kind::PhraseStart, Kind::SoundEnd,
                                   Kind::Recognition, Kind::EndStream}));
    EXPECT_EQ(kindsOf(run(testing::padded({}, 3.0, 0.0, 40))),
              (QList<Kind>{Kind::StartStream, Kind::EndStream}));
}

// Listening switched off in the middle of a sentence (the Stop button, the pause
// while the program's own voice speaks, a microphone gone): what was heard of it
// is no command to carry out after the user asked for quiet.
TEST_F(SphinxDecoding, speechTheStreamCutsOffIsNeverCarriedOut)
{
    const Samples said = spoken("open notepad");
    const size_t speech = said.size() - 2 * UtteranceStream::kSampleRate; // spoken() pads 1 s each side
    const Samples cut(said.begin(), said.begin() + UtteranceStream::kSampleRate + speech * 4 / 5);
    for (const bool released : {false, true}) {
        SCOPED_TRACE(released ? "released" : "stopped");
        UtteranceStream stream(*s_decoder, UtteranceStream::Mode::CommandsAndDictation);
        QList<StreamEvent> events = stream.start();
        for (size_t i = 0; i < cut.size(); i += 1600)
            events << stream.feed(std::span(cut).subspan(i, std::min<size_t>(1600, cut.size() - i)));
        events << stream.finish(released);
        QList<Kind> kinds;
        for (const StreamEvent &e : events) {
            if (e.kind != Kind::AudioLevel && e.kind != Kind::Hypothesis)
                kinds << e.kind;
        }
        EXPECT_EQ(kinds, (QList<Kind>{Kind::StartStream, Kind::SoundStart, Kind::PhraseStart, Kind::SoundEnd,
                                      Kind::FalseRecognition, Kind::EndStream}));
        EXPECT_EQ(events.last().value, released ? 1 : 0);
    }
    // The same decoder hears the whole sentence as before.
    EXPECT_EQ(results(run(said), Kind::Recognition).size(), 1);
}

TEST_F(SphinxDecoding, speechThatNeverPausesIsCutIntoUtterancesOfBoundedLength)
{
    // A radio or a conversation in the room can keep the detector "in speech" for
    // minutes; the whole stretch would be held and then decoded three times over
    // while nothing listened.
    const char *text = "the people who live in the house next to ours keep a small garden with roses and "
                       "tomatoes and every morning they water it before they go to work in the city while "
                       "the children walk to school along the river where the ducks swim and the old men "
                       "sit on the benches talking about the weather and the football results of the week "
                       "and the price of bread and milk in the shop at the corner of the market square";
    // A few seconds past the limit is enough to need a cut; every second more
    // costs the test more decoding.
    const size_t needed = size_t(UtteranceStream::kSampleRate) * (UtteranceStream::kMaxUtteranceSeconds + 3);
    Samples audio;
    while (audio.size() < needed) {
        const Samples clip = testing::synthesise(QString::fromLatin1(text), QStringLiteral("en-us"), 200);
        ASSERT_FALSE(clip.empty());
        audio.insert(audio.end(), clip.begin(), clip.end());
    }
    audio.resize(needed);
    audio = testing::padded(audio, 1.0, 1.0, 40);
    const QList<StreamEvent> events = run(audio);
    qint64 start = -1;
    qint64 longest = 0;
    int ends = 0;
    for (const StreamEvent &e : events) {
        if (e.kind == Kind::SoundStart)
            start = e.position;
        if (e.kind == Kind::SoundEnd && start >= 0) {
            longest = std::max(longest, e.position - start);
            ++ends;
        }
    }
    const qint64 bytesPerSecond = UtteranceStream::kSampleRate * 2;
    EXPECT_GE(ends, 2) << "the speech itself is heard, in pieces";
    EXPECT_LE(longest, (UtteranceStream::kMaxUtteranceSeconds + 1) * bytesPerSecond);
}

TEST_F(SphinxDecoding, aPhraseAddedWhileListeningIsHeardAfterThePause)
{
    // The recogniser listens all day while the user edits the table: the searches
    // cannot change inside the open utterance, and a change refused then was lost.
    const Samples said = spoken("open calculator");
    constexpr size_t kQueuedBeforeStart = size_t(-1);
    const struct
    {
        const char *when;
        size_t changeAt;   ///< samples fed before the table changes
        int commandsHeard; ///< of the two times the new phrase is said
    } cases[] = {{"in the silence before speech", 1600, 2},
                 {"while a phrase is spoken", 22400, 1},
                 {"queued before listening starts", kQueuedBeforeStart, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.when);
        SphinxDecoder decoder(SphinxModelPaths::usEnglish());
        decoder.setCommandPhrases({"OPEN NOTEPAD"});
        if (c.changeAt == kQueuedBeforeStart) {
            decoder.queueCommandPhrases({"OPEN NOTEPAD", "OPEN CALCULATOR"});
            EXPECT_FALSE(decoder.isCommand({QStringLiteral("open"), QStringLiteral("calculator")}));
        }
        UtteranceStream stream(decoder, UtteranceStream::Mode::CommandsAndDictation);
        QList<StreamEvent> events = stream.start();
        Samples audio = said;
        audio.insert(audio.end(), said.begin(), said.end()); // said twice
        for (size_t i = 0; i < audio.size(); i += 1600) {
            if (i == c.changeAt) {
                EXPECT_TRUE(decoder.setCommandPhrases({"OPEN NOTEPAD", "OPEN CALCULATOR"}).isEmpty());
                EXPECT_TRUE(decoder.commandPhrasesPending());
            }
            events << stream.feed(std::span(audio).subspan(i, std::min<size_t>(1600, audio.size() - i)));
        }
        events << stream.finish(false);
        EXPECT_FALSE(decoder.commandPhrasesPending());
        const QList<RecognitionResult> commands = results(events, Kind::Recognition, "Command");
        ASSERT_EQ(commands.size(), c.commandsHeard);
        for (const RecognitionResult &command : commands)
            EXPECT_EQ(command.phrase.text, QStringLiteral("open calculator"));
        EXPECT_TRUE(decoder.isCommand({QStringLiteral("open"), QStringLiteral("calculator")}));
    }
}

TEST_F(SphinxDecoding, listeningBeforeTheFirstGrammarIsBuiltIsDictationThenCommands)
{
    // The first grammar is built in the background; listening may start first.
    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    ASSERT_FALSE(decoder.hasCommandSearch());
    UtteranceStream stream(decoder, UtteranceStream::Mode::CommandsAndDictation);
    QList<StreamEvent> events;
    ASSERT_NO_THROW(events = stream.start());
    const Samples said = spoken("open notepad");
    const auto feed = [&](const Samples &audio) {
        for (size_t i = 0; i < audio.size(); i += 1600)
            events << stream.feed(std::span(audio).subspan(i, std::min<size_t>(1600, audio.size() - i)));
    };
    feed(said);
    EXPECT_TRUE(results(events, Kind::Recognition, "Command").isEmpty());
    ASSERT_EQ(results(events, Kind::Recognition, "Dictation").size(), 1);

    // Built while listening: in force from the next pause.
    decoder.queueCommandPhrases({"OPEN NOTEPAD"});
    events.clear();
    feed(said);
    events << stream.finish(false);
    EXPECT_TRUE(decoder.hasCommandSearch());
    const QList<RecognitionResult> commands = results(events, Kind::Recognition, "Command");
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands.first().phrase.text, QStringLiteral("open notepad"));
}

TEST_F(SphinxDecoding, manyWordsOutsideTheDictionaryLeaveTheLanguageModelsSound)
{
    // Each table word the dictionary lacks once went into the dictation model
    // twice; a few dozen of them later, decoding read out of bounds and crashed.
    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    QStringList table{"OPEN NOTEPAD"};
    for (int n = 1; n <= 60; ++n)
        table << QStringLiteral("OPEN PROJECT %1").arg(n);
    EXPECT_TRUE(decoder.setCommandPhrases(table).isEmpty());
    table << QStringLiteral("OPEN PROJECT 61") << QStringLiteral("CLOSE PROJECT 62");
    EXPECT_TRUE(decoder.setCommandPhrases(table).isEmpty());
    EXPECT_FALSE(decoder.pronunciation(QStringLiteral("62")).isEmpty());
    EXPECT_TRUE(
        decoder.isCommand({QStringLiteral("close"), QStringLiteral("project"), QStringLiteral("62")}));

    for (const auto mode :
         {UtteranceStream::Mode::CommandsAndDictation, UtteranceStream::Mode::DictationOnly}) {
        for (const char *said :
             {"open project twelve", "close project sixty two", "the weather is nice today"}) {
            UtteranceStream stream(decoder, mode);
            QList<StreamEvent> events = stream.start();
            const Samples audio = spoken(said);
            for (size_t i = 0; i < audio.size(); i += 1600)
                events << stream.feed(std::span(audio).subspan(i, std::min<size_t>(1600, audio.size() - i)));
            events << stream.finish(false);
            EXPECT_EQ(
                results(events, Kind::Recognition).size() + results(events, Kind::FalseRecognition).size(), 1)
                << said;
        }
    }
}

// A phrase holding one endless word (pasted letters or digits) was counted as
// pronounced, then failed the whole grammar: no command was heard any more.
TEST_F(SphinxDecoding, aWordNoOneCouldSayDropsOnlyItsOwnPhrase)
{
    const QString letters = QStringLiteral("abcdefgh").repeated(300);
    const QString digits = QString(1000, QLatin1Char('7'));
    for (const QString &word : {letters, digits}) {
        SCOPED_TRACE(word.size());
        SphinxDecoder decoder(SphinxModelPaths::usEnglish());
        QStringList dropped;
        ASSERT_NO_THROW(dropped = decoder.setCommandPhrases({"OPEN NOTEPAD", "OPEN " + word.toUpper()}));
        EXPECT_EQ(dropped, QStringList{"open " + word.toLower()});
        EXPECT_TRUE(decoder.isCommand({QStringLiteral("open"), QStringLiteral("notepad")}));
        // And the next edit builds too.
        EXPECT_NO_THROW(decoder.setCommandPhrases({"OPEN NOTEPAD", "CLOSE NOTEPAD", "OPEN " + word}));
        EXPECT_TRUE(decoder.isCommand({QStringLiteral("close"), QStringLiteral("notepad")}));
    }
}

// A phrase with accented letters or a sign said aloud is listened for as the
// words a speaker says, not as the fragments left between them.
TEST_F(SphinxDecoding, accentedWordsAndSpokenSignsAreHeardWhole)
{
    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    const QStringList dropped =
        decoder.setCommandPhrases({QStringLiteral("OPEN NOTEPAD"), QString::fromUtf8("OPEN MY CAF\u00c9"),
                                   QStringLiteral("ZOOM 150%")});
    EXPECT_TRUE(dropped.isEmpty()) << qPrintable(dropped.join(QLatin1Char(',')));
    const QString cafe = QString::fromUtf8("caf\u00e9");
    EXPECT_TRUE(decoder.isCommand({QStringLiteral("open"), QStringLiteral("my"), cafe}));
    EXPECT_TRUE(decoder.isCommand({QStringLiteral("zoom"), QStringLiteral("150"), QStringLiteral("percent")}));
    const QList<int> phones = CmuPhones::idsFromText(decoder.pronunciation(cafe));
    ASSERT_EQ(phones.size(), 4) << qPrintable(decoder.pronunciation(cafe));
    EXPECT_EQ(CmuPhones::name(phones.first()), QStringLiteral("K"));
    EXPECT_EQ(CmuPhones::name(phones.last()), QStringLiteral("EY"));
}

TEST_F(SphinxDecoding, aRebuildThatFailsHalfWayKeepsTheGrammarAndItsPhrasesTogether)
{
    // The command model goes through a temporary file; with nowhere to write it
    // the grammar search already holds the new phrases, and the decoder must
    // count them as commands too.
    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    decoder.setCommandPhrases({"OPEN NOTEPAD"});
    const QByteArray temp = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/dev/null"); // a folder no one can write in, root included
    EXPECT_THROW(decoder.setCommandPhrases({"OPEN NOTEPAD", "OPEN CALCULATOR"}), Failure);
    temp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", temp);
    EXPECT_TRUE(decoder.hasCommandSearch());
    EXPECT_TRUE(decoder.isCommand({QStringLiteral("open"), QStringLiteral("calculator")}));
    EXPECT_TRUE(decoder.isCommand({QStringLiteral("open"), QStringLiteral("notepad")}));
}

// Nowhere to write its temporary file (a full or read-only /tmp at start-up):
// the first command model never exists. Listening must still start, as
// dictation, with the grammar judging what was said.
TEST_F(SphinxDecoding, withoutAFirstCommandModelListeningStillStarts)
{
    for (const auto mode :
         {UtteranceStream::Mode::CommandsAndDictation, UtteranceStream::Mode::DictationOnly}) {
        SCOPED_TRACE(int(mode));
        SphinxDecoder decoder(SphinxModelPaths::usEnglish());
        const QByteArray temp = qgetenv("TMPDIR");
        qputenv("TMPDIR", "/dev/null");
        EXPECT_THROW(decoder.setCommandPhrases({"OPEN NOTEPAD"}), Failure);
        temp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", temp);
        UtteranceStream stream(decoder, mode);
        QList<StreamEvent> events;
        ASSERT_NO_THROW(events = stream.start());
        const Samples said = spoken("open notepad");
        for (size_t i = 0; i < said.size(); i += 1600)
            events << stream.feed(std::span(said).subspan(i, std::min<size_t>(1600, said.size() - i)));
        events << stream.finish(false);
        EXPECT_EQ(results(events, Kind::Recognition, "Command").size() +
                      results(events, Kind::Recognition, "Dictation").size(),
                  1);
    }
}

// The window looks up pronunciations for every phrase typed into Emulate,
// while a table edit may be rebuilding the grammar on another thread. It
// waited for the whole build, a second or more each time.
TEST_F(SphinxDecoding, pronunciationsNeverWaitForAGrammarBuild)
{
    std::promise<void> inBuild;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic_int pronouncerCalls{0};
    const auto pronouncer = [&](const QStringList &words) {
        // The first call comes from the build, with the decoder's lock held.
        if (pronouncerCalls++ == 0) {
            inBuild.set_value();
            released.wait();
        }
        QHash<QString, QString> phones;
        for (const QString &word : words)
            phones.insert(word, QStringLiteral("K EH S T R AH L"));
        return phones;
    };
    SphinxDecoder decoder(SphinxModelPaths::usEnglish(), SphinxDecoder::kCommandModelWeight, {}, pronouncer);
    auto build = std::async(std::launch::async, [&] { return decoder.setCommandPhrases({"OPEN KESTREL"}); });
    std::future<QStringList> lookup;
    // Whatever goes wrong below, the build is let go before the futures above
    // wait for it: this goes first.
    const std::unique_ptr<std::promise<void>, void (*)(std::promise<void> *)> letGo(
        &release, [](std::promise<void> *p) {
            try {
                p->set_value();
            } catch (const std::future_error &) {
            }
        });
    ASSERT_EQ(inBuild.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "the build never asked for the missing word";
    lookup = std::async(std::launch::async, [&] {
        return decoder.pronunciations(
            {QStringLiteral("Open"), QStringLiteral("notepad"), QStringLiteral("read(2)")});
    });
    const bool answered = lookup.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    release.set_value();
    EXPECT_TRUE(build.get().isEmpty());
    ASSERT_TRUE(answered) << "the lookup waited for the build";
    EXPECT_EQ(lookup.get(), (QStringList{"OW P AH N", "N OW T P AE D", "R IY D"}));
    // A word the build added is the decoder's own now: no new eSpeak run.
    const int callsAfterBuild = pronouncerCalls;
    EXPECT_EQ(decoder.pronunciation(QStringLiteral("Kestrel")), QStringLiteral("K EH S T R AH L"));
    EXPECT_EQ(pronouncerCalls, callsAfterBuild);
}

// Typed text with words the dictionary lacks: eSpeak is run once for all of
// them, and a word it answered is not asked for again, even when the answer
// was no phones at all (a sign alone, which every Emulate of it ran eSpeak for).
TEST_F(SphinxDecoding, wordsOutsideTheDictionaryArePronouncedInOneRunAndRemembered)
{
    QList<QStringList> asked;
    const auto pronouncer = [&](const QStringList &words) {
        asked << words;
        QHash<QString, QString> phones;
        for (const QString &word : words) {
            if (word == QLatin1String("-"))
                phones.insert(word, QString());
            else if (word != QLatin1String("zzkq")) // its run failed: no answer
                phones.insert(word, QStringLiteral("Z IH P"));
        }
        return phones;
    };
    SphinxDecoder decoder(SphinxModelPaths::usEnglish(), SphinxDecoder::kCommandModelWeight, {}, pronouncer);
    const QStringList said{"Qzip", "open", "xyzzyq", "-", "qzip", "zzkq", "-"};
    const QStringList heardPhones{"Z IH P", "OW P AH N", "Z IH P", "", "Z IH P", "", ""};
    EXPECT_EQ(decoder.pronunciations(said), heardPhones);
    EXPECT_EQ(asked, (QList<QStringList>{{"qzip", "xyzzyq", "-", "zzkq"}}));
    asked.clear();
    EXPECT_EQ(decoder.pronunciations(said), heardPhones);
    // Only the word that got no answer is asked for again.
    EXPECT_EQ(asked, (QList<QStringList>{{"zzkq"}}));

    // Typed punctuation around a word known already (from the dictionary or
    // from eSpeak) needs no run; any other word, and a sign alone, still go
    // to eSpeak as typed.
    asked.clear();
    const std::pair<const char *, const char *> typed[] = {
        {"Hello,", "HH AH L OW"},
        {"(notepad)", "N OW T P AE D"},
        {"\u201cworld.\u201d", "W ER L D"},
        {"a.", "EY"}, // the word as typed comes first
        {"'em,", "AH M"},
        // Apostrophes from a word processor, and single quotes around a word.
        {"don\u2019t", "D OW N T"},
        {"\u2018it\u2019s\u2019", "IH T S"},
        {"\u2019em", "AH M"},
        {"qzip!", "Z IH P"},
        {"zzkq?", "Z IH P"},
        {"c++", "Z IH P"},
        {".net", "Z IH P"},
        {"%", "Z IH P"},
    };
    QStringList words;
    QStringList expected;
    for (const auto &[word, phones] : typed) {
        words << QString::fromUtf8(word);
        expected << QString::fromLatin1(phones);
    }
    EXPECT_EQ(decoder.pronunciations(words), expected);
    EXPECT_EQ(asked, (QList<QStringList>{{"zzkq?", "c++", ".net", "%"}}));
}

QStringList g_warnings;

TEST_F(SphinxDecoding, aBackgroundRebuildThatFailsOrLeavesAPhraseOutSaysWhy)
{
    // Built off the window's thread, a failure reaches no one's failure path; the
    // new phrases are simply not heard, so at least the log must say why.
    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    decoder.setCommandPhrases({"OPEN NOTEPAD"});
    g_warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtWarningMsg)
                g_warnings << text;
        });
    const QByteArray temp = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/dev/null");
    decoder.queueCommandPhrases({"OPEN NOTEPAD", "OPEN CALCULATOR"});
    EXPECT_NO_THROW(decoder.applyQueuedPhrasesUnlessListening());
    temp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", temp);
    qInstallMessageHandler(previous);
    ASSERT_EQ(g_warnings.size(), 1);
    EXPECT_TRUE(g_warnings.first().contains(QStringLiteral("could not be written")))
        << g_warnings.first().toStdString();
    EXPECT_TRUE(decoder.isCommand({QStringLiteral("open"), QStringLiteral("calculator")}));

    // Built, but without a phrase that has no pronunciation: the log names it.
    g_warnings.clear();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtWarningMsg)
            g_warnings << text;
    });
    decoder.queueCommandPhrases({"OPEN NOTEPAD", "OPEN " + QString(1000, QLatin1Char('7'))});
    EXPECT_NO_THROW(decoder.applyQueuedPhrasesUnlessListening());
    qInstallMessageHandler(previous);
    ASSERT_EQ(g_warnings.size(), 1);
    EXPECT_TRUE(g_warnings.first().contains(QStringLiteral("cannot be heard")) &&
                g_warnings.first().contains(QStringLiteral("open 777")))
        << g_warnings.first().toStdString();
}

TEST(SphinxModels, missingFilesAndBadEngineOptionsAreAFailureNamingTheCulprit)
{
    const struct
    {
        QString model;
        QStringList options;
        const char *named; ///< what the description must name
    } cases[] = {
        {"/nonexistent/model", {}, "/nonexistent/model"},
        {{}, {"-topn"}, "-topn"},
        {{}, {"topn", "8"}, "topn"},
        {{}, {"-hmm", "/tmp"}, "-hmm"},
        {{}, {"-topn", "8", "-topn", "4"}, "-topn"},
        {{}, {"-no_such_option", "1"}, "-no_such_option"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.model + c.options.join(QLatin1Char(' '))).toStdString());
        try {
            const SphinxModelPaths paths =
                c.model.isEmpty() ? SphinxModelPaths::usEnglish() : SphinxModelPaths::usEnglish(c.model);
            SphinxDecoder decoder(paths, SphinxDecoder::kCommandModelWeight, c.options);
            ADD_FAILURE() << "accepted";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(QLatin1String(c.named)))
                << qPrintable(failure.description());
        }
    }

    // A dictionary with no word in it: every table word added later would be
    // the decoder's whole dictionary.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SphinxModelPaths paths = SphinxModelPaths::usEnglish();
    paths.dictionary = dir.filePath(QStringLiteral("comments.dict"));
    QFile file(paths.dictionary);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(";; nothing but a comment\n") > 0);
    file.close();
    try {
        SphinxDecoder decoder(paths);
        ADD_FAILURE() << "a dictionary without words was accepted";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains(paths.dictionary)) << qPrintable(failure.description());
    }
}

} // namespace
} // namespace kestrel

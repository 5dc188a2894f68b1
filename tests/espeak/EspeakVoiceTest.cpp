#include "VoiceRecorder.h"

#include "common/Failure.h"
#include "speech_platform/espeak/EspeakVoice.h"
#include "speech_platform/espeak/StreamOutput.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSet>
#include <QTest>

#include <functional>
#include <memory>

using namespace kestrel;

namespace {

constexpr int kQueueFlags = VoiceEngine::Async | VoiceEngine::IsXml;

enum class Path { Clock, Speaker };

AudioOutputs noDevices()
{
    return AudioOutputs{[] { return QList<QAudioDevice>{}; }};
}

// Every test here runs twice: against the clock (no device) and on the
// PulseAudio null sink that the test session starts.
class EspeakVoiceTest : public ::testing::TestWithParam<Path>
{
protected:
    void SetUp() override
    {
        if (GetParam() == Path::Speaker && !haveSpeaker())
            GTEST_SKIP() << "no PulseAudio speaker (PULSE_SERVER unset or no device)";
        voice = std::make_unique<EspeakVoice>(GetParam() == Path::Clock ? noDevices() : AudioOutputs{});
        recorder = std::make_unique<VoiceRecorder>(*voice);
    }

    int speakAndWait(const QString &text, int flags = kSpeakFlags)
    {
        const int stream = voice->speak(text, flags);
        EXPECT_TRUE(recorder->waitForEnd(stream)) << text.toStdString();
        return stream;
    }

    std::unique_ptr<EspeakVoice> voice;
    std::unique_ptr<VoiceRecorder> recorder;
};

TEST_P(EspeakVoiceTest, PlainTextGivesWordsBetweenStartAndEnd)
{
    const QString text = QStringLiteral("Hello world. This is a test.");
    const int stream = speakAndWait(text);
    const QStringList kinds = recorder->kindsOf(stream);
    ASSERT_FALSE(kinds.isEmpty());
    EXPECT_EQ(kinds.first(), "start");
    EXPECT_EQ(kinds.last(), "end");
    EXPECT_EQ(kinds.count("start"), 1);
    EXPECT_EQ(kinds.count("end"), 1);
    EXPECT_EQ(recorder->wordsOf(stream, text), QStringList({"Hello", "world", "This", "is", "a", "test"}));

    QStringList sentences;
    qint64 previous = 0;
    for (const VoiceEvent &e : recorder->eventsOf(stream)) {
        EXPECT_GE(e.position, previous) << e.kind.toStdString();
        previous = e.position;
        if (e.kind == "sentence")
            sentences.append(text.mid(e.a, e.b));
    }
    EXPECT_EQ(sentences, QStringList({"Hello world.", "This is a test."}));
    EXPECT_GT(recorder->eventsOf(stream).last().position, 0);
    EXPECT_EQ(recorder->visemesOf(stream).last(), 0) << "speech ends in silence";
    EXPECT_EQ(recorder->count("viseme", stream), recorder->count("phoneme", stream));
}

TEST_P(EspeakVoiceTest, MarksArriveAsBookmarksBetweenTheirWords)
{
    const QString text =
        QStringLiteral("<speak>One <mark name=\"first\"/>two, <mark name=\"2\"/>three.</speak>");
    const int stream = speakAndWait(text);
    QStringList order;
    for (const VoiceEvent &e : recorder->eventsOf(stream)) {
        if (e.kind == "word")
            order.append(text.mid(e.a, e.b));
        else if (e.kind == "bookmark")
            order.append(QStringLiteral("#%1=%2").arg(e.name).arg(e.a));
    }
    EXPECT_EQ(order, QStringList({"One", "#first=0", "two", "#2=2", "three"}));
}

TEST_P(EspeakVoiceTest, WordsAfterMarkupAndAccentsAreFoundInTheText)
{
    const QString text =
        QStringLiteral("H\u00e9llo na\u00efve caf\u00e9. <mark name=\"m\"/>Gr\u00fc\u00dfe &amp; "
                       "<emphasis>\u00fcber</emphasis> all.");
    const int stream = speakAndWait(text);
    const QStringList words = recorder->wordsOf(stream, text);
    ASSERT_GE(words.size(), 6);
    EXPECT_EQ(words.mid(0, 4), QStringList({QStringLiteral("H\u00e9llo"), QStringLiteral("na\u00efve"),
                                            QStringLiteral("caf\u00e9"), QStringLiteral("Gr\u00fc\u00dfe")}));
    EXPECT_TRUE(words.contains("&amp;"));
    EXPECT_TRUE(words.contains(QStringLiteral("\u00fcber")));
    EXPECT_EQ(words.last(), "all");
}

TEST_P(EspeakVoiceTest, KnownSentenceGivesItsVisemes)
{
    const int stream = speakAndWait(QStringLiteral("Bob fish"));
    // b aa b | f ih sh | pause pause
    EXPECT_EQ(recorder->visemesOf(stream), QList<int>({21, 2, 21, 18, 6, 16, 0, 0}));
}

TEST_P(EspeakVoiceTest, PurgeDuringSpeechStillEndsThePurgedStream)
{
    const QString first =
        QStringLiteral("This sentence is long enough to be cut off well before its last word.");
    const QString second = QStringLiteral("Next one.");
    int secondStream = 0;
    recorder->onEvent = [&](const VoiceEvent &e) {
        if (e.kind == "word" && secondStream == 0)
            secondStream = voice->speak(second, kSpeakFlags);
    };
    const int firstStream = voice->speak(first, kSpeakFlags);
    ASSERT_TRUE(recorder->waitFor([&] { return secondStream != 0 && recorder->ended(secondStream); }));

    EXPECT_EQ(recorder->count("start", firstStream), 1);
    EXPECT_EQ(recorder->count("end", firstStream), 1);
    EXPECT_LT(recorder->wordsOf(firstStream, first).size(), 5);
    EXPECT_EQ(recorder->wordsOf(secondStream, second), QStringList({"Next", "one"}));
    QStringList streamEdges;
    for (const VoiceEvent &e : recorder->events()) {
        if (e.kind == "start" || e.kind == "end")
            streamEdges.append(QStringLiteral("%1%2").arg(e.kind).arg(e.stream));
    }
    EXPECT_EQ(streamEdges, QStringList({"start1", "end1", "start2", "end2"}));
}

TEST_P(EspeakVoiceTest, PurgedStreamsThatNeverStartedStillStartAndEnd)
{
    const int a = voice->speak(QStringLiteral("First waiting text."), kQueueFlags);
    const int b = voice->speak(QStringLiteral("Second waiting text."), kQueueFlags);
    const int c = voice->speak(QStringLiteral("Third."), kSpeakFlags);
    ASSERT_TRUE(recorder->waitForEnd(c));
    EXPECT_EQ(recorder->kindsOf(a), QStringList({"start", "end"}));
    EXPECT_EQ(recorder->kindsOf(b), QStringList({"start", "end"}));
    EXPECT_EQ(recorder->wordsOf(c, QStringLiteral("Third.")), QStringList({"Third"}));
    EXPECT_EQ(recorder->events().first().stream, a);
    EXPECT_EQ(recorder->events().last().stream, c);
}

TEST_P(EspeakVoiceTest, BlankAndEmptyTextsAreStreamsWithoutWords)
{
    for (const QString &text : {QStringLiteral(" "), QString()}) {
        const int stream = speakAndWait(text);
        EXPECT_EQ(recorder->count("start", stream), 1);
        EXPECT_EQ(recorder->count("end", stream), 1);
        EXPECT_EQ(recorder->count("word", stream), 0);
    }
}

TEST_P(EspeakVoiceTest, RateAndFormatAreTakenWhenSpeaking)
{
    const QString text = QStringLiteral("one two three four five");
    voice->setRate(10);
    const int fast = voice->speak(text, kQueueFlags);
    voice->setRate(-10);
    voice->setOutputFormat(6); // 8 kHz 16-bit mono, for the next stream only
    const int slowNarrow = voice->speak(text, kQueueFlags);
    voice->setOutputFormat(22);
    const int slow = voice->speak(text, kQueueFlags);
    ASSERT_TRUE(recorder->waitForEnd(slow));

    const qint64 fastBytes = recorder->eventsOf(fast).last().position;
    const qint64 slowBytes = recorder->eventsOf(slow).last().position;
    const qint64 narrowBytes = recorder->eventsOf(slowNarrow).last().position;
    EXPECT_GT(slowBytes, 2 * fastBytes);
    EXPECT_NEAR(static_cast<double>(narrowBytes) / slowBytes, 8000.0 / 22050.0, 0.01);
    EXPECT_EQ(narrowBytes % 2, 0);
}

TEST_P(EspeakVoiceTest, VoiceChangeIsAnnouncedAtTheNextStreamStart)
{
    const SpeechToken english = voice->voice();
    const auto voices = voice->voices();
    const auto french = std::find_if(voices.begin(), voices.end(),
                                     [](const SpeechToken &t) { return t.id == QLatin1String("roa/fr"); });
    ASSERT_NE(french, voices.end());
    const int before = speakAndWait(QStringLiteral("Hi."));
    voice->setVoice(*french);
    const int changed = speakAndWait(QStringLiteral("Bonjour."));
    const int same = speakAndWait(QStringLiteral("Merci."));
    voice->setVoice(english);
    const int back = speakAndWait(QStringLiteral("Bye."));

    EXPECT_EQ(recorder->count("voice", before), 0);
    ASSERT_EQ(recorder->kindsOf(changed).mid(0, 2), QStringList({"start", "voice"}));
    EXPECT_EQ(recorder->eventsOf(changed)[1].name, "roa/fr");
    EXPECT_EQ(recorder->count("voice", same), 0);
    ASSERT_EQ(recorder->count("voice", back), 1);
    EXPECT_EQ(recorder->eventsOf(back)[1].name, english.id);
}

std::string pathName(const ::testing::TestParamInfo<Path> &path)
{
    return path.param == Path::Clock ? "Clock" : "Speaker";
}

INSTANTIATE_TEST_SUITE_P(Outputs, EspeakVoiceTest, ::testing::Values(Path::Clock, Path::Speaker), pathName);

// Qt's PulseAudio sink runs the event loop while it is destroyed, and while it
// opens once the sound server has gone. Other window events run there too (the
// clipboard monitor may speak); the voice must survive a pump from inside.
class EventLoopOutput final : public StreamOutput
{
public:
    EventLoopOutput(const AudioFormatInfo &format, std::function<void()> whileClosing)
        : StreamOutput(format), m_clock(format), m_whileClosing(std::move(whileClosing))
    {
        spin();
    }
    ~EventLoopOutput() override
    {
        m_whileClosing();
        spin();
    }

    void write(const QByteArray &bytes) override
    {
        m_clock.write(bytes);
        m_writtenBytes += bytes.size();
    }
    void service() override { m_clock.service(); }
    void stop() override
    {
        spin();
        m_clock.stop();
    }
    qint64 processedUSecs() override { return m_clock.processedUSecs(); }
    bool finished() override
    {
        if (m_endOfData)
            m_clock.endOfData();
        return m_clock.finished();
    }
    bool failed() const override { return false; }

private:
    // Long enough for the voice's poll timer to fire inside.
    static void spin() { QTest::qWait(30); }

    ClockOutput m_clock;
    std::function<void()> m_whileClosing;
};

TEST(EspeakVoiceReentrancyTest, OutputsThatRunTheEventLoopDoNotLoseOrRepeatStreams)
{
    EspeakVoice *self = nullptr;
    int opened = 0;
    int spokenWhileClosing = 0;
    auto speakWhileClosing = [&] {
        if (self && spokenWhileClosing < 3) {
            ++spokenWhileClosing;
            self->speak(QStringLiteral("More."), kQueueFlags);
        }
    };
    auto open = [&](const QAudioDevice &, const AudioFormatInfo &format) {
        ++opened;
        return std::unique_ptr<StreamOutput>(std::make_unique<EventLoopOutput>(format, speakWhileClosing));
    };
    EspeakVoice voice(AudioOutputs{[] { return QList<QAudioDevice>{}; }, open});
    VoiceRecorder recorder(voice);
    const QString second = QStringLiteral("Second text.");
    recorder.onEvent = [&](const VoiceEvent &e) {
        if (e.kind == "word" && e.stream == 1 && !self) {
            self = &voice;
            voice.speak(second, kSpeakFlags);
        }
    };
    voice.speak(QStringLiteral("This one is cut off after its first word or so."), kSpeakFlags);
    ASSERT_TRUE(recorder.waitFor([&] { return spokenWhileClosing == 3 && recorder.ended(5); }));

    for (int stream = 1; stream <= 5; ++stream) {
        EXPECT_EQ(recorder.count("start", stream), 1) << stream;
        EXPECT_EQ(recorder.count("end", stream), 1) << stream;
    }
    EXPECT_EQ(recorder.wordsOf(2, second), QStringList({"Second", "text"}));
    EXPECT_EQ(recorder.wordsOf(5, QStringLiteral("More.")), QStringList({"More"}));
    QList<int> order;
    for (const VoiceEvent &e : recorder.events()) {
        if (order.isEmpty() || order.last() != e.stream)
            order.append(e.stream);
    }
    EXPECT_EQ(order, QList<int>({1, 2, 3, 4, 5}));
    EXPECT_LE(opened, 5) << "a stream opened a second output from inside the first";
}

TEST(EspeakVoiceSetupTest, WithoutDevicesThereIsNoOutputToChoose)
{
    EspeakVoice voice(noDevices());
    EXPECT_TRUE(voice.audioOutputs().isEmpty());
    EXPECT_EQ(voice.audioOutput(), SpeechToken{});
    EXPECT_THROW(voice.setAudioOutput({QStringLiteral("kestrel_speaker"), QStringLiteral("KESTREL-Speaker")}),
                 Failure);
}

TEST(EspeakVoiceSetupTest, VoicesListTheAmericanVoiceFirst)
{
    EspeakVoice voice(noDevices());
    const SpeechTokenList voices = voice.voices();
    ASSERT_GT(voices.size(), 10);
    EXPECT_EQ(voices.first(), (SpeechToken{"gmw/en-US", "English (America) (en-us)"}));
    EXPECT_EQ(voice.voice(), voices.first());
    QSet<QString> ids;
    for (const SpeechToken &token : voices) {
        EXPECT_FALSE(token.id.startsWith("mb/")) << token.id.toStdString();
        ids.insert(token.id);
    }
    EXPECT_EQ(ids.size(), voices.size());
    EXPECT_EQ(voice.voices(), voices);
    EXPECT_THROW(voice.setVoice({QStringLiteral("no/such-voice"), QString()}), Failure);
}

TEST(EspeakVoiceSetupTest, OutOfRangeSettingsAreRefusedAndKeepTheOldValue)
{
    EspeakVoice voice(noDevices());
    EXPECT_EQ(voice.rate(), 0);
    EXPECT_EQ(voice.volume(), 100);
    EXPECT_EQ(voice.outputFormat(), 22);
    voice.setRate(-10);
    voice.setRate(10);
    EXPECT_THROW(voice.setRate(11), Failure);
    EXPECT_THROW(voice.setRate(-11), Failure);
    EXPECT_EQ(voice.rate(), 10);
    voice.setVolume(0);
    EXPECT_THROW(voice.setVolume(101), Failure);
    EXPECT_THROW(voice.setVolume(-1), Failure);
    EXPECT_EQ(voice.volume(), 0);
    voice.setOutputFormat(4);
    voice.setOutputFormat(39);
    EXPECT_THROW(voice.setOutputFormat(3), Failure);
    EXPECT_THROW(voice.setOutputFormat(40), Failure);
    EXPECT_EQ(voice.outputFormat(), 39);
    EXPECT_THROW(voice.speak(QStringLiteral("file.txt"), 4 | kSpeakFlags), Failure);
    EXPECT_EQ(voice.pendingStreams(), 0);
}

TEST(EspeakVoiceSetupTest, OnlyOneVoicePerProcess)
{
    auto first = std::make_unique<EspeakVoice>(noDevices());
    EXPECT_THROW(EspeakVoice second(noDevices()), Failure);
    EXPECT_EQ(first->speak(QStringLiteral("one"), kSpeakFlags), 1);
    EXPECT_EQ(first->speak(QStringLiteral("two"), kSpeakFlags), 2);
    first.reset();
    EspeakVoice third(noDevices());
    EXPECT_EQ(third.speak(QStringLiteral("three"), kSpeakFlags), 1);
}

} // namespace

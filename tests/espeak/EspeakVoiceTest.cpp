#include "VoiceRecorder.h"


#include "common/Failure.h"
#include "speech_platform/espeak/EspeakSynthesizer.h"
#include "speech_platform/espeak/EspeakVoice.h"
#include "speech_platform/espeak/StreamOutput.h"

#include "support/Pactl.h"
#include "support/PrivateSoundServer.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include <signal.h>
#include <sys/stat.h>

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

    int speakAndWait(const QString &text)
    {
        const int stream = voice->speak(text, kSpeakFlags);
        EXPECT_TRUE(recorder->waitForEnd(stream)) << text.toStdString();
        return stream;
    }

    std::unique_ptr<EspeakVoice> voice;
    std::unique_ptr<VoiceRecorder> recorder;
};

TEST_P(EspeakVoiceTest, PlainTextGivesWordsSentencesAndVisemesBetweenStartAndEnd)
{
    const QString text = QStringLiteral("Bob fish. This is a test.");
    const int stream = speakAndWait(text);
    const QStringList kinds = recorder->kindsOf(stream);
    ASSERT_FALSE(kinds.isEmpty());
    EXPECT_EQ(QStringList({kinds.first(), kinds.last()}), QStringList({"start", "end"}));
    EXPECT_EQ(kinds.count("start") + kinds.count("end"), 2);
    EXPECT_EQ(recorder->wordsOf(stream, text), QStringList({"Bob", "fish", "This", "is", "a", "test"}));

    QStringList sentences;
    qint64 previous = 0;
    for (const VoiceEvent &e : recorder->eventsOf(stream)) {
        EXPECT_GE(e.position, previous) << e.kind.toStdString();
        previous = e.position;
        if (e.kind == "sentence")
            sentences.append(text.mid(e.a, e.b));
    }
    EXPECT_EQ(sentences, QStringList({"Bob fish.", "This is a test."}));
    EXPECT_GT(recorder->eventsOf(stream).last().position, 0);
    // b aa b | f ih sh | pause
    EXPECT_EQ(recorder->visemesOf(stream).mid(0, 7), QList<int>({21, 2, 21, 18, 6, 16, 0}));
    EXPECT_EQ(recorder->visemesOf(stream).last(), 0) << "speech ends in silence";
    EXPECT_EQ(recorder->count("viseme", stream), recorder->count("phoneme", stream));
}

TEST_P(EspeakVoiceTest, MarksArriveAsBookmarksBetweenWordsFoundAfterMarkupAndAccents)
{
    const QString text =
        QStringLiteral("<speak>H\u00e9llo <mark name=\"first\"/>na\u00efve, <mark name=\"2\"/>caf\u00e9. "
                       "Gr\u00fc\u00dfe &amp; <emphasis>\u00fcber</emphasis> all.</speak>");
    const int stream = speakAndWait(text);
    QStringList order;
    for (const VoiceEvent &e : recorder->eventsOf(stream)) {
        if (e.kind == "word")
            order.append(text.mid(e.a, e.b));
        else if (e.kind == "bookmark")
            order.append(QStringLiteral("#%1=%2").arg(e.name).arg(e.a));
    }
    EXPECT_EQ(order, QStringList({QStringLiteral("H\u00e9llo"), "#first=0", QStringLiteral("na\u00efve"),
                                  "#2=2", QStringLiteral("caf\u00e9"), QStringLiteral("Gr\u00fc\u00dfe"),
                                  "&amp;", QStringLiteral("\u00fcber"), "all"}));
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

    EXPECT_LT(recorder->wordsOf(firstStream, first).size(), 5);
    EXPECT_EQ(recorder->wordsOf(secondStream, second), QStringList({"Next", "one"}));
    QStringList streamEdges;
    for (const VoiceEvent &e : recorder->events()) {
        if (e.kind == "start" || e.kind == "end")
            streamEdges.append(QStringLiteral("%1%2").arg(e.kind).arg(e.stream));
    }
    EXPECT_EQ(streamEdges, QStringList({"start1", "end1", "start2", "end2"}));
}

// A handler of the voice's own events may wait in a nested event loop: the
// end of a sentence switches listening on, and a failure there shows a modal
// box. A sentence started while that box is up must still be spoken to its
// end, or the program waits on it for good.
TEST_P(EspeakVoiceTest, ASentenceStartedInANestedLoopInsideAnEventHandlerEnds)
{
    int inner = 0;
    bool innerEndedInsideTheLoop = false;
    recorder->onEvent = [&](const VoiceEvent &e) {
        if (e.kind != "end" || inner != 0)
            return;
        QEventLoop box;
        inner = voice->speak(QStringLiteral("Executing open editor."), kSpeakFlags);
        QObject::connect(voice.get(), &VoiceEngine::endStream, &box, [&](int stream, qint64) {
            if (stream == inner) {
                innerEndedInsideTheLoop = true;
                box.quit();
            }
        });
        // Only keeps a failing test from hanging.
        QTimer::singleShot(20000, &box, &QEventLoop::quit);
        box.exec();
    };
    const int outer = voice->speak(QStringLiteral("Did you say open editor."), kSpeakFlags);
    ASSERT_TRUE(recorder->waitFor([&] { return inner != 0; }));
    EXPECT_NE(inner, outer);
    EXPECT_TRUE(innerEndedInsideTheLoop);
    EXPECT_EQ(recorder->wordsOf(inner, QStringLiteral("Executing open editor.")),
              QStringList({"Executing", "open", "editor"}));
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

// Text pasted from anywhere: every word of it is spoken and selects itself,
// whatever characters stand between the words.
TEST_P(EspeakVoiceTest, OddCharactersBetweenWordsNeitherCutTheTextShortNorShiftTheWords)
{
    const struct
    {
        const char *label;
        QString text;
    } rows[] = {
        {"NUL", QStringLiteral("Hello") + QChar(0) + QStringLiteral("world there")},
        {"NULs at the start", QString(2, QChar(0)) + QStringLiteral("Hello world there")},
        {"lone surrogate", QStringLiteral("Hello ") + QChar(0xD800) + QStringLiteral(" world there")},
        {"right to left mark", QStringLiteral("Hello \u200F world there")},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        const int stream = voice->speak(row.text, kQueueFlags);
        ASSERT_TRUE(recorder->waitForEnd(stream));
        EXPECT_EQ(recorder->wordsOf(stream, row.text), QStringList({"Hello", "world", "there"}));
    }
}

// Text is handed over as markup, and eSpeak takes a "<" before a letter for
// the start of a tag: "if a<b then c" was read as "if a", and a mail address
// in angle brackets took the rest of the sentence with it. Text without real
// markup is read as it is written; markup still acts where there is some, and
// a "<" beside it that opens no whole tag is read as a "<".
TEST_P(EspeakVoiceTest, AngleBracketsThatAreNoMarkupLoseNoWords)
{
    const struct
    {
        const char *label;
        QString text;
        QStringList lastWords; // the words told last, in order
    } rows[] = {
        {"comparison", QStringLiteral("if a<b then c end"), {"if", "a", "b", "then", "c", "end"}},
        {"unclosed", QStringLiteral("it is <less than that"), {"it", "is", "less", "than", "that"}},
        {"mail address", QStringLiteral("Ann <ann@x.org> wrote back"), {"back"}},
        {"include line", QStringLiteral("include <stdio> here"), {"here"}},
        {"real markup", QStringLiteral("Hello <break time=\"10ms\"/> there"), {"Hello", "there"}},
        {"comparison beside markup",
         QStringLiteral("Hello <break time=\"10ms\"/> if a<b then c end"),
         {"Hello", "if", "a", "b", "then", "c", "end"}},
        {"unclosed beside an entity", QStringLiteral("Tom &amp; Ann <ann@x.org wrote back"), {"back"}},
        {"a comment with a \">\"",
         QStringLiteral("Hello <!-- a > if x<y then z --> <p/> end"),
         {"if", "x", "y", "then", "z", "end"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        const int stream = voice->speak(row.text, kQueueFlags);
        ASSERT_TRUE(recorder->waitForEnd(stream));
        const QStringList told = recorder->wordsOf(stream, row.text);
        EXPECT_EQ(told.mid(told.size() - row.lastWords.size()), row.lastWords)
            << told.join(u'|').toStdString();
    }
}

// Everything is spoken as markup, and eSpeak acts on an audio element: it
// opened the file named (a FIFO blocked the voice for good) and ran a shell
// with the name in it to convert the file. Text from the clipboard or a file
// must never do either.
TEST_P(EspeakVoiceTest, AudioFilesNamedInTheTextAreNeverOpenedNorRun)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("sound.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    // A shell started for the file would run in this folder.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
    const QString marker = dir.filePath(QStringLiteral("marker"));
    const QString hostile = dir.filePath(QStringLiteral("x$(touch marker).mp3"));
    for (const QString &file : {plain, hostile}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a sound");
    }
    for (const QString &file : {fifo, plain, hostile}) {
        SCOPED_TRACE(file.toStdString());
        const QString text =
            QStringLiteral("Hello there. <audio src=\"%1\"/> Good bye.").arg(file.toHtmlEscaped());
        const int stream = voice->speak(text, kQueueFlags);
        ASSERT_TRUE(recorder->waitForEnd(stream));
        EXPECT_EQ(recorder->count("start", stream), 1);
        EXPECT_EQ(recorder->count("end", stream), 1);
        EXPECT_TRUE(recorder->wordsOf(stream, text).contains(QStringLiteral("bye")));
        EXPECT_FALSE(QFile::exists(marker)) << "a command in the file's name ran";
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

TEST(EspeakVoiceSetupTest, WithoutDevicesThereIsNoOutputAndTheAmericanVoiceComesFirst)
{
    EspeakVoice voice(noDevices());
    EXPECT_TRUE(voice.audioOutputs().isEmpty());
    EXPECT_EQ(voice.audioOutput(), SpeechToken{});
    EXPECT_THROW(voice.setAudioOutput({QStringLiteral("kestrel_speaker"), QStringLiteral("KESTREL-Speaker")}),
                 Failure);

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

// The sample format PulseAudio reports for this process's playback stream,
// e.g. "u8 2ch 11025Hz"; empty when there is none.
QString ourSinkInputFormat()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(10000))
        return {};
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QStringList blocks =
        QString::fromUtf8(pactl.readAllStandardOutput()).split(QStringLiteral("Sink Input #"));
    // pactl's own heading for the format line.
    const QRegularExpression sampleFormat(QStringLiteral("Sample Sp[e]cification: (\\S+ \\S+ \\S+)"));
    for (const QString &block : blocks) {
        if (block.contains(QStringLiteral("application.process.id = \"%1\"").arg(pid)))
            return sampleFormat.match(block).captured(1);
    }
    return {};
}

// Records in `seen` the format of this process's playback stream during each
// utterance; the caller clears it before one. The first word comes at the very
// start, while the stream may still be connecting, and one pactl run can fail on
// a busy machine: every later event of the utterance is a second chance. A
// stream that never reached the server is missed at all of them.
void recordSinkFormat(VoiceRecorder &recorder, QString &seen)
{
    recorder.onEvent = [&seen](const VoiceEvent &e) {
        if (e.kind != "end" && seen.isEmpty())
            seen = ourSinkInputFormat();
    };
}

TEST(EspeakSpeakerTest, EveryFormatPlaysOnTheSpeakerInThatFormat)
{
    if (!haveSpeaker())
        GTEST_SKIP() << "no PulseAudio speaker";
    EspeakVoice voice;
    VoiceRecorder recorder(voice);
    QString seen;
    recordSinkFormat(recorder, seen);
    for (const AudioFormatInfo &format : AudioFormats::all()) {
        SCOPED_TRACE(format.name);
        seen.clear();
        voice.setOutputFormat(format.code);
        const int stream = voice.speak(QStringLiteral("Hi."), kSpeakFlags);
        ASSERT_TRUE(recorder.waitForEnd(stream));
        const QString expected = QStringLiteral("%1 %2ch %3Hz")
                                     .arg(format.bitsPerSample == 8 ? "u8" : "s16le")
                                     .arg(format.channels)
                                     .arg(format.sampleRate);
        EXPECT_EQ(seen, expected);
        const qint64 bytes = recorder.eventsOf(stream).last().position;
        EXPECT_EQ(bytes % format.bytesPerFrame(), 0);
        // "Hi." lasts about half a second at any rate.
        const double seconds = static_cast<double>(bytes) / format.bytesPerFrame() / format.sampleRate;
        EXPECT_GT(seconds, 0.2);
        EXPECT_LT(seconds, 1.5);
    }
}

// A finished utterance gives its playback stream back to the sound server: an
// idle stream left open keeps the device from suspending between utterances.
TEST(EspeakSpeakerTest, NoPlaybackStreamStaysOpenAfterTheVoiceHasFinished)
{
    if (!haveSpeaker())
        GTEST_SKIP() << "no PulseAudio speaker";
    EspeakVoice voice;
    VoiceRecorder recorder(voice);
    for (int utterance = 0; utterance < 3; ++utterance) {
        const int stream = voice.speak(QStringLiteral("Hi."), kSpeakFlags);
        ASSERT_TRUE(recorder.waitForEnd(stream));
        EXPECT_TRUE(recorder.waitFor([] { return ourSinkInputFormat().isEmpty(); }))
            << "after utterance " << utterance;
    }
}

// The sound server may come up after the program, and a chosen headset may be
// unplugged: a stream then plays on the default output rather than on none at
// all, and the chosen output is used again once it is back.
TEST(EspeakSpeakerTest, AMissingOutputIsReplacedByTheDefaultOne)
{
    if (!haveSpeaker() || QMediaDevices::audioInputs().isEmpty())
        GTEST_SKIP() << "no PulseAudio speaker";
    const QAudioDevice speaker = QMediaDevices::defaultAudioOutput();
    // Any second device will do as the chosen one: nothing is played on it.
    const QAudioDevice headset = QMediaDevices::audioInputs().constFirst();
    QList<QAudioDevice> listed;
    QList<QAudioDevice> opened;
    auto open = [&](const QAudioDevice &device, const AudioFormatInfo &format) {
        opened.append(device);
        return std::unique_ptr<StreamOutput>(std::make_unique<ClockOutput>(format));
    };
    EspeakVoice voice(AudioOutputs{[&] { return listed; }, open});
    VoiceRecorder recorder(voice);
    auto speakOnce = [&] {
        opened.clear();
        const int stream = voice.speak(QStringLiteral("Hi."), kSpeakFlags);
        EXPECT_TRUE(recorder.waitForEnd(stream));
        return opened.value(0);
    };

    listed = {speaker}; // none when the voice was made
    EXPECT_EQ(speakOnce(), speaker);
    listed = {headset, speaker};
    voice.setAudioOutput({QString::fromUtf8(headset.id()), headset.description()});
    EXPECT_EQ(speakOnce(), headset);
    listed = {speaker};
    EXPECT_EQ(speakOnce(), speaker) << "the chosen output is gone";
    listed = {};
    EXPECT_TRUE(speakOnce().isNull()) << "no output at all: the clock";
    listed = {speaker, headset};
    EXPECT_EQ(speakOnce(), headset) << "the chosen output is back";
}

// A headset plugged in while the program runs: the voice lists it, tells its
// window that the list changed, and speaks on it once it is chosen; unplugged,
// it is told again.
TEST(EspeakSpeakerTest, AnOutputPluggedInLaterIsListedAndTold)
{
    if (!haveSpeaker())
        GTEST_SKIP() << "no PulseAudio speaker";
    int changes = 0; // outlives the voice, whose signal counts it
    EspeakVoice voice;
    QObject::connect(&voice, &VoiceEngine::audioOutputsChanged, [&changes] { ++changes; });
    const auto listed = [&voice] {
        const SpeechTokenList outputs = voice.audioOutputs();
        return std::any_of(outputs.begin(), outputs.end(),
                           [](const SpeechToken &t) { return t.id == QLatin1String("kestrel_headset"); });
    };
    ASSERT_FALSE(listed());
    const QString module = test::pactl({"load-module", "module-null-sink", "sink_name=kestrel_headset",
                                  "sink_properties=device.description=KESTREL-Headset"});
    ASSERT_FALSE(module.isEmpty());
    auto unload = qScopeGuard([&] { test::pactl({"unload-module", module}); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed(); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 1; }, 10000)) << "told " << changes << " times";
    voice.setAudioOutput({QStringLiteral("kestrel_headset"), QStringLiteral("KESTREL-Headset")});
    EXPECT_EQ(voice.audioOutput().id, QStringLiteral("kestrel_headset"));

    unload.dismiss();
    test::pactl({"unload-module", module});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listed(); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 2; }, 10000)) << "told " << changes << " times";
    EXPECT_NE(voice.audioOutput().id, QStringLiteral("kestrel_headset")) << "the default speaks meanwhile";
}

// A headset plugged in that the desktop makes the default output, or a default
// the user changes: a voice left on the default speaks on the new one (Qt's
// own list never hears of the change); a voice given a device keeps it.
TEST(EspeakSpeakerTest, TheDefaultOutputIsTheSoundServersAsItChanges)
{
    if (!haveSpeaker())
        GTEST_SKIP() << "no PulseAudio speaker";
    const QString speaker = test::pactl({"get-default-sink"});
    const QString module = test::pactl({"load-module", "module-null-sink", "sink_name=kestrel_headset",
                                        "sink_properties=device.description=KESTREL-Headset"});
    ASSERT_FALSE(module.isEmpty());
    const auto restore = qScopeGuard([&] {
        test::pactl({"set-default-sink", speaker});
        test::pactl({"unload-module", module});
    });
    const QString headset = QStringLiteral("kestrel_headset");
    const struct
    {
        const char *name;
        QString chosen; ///< empty: the default
        QString spokenOnAfterTheSwitch;
    } cases[] = {
        {"left on the default", {}, headset},
        {"the speaker chosen", speaker, speaker},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::pactl({"set-default-sink", speaker});
        EspeakVoice voice(AudioOutputs::system());
        const auto listedFirst = [&voice] {
            const SpeechTokenList outputs = voice.audioOutputs();
            return outputs.isEmpty() ? QString() : outputs.constFirst().id;
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return voice.audioOutputs().size() >= 2; }, 10000));
        ASSERT_EQ(listedFirst(), speaker);
        if (!c.chosen.isEmpty())
            voice.setAudioOutput({c.chosen, c.chosen});
        EXPECT_EQ(voice.audioOutput().id, speaker);

        test::pactl({"set-default-sink", headset});
        EXPECT_TRUE(QTest::qWaitFor([&] { return listedFirst() == headset; }, 10000))
            << "first " << listedFirst().toStdString();
        EXPECT_EQ(voice.audioOutput().id, c.spokenOnAfterTheSwitch);

        voice.setAudioOutput({});
        EXPECT_EQ(voice.audioOutput().id, headset) << "back to the default";
    }
}

// Plays against a clock and breaks off when told to, as a sink does when its
// device is unplugged. Like a sink, it hands the device each chunk only when
// the next one comes, and gives back what it has not handed on; it counts what
// each device was given.
class BreakingOutput final : public StreamOutput
{
public:
    BreakingOutput(const AudioFormatInfo &format, const bool &broken, qint64 &handedOn)
        : StreamOutput(format), m_clock(format), m_broken(broken), m_handedOn(handedOn)
    {
    }

    void write(const QByteArray &bytes) override
    {
        handOn();
        m_unsent += bytes;
        m_writtenBytes += bytes.size();
    }
    void service() override
    {
        if (m_endOfData)
            handOn();
        m_clock.service();
    }
    void stop() override { m_clock.stop(); }
    qint64 processedUSecs() override { return m_clock.processedUSecs(); }
    bool finished() override
    {
        if (m_endOfData) {
            handOn();
            m_clock.endOfData();
        }
        return m_clock.finished();
    }
    bool failed() const override { return m_broken; }
    QByteArray takeUnsent() override
    {
        m_writtenBytes -= m_unsent.size();
        return std::exchange(m_unsent, QByteArray());
    }

private:
    void handOn()
    {
        if (m_broken || m_unsent.isEmpty())
            return;
        m_clock.write(m_unsent);
        m_handedOn += m_unsent.size();
        m_unsent.clear();
    }

    ClockOutput m_clock;
    const bool &m_broken;
    qint64 &m_handedOn;
    QByteArray m_unsent;
};

// A headset unplugged in the middle of a long reading: the rest is read on the
// output that speaks now, not timed in silence by a clock while listening
// stays paused for the whole text, and what the headset was never handed is
// not skipped. A device that is still listed (a sound server that stalled) is
// not opened again, since that open could hang, until the list changes: the
// list may learn of an unplugged device only after its sink broke.
TEST(EspeakSpeakerTest, AReadingWhoseDeviceGoesAwayGoesOnOnTheOutputThatSpeaksNow)
{
    if (!haveSpeaker() || QMediaDevices::audioInputs().isEmpty())
        GTEST_SKIP() << "no PulseAudio speaker";
    const QAudioDevice speaker = QMediaDevices::defaultAudioOutput();
    // Any second device will do as the headset: nothing is played on it.
    const QAudioDevice headset = QMediaDevices::audioInputs().constFirst();
    const struct
    {
        const char *name;
        QList<QAudioDevice> listedAtOnce, listedLater;
        QList<QAudioDevice> opened;
        bool nothingSkipped;
    } cases[] = {
        {"the headset is unplugged", {speaker}, {speaker}, {headset, speaker}, true},
        {"the list learns of it later", {headset, speaker}, {speaker}, {headset, speaker}, false},
        {"the headset is still listed", {headset, speaker}, {headset, speaker}, {headset}, false},
        {"no output is left", {}, {}, {headset}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QList<QAudioDevice> listed{headset, speaker};
        QList<QAudioDevice> opened;
        bool headsetBroken = false;
        const bool speakerBroken = false;
        qint64 toSpeaker = 0, toHeadset = 0;
        auto open = [&](const QAudioDevice &device, const AudioFormatInfo &format) {
            opened.append(device);
            return std::unique_ptr<StreamOutput>(
                device == headset ? std::make_unique<BreakingOutput>(format, headsetBroken, toHeadset)
                                  : std::make_unique<BreakingOutput>(format, speakerBroken, toSpeaker));
        };
        QTimer later;
        later.setSingleShot(true);
        QObject::connect(&later, &QTimer::timeout, [&] { listed = c.listedLater; });
        EspeakVoice voice(AudioOutputs{[&] { return listed; }, open});
        VoiceRecorder recorder(voice);
        recorder.onEvent = [&](const VoiceEvent &e) {
            if (e.kind == "word" && !headsetBroken) {
                listed = c.listedAtOnce;
                headsetBroken = true;
                later.start(300);
            }
        };
        const QString text =
            QStringLiteral("One two three four five six seven eight nine ten eleven twelve.");
        const int stream = voice.speak(text, kSpeakFlags);
        ASSERT_TRUE(recorder.waitForEnd(stream));
        EXPECT_EQ(opened, c.opened);
        EXPECT_GT(toHeadset, 0);
        EXPECT_EQ(recorder.wordsOf(stream, text).size(), 12) << "every word is still told";
        EXPECT_EQ(recorder.count("end", stream), 1);
        EXPECT_EQ(toSpeaker > 0, c.opened.contains(speaker));
        // Handed over at once, every byte of the stream went to one device or
        // the other; the stream ends at the sum.
        const qint64 end = recorder.eventsOf(stream).last().position;
        if (c.nothingSkipped)
            EXPECT_EQ(end, toHeadset + toSpeaker);
        else
            EXPECT_LE(toHeadset + toSpeaker, end);
    }
}

TEST(EspeakSpeakerTest, AnOutputThatFailsToOpenFallsBackToTheClock)
{
    if (!haveSpeaker())
        GTEST_SKIP() << "no PulseAudio speaker";
    // PulseAudio refuses a 10 MHz stream: a real failure to open.
    auto impossible = [](const QAudioDevice &device, const AudioFormatInfo &format) {
        AudioFormatInfo tooFast = format;
        tooFast.sampleRate = 10000000;
        return std::unique_ptr<StreamOutput>(std::make_unique<PulseOutput>(device.id(), tooFast));
    };
    ASSERT_TRUE(impossible(QMediaDevices::defaultAudioOutput(), *AudioFormats::byCode(22))->failed());

    EspeakVoice voice(AudioOutputs{&QMediaDevices::audioOutputs, impossible});
    VoiceRecorder recorder(voice);
    const QString text = QStringLiteral("Still heard.");
    const int stream = voice.speak(text, kSpeakFlags);
    ASSERT_TRUE(recorder.waitForEnd(stream));
    EXPECT_EQ(recorder.wordsOf(stream, text), QStringList({"Still", "heard"}));
    EXPECT_GT(recorder.eventsOf(stream).last().position, 0);
}

// The sound server can restart under the program (a crash, an update, a user
// running pulseaudio -k). The voice must be heard again on the next utterance,
// not stay silent until KESTREL restarts.
TEST(EspeakSpeakerTest, TheVoiceIsHeardAgainAfterTheSoundServerRestarts)
{
    if (!qEnvironmentVariableIsSet("PULSE_SERVER"))
        GTEST_SKIP() << "no PulseAudio session";
    // Made before anything here touches a sound device, so all of it uses this one.
    test::PrivateSoundServer server;
    ASSERT_TRUE(server.running()) << "pulseaudio did not start";
    ASSERT_TRUE(haveSpeaker());
    EspeakVoice voice;
    VoiceRecorder recorder(voice);
    QString seen;
    recordSinkFormat(recorder, seen);
    const auto heard = [&](const QString &text) {
        seen.clear();
        const int stream = voice.speak(text, kSpeakFlags);
        EXPECT_TRUE(recorder.waitForEnd(stream)) << qPrintable(text);
        return !seen.isEmpty();
    };
    ASSERT_TRUE(heard(QStringLiteral("Before the restart.")));
    ASSERT_TRUE(server.restart()) << "pulseaudio did not start again";
    EXPECT_TRUE(heard(QStringLiteral("After the restart."))) << "no playback stream on the new server";
}

// A sound server that stops answering (suspended, swapped out, busy) must not
// take the program with it: the stream is timed by the clock and ends while the
// server is still silent, and the next one plays once it answers again.
TEST(EspeakSpeakerTest, AStreamSpokenWhileTheSoundServerIsStoppedEndsAndTheNextOneIsHeard)
{
    const int server = qEnvironmentVariableIntValue("KESTREL_PULSE_PID");
    if (!haveSpeaker() || server <= 0)
        GTEST_SKIP() << "no PulseAudio speaker of this test session";
    EspeakVoice voice(AudioOutputs::system());
    VoiceRecorder recorder(voice);
    ASSERT_TRUE(recorder.waitForEnd(voice.speak(QStringLiteral("Hi."), kSpeakFlags)));

    ASSERT_EQ(::kill(server, SIGSTOP), 0);
    // The server is resumed whatever becomes of this thread: a thread of its own
    // resumes it after a while, so a voice that waits for it cannot hang the run.
    std::promise<void> finished;
    std::atomic_bool resumedByWatchdog{false};
    std::thread watchdog([&, done = finished.get_future()] {
        if (done.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
            resumedByWatchdog = true;
            ::kill(server, SIGCONT);
        }
    });
    auto resume = qScopeGuard([&] {
        finished.set_value();
        watchdog.join();
        ::kill(server, SIGCONT);
    });

    const QString text = QStringLiteral("Still heard.");
    const int silent = voice.speak(text, kSpeakFlags);
    EXPECT_TRUE(recorder.waitForEnd(silent));
    EXPECT_FALSE(resumedByWatchdog) << "the stream ended only once the sound server answered again";
    EXPECT_EQ(recorder.wordsOf(silent, text), QStringList({"Still", "heard"}));
    resume.dismiss();
    finished.set_value();
    watchdog.join();
    ASSERT_EQ(::kill(server, SIGCONT), 0);

    QString seen;
    recordSinkFormat(recorder, seen);
    const int heard = voice.speak(QStringLiteral("Heard again."), kSpeakFlags);
    ASSERT_TRUE(recorder.waitForEnd(heard));
    EXPECT_FALSE(seen.isEmpty()) << "the stream after the stall played on no device";
}

void submit(EspeakSynthesizer &synthesizer, int stream, const QString &text, int volume = 100)
{
    SynthesisRequest request;
    request.stream = stream;
    request.text = text;
    request.voiceId = synthesizer.voices().first().id;
    request.volume = volume;
    request.format = *AudioFormats::byCode(22);
    synthesizer.submit(request);
}

// Root mean square of one stream's audio at a given volume, straight from the
// synthesiser.
double loudness(EspeakSynthesizer &synthesizer, int stream, int volume = 100)
{
    submit(synthesizer, stream, QStringLiteral("Testing the volume."), volume);
    double sum = 0;
    qint64 samples = 0;
    for (int idle = 0; idle < 20000;) {
        std::optional<SynthesisChunk> chunk = synthesizer.take(stream);
        if (!chunk) {
            ++idle;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        for (qsizetype i = 0; i + 1 < chunk->audio.size(); i += 2) {
            std::int16_t s;
            std::memcpy(&s, chunk->audio.constData() + i, 2);
            sum += static_cast<double>(s) * s;
            ++samples;
        }
        if (chunk->last)
            return samples ? std::sqrt(sum / samples) : 0;
    }
    ADD_FAILURE() << "stream " << stream << " never finished";
    return 0;
}

TEST(EspeakSynthesizerTest, VolumeScalesTheSamplesAndCancelledStreamsAreNeverHandedOut)
{
    EspeakSynthesizer synthesizer([] {});
    const double full = loudness(synthesizer, 1, 100);
    const double quarter = loudness(synthesizer, 2, 25);
    const double silent = loudness(synthesizer, 3, 0);
    ASSERT_GT(full, 500);
    EXPECT_NEAR(full / quarter, 4.0, 1.0);
    EXPECT_LT(silent, full / 50);

    for (int stream = 4; stream <= 6; ++stream)
        submit(synthesizer, stream, QStringLiteral("A sentence that would take a while to say out loud."));
    synthesizer.cancelThrough(5);
    EXPECT_FALSE(synthesizer.take(4).has_value());
    EXPECT_FALSE(synthesizer.take(5).has_value());
    EXPECT_GT(loudness(synthesizer, 7), 0) << "the worker still serves later streams";
}

} // namespace

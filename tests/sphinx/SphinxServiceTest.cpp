// The recognition service as the setup window uses it: engines, inputs,
// grammar loading, failures without a device, and end-to-end runs through a
// PulseAudio pipe source into the capture and the decoder.

#include "SpeechClips.h"
#include "common/Failure.h"
#include "speech_platform/CommandVocabulary.h"
#include "speech_platform/sphinx/AudioCapture.h"
#include "speech_platform/sphinx/EspeakPronouncer.h"
#include "speech_platform/sphinx/SphinxRecognition.h"
#include "support/Pactl.h"
#include "support/PrivateSoundServer.h"
#include "support/PulseSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <signal.h>
#include <thread>
#include <unistd.h>

namespace kestrel {
namespace {

AudioInputs noInputs()
{
    return {[] { return QList<QAudioDevice>{}; }, [] { return QAudioDevice(); }};
}

class SphinxService : public ::testing::Test
{
protected:
    CommandPhraseList vocabulary;
    SphinxRecognitionService service{vocabulary, SphinxModelPaths::usEnglish(), noInputs()};
};

TEST_F(SphinxService, offersTwoEnginesCommandsFirst)
{
    auto recognizer = service.createInprocRecognizer();
    const SpeechTokenList engines = recognizer->recognizers();
    ASSERT_EQ(engines.size(), 2);
    EXPECT_EQ(engines[0].description, QStringLiteral("PocketSphinx US English (commands and dictation)"));
    EXPECT_EQ(engines[1].description, QStringLiteral("PocketSphinx US English (dictation only)"));
    EXPECT_NO_THROW(recognizer->setRecognizer(engines[1]));
    EXPECT_THROW(recognizer->setRecognizer({QStringLiteral("x"), QStringLiteral("x")}), Failure);
    EXPECT_TRUE(recognizer->audioInputs().isEmpty());
    EXPECT_THROW(recognizer->setAudioInput({QStringLiteral("gone"), QStringLiteral("gone")}), Failure);
}

TEST_F(SphinxService, withoutAnInputDeviceActivationFailsAndNothingChanges)
{
    auto context = service.createSharedRecoContext();
    QSignalSpy starts(context.get(), &RecoContext::startStream);
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    grammar.dictationSetState(false);
    try {
        grammar.dictationSetState(true);
        FAIL() << "activated without an input device";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("audio input")));
    }
    EXPECT_FALSE(grammar.dictationActive());
    // Typed text needs no microphone: a loaded grammar takes an emulated
    // recognition, with no stream started for it.
    QSignalSpy recognitions(context.get(), &RecoContext::recognition);
    context->recognizer().emulateRecognition(QStringLiteral("open notepad"));
    EXPECT_TRUE(recognitions.wait(5000));
    ASSERT_EQ(recognitions.count(), 1);
    EXPECT_EQ(recognitions.first().at(3).value<RecognitionResult>().phrase.getText(true),
              QStringLiteral("open notepad"));
    EXPECT_EQ(starts.count(), 0);

    // Without a loaded grammar there is nothing to take it.
    auto bare = service.createSharedRecoContext();
    bare->createGrammar(1);
    EXPECT_THROW(bare->recognizer().emulateRecognition(QStringLiteral("open notepad")), Failure);
}

TEST_F(SphinxService, commandGrammarFileLoadsOrFails)
{
    auto context = service.createSharedRecoContext();
    RecoGrammar &grammar = context->createGrammar(1);
    QTemporaryDir dir;
    EXPECT_THROW(grammar.cmdLoadFromFile(dir.filePath(QStringLiteral("sol.xml")), true), Failure);
    EXPECT_THROW(grammar.cmdSetRuleIdState(0, false), Failure) << "no grammar is loaded";
    EXPECT_NO_THROW(grammar.cmdLoadFromFile(QStringLiteral(KESTREL_RESOURCES_DIR "/sol.xml"), true));
    EXPECT_NO_THROW(grammar.cmdSetRuleIdState(0, false));
    EXPECT_THROW(grammar.cmdSetRuleIdState(7, true), Failure);
}

TEST_F(SphinxService, missingModelIsAFailureWhenTheContextIsCreated)
{
    SphinxRecognitionService missing(vocabulary, SphinxModelPaths::usEnglish(QStringLiteral("/nonexistent")),
                                     noInputs());
    EXPECT_THROW(missing.createSharedRecoContext(), Failure);
    EXPECT_THROW(missing.createInprocRecognizer()->createRecoContext(), Failure);
}

/// Long enough for the models to load on a busy machine.
constexpr int kLoadWaitMs = 60000;

TEST_F(SphinxService, aStartWithoutAMicrophoneLeavesTheModelsLoadingForTheNextStart)
{
    EXPECT_FALSE(service.modelsLoaded()) << "nothing asked for them yet";
    auto context = service.createSharedRecoContext();
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    EXPECT_THROW(grammar.dictationSetState(true), Failure) << "there is no input";
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.modelsLoaded(); }, kLoadWaitMs))
        << "the models were still not loaded, with no Start or Emulate to wait for them";
    // Loaded, not failed: a typed command is served by them.
    QSignalSpy recognitions(context.get(), &RecoContext::recognition);
    EXPECT_NO_THROW(context->recognizer().emulateRecognition(QStringLiteral("open notepad")));
    EXPECT_TRUE(recognitions.wait(5000));
    // A second context shares them.
    auto other = service.createInprocRecognizer()->createRecoContext();
    EXPECT_TRUE(service.modelsLoaded());
}

TEST(SphinxModelLoad, anEditMadeWhileTheModelsLoadReachesTheCommandGrammar)
{
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({QStringLiteral("OPEN NOTEPAD")});
    SphinxEngineShared shared(vocabulary, SphinxModelPaths::usEnglish());
    shared.loadInBackground();
    // The load took the phrases as they were when it started.
    vocabulary.setPhrases({QStringLiteral("OPEN NOTEPAD"), QStringLiteral("CLOSE ZORBLAX")});
    const std::shared_ptr<SphinxDecoder> decoder = shared.decoder();
    ASSERT_TRUE(decoder);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !decoder->commandPhrasesPending() &&
                   decoder->isCommand({QStringLiteral("close"), QStringLiteral("zorblax")});
        },
        kLoadWaitMs))
        << "the phrase added during the load is not in the grammar";
    EXPECT_TRUE(decoder->isCommand({QStringLiteral("open"), QStringLiteral("notepad")}));
    EXPECT_EQ(shared.decoder(), decoder) << "loaded once";
}

TEST(SphinxModelLoad, aLoadThatFailsIsReportedAtFirstUseAndTheNextUseLoadsAgain)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SphinxModelPaths paths = SphinxModelPaths::usEnglish();
    const QString installed = paths.dictionary;
    paths.dictionary = dir.filePath(QStringLiteral("being-written.dict"));
    {
        QFile file(paths.dictionary);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({QStringLiteral("OPEN NOTEPAD")});
    SphinxEngineShared shared(vocabulary, paths);
    shared.loadInBackground();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shared.modelsLoaded(); }, kLoadWaitMs));
    try {
        shared.decoder();
        ADD_FAILURE() << "a decoder without a dictionary was handed out";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains(paths.dictionary)) << qPrintable(failure.description());
    }
    // The file is whole now: the failure was not kept as the answer for good.
    ASSERT_TRUE(QFile::remove(paths.dictionary));
    ASSERT_TRUE(QFile::copy(installed, paths.dictionary));
    std::shared_ptr<SphinxDecoder> decoder;
    EXPECT_NO_THROW(decoder = shared.decoder());
    ASSERT_TRUE(decoder);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return decoder->isCommand({QStringLiteral("open"), QStringLiteral("notepad")});
        },
        kLoadWaitMs));
}

/// The audio input of that description; null when the recogniser does not list it.
std::optional<SpeechToken> inputNamed(Recognizer &recognizer, const char *description)
{
    const SpeechTokenList inputs = recognizer.audioInputs();
    const auto it = std::find_if(inputs.begin(), inputs.end(), [&](const SpeechToken &t) {
        return t.description == QLatin1String(description);
    });
    return it == inputs.end() ? std::nullopt : std::optional<SpeechToken>(*it);
}

/// An in-process recogniser of `service` listening on the session's pipe
/// source; null (with a test failure) when the source is not listed.
std::unique_ptr<Recognizer> recognizerOnTestMicrophone(SphinxRecognitionService &service)
{
    auto recognizer = service.createInprocRecognizer();
    const auto mic = inputNamed(*recognizer, "KESTREL-Microphone");
    if (!mic) {
        ADD_FAILURE() << "the pipe source is not listed";
        return nullptr;
    }
    recognizer->setAudioInput(*mic);
    return recognizer;
}

using test::kNoPulseSession;
using test::pulseSessionRuns;

using test::pactl;

/// Feeds 16 kHz audio into the PulseAudio pipe source at the pace of real time.
/// With `dropUnread`, what the source does not take (no one records from it) is
/// dropped instead of waited for.
void feedPipe(const QString &fifo, const testing::Samples &audio, bool dropUnread)
{
    const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | (dropUnread ? O_NONBLOCK : 0));
    if (fd < 0)
        return;
    constexpr size_t kChunk = 1600; // 100 ms
    for (size_t i = 0; i < audio.size(); i += kChunk) {
        const size_t n = std::min(kChunk, audio.size() - i);
        if (::write(fd, audio.data() + i, n * 2) < 0 && !(dropUnread && errno == EAGAIN))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::close(fd);
}

void feedMicrophone(const QString &fifo, const testing::Samples &audio)
{
    feedPipe(fifo, audio, false);
}

TEST(SphinxServiceLive, speechThroughPulseAudioIsRecognisedAndEmulationFollowsTheSamePath)
{
    const QByteArray pulseDir = qgetenv("KESTREL_PULSE_DIR");
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({"OPEN NOTEPAD", "CLOSE NOTEPAD", "CURSOR"});
    SphinxRecognitionService service(vocabulary);
    auto recognizer = recognizerOnTestMicrophone(service);
    ASSERT_NE(recognizer, nullptr);
    auto context = recognizer->createRecoContext();
    context->setEventInterests(context->eventInterests() | EventStartStream);
    QSignalSpy starts(context.get(), &RecoContext::startStream);
    QSignalSpy ends(context.get(), &RecoContext::endStream);
    QSignalSpy recognitions(context.get(), &RecoContext::recognition);
    QSignalSpy states(context.get(), &RecoContext::recognizerStateChange);
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    grammar.dictationSetState(true);
    EXPECT_TRUE(states.isEmpty()) << "the state change must arrive queued, not inside the call";

    const testing::Samples audio = testing::padded(
        testing::synthesise(QStringLiteral("open notepad"), QStringLiteral("en-us"), 160), 1.5, 1.5, 40);
    std::thread speaker(feedMicrophone, QString::fromLocal8Bit(pulseDir) + QStringLiteral("/mic.fifo"),
                        audio);
    // A deadline, not a measure: a slow machine builds the grammar first.
    for (int i = 0; i < 300 && recognitions.isEmpty(); ++i)
        recognitions.wait(200);
    speaker.join();
    ASSERT_EQ(recognitions.count(), 1);
    const auto spoken = recognitions.takeFirst();
    EXPECT_EQ(spoken.at(2).toInt(), 0);
    EXPECT_EQ(spoken.at(3).value<RecognitionResult>().phrase.getText(true), QStringLiteral("open notepad"));
    EXPECT_FALSE(spoken.at(3).value<RecognitionResult>().emulated) << "heard, not emulated";
    EXPECT_EQ(starts.count(), 1);

    recognizer->emulateRecognition(QStringLiteral("cursor one hundred comma two hundred"));
    EXPECT_TRUE(recognitions.isEmpty()) << "emulation must arrive queued, not inside the call";
    ASSERT_TRUE(recognitions.wait(5000));
    const QList<QVariant> emulated = recognitions.takeFirst();
    EXPECT_EQ(emulated.at(0).toInt(), starts.first().at(0).toInt()) << "an event of the stream listening";
    EXPECT_EQ(emulated.at(2).toInt(), 2) << "typed as emulated";
    const RecognitionResult result = emulated.at(3).value<RecognitionResult>();
    EXPECT_EQ(result.phrase.getText(true), QStringLiteral("cursor 100, 200"));
    EXPECT_EQ(result.phrase.getText(false), QStringLiteral("cursor one hundred comma two hundred"));
    ASSERT_TRUE(result.phrase.elements.has_value());
    EXPECT_EQ(result.phrase.elements->size(), 6);
    EXPECT_FALSE(result.phrase.elements->first().pronunciation.isEmpty());
    EXPECT_FALSE(result.hasAudio);
    EXPECT_TRUE(result.emulated);

    grammar.dictationSetState(false);
    ASSERT_TRUE(ends.count() == 1 || ends.wait(5000));
    EXPECT_FALSE(ends.first().at(2).toBool());
    ASSERT_TRUE(states.count() == 2 || states.wait(5000));
    ASSERT_EQ(states.count(), 2);
    const qint32 stream = starts.first().at(0).toInt();
    // Both changes name the one stream: active as it opens, inactive as it ends.
    EXPECT_EQ(states.at(0), (QVariantList{stream, qint64(0), 1}));
    EXPECT_EQ(states.at(1).at(0).toInt(), stream);
    EXPECT_EQ(states.at(1).at(2).toInt(), 0);

    // Switched on and off in one go, as emulating with recognition off does:
    // the inactive change still names the stream that opened and where it ended.
    grammar.dictationSetState(true);
    grammar.dictationSetState(false);
    for (int i = 0; i < 25 && (states.count() < 4 || ends.count() < 2); ++i)
        states.wait(200);
    ASSERT_EQ(states.count(), 4);
    ASSERT_EQ(starts.count(), 2);
    ASSERT_EQ(ends.count(), 2);
    const qint32 second = starts.at(1).at(0).toInt();
    EXPECT_EQ(states.at(2), (QVariantList{second, qint64(0), 1}));
    EXPECT_EQ(states.at(3), (QVariantList{second, ends.at(1).at(1), 0}));

    // Emulate with recognition off switches on, emulates and switches off in
    // one go. The emulated result belongs to the stream that opened for it,
    // between its start and its end, as the event list shows it.
    QList<std::pair<char, qint32>> order;
    QObject::connect(context.get(), &RecoContext::startStream, [&](qint32 n, qint64) { order << std::pair{'S', n}; });
    QObject::connect(context.get(), &RecoContext::recognition,
                     [&](qint32 n, qint64, qint32, const RecognitionResult &) { order << std::pair{'R', n}; });
    QObject::connect(context.get(), &RecoContext::endStream, [&](qint32 n, qint64, bool) { order << std::pair{'E', n}; });
    constexpr int kCycles = 8;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        grammar.dictationSetState(true);
        recognizer->emulateRecognition(QStringLiteral("open notepad"));
        grammar.dictationSetState(false);
    }
    for (int i = 0; i < 50 && order.size() < 3 * kCycles; ++i)
        ends.wait(200);
    ASSERT_EQ(order.size(), 3 * kCycles);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE(cycle);
        const qint32 n = order.at(3 * cycle).second;
        EXPECT_EQ(order.mid(3 * cycle, 3), (QList<std::pair<char, qint32>>{{'S', n}, {'R', n}, {'E', n}}));
    }
}

TEST(SphinxServiceLive, anInputThatGoesAwayIsReportedEndsTheStreamAndIsHeardAgainWhenBack)
{
    const QByteArray pulseDir = qgetenv("KESTREL_PULSE_DIR");
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    const QString fifo = QString::fromLocal8Bit(pulseDir) + QStringLiteral("/gone.fifo");
    const auto plugIn = [&] {
        return pactl({QStringLiteral("load-module"), QStringLiteral("module-pipe-source"),
                      QStringLiteral("source_name=kestrel_unplugged"), QStringLiteral("file=") + fifo,
                      QStringLiteral("format=s16le"), QStringLiteral("rate=16000"),
                      QStringLiteral("channels=1"),
                      QStringLiteral("source_properties=device.description=KESTREL-Unplugged")});
    };
    QString module = plugIn();
    ASSERT_FALSE(module.isEmpty()) << "pactl could not add a second source";
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({"OPEN NOTEPAD"});
    SphinxRecognitionService service(vocabulary);
    auto recognizer = service.createInprocRecognizer();
    QMediaDevices devices;
    QSignalSpy inputsSeen(&devices, &QMediaDevices::audioInputsChanged);
    auto gone = inputNamed(*recognizer, "KESTREL-Unplugged");
    for (int i = 0; i < 25 && !gone; ++i) {
        inputsSeen.wait(200);
        gone = inputNamed(*recognizer, "KESTREL-Unplugged");
    }
    ASSERT_TRUE(gone) << "the second pipe source is not listed";
    recognizer->setAudioInput(*gone);
    auto context = recognizer->createRecoContext();
    QSignalSpy starts(context.get(), &RecoContext::startStream);
    QSignalSpy ends(context.get(), &RecoContext::endStream);
    QSignalSpy lost(context.get(), &RecoContext::listeningLost);
    QSignalSpy states(context.get(), &RecoContext::recognizerStateChange);
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    grammar.dictationSetState(true);
    // The stream starts once the first command grammar is built, seconds on a busy machine.
    ASSERT_TRUE(starts.count() == 1 || starts.wait(30000));

    QSignalSpy typed(context.get(), &RecoContext::recognition);
    QStringList order;
    const QMetaObject::Connection noteLoss =
        QObject::connect(context.get(), &RecoContext::listeningLost, [&] { order << "lost"; });
    const QMetaObject::Connection noteTyped =
        QObject::connect(context.get(), &RecoContext::recognition, [&] { order << "typed"; });
    pactl({QStringLiteral("unload-module"), module});
    // The capture ends the stream on its own thread within a second; a phrase
    // typed before the window hears of it still goes through, after the loss.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    recognizer->emulateRecognition(QStringLiteral("open notepad"));
    ASSERT_TRUE(lost.count() == 1 || lost.wait(10000)) << "nothing told the user that listening stopped";
    ASSERT_TRUE(typed.count() == 1 || typed.wait(5000)) << "the typed phrase was lost with the stream";
    EXPECT_EQ(typed.first().at(3).value<RecognitionResult>().phrase.getText(true),
              QStringLiteral("open notepad"));
    EXPECT_EQ(order, QStringList({"lost", "typed"})) << "the stream had not ended before the phrase came";
    QObject::disconnect(noteLoss);
    QObject::disconnect(noteTyped);
    EXPECT_TRUE(lost.first().at(0).toString().contains(QLatin1String("KESTREL-Unplugged")))
        << qPrintable(lost.first().at(0).toString());
    EXPECT_TRUE(ends.count() == 1 || ends.wait(5000)) << "the open stream was not ended";
    grammar.dictationSetState(false); // switching off after the loss is harmless
    QCoreApplication::processEvents();
    ASSERT_EQ(states.count(), 2);
    EXPECT_EQ(states.at(1).at(2).toInt(), 0) << "the loss switched listening off";
    EXPECT_EQ(states.at(1).at(0), starts.at(0).at(0)) << "for the stream that was open";
    EXPECT_THROW(grammar.dictationSetState(true), Failure) << "listening to an input that is not there";
    EXPECT_FALSE(grammar.dictationActive());

    // Plugged in again under the same name: the same context listens to it.
    module = plugIn();
    ASSERT_FALSE(module.isEmpty());
    bool back = false;
    for (int i = 0; i < 50 && !back; ++i) {
        back = inputNamed(*recognizer, "KESTREL-Unplugged").has_value();
        if (!back)
            inputsSeen.wait(200);
    }
    ASSERT_TRUE(back) << "the source did not come back";
    QSignalSpy recognitions(context.get(), &RecoContext::recognition);
    ASSERT_NO_THROW(grammar.dictationSetState(true));
    ASSERT_TRUE(starts.count() == 2 || starts.wait(30000));
    const testing::Samples audio = testing::padded(
        testing::synthesise(QStringLiteral("open notepad"), QStringLiteral("en-us"), 160), 1.5, 1.5, 40);
    std::thread speaker(feedMicrophone, fifo, audio);
    for (int i = 0; i < 100 && recognitions.isEmpty(); ++i)
        recognitions.wait(200);
    speaker.join();
    grammar.dictationSetState(false);
    pactl({QStringLiteral("unload-module"), module});
    ASSERT_EQ(recognitions.count(), 1);
    EXPECT_EQ(recognitions.first().at(3).value<RecognitionResult>().phrase.getText(true),
              QStringLiteral("open notepad"));
    EXPECT_TRUE(lost.count() == 1) << "switching off is not a loss";
}

// A second microphone (a headset) that the sound server takes as its default,
// before or while the program runs: it is the one listened to, it comes first
// in the list the in-process recogniser takes its input from, and that
// recogniser names it as the desktop's default (what a lost input falls back to).
TEST(SphinxServiceLive, theSoundServersDefaultInputIsTheDefaultAndComesFirst)
{
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    const QString fifo = QString::fromLocal8Bit(qgetenv("KESTREL_PULSE_DIR")) + QStringLiteral("/headset.fifo");
    const QString module = pactl({"load-module", "module-pipe-source", "source_name=kestrel_headset_mic",
                                  "file=" + fifo, "format=s16le", "rate=16000", "channels=1",
                                  "source_properties=device.description=KESTREL-Headset"});
    ASSERT_FALSE(module.isEmpty()) << "pactl could not add a second source";
    const QString before = pactl({"get-default-source"});
    const auto back = qScopeGuard([&] {
        pactl({"set-default-source", before});
        pactl({"unload-module", module});
    });
    const AudioInputs inputs = AudioInputs::system();
    const auto listedFirst = [&] {
        const QList<QAudioDevice> devices = inputs.list();
        return devices.isEmpty() ? QByteArray() : devices.constFirst().id();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return inputs.list().size() >= 2; }, 10000));
    CommandPhraseList vocabulary;
    SphinxRecognitionService service(vocabulary);
    const std::unique_ptr<Recognizer> recognizer = service.createInprocRecognizer();
    ASSERT_NE(recognizer, nullptr);
    for (const QString &source : {QStringLiteral("kestrel_headset_mic"), before}) {
        SCOPED_TRACE(source.toStdString());
        pactl({"set-default-source", source});
        EXPECT_TRUE(QTest::qWaitFor([&] { return inputs.defaultInput().id() == source.toUtf8(); }, 10000))
            << "listened to " << inputs.defaultInput().id().constData();
        EXPECT_EQ(listedFirst(), source.toUtf8());
        EXPECT_TRUE(QTest::qWaitFor([&] { return recognizer->desktopDefaultInput().id == source; }, 10000))
            << recognizer->desktopDefaultInput().id.toStdString();
    }
}

// The events of one stream arrive in batches. A recognition in a batch runs a
// command whose spoken answer pauses listening in a nested event loop, where
// the stream's end is reported. What is left of the batch belongs to a stream
// that has ended: it must not be reported after that end, under whatever
// stream is listening by then, nor a second command be carried out after a
// "stop recognition".
TEST(SphinxServiceLive, theRestOfABatchIsDroppedOnceItsStreamHasEnded)
{
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({"OPEN NOTEPAD"});
    SphinxRecognitionService service(vocabulary);
    auto recognizer = recognizerOnTestMicrophone(service);
    ASSERT_NE(recognizer, nullptr);
    auto base = recognizer->createRecoContext();
    auto *context = static_cast<SphinxRecoContext *>(base.get());
    context->setEventInterests(context->eventInterests() | EventStartStream | EventAudioLevel);
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    grammar.dictationSetState(true);
    QSignalSpy starts(context, &RecoContext::startStream);
    for (int i = 0; i < 150 && starts.isEmpty(); ++i) // the first grammar may be building
        starts.wait(200);
    ASSERT_EQ(starts.count(), 1);
    const qint32 stream = starts.first().at(0).toInt();

    QList<std::pair<QString, qint32>> seen;
    bool ended = false;
    QObject::connect(context, &RecoContext::endStream, [&](qint32 n, qint64, bool) {
        seen << std::pair{QStringLiteral("end"), n};
        ended = true;
    });
    QObject::connect(context, &RecoContext::audioLevel,
                     [&](qint32 n, qint64, qint32) { seen << std::pair{QStringLiteral("level"), n}; });
    QObject::connect(context, &RecoContext::recognition, [&](qint32 n, qint64, qint32, const RecognitionResult &) {
        seen << std::pair{QStringLiteral("recognition"), n};
        // The answer pauses listening; the stream's end comes in its wait.
        grammar.dictationSetState(false);
        QDeadlineTimer deadline(5000);
        while (!ended && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    });
    QSignalSpy falses(context, &RecoContext::falseRecognition);
    AudioCapture *capture = context->capture();
    ASSERT_NE(capture, nullptr);
    RecognitionResult said;
    said.phrase.text = QStringLiteral("open notepad");
    // A phrase decoded from the backlog, already on its way in a batch of its
    // own when listening pauses: heard, but not carried out inside the pause.
    QMetaObject::invokeMethod(
        capture,
        [capture, said] { Q_EMIT capture->events({StreamEvent{StreamEvent::Kind::Recognition, 400, 0, said}}); },
        Qt::QueuedConnection);
    Q_EMIT capture->events({StreamEvent{StreamEvent::Kind::Recognition, 100, 0, said},
                            StreamEvent{StreamEvent::Kind::AudioLevel, 200, 50, {}},
                            StreamEvent{StreamEvent::Kind::Recognition, 300, 0, said}});
    ASSERT_TRUE(ended);
    EXPECT_EQ(falses.count(), 1) << "the queued phrase is reported as not recognised";
    EXPECT_EQ(seen.first(), (std::pair{QStringLiteral("recognition"), stream}));
    EXPECT_EQ(seen.last(), (std::pair{QStringLiteral("end"), stream})) << "nothing of the stream after its end";
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const auto &e) { return e.first == "recognition"; }), 1);
}

/// A pronouncer that holds the grammar build on one word until the test lets
/// it go, and says every other word as eSpeak NG does.
struct HeldWord
{
    static constexpr const char *kWord = "zorblax";
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    bool gaveUp = false;

    SphinxDecoder::WordPronouncer pronouncer()
    {
        return [this](const QStringList &words) {
            QStringList others = words;
            QHash<QString, QString> said;
            if (others.removeAll(QLatin1String(kWord)) > 0) {
                std::unique_lock lock(mutex);
                entered = true;
                changed.notify_all();
                // A deadline, not a measure: a Stop that waits for the build
                // would wait for ever here, and the test sees that it did.
                gaveUp = !changed.wait_for(lock, std::chrono::seconds(20), [this] { return released; });
                said.insert(QLatin1String(kWord), QStringLiteral("Z AO R B L AE K S"));
            }
            if (!others.isEmpty())
                said.insert(EspeakPronouncer().pronounce(others));
            return said;
        };
    }
    bool waitEntered()
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [this] { return entered; });
    }
    /// Whether the build is still held (neither let go nor given up).
    bool holding()
    {
        std::lock_guard lock(mutex);
        return entered && !released && !gaveUp;
    }
    void release()
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

// A table edit rebuilds the grammar on the capture's thread at the next pause
// in speech, and the program's voice stops listening right then to say its
// answer. Stopping must not wait for the build; what is said after the stop
// must not be heard by the stream that ends; and the next stream must hear,
// though the old one ended on the shared decoder after it was asked to.
TEST(SphinxServiceLive, aStopDuringAGrammarBuildReturnsAtOnceAndTheNextStreamHears)
{
    const QByteArray pulseDir = qgetenv("KESTREL_PULSE_DIR");
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    const QString fifo = QString::fromLocal8Bit(pulseDir) + QStringLiteral("/mic.fifo");
    HeldWord held;
    // Let go however the test ends: the capture's thread is waited for below.
    const auto letGo = qScopeGuard([&] { held.release(); });
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({"OPEN NOTEPAD"});
    SphinxRecognitionService service(vocabulary, SphinxModelPaths::usEnglish(), AudioInputs::system(),
                                     held.pronouncer());
    auto recognizer = recognizerOnTestMicrophone(service);
    ASSERT_NE(recognizer, nullptr);
    auto context = recognizer->createRecoContext();
    context->setEventInterests(context->eventInterests() | EventStartStream | EventSoundStart);
    QSignalSpy starts(context.get(), &RecoContext::startStream);
    QSignalSpy ends(context.get(), &RecoContext::endStream);
    QSignalSpy states(context.get(), &RecoContext::recognizerStateChange);
    QSignalSpy sounds(context.get(), &RecoContext::soundStart);
    QSignalSpy recognitions(context.get(), &RecoContext::recognition);
    QSignalSpy falses(context.get(), &RecoContext::falseRecognition);
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    grammar.dictationSetState(true);
    ASSERT_TRUE(starts.count() == 1 || starts.wait(30000));

    // The pause: a noise floor, during which the edit is built.
    std::thread pause(feedMicrophone, fifo, testing::padded({}, 3.0, 0.0, 40));
    vocabulary.setPhrases({"OPEN NOTEPAD", "OPEN ZORBLAX"});
    const bool building = held.waitEntered();
    pause.join();
    ASSERT_TRUE(building) << "the edit was not built while listening";

    QStringList order;
    QObject::connect(context.get(), &RecoContext::startStream,
                     [&](qint32 n, qint64) { order << QStringLiteral("start %1").arg(n); });
    QObject::connect(context.get(), &RecoContext::endStream,
                     [&](qint32 n, qint64, bool) { order << QStringLiteral("end %1").arg(n); });
    QObject::connect(context.get(), &RecoContext::recognizerStateChange, [&](qint32 n, qint64, qint32 state) {
        order << QStringLiteral("%1 %2").arg(state != 0 ? "on" : "off").arg(n);
    });
    QObject::connect(context.get(), &RecoContext::recognition,
                     [&](qint32 n, qint64, qint32, const RecognitionResult &) {
                         order << QStringLiteral("typed %1").arg(n);
                     });
    grammar.dictationSetState(false);
    EXPECT_TRUE(held.holding()) << "switching listening off waited for the grammar build";
    EXPECT_FALSE(grammar.dictationActive());
    // The program's own voice, said after the stop and recorded before the
    // stopped stream's thread is free again.
    feedPipe(
        fifo,
        testing::padded(testing::synthesise(QStringLiteral("open notepad"), QStringLiteral("en-us"), 160),
                        0.3, 0.5, 40),
        true);
    // Typed meanwhile: it comes after the end of the stream still ending.
    recognizer->emulateRecognition(QStringLiteral("close notepad"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(order.isEmpty()) << "an event came while the stopped stream's thread was in the build: "
                                 << order.join(", ").toStdString();
    held.release();
    // On again at once, as after the program's answer: the old stream is still
    // ending on the decoder, where the rest of the build runs first.
    grammar.dictationSetState(true);
    ASSERT_TRUE(starts.count() == 2 || starts.wait(30000));
    const qint32 first = starts.at(0).at(0).toInt();
    const qint32 second = starts.at(1).at(0).toInt();
    EXPECT_EQ(
        order.join(QStringLiteral(", ")).toStdString(),
        QStringLiteral("end %1, off %1, typed %1, on %2, start %2").arg(first).arg(second).toStdString());
    ASSERT_EQ(recognitions.count(), 1);
    EXPECT_EQ(recognitions.takeFirst().at(3).value<RecognitionResult>().phrase.getText(true),
              QStringLiteral("close notepad"));
    ASSERT_EQ(ends.count(), 1);
    EXPECT_EQ(states.at(1), (QVariantList{first, ends.at(0).at(1), 0})) << "off where the stream ended";
    EXPECT_TRUE(sounds.isEmpty()) << "speech recorded after the stop was decoded";
    EXPECT_TRUE(falses.isEmpty());

    // The next stream hears.
    std::thread speaker(
        feedMicrophone, fifo,
        testing::padded(testing::synthesise(QStringLiteral("open notepad"), QStringLiteral("en-us"), 160),
                        1.5, 1.5, 40));
    for (int i = 0; i < 100 && recognitions.isEmpty(); ++i)
        recognitions.wait(200);
    speaker.join();
    grammar.dictationSetState(false);
    ASSERT_EQ(recognitions.count(), 1) << "the stream after the stopped one heard nothing";
    EXPECT_EQ(recognitions.first().at(0).toInt(), second);
    EXPECT_EQ(recognitions.first().at(3).value<RecognitionResult>().phrase.getText(true),
              QStringLiteral("open notepad"));
}

/// Switches listening on again and again, as the recognition window does after
/// a loss, until it takes or `ms` have passed.
bool listensWithin(RecoGrammar &grammar, int ms)
{
    return QTest::qWaitFor(
        [&] {
            try {
                grammar.dictationSetState(true);
            } catch (const Failure &) {
                return false;
            }
            return true;
        },
        ms);
}

// A capture left stuck in an open makes the sound backend's teardown at a
// normal exit abort. The program always ends with _exit; a test process that
// left one (none should) ends the same way, with its result.
class StuckCaptureExit : public ::testing::Environment
{
public:
    void TearDown() override
    {
        if (AudioCapture::stuckCaptures() == 0)
            return;
        std::fflush(nullptr);
        ::_exit(::testing::UnitTest::GetInstance()->Passed() ? 0 : 1);
    }
};
const auto *const kStuckCaptureExit = ::testing::AddGlobalTestEnvironment(new StuckCaptureExit);

// An input the device list still names but the sound server no longer has (it
// went a moment ago). Switching listening on at that moment (the end of every
// sentence the program says) must fail, not hang the window; Qt's own capture
// once waited for ever for such a stream to be ready.
TEST(SphinxServiceLive, anInputGoneAsListeningStartsIsAFailureNotAHang)
{
    const QByteArray pulseDir = qgetenv("KESTREL_PULSE_DIR");
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    const auto listed = [](const QString &description) {
        const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
        const auto it = std::find_if(inputs.begin(), inputs.end(),
                                     [&](const QAudioDevice &d) { return d.description() == description; });
        return it == inputs.end() ? QAudioDevice() : *it;
    };
    const QString name = QStringLiteral("KESTREL-Brief");
    const QString module = pactl({QStringLiteral("load-module"), QStringLiteral("module-pipe-source"),
                                  QStringLiteral("source_name=kestrel_brief"),
                                  QStringLiteral("file=") + QString::fromLocal8Bit(pulseDir) +
                                      QStringLiteral("/brief.fifo"),
                                  QStringLiteral("format=s16le"), QStringLiteral("rate=16000"),
                                  QStringLiteral("channels=1"),
                                  QStringLiteral("source_properties=device.description=") + name});
    ASSERT_FALSE(module.isEmpty()) << "pactl could not add a source";
    QMediaDevices devices;
    QSignalSpy changes(&devices, &QMediaDevices::audioInputsChanged);
    QAudioDevice brief = listed(name);
    for (int i = 0; i < 25 && brief.isNull(); ++i) {
        changes.wait(200);
        brief = listed(name);
    }
    ASSERT_FALSE(brief.isNull()) << "the source is not listed";
    pactl({QStringLiteral("unload-module"), module});
    for (int i = 0; i < 25 && !listed(name).isNull(); ++i)
        changes.wait(200);
    ASSERT_TRUE(listed(name).isNull()) << "the source is still listed";

    // A list that has not caught up yet: it still names the input that went.
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({"OPEN NOTEPAD"});
    SphinxRecognitionService stale(
        vocabulary, SphinxModelPaths::usEnglish(),
        {[brief] { return QList<QAudioDevice>{brief}; }, [brief] { return brief; }});
    auto context = stale.createSharedRecoContext();
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    // Listening resumes after every sentence the program says: every try fails
    // on its own, naming the input, and none leaves an open waiting behind it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        try {
            grammar.dictationSetState(true);
            ADD_FAILURE() << "listening to an input that is gone";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(name)) << qPrintable(failure.description());
        }
        EXPECT_FALSE(grammar.dictationActive());
        EXPECT_EQ(AudioCapture::stuckCaptures(), 0) << "an open was left waiting";
    }

    // The microphone that is there still listens.
    SphinxRecognitionService working(vocabulary);
    auto recognizer = recognizerOnTestMicrophone(working);
    ASSERT_NE(recognizer, nullptr);
    auto listening = recognizer->createRecoContext();
    RecoGrammar &commands = listening->createGrammar(1);
    commands.dictationLoad();
    EXPECT_NO_THROW(commands.dictationSetState(true));
    commands.dictationSetState(false);
}

// A sound server that stops answering for a while (busy, swapped out) must
// neither hold the window nor keep the microphone away once it answers again.
// Listening is not opened on a server known to be silent; when the silence
// begins during the open (here: without asking the server first), the open
// gives up after a bounded wait, and the input is taken again once the server
// answers.
TEST(SphinxServiceLive, aMicrophoneRefusedWhileTheServerIsStoppedIsTakenAgainOnceItAnswers)
{
    const int server = qEnvironmentVariableIntValue("KESTREL_PULSE_PID");
    if (!pulseSessionRuns() || server <= 0)
        GTEST_SKIP() << kNoPulseSession;
    struct Case
    {
        const char *name;
        bool serverAsked;
    };
    for (const Case &c : {Case{"server asked first", true}, Case{"silence during the open", false}}) {
        SCOPED_TRACE(c.name);
        CommandPhraseList vocabulary;
        vocabulary.setPhrases({"OPEN NOTEPAD"});
        AudioInputs inputs = AudioInputs::system();
        if (!c.serverAsked)
            inputs.serverSilent = nullptr;
        SphinxRecognitionService service(vocabulary, SphinxModelPaths::usEnglish(), inputs);
        auto recognizer = recognizerOnTestMicrophone(service);
        ASSERT_NE(recognizer, nullptr);
        auto context = recognizer->createRecoContext();
        RecoGrammar &grammar = context->createGrammar(1);
        grammar.dictationLoad();
        EXPECT_NO_THROW(grammar.dictationSetState(true));
        grammar.dictationSetState(false);
        const int stuckBefore = AudioCapture::stuckCaptures();

        ASSERT_EQ(::kill(server, SIGSTOP), 0);
        auto resume = qScopeGuard([&] { ::kill(server, SIGCONT); });
        EXPECT_THROW(grammar.dictationSetState(true), Failure);
        EXPECT_EQ(AudioCapture::stuckCaptures(), stuckBefore)
            << "an open was left waiting on the silent server";

        ASSERT_EQ(::kill(server, SIGCONT), 0);
        // An open the server never answered is refused for half a minute.
        const bool listening = listensWithin(grammar, 45000);
        EXPECT_TRUE(listening) << "the microphone is still refused after the server answered again";
        EXPECT_TRUE(grammar.dictationActive());
        grammar.dictationSetState(false);
    }
}

// The sound server can restart under the program (a crash, an update, a user
// running pulseaudio -k). Listening is lost with it and must open again once
// the new server answers, not only after KESTREL restarts: a user who cannot
// use the keyboard has no other way back.
TEST(SphinxServiceLive, listeningOpensAgainAfterTheSoundServerRestarts)
{
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    // Made before anything here touches a sound device, so all of it uses this one.
    test::PrivateSoundServer server;
    ASSERT_TRUE(server.running()) << "pulseaudio did not start";
    CommandPhraseList vocabulary;
    vocabulary.setPhrases({"OPEN NOTEPAD"});
    SphinxRecognitionService service(vocabulary);
    auto recognizer = recognizerOnTestMicrophone(service);
    ASSERT_NE(recognizer, nullptr);
    auto context = recognizer->createRecoContext();
    QSignalSpy starts(context.get(), &RecoContext::startStream);
    QSignalSpy lost(context.get(), &RecoContext::listeningLost);
    QSignalSpy recognitions(context.get(), &RecoContext::recognition);
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    grammar.dictationSetState(true);
    ASSERT_TRUE(starts.count() == 1 || starts.wait(30000));

    ASSERT_TRUE(server.restart()) << "pulseaudio did not start again";
    ASSERT_TRUE(lost.count() == 1 || lost.wait(10000)) << "nothing told the user that listening stopped";
    grammar.dictationSetState(false); // as the recognition window does on a loss

    const bool listening = listensWithin(grammar, 20000);
    ASSERT_TRUE(listening) << "the microphone is still refused by the new server";
    ASSERT_TRUE(starts.count() == 2 || starts.wait(30000));
    const testing::Samples audio = testing::padded(
        testing::synthesise(QStringLiteral("open notepad"), QStringLiteral("en-us"), 160), 1.5, 1.5, 40);
    std::thread speaker(feedMicrophone, server.micFifo(), audio);
    for (int i = 0; i < 100 && recognitions.isEmpty(); ++i)
        recognitions.wait(200);
    speaker.join();
    grammar.dictationSetState(false);
    ASSERT_EQ(recognitions.count(), 1) << "nothing was heard through the new server";
    EXPECT_EQ(recognitions.first().at(3).value<RecognitionResult>().phrase.getText(true),
              QStringLiteral("open notepad"));
}

} // namespace
} // namespace kestrel

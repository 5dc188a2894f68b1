// The assembled program with its real engines on the PulseAudio session that
// scripts/test.sh starts: a phrase spoken into the pipe microphone is logged, put
// in the result tree and carried out; the real voice announces a command and
// listening comes back when it has finished.
#include "ProgramFixture.h"

#include "support/ScriptedRecognizer.h"
#include "support/ScriptedVoice.h"

#include "../sphinx/SpeechClips.h"

#include "command_table/CommandTableModel.h"
#include "interpreter/Interpreter.h"
#include "speech_platform/espeak/EspeakVoice.h"
#include "speech_platform/sphinx/SphinxRecognition.h"

#include <QRadioButton>
#include <QTreeWidget>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

bool havePulse()
{
    return !qgetenv("PULSE_SERVER").isEmpty() && !qgetenv("KESTREL_PULSE_DIR").isEmpty();
}

/// Writes `text`, spoken by eSpeak NG's US English voice as 16 kHz samples, into
/// the pipe source at the pace of real time, with quiet and a low noise floor
/// around it (exact digital silence is not what a microphone gives, and it
/// lowers recognition accuracy).
void speakIntoMicrophone(const QString &text)
{
    using namespace kestrel::testing;
    const Samples samples = padded(synthesise(text, QStringLiteral("en-us"), 160), 1.5, 1.5, 40);
    const QByteArray audio(reinterpret_cast<const char *>(samples.data()), qsizetype(samples.size() * 2));
    const int fd = ::open((qgetenv("KESTREL_PULSE_DIR") + "/mic.fifo").constData(), O_WRONLY);
    if (fd < 0)
        return;
    constexpr qsizetype kChunk = 3200; // 100 ms
    for (qsizetype i = 0; i < audio.size(); i += kChunk) {
        if (::write(fd, audio.constData() + i, std::min(kChunk, audio.size() - i)) < 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::close(fd);
}

TEST(SpokenCommand, APhraseSpokenIntoTheMicrophoneIsLoggedTreedAndCarriedOut)
{
    if (!havePulse())
        GTEST_SKIP() << "no PulseAudio session (scripts/test.sh starts one)";
    ProgramFixture fixture(
        [] {
            auto voice = std::make_unique<ScriptedVoice>();
            voice->autoPlay = true;
            return voice;
        },
        [](CommandVocabulary &vocabulary) { return std::make_unique<SphinxRecognitionService>(vocabulary); });
    fixture.store().insert(CommandRow{QStringLiteral("OPEN NOTEPAD"), QStringLiteral("FUNCTION"),
                                      QStringLiteral("hello"), QString()});
    fixture.program().model().reload(); // the recogniser now listens for it too
    fixture.program().start();

    // The shared recogniser listens on the default input: the session's pipe source.
    SpeechForm &form = fixture.program().form();
    form.StopListening();
    fixture.debugControl<QRadioButton>("SharedRC")->click();
    form.StartListening();
    ASSERT_TRUE(form.isListening()) << fixture.boxes.texts().join(QLatin1Char('|')).toStdString();
    fixture.program().debugForm().showWindow(); // the event list and the tree are written only while shown
    fixture.desktop.clearLog();

    std::thread speaker(speakIntoMicrophone, QStringLiteral("open notepad"));
    const bool carriedOut = fixture.runUntilDesktopDid(QStringLiteral("keys hello wait"), 60000);
    speaker.join();
    const QString log = fixture.debugControl<QPlainTextEdit>("EventTextField")->toPlainText();
    ASSERT_TRUE(carriedOut) << log.toStdString();

    EXPECT_TRUE(log.contains(QStringLiteral("Recognition"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("[Text=open notepad"))) << log.toStdString();
    auto *tree = fixture.debugControl<QTreeWidget>("TreeView1");
    ASSERT_GE(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(tree->topLevelItemCount() - 1)->text(0), "Recognition (open notepad)");
    EXPECT_EQ(fixture.program().interpreter().pendingPhrase(), QStringLiteral("open notepad"));
}

TEST(SpokenCommand, TheRealVoiceAnnouncesACommandAndListeningResumesAfterIt)
{
    if (!havePulse())
        GTEST_SKIP() << "no PulseAudio session (scripts/test.sh starts one)";
    EspeakVoice *voice = nullptr;
    ProgramFixture fixture(
        [&voice] {
            auto made = std::make_unique<EspeakVoice>();
            voice = made.get();
            return made;
        },
        [](CommandVocabulary &) { return std::make_unique<ScriptedRecognizer>(); });
    fixture.program().start();
    fixture.debugControl<QCheckBox>("ExecutingCB")->setChecked(true);
    SpeechForm &form = fixture.program().form();
    ASSERT_TRUE(form.isListening());
    fixture.desktop.clearLog();

    // The voice window handles the start of a stream before this later connection
    // runs: by then listening must be off, and no key may have been sent yet.
    ASSERT_NE(voice, nullptr);
    bool pausedWhileSpeaking = false;
    bool keysBeforeSpeech = false;
    QObject::connect(voice, &VoiceEngine::startStream, &form, [&] {
        pausedWhileSpeaking = !form.isListening();
        keysBeforeSpeech = fixture.desktop.actions().contains(QStringLiteral("keys ^c wait"));
    });
    fixture.emulate(QStringLiteral("copy"));
    ASSERT_TRUE(fixture.runUntilDesktopDid(QStringLiteral("keys ^c wait"))) << fixture.desktopLog();
    EXPECT_TRUE(pausedWhileSpeaking);
    EXPECT_FALSE(keysBeforeSpeech);
    EXPECT_FALSE(fixture.program().tts()->isSpeaking()) << "the keys go only after the announcement ended";
    EXPECT_TRUE(fixture.runUntil([&] { return form.isListening(); }));
}

} // namespace
} // namespace kestrel::test

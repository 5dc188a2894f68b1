// The window with the real eSpeak NG voice: the interpreter's way of speaking
// (setMainText, speakIt, wait while isSpeaking) ends, listening is paused for the
// speech and resumed after it, the face moves and the words are highlighted.
// Without PulseAudio the voice plays against its clock; with the test session's
// null sink it plays on that device.
#include "TtsDoubles.h"

#include "speech_platform/espeak/EspeakVoice.h"
#include "tts/MouthImageList.h"
#include "tts/face/FacePainter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMediaDevices>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

/// Speaks a sentence as the interpreter does; returns the output list's text.
QString expectSpokenThrough(AudioOutputs outputs)
{
    const QString sentence = QStringLiteral("Executing open notepad now please");
    TtsHosts hosts;
    hosts.mainWindow.listening = true;
    auto voice = std::make_unique<EspeakVoice>(std::move(outputs));
    EspeakVoice *engine = voice.get();
    TTSSetup window(hosts.services(std::move(voice)));

    const QImage faceAlone = withMaskTransparent(face::paintFacePicture(QStringLiteral("MICFULL")))
                                 .convertToFormat(QImage::Format_ARGB32);
    auto *picture = window.findChild<QLabel *>(QStringLiteral("VisemePicture"));
    auto *box = window.findChild<QPlainTextEdit *>(QStringLiteral("MainTxtBox"));
    // Connected after the window's own handlers, so these see what they did.
    int movingFaces = 0; // viseme events after which the face was not the face alone
    QStringList highlighted;
    QObject::connect(engine, &VoiceEngine::viseme, &window, [&] {
        movingFaces +=
            picture->pixmap().toImage().convertToFormat(QImage::Format_ARGB32) != faceAlone ? 1 : 0;
    });
    QObject::connect(engine, &VoiceEngine::word, &window,
                     [&] { highlighted << box->textCursor().selectedText(); });

    SpeechOutput &output = window;
    output.setMainText(sentence);
    output.speakIt();
    // A guard against hanging, not a measurement: the wait ends with the stream.
    QDeadlineTimer guard(60000);
    while (output.isSpeaking() && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    EXPECT_FALSE(output.isSpeaking());
    EXPECT_EQ(hosts.mainWindow.calls, QStringList({"stopListening", "startListening", "speechEnded"}));
    EXPECT_GE(highlighted.size(), 5);
    EXPECT_TRUE(highlighted.contains(QStringLiteral("notepad"))) << qPrintable(highlighted.join('|'));
    EXPECT_GT(movingFaces, 3);
    EXPECT_EQ(box->textCursor().selectedText(), sentence); // the end selects the whole text
    EXPECT_TRUE(hosts.boxes.shown.isEmpty()) << qPrintable(hosts.boxes.titledTexts().join(QLatin1Char(10)));
    return window.findChild<QComboBox *>(QStringLiteral("AudioOutputCB"))->currentText();
}

TEST(TTSSetupRealVoice, FeedbackIsSpokenWithoutAnAudioDevice)
{
    AudioOutputs none;
    none.devices = [] { return QList<QAudioDevice>(); };
    EXPECT_EQ(expectSpokenThrough(none), QStringLiteral("No audio ouput object available"));
}

TEST(TTSSetupRealVoice, FeedbackIsSpokenOnTheSpeaker)
{
    if (!qEnvironmentVariableIsSet("PULSE_SERVER") || QMediaDevices::audioOutputs().isEmpty())
        GTEST_SKIP() << "no PulseAudio speaker";
    EXPECT_NE(expectSpokenThrough(AudioOutputs{}), QStringLiteral("No audio ouput object available"));
}

} // namespace
} // namespace kestrel::tts_test

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
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

struct Heard
{
    int words = 0;
    int movingFaces = 0; ///< viseme events after which the face was not the face alone
    QStringList wordsHighlighted;
    bool finished = false;
};

Heard speakLikeTheInterpreter(AudioOutputs outputs, const QString &sentence, QStringList *listening,
                              QString *outputShown)
{
    TtsHosts hosts;
    hosts.mainWindow.listening = true;
    auto voice = std::make_unique<EspeakVoice>(std::move(outputs));
    EspeakVoice *engine = voice.get();
    TTSSetup window(hosts.services(std::move(voice)));
    *outputShown = window.findChild<QComboBox *>(QStringLiteral("AudioOutputCB"))->currentText();

    Heard heard;
    const QImage faceAlone = withMaskTransparent(face::paintFacePicture(QStringLiteral("MICFULL")))
                                 .convertToFormat(QImage::Format_ARGB32);
    auto *picture = window.findChild<QLabel *>(QStringLiteral("VisemePicture"));
    auto *box = window.findChild<QPlainTextEdit *>(QStringLiteral("MainTxtBox"));
    // Connected after the window's own handlers, so these see what they did.
    QObject::connect(engine, &VoiceEngine::viseme, &window, [&] {
        if (picture->pixmap().toImage().convertToFormat(QImage::Format_ARGB32) != faceAlone)
            ++heard.movingFaces;
    });
    QObject::connect(engine, &VoiceEngine::word, &window, [&] {
        ++heard.words;
        heard.wordsHighlighted << box->textCursor().selectedText();
    });

    SpeechOutput &output = window;
    output.setMainText(sentence);
    output.speakIt();
    // A guard against hanging, not a measurement: the wait ends with the stream.
    QDeadlineTimer guard(60000);
    while (output.isSpeaking() && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    heard.finished = !output.isSpeaking();
    *listening = hosts.mainWindow.calls;
    EXPECT_EQ(box->textCursor().selectedText(), sentence); // the end selects the whole text
    EXPECT_TRUE(hosts.boxes.shown.isEmpty()) << qPrintable(hosts.boxes.titledTexts().join(QLatin1Char(10)));
    return heard;
}

void expectSpokenThrough(const Heard &heard, const QStringList &listening)
{
    ASSERT_TRUE(heard.finished);
    EXPECT_EQ(listening, QStringList({"stopListening", "startListening"}));
    EXPECT_GE(heard.words, 5);
    EXPECT_TRUE(heard.wordsHighlighted.contains(QStringLiteral("notepad")))
        << qPrintable(heard.wordsHighlighted.join('|'));
    EXPECT_GT(heard.movingFaces, 3);
}

TEST(TTSSetupRealVoice, FeedbackIsSpokenWithoutAnAudioDevice)
{
    AudioOutputs none;
    none.devices = [] { return QList<QAudioDevice>(); };
    QStringList listening;
    QString output;
    const Heard heard = speakLikeTheInterpreter(none, QStringLiteral("Executing open notepad now please"),
                                                &listening, &output);
    EXPECT_EQ(output, QStringLiteral("No audio ouput object available"));
    expectSpokenThrough(heard, listening);
}

TEST(TTSSetupRealVoice, FeedbackIsSpokenOnTheSpeaker)
{
    if (!qEnvironmentVariableIsSet("PULSE_SERVER") || QMediaDevices::audioOutputs().isEmpty())
        GTEST_SKIP() << "no PulseAudio speaker";
    QStringList listening;
    QString output;
    const Heard heard = speakLikeTheInterpreter(
        AudioOutputs{}, QStringLiteral("Executing open notepad now please"), &listening, &output);
    EXPECT_NE(output, QStringLiteral("No audio ouput object available"));
    expectSpokenThrough(heard, listening);
}

} // namespace
} // namespace kestrel::tts_test

#include "TtsDoubles.h"

#include "tts/MouthImageList.h"
#include "tts/TextRules.h"
#include "tts/VisemeFace.h"
#include "tts/face/FacePainter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

QImage shownFace(const TtsRig &rig)
{
    return rig.find<QLabel>("VisemePicture")->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage expectedFace(const char *part)
{
    const QImage full = face::paintFacePicture(QStringLiteral("MICFULL"));
    return withMaskTransparent(overlayPicture(full, face::paintFacePicture(QLatin1String(part))))
        .convertToFormat(QImage::Format_ARGB32);
}

TEST(TTSSetupEvents, TheFaceFollowsTheVisemes)
{
    TtsRig rig;
    EXPECT_EQ(shownFace(rig), expectedFace("MICFULL"));
    const struct
    {
        int viseme;
        const char *part;
    } cases[] = {{2, "MICEYECLOSED"}, {5, "MICEYENARROW"}, {3, "MIC11"}, {7, "MIC9"},
                 {9, "MIC13"},        {15, "MIC6"},        {16, "MIC7"}, {18, "MIC5"},
                 {19, "MIC4"},        {0, "MICFULL"},      {21, "MIC9"}, {99, "MICFULL"}};
    for (const auto &c : cases) {
        rig.voice->emitViseme(c.viseme);
        EXPECT_EQ(shownFace(rig), expectedFace(c.part)) << "viseme " << c.viseme;
    }
    rig.voice->emitViseme(9);
    rig.voice->emitEndStream();
    EXPECT_EQ(shownFace(rig), expectedFace("MICFULL"));
}

TEST(TTSSetupEvents, WordsAreHighlightedAndTheEndSelectsEverything)
{
    TtsRig rig;
    auto *box = rig.find<QPlainTextEdit>("MainTxtBox");
    rig.setBoxText(QStringLiteral("Hello brave world"));
    rig.window->speakIt();
    rig.voice->emitStartStream();
    const struct
    {
        int position, length;
        QString selected;
    } cases[] = {
        {0, 5, "Hello"},   {6, 5, "brave"},
        {12, 5, "world"},  {40, 3, "world"}, // beyond the text: ignored, the last word stays selected
        {-1, 2, "world"},                    // ignored too
        {12, 50, "world"},                   // runs past the end: up to the end
    };
    for (const auto &c : cases) {
        rig.voice->emitWord(c.position, c.length);
        EXPECT_EQ(box->textCursor().selectedText(), c.selected) << c.position << "," << c.length;
    }
    rig.voice->emitEndStream();
    EXPECT_EQ(box->textCursor().selectedText(), QStringLiteral("Hello brave world"));
}

TEST(TTSSetupEvents, ListeningPausesForSpeechAndResumesOnlyIfItWasOn)
{
    for (bool listening : {true, false}) {
        TtsRig rig;
        rig.mainWindow.listening = listening;
        rig.setBoxText(QStringLiteral("Hi"));
        rig.window->speakItX();
        rig.voice->emitStartStream();
        EXPECT_FALSE(rig.mainWindow.listening);
        EXPECT_EQ(rig.shared.ListeningBeforeSpeech, listening);
        EXPECT_EQ(rig.state(), QStringLiteral("SPEAKING"));
        rig.voice->emitEndStream();
        EXPECT_EQ(rig.mainWindow.listening, listening);
        EXPECT_EQ(rig.mainWindow.calls, listening ? QStringList({"stopListening", "startListening"})
                                                  : QStringList({"stopListening"}));
        EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    }
}

TEST(TTSSetupEvents, AVoiceChangeSelectsAKnownVoiceOnly)
{
    const struct
    {
        SpeechToken token;
        int expectedIndex;
        QStringList calls;
    } cases[] = {
        {kBruno, 1, {"setVoice:voice/bruno"}},
        {SpeechToken{"voice/zed", "Zed (Klingon)"}, 0, {}},
        {kAlice, 0, {}}, // already chosen: not assigned again
        {SpeechToken{"voice/x", "alice (english)"}, 0, {}},
    };
    for (const auto &c : cases) {
        TtsRig rig;
        rig.voice->clearCalls();
        rig.voice->emitVoiceChange(c.token);
        EXPECT_EQ(rig.find<QComboBox>("VoiceCB")->currentIndex(), c.expectedIndex) << qPrintable(c.token.id);
        EXPECT_EQ(rig.voice->calls(), c.calls) << qPrintable(c.token.id);
    }
}

// The interpreter's feedback: put the sentence in the box, speak, and wait while
// the stop button is enabled, letting events run. The voice's queued events end it.
TEST(TTSSetupEvents, FeedbackWaitEndsWithTheStreamAndListeningComesBack)
{
    TtsRig rig([](ScriptedVoice &voice) { voice.autoPlay = true; });
    rig.mainWindow.listening = true;
    SpeechOutput &output = *rig.window;
    output.setMainText(QStringLiteral("Executing open notepad"));
    output.speakIt();
    ASSERT_TRUE(output.isSpeaking());
    int passes = 0;
    while (output.isSpeaking() && passes < 1000) {
        QCoreApplication::processEvents();
        ++passes;
    }
    EXPECT_FALSE(output.isSpeaking());
    EXPECT_FALSE(rig.voice->hasPendingEvents());
    EXPECT_EQ(rig.mainWindow.calls, QStringList({"stopListening", "startListening"}));
    EXPECT_TRUE(rig.mainWindow.listening);
}

TEST(TTSSetupEvents, TheBoxGivesBackTextInTheFormTheMonitorComparesWith)
{
    TtsRig rig;
    const QString samples[] = {
        QStringLiteral("one\r\ntwo\rthree\n"),
        QStringLiteral("a") + QChar(0x2029) + QStringLiteral("b") + QChar(0x2028) + QStringLiteral("c"),
        QStringLiteral("non") + QChar(0xa0) + QStringLiteral("break\ttab"),
        QStringLiteral("\r\n\r\n"),
    };
    for (const QString &sample : samples) {
        rig.window->setMainText(sample);
        EXPECT_EQ(rig.boxText(), textBoxForm(sample)) << qPrintable(sample);
    }
}

} // namespace
} // namespace kestrel::tts_test

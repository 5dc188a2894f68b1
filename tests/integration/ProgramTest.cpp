// The assembled program on a recording desktop with the scripted voice and
// recogniser: start-up wiring, a phrase from the recogniser carried out with its
// spoken announcement, listening paused around the voice, settings saved at the end.
#include "ProgramFixture.h"

#include "support/ScriptedRecognizer.h"
#include "support/ScriptedVoice.h"

#include "interpreter/Interpreter.h"

#include <QFile>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

class ProgramTest : public ::testing::Test
{
protected:
    ProgramTest()
        : fixture(
              [this] {
                  auto voice = std::make_unique<ScriptedVoice>();
                  voice->autoPlay = true; // streams start and end by themselves, queued
                  m_voice = voice.get();
                  return voice;
              },
              [this](CommandVocabulary &) {
                  auto service = std::make_unique<ScriptedRecognizer>();
                  m_recognizer = service.get();
                  return service;
              })
    {
    }

    SpeechForm &form() { return fixture.program().form(); }
    DebugForm &debug() { return fixture.program().debugForm(); }
    QPushButton *mainButton(const char *name) { return fixture.find<QPushButton>(form(), name); }

    // Declared before the fixture: the fixture's construction sets them.
    ScriptedVoice *m_voice = nullptr;
    ScriptedRecognizer *m_recognizer = nullptr;
    ProgramFixture fixture;
};

TEST_F(ProgramTest, StartUpLoadsTheVoiceThenTheRecogniserAndListens)
{
    fixture.program().start();
    ASSERT_NE(m_voice, nullptr);
    ASSERT_NE(m_recognizer, nullptr);
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(form().windowTitle(), QStringLiteral("KESTREL"));
    EXPECT_TRUE(mainButton("BtnStop")->isEnabled());
    EXPECT_FALSE(mainButton("BtnStart")->isEnabled());
    EXPECT_EQ(mainButton("LockTbl")->text(), QStringLiteral("Unlock Table"));
    EXPECT_EQ(fixture.find<QPushButton>(debug(), "Recognition")->text(), QStringLiteral("Stop Recognition"));
    EXPECT_FALSE(debug().isVisible());
    ASSERT_NE(fixture.program().tts(), nullptr);
    EXPECT_FALSE(fixture.program().tts()->isVisible());
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(QStringLiteral(" | ")).toStdString();
}

TEST_F(ProgramTest, AnEmulatedCommandIsAnnouncedCarriedOutAndListeningResumes)
{
    fixture.program().start();
    fixture.find<QCheckBox>(debug(), "ExecutingCB")->setChecked(true);
    fixture.desktop.clearLog();

    // Listening switches off while the program talks, so follow it from the voice.
    bool pausedWhileSpeaking = false;
    QObject::connect(m_voice, &VoiceEngine::startStream, &form(), [&] {
        QMetaObject::invokeMethod(
            &form(), [&] { pausedWhileSpeaking = pausedWhileSpeaking || !form().isListening(); }, Qt::QueuedConnection);
    });

    fixture.emulate(QStringLiteral("copy"));
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.desktop.actions().contains(QStringLiteral("keys ^c wait")); }))
        << fixture.desktop.log().join(QLatin1Char('\n')).toStdString();

    ASSERT_FALSE(m_voice->speakCalls.isEmpty());
    EXPECT_EQ(m_voice->speakCalls.first().text, QStringLiteral("Executing copy"));
    EXPECT_EQ(m_voice->speakCalls.first().flags, 11);
    EXPECT_TRUE(pausedWhileSpeaking);
    EXPECT_TRUE(fixture.runUntil([&] { return form().isListening(); }));
    EXPECT_EQ(fixture.program().shared().RecoText, QStringLiteral("copy"));
}

TEST_F(ProgramTest, ATextCommandTypesTheNextPhraseLiterally)
{
    fixture.program().start();
    fixture.desktop.clearLog();
    fixture.emulate(QStringLiteral("type text"));
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.program().interpreter().dictating(); }));
    fixture.emulate(QStringLiteral("50% off + more"));
    ASSERT_TRUE(fixture.runUntil([&] { return !fixture.program().interpreter().dictating(); }));
    EXPECT_TRUE(fixture.desktop.actions().contains(QStringLiteral("type 50% off + more")))
        << fixture.desktop.log().join(QLatin1Char('\n')).toStdString();
}

TEST_F(ProgramTest, QuittingSavesTheSettingsChangedByVoice)
{
    fixture.program().start();
    fixture.emulate(QStringLiteral("confirmation")); // toggles "Vocal Confirmation" on
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.find<QCheckBox>(debug(), "ConfirmationCB")->isChecked(); }));

    // With confirmation on, "quit" is only asked about; "yes" carries it out.
    fixture.emulate(QStringLiteral("quit"));
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.program().interpreter().pendingPhrase() == QLatin1String("quit"); }));
    EXPECT_FALSE(fixture.ended);
    ASSERT_FALSE(m_voice->speakCalls.isEmpty());
    EXPECT_EQ(m_voice->speakCalls.last().text, QStringLiteral("Did You Say quit"));
    fixture.emulate(QStringLiteral("yes"));
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.ended; }));

    QFile ini(fixture.path(QStringLiteral("KESTREL.INI")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray content = ini.readAll();
    EXPECT_TRUE(content.contains("CHKCONFIRM= 1\r\n")) << content.constData();
    EXPECT_TRUE(content.contains("EXECUTING=Executing\r\n")) << content.constData();
}

} // namespace
} // namespace kestrel::test

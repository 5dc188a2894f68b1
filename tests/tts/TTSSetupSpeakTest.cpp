#include "TtsDoubles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QSlider>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

TEST(TTSSetupSpeak, SpeakingAndStopping)
{
    TtsRig rig;
    rig.setBoxText(QStringLiteral("Hello there"));
    rig.click("SpeakBtn");
    ASSERT_EQ(rig.voice->speakCalls.size(), 1);
    EXPECT_EQ(rig.voice->speakCalls[0].text, QStringLiteral("Hello there"));
    EXPECT_EQ(rig.voice->speakCalls[0].flags, 11);
    EXPECT_EQ(rig.state(), QStringLiteral("SPEAKING"));
    EXPECT_TRUE(rig.window->isSpeaking());

    rig.click("StopBtn");
    ASSERT_EQ(rig.voice->speakCalls.size(), 2);
    EXPECT_EQ(rig.voice->speakCalls[1].text, QStringLiteral(" "));
    EXPECT_TRUE(rig.voice->speakCalls[1].flags & VoiceEngine::PurgeBeforeSpeak);
    // The purged stream ends, then the blank's own stream: idle again.
    rig.voice->emitEndStream(1);
    rig.voice->emitWholeStream(QStringLiteral(" "), 2);
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    EXPECT_EQ(rig.boxText(), QStringLiteral("Hello there"));
}

TEST(TTSSetupSpeak, StopLeavesTheFocusInTheTextBoxOfAVisibleWindow)
{
    TtsRig rig;
    rig.window->show();
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    rig.find<QWidget>("VoiceCB")->setFocus();
    rig.window->StopVoice();
    EXPECT_TRUE(rig.find<QWidget>("MainTxtBox")->hasFocus());

    rig.window->hide();
    rig.find<QWidget>("VoiceCB")->setFocus();
    ASSERT_EQ(rig.window->focusWidget(), rig.find<QWidget>("VoiceCB"));
    rig.window->StopVoice(); // a hidden window's focus is not touched
    EXPECT_EQ(rig.window->focusWidget(), rig.find<QWidget>("VoiceCB"));
    EXPECT_EQ(rig.voice->speakCalls.size(), 2);
}

TEST(TTSSetupSpeak, EmptyTextChangesNothing)
{
    for (bool speaking : {false, true}) {
        TtsRig rig;
        rig.window->SetSpeakState(speaking);
        rig.window->speakIt();
        rig.window->speakItX();
        EXPECT_TRUE(rig.voice->speakCalls.isEmpty());
        EXPECT_EQ(rig.window->isSpeaking(), speaking);
    }
}

TEST(TTSSetupSpeak, AFailedRequestReturnsToIdle)
{
    TtsRig rig;
    rig.voice->throwOnSpeak = true;
    rig.window->SetSpeakState(true);
    rig.window->setMainText(QStringLiteral("Hello"));
    rig.window->speakIt();
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    rig.window->SetSpeakState(true);
    rig.window->StopVoice();
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
}

// Test puts its sentence on the clipboard first; Play Clipboard needs no monitor.
TEST(TTSSetupSpeak, ClipboardButtonsSpeakTheClipboard)
{
    const QString sentence = QStringLiteral("This is a test of the Speech Recognition System.");
    const struct
    {
        const char *button;
        QString copied, spoken;
    } cases[] = {{"BtnTest", "", sentence}, {"Command2", "Read me", "Read me"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.button);
        TtsRig rig;
        rig.desktop.setClipboard(c.copied);
        rig.click(c.button);
        EXPECT_EQ(rig.desktop.clipboardText(), c.spoken);
        EXPECT_EQ(rig.boxText(), c.spoken);
        ASSERT_EQ(rig.voice->speakCalls.size(), 1);
        EXPECT_EQ(rig.voice->speakCalls[0].text, c.spoken);
    }
}

TEST(TTSSetupSpeak, ClearAfterSpeakEmptiesBoxAndClipboardOnlyWhenTicked)
{
    const struct
    {
        Qt::CheckState clearIt;
        bool cleared;
    } cases[] = {{Qt::Checked, true}, {Qt::Unchecked, false}, {Qt::PartiallyChecked, false}};
    for (const auto &c : cases) {
        TtsRig rig;
        rig.find<QCheckBox>("ClearIt")->setCheckState(c.clearIt);
        rig.desktop.setClipboard(QStringLiteral("copied"));
        rig.setBoxText(QStringLiteral("Say this"));
        rig.window->speakItX();
        EXPECT_EQ(rig.boxText(), QStringLiteral("Say this")); // not before the end
        rig.voice->emitWholeStream(QStringLiteral("Say this"));
        EXPECT_EQ(rig.boxText().isEmpty(), c.cleared) << c.clearIt;
        EXPECT_EQ(rig.desktop.clipboardText().isEmpty(), c.cleared) << c.clearIt;
    }
}

TEST(TTSSetupSpeak, UserChoicesReachTheVoice)
{
    TtsRig rig;
    rig.voice->clearCalls();
    QTest::keyClick(rig.find<QComboBox>("VoiceCB"), Qt::Key_Down);
    QTest::keyClick(rig.find<QComboBox>("AudioOutputCB"), Qt::Key_Down);
    QTest::keyClick(rig.find<QComboBox>("FormatCB"), Qt::Key_Up);
    rig.find<QSlider>("RateSldr")->setValue(50);
    rig.find<QSlider>("VolumeSldr")->setValue(-5);
    EXPECT_EQ(rig.voice->calls(),
              QStringList({"setVoice:voice/bruno", "setAudioOutput:out/headset", "allowFormatChanges:0",
                           "setOutputFormat:22", "allowFormatChanges:0", "setOutputFormat:21", "setRate:10",
                           "setVolume:0"}));
}

TEST(TTSSetupSpeak, RefusedOutputOrFormatLeavesTheVoiceAsItWas)
{
    TtsRig rig;
    rig.voice->throwOnSetAudioOutput = true;
    rig.voice->clearCalls();
    QTest::keyClick(rig.find<QComboBox>("AudioOutputCB"), Qt::Key_Down);
    EXPECT_EQ(rig.voice->calls(), QStringList({"setAudioOutput:out/headset"})); // format not re-applied
    EXPECT_EQ(rig.voice->m_output, kSpeaker);

    rig.voice->throwOnSetOutputFormat = true;
    QTest::keyClick(rig.find<QComboBox>("FormatCB"), Qt::Key_Down);
    EXPECT_EQ(rig.voice->m_format, 22);
    EXPECT_EQ(rig.find<QComboBox>("FormatCB")->currentIndex(), 19);
}

TEST(TTSSetupWindow, CloseBoxIsRefusedUnloadSavesThenReleasesTheVoice)
{
    QStringList order;
    QPointer<ScriptedVoice> voiceAlive;
    TtsOptions options;
    options.saveSettings = [&](const QString &path, SettingsBinding &binding) {
        order << QStringLiteral("save %1 voice=%2 format=%3")
                     .arg(path)
                     .arg(voiceAlive ? "alive" : "gone")
                     .arg(binding.number(SettingKey::FORMATCB));
    };
    TtsRig rig({}, options);
    voiceAlive = rig.voice;
    rig.window->show();
    EXPECT_FALSE(rig.window->close());
    EXPECT_TRUE(rig.window->isVisible());

    rig.find<QAction>("menuAbout")->trigger();
    ASSERT_EQ(rig.boxes.shown.size(), 1);
    EXPECT_EQ(rig.boxes.shown[0].title, QStringLiteral("KESTREL")) << qPrintable(rig.boxes.shown[0].text);

    rig.find<QAction>("menuFileExit")->trigger();
    EXPECT_FALSE(rig.window->isVisible()); // hidden, still loaded
    rig.window->showWindow();

    rig.window->unload();
    EXPECT_EQ(order, QStringList({"save KESTREL.INI voice=alive format=18"}));
    EXPECT_TRUE(voiceAlive.isNull());
    EXPECT_FALSE(rig.window->isVisible());
    rig.window->setMainText(QStringLiteral("after the end"));
    rig.window->speakIt();
    EXPECT_FALSE(rig.window->isSpeaking());
    rig.window->unload();
    EXPECT_EQ(order.size(), 1);
}

} // namespace
} // namespace kestrel::tts_test

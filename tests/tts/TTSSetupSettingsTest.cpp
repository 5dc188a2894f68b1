#include "TtsDoubles.h"

#include "common/Failure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

// A number is taken only where its control allows it; a list position taken is
// applied to the voice as if the user had chosen it.
TEST(TTSSetupSettings, NumbersAreTakenOrRefusedAsTheControlsAllow)
{
    using enum SettingKey;
    const std::tuple<SettingKey, qint32, bool, qint32, QStringList> cases[] = {
        // key, value, taken, the control's value afterwards, the voice's calls
        {VOICECB, 1, true, 1, {"setVoice:voice/bruno"}},
        {VOICECB, 0, true, 0, {"setVoice:voice/alice"}},
        {VOICECB, 2, false, 0, {}},
        {VOICECB, -1, true, -1, {}},
        {VOICECB, -2, false, 0, {}},
        {FORMATCB, 2, true, 2, {"allowFormatChanges:0", "setOutputFormat:6"}},
        {FORMATCB, 35, true, 35, {"allowFormatChanges:0", "setOutputFormat:39"}},
        {FORMATCB, 36, false, 18, {}},
        {AUDIOOUTPUTCB,
         1,
         true,
         1,
         {"setAudioOutput:out/headset", "allowFormatChanges:0", "setOutputFormat:22"}},
        {AUDIOOUTPUTCB, 2, false, 0, {}},
        {RATESLDR, -10, true, -10, {"setRate:-10"}},
        {RATESLDR, 11, false, 3, {}},
        {VOLUMESLDR, 100, true, 100, {"setVolume:100"}},
        {VOLUMESLDR, -1, false, 80, {}},
        {CHKCLIPBOARD, 2, true, 2, {}},
        {CHKCLIPBOARD, 3, false, 0, {}},
        {CLEARIT, 1, true, 1, {}},
        {CLEARIT, -1, false, 0, {}},
        {CHKCONFIRM, 1, true, 1, {}},
        {CHKCONFIRM, 3, false, 0, {}},
        {EXECANOUNCE, 2, true, 2, {}},
        {EXECANOUNCE, 7, false, 0, {}},
        {NOTFOUND, 1, true, 1, {}},
        {NOTFOUND, -1, false, 0, {}},
        {EXECUTING, 1, false, 0, {}},
    };
    for (const auto &[key, value, taken, readBack, calls] : cases) {
        TtsRig rig;
        rig.voice->clearCalls();
        EXPECT_EQ(rig.window->assignNumber(key, value), taken) << int(key) << "=" << value;
        EXPECT_EQ(rig.window->number(key), readBack) << int(key) << "=" << value;
        EXPECT_EQ(rig.voice->calls(), calls) << int(key) << "=" << value;
    }
}

TEST(TTSSetupSettings, FeedbackTextsGoToTheRecognitionWindowWithTheirCase)
{
    const std::pair<SettingKey, QString FeedbackValues::*> cases[] = {
        {SettingKey::EXECUTING, &FeedbackValues::executingText_},
        {SettingKey::SAYTEXT, &FeedbackValues::sayText},
        {SettingKey::SAYAGAIN, &FeedbackValues::sayAgain},
        {SettingKey::DIDYOUSAY, &FeedbackValues::didYouSay},
    };
    for (const auto &[key, field] : cases) {
        TtsRig rig;
        const QString value = QStringLiteral("Now Doing %1").arg(int(key));
        EXPECT_TRUE(rig.window->assignText(key, value));
        EXPECT_EQ(rig.recognition.values.*field, value);
        EXPECT_EQ(rig.window->text(key), value);
    }
    TtsRig rig;
    EXPECT_FALSE(rig.window->assignText(SettingKey::VOICECB, QStringLiteral("1")));
    EXPECT_EQ(rig.find<QComboBox>("VoiceCB")->currentIndex(), 0);
}

TEST(TTSSetupSettings, AFailedSaveIsReportedAndTheVoiceIsStillReleased)
{
    TtsOptions options;
    options.saveSettings = [](const QString &, SettingsBinding &) {
        throw Failure(QStringLiteral("KESTREL.INI could not be written: disk full"));
    };
    TtsRig rig({}, options);
    QPointer<ScriptedVoice> voice = rig.voice;
    rig.window->unload();
    EXPECT_EQ(rig.boxes.titledTexts(), QStringList({"KESTREL|KESTREL.INI could not be written: disk full"}));
    EXPECT_TRUE(voice.isNull());
}

// With the real settings file at the configured path: what one run saves, the
// next run loads.
TEST(TTSSetupSettings, SavedChoicesComeBackInTheNextRun)
{
    using enum SettingKey;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TtsOptions options;
    options.settingsPath = dir.filePath(QStringLiteral("KESTREL.INI"));
    {
        TtsRig first({}, options);
        for (const auto &[key, value] : {std::pair{VOICECB, 1},
                                         {FORMATCB, 3},
                                         {AUDIOOUTPUTCB, 1},
                                         {RATESLDR, -7},
                                         {VOLUMESLDR, 55},
                                         {CHKCLIPBOARD, 1},
                                         {CLEARIT, 2},
                                         {NOTFOUND, 1}})
            ASSERT_TRUE(first.window->assignNumber(key, value));
        first.recognition.values.sayAgain = QStringLiteral("Pardon Me");
        first.window->unload();
        EXPECT_TRUE(first.boxes.shown.isEmpty());
    }
    TtsRig second({}, options);
    second.window->loadDat();
    EXPECT_EQ(second.find<QComboBox>("VoiceCB")->currentIndex(), 1);
    EXPECT_EQ(second.voice->m_voice, kBruno);
    EXPECT_EQ(second.voice->m_format, 7);
    EXPECT_EQ(second.voice->m_output, kHeadset);
    EXPECT_EQ(second.window->number(RATESLDR), -7);
    EXPECT_EQ(second.voice->m_rate, -7);
    EXPECT_EQ(second.window->number(VOLUMESLDR), 55);
    EXPECT_EQ(second.voice->m_volume, 55);
    EXPECT_EQ(second.window->clipboardMonitorState(), 1);
    EXPECT_EQ(second.find<QCheckBox>("ClearIt")->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(second.recognition.values.notFound, 1);
    EXPECT_EQ(second.recognition.values.sayAgain, QStringLiteral("Pardon Me"));
}

} // namespace
} // namespace kestrel::tts_test

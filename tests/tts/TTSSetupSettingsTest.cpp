#include "TtsDoubles.h"

#include "common/Failure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

TEST(TTSSetupSettings, NumbersAreTakenOrRefusedAsTheControlsAllow)
{
    const struct
    {
        SettingKey key;
        qint32 value;
        bool accepted;
        qint32 readBack; // the control's value afterwards
    } cases[] = {
        {SettingKey::VOICECB, 1, true, 1},        {SettingKey::VOICECB, 2, false, 0},
        {SettingKey::VOICECB, -1, true, -1},      {SettingKey::VOICECB, -2, false, 0},
        {SettingKey::FORMATCB, 35, true, 35},     {SettingKey::FORMATCB, 36, false, 18},
        {SettingKey::AUDIOOUTPUTCB, 1, true, 1},  {SettingKey::AUDIOOUTPUTCB, 2, false, 0},
        {SettingKey::RATESLDR, -10, true, -10},   {SettingKey::RATESLDR, 11, false, 3},
        {SettingKey::VOLUMESLDR, 100, true, 100}, {SettingKey::VOLUMESLDR, -1, false, 80},
        {SettingKey::CHKCLIPBOARD, 2, true, 2},   {SettingKey::CHKCLIPBOARD, 3, false, 0},
        {SettingKey::CLEARIT, 1, true, 1},        {SettingKey::CLEARIT, -1, false, 0},
        {SettingKey::CHKCONFIRM, 1, true, 1},     {SettingKey::CHKCONFIRM, 3, false, 0},
        {SettingKey::EXECANOUNCE, 2, true, 2},    {SettingKey::EXECANOUNCE, 7, false, 0},
        {SettingKey::NOTFOUND, 1, true, 1},       {SettingKey::NOTFOUND, -1, false, 0},
        {SettingKey::EXECUTING, 1, false, 0},
    };
    for (const auto &c : cases) {
        TtsRig rig;
        SettingsBinding &binding = *rig.window;
        EXPECT_EQ(binding.assignNumber(c.key, c.value), c.accepted) << int(c.key) << "=" << c.value;
        EXPECT_EQ(binding.number(c.key), c.readBack) << int(c.key) << "=" << c.value;
    }
}

TEST(TTSSetupSettings, ListPositionsAreAppliedAsAUserChoice)
{
    const struct
    {
        SettingKey key;
        qint32 value;
        QStringList calls;
    } cases[] = {
        {SettingKey::VOICECB, 1, {"setVoice:voice/bruno"}},
        {SettingKey::VOICECB, 0, {"setVoice:voice/alice"}},
        {SettingKey::FORMATCB, 2, {"allowFormatChanges:0", "setOutputFormat:6"}},
        {SettingKey::AUDIOOUTPUTCB,
         1,
         {"setAudioOutput:out/headset", "allowFormatChanges:0", "setOutputFormat:22"}},
        {SettingKey::RATESLDR, -4, {"setRate:-4"}},
        {SettingKey::VOLUMESLDR, 5, {"setVolume:5"}},
        {SettingKey::VOICECB, -1, {}},
    };
    for (const auto &c : cases) {
        TtsRig rig;
        rig.voice->clearCalls();
        ASSERT_TRUE(rig.window->assignNumber(c.key, c.value));
        EXPECT_EQ(rig.voice->calls(), c.calls) << int(c.key) << "=" << c.value;
    }
}

TEST(TTSSetupSettings, FeedbackTextsGoToTheRecognitionWindowWithTheirCase)
{
    const struct
    {
        SettingKey key;
        QString FeedbackValues::*field;
    } cases[] = {
        {SettingKey::EXECUTING, &FeedbackValues::executingText_},
        {SettingKey::SAYTEXT, &FeedbackValues::sayText},
        {SettingKey::SAYAGAIN, &FeedbackValues::sayAgain},
        {SettingKey::DIDYOUSAY, &FeedbackValues::didYouSay},
    };
    for (const auto &c : cases) {
        TtsRig rig;
        const QString value = QStringLiteral("Now Doing %1").arg(int(c.key));
        EXPECT_TRUE(rig.window->assignText(c.key, value));
        EXPECT_EQ(rig.recognition.values.*(c.field), value);
        EXPECT_EQ(rig.window->text(c.key), value);
    }
    TtsRig rig;
    EXPECT_FALSE(rig.window->assignText(SettingKey::VOICECB, QStringLiteral("1")));
    EXPECT_EQ(rig.find<QComboBox>("VoiceCB")->currentIndex(), 0);
}

TEST(TTSSetupSettings, LoadDatReadsThroughTheBindingAtTheConfiguredPath)
{
    QString seenPath;
    TtsOptions options;
    options.settingsPath = QStringLiteral("/tmp/elsewhere/KESTREL.INI");
    options.loadSettings = [&](const QString &path, SettingsBinding &binding) {
        seenPath = path;
        binding.assignNumber(SettingKey::CLEARIT, 1);
        binding.assignNumber(SettingKey::FORMATCB, 30);
    };
    TtsRig rig({}, options);
    rig.window->loadDat();
    EXPECT_EQ(seenPath, QStringLiteral("/tmp/elsewhere/KESTREL.INI"));
    EXPECT_EQ(rig.find<QCheckBox>("ClearIt")->checkState(), Qt::Checked);
    EXPECT_EQ(rig.find<QComboBox>("FormatCB")->currentText(), QStringLiteral("SAFT44kHz16BitMono"));
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

// With the real settings file: what one run saves, the next run loads.
TEST(TTSSetupSettings, SavedChoicesComeBackInTheNextRun)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TtsOptions options;
    options.settingsPath = dir.filePath(QStringLiteral("KESTREL.INI"));
    {
        TtsRig first({}, options);
        for (const auto &[key, value] : {std::pair{SettingKey::VOICECB, 1},
                                         {SettingKey::FORMATCB, 3},
                                         {SettingKey::AUDIOOUTPUTCB, 1},
                                         {SettingKey::RATESLDR, -7},
                                         {SettingKey::VOLUMESLDR, 55},
                                         {SettingKey::CHKCLIPBOARD, 1},
                                         {SettingKey::CLEARIT, 2},
                                         {SettingKey::NOTFOUND, 1}})
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
    EXPECT_EQ(second.window->number(SettingKey::RATESLDR), -7);
    EXPECT_EQ(second.voice->m_rate, -7);
    EXPECT_EQ(second.window->number(SettingKey::VOLUMESLDR), 55);
    EXPECT_EQ(second.window->clipboardMonitorState(), 1);
    EXPECT_EQ(second.find<QCheckBox>("ClearIt")->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(second.recognition.values.notFound, 1);
    EXPECT_EQ(second.recognition.values.sayAgain, QStringLiteral("Pardon Me"));
}

} // namespace
} // namespace kestrel::tts_test

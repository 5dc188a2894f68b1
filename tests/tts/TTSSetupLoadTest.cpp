#include "TtsDoubles.h"

#include "common/Failure.h"
#include "tts/VisemeFace.h"
#include "tts/face/FacePainter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

/// Writes a settings file as a user's earlier run left it.
void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

TEST(TTSSetupLoad, ControlsCarryTheirCaptionsKeysLabelsAndTips)
{
    TtsRig rig;
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("KESTREL Text To Speech Setup"));
    // Buttons, check boxes and menu items, then the label leading to each list
    // and slider; every one with its keyboard access.
    QStringList captions;
    for (const char *name : {"SpeakBtn", "StopBtn", "BtnTest", "Command2", "Command1", "ClearIt",
                             "ChkClipboard", "menuFileOpenText", "menuFileExit", "menuAbout"}) {
        const QObject *control = rig.window->findChild<QObject *>(QLatin1String(name));
        captions << (control ? control->property("text").toString() : QStringLiteral("no ") + name);
    }
    for (const char *control : {"VoiceCB", "RateSldr", "VolumeSldr", "FormatCB", "AudioOutputCB"}) {
        for (const QLabel *label : rig.window->findChildren<QLabel *>()) {
            if (label->buddy() == rig.find(control))
                captions << label->text();
        }
    }
    EXPECT_EQ(captions, QStringList({"&Speak", "St&op", "T&est", "&Play Clipboard", "C&LOSE",
                                     "Clear &after speak", "&Monitor Clipboard", "&Open Text File", "&Close",
                                     "&About", "&Voice", "&Rate", "Vol&ume", "Forma&t", "Au&dio Output"}));
    EXPECT_EQ(rig.find("RateSldr")->toolTip(), QStringLiteral("Changes voice playback rate"));
    EXPECT_EQ(rig.find("VolumeSldr")->toolTip(), QStringLiteral("Changes voice playback volume"));
    for (QWidget *widget : rig.window->findChildren<QWidget *>()) {
        if (widget->objectName().startsWith(QLatin1String("qt_")))
            continue; // Qt's own parts, such as the menu bar's overflow button
        if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget) ||
            qobject_cast<QSlider *>(widget) || qobject_cast<QPlainTextEdit *>(widget)) {
            EXPECT_FALSE(widget->toolTip().isEmpty()) << qPrintable(widget->objectName());
        }
    }
}

TEST(TTSSetupLoad, ListsAndSlidersFollowTheVoice)
{
    TtsRig rig;
    auto *voices = rig.find<QComboBox>("VoiceCB");
    ASSERT_EQ(voices->count(), 2);
    EXPECT_EQ(voices->itemText(1), kBruno.description);
    EXPECT_EQ(voices->currentIndex(), 0);
    auto *formats = rig.find<QComboBox>("FormatCB");
    ASSERT_EQ(formats->count(), 36);
    EXPECT_EQ(formats->itemText(0), QStringLiteral("SAFT8kHz8BitMono"));
    EXPECT_EQ(formats->currentText(), QStringLiteral("SAFT22kHz16BitMono"));
    EXPECT_EQ(formats->itemText(35), QStringLiteral("SAFT48kHz16BitStereo"));
    EXPECT_EQ(rig.find<QComboBox>("AudioOutputCB")->count(), 2);
    EXPECT_TRUE(rig.find("AudioOutputCB")->isEnabled());
    EXPECT_EQ(rig.find<QSlider>("RateSldr")->value(), 3);
    EXPECT_EQ(rig.find<QSlider>("VolumeSldr")->value(), 80);
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    EXPECT_TRUE(rig.boxes.shown.isEmpty());
    // The first voice, then the format, then the output with the format again.
    EXPECT_EQ(rig.voice->calls(),
              QStringList({"setVoice:voice/alice", "setRate:3", "setVolume:80", "allowFormatChanges:0",
                           "setOutputFormat:22", "setAudioOutput:", "allowFormatChanges:0",
                           "setOutputFormat:22"}));

    TtsRig without([](ScriptedVoice &voice) { voice.m_outputs.clear(); });
    auto *outputs = without.find<QComboBox>("AudioOutputCB");
    ASSERT_EQ(outputs->count(), 1);
    EXPECT_EQ(outputs->currentText(), QStringLiteral("No audio ouput object available"));
    EXPECT_FALSE(outputs->isEnabled());
    EXPECT_FALSE(without.voice->calls().join(' ').contains(QStringLiteral("setAudioOutput")));
}

// Without a voice every answer KESTREL gives goes unheard, a "Did You Say"
// question included: the user is told so once, with the reason, not only on
// a terminal nobody looks at.
TEST(TTSSetupLoad, WithoutAVoiceNothingIsSpokenNothingWaitsAndTheUserIsToldWhy)
{
    TtsHosts hosts;
    TtsServices services = hosts.services(nullptr);
    services.voiceFailure = QStringLiteral("eSpeak NG could not find its data.");
    TTSSetup window(std::move(services));
    EXPECT_TRUE(hosts.boxes.shown.isEmpty()) << "told once the program has started, not during the start";
    QCoreApplication::processEvents();
    const auto *voices = window.findChild<QComboBox *>(QStringLiteral("VoiceCB"));
    EXPECT_EQ(voices->count(), 0);
    EXPECT_EQ(voices->placeholderText(), QStringLiteral("No voice available"));
    window.setMainText(QStringLiteral("Hello"));
    window.speakIt();
    window.speakIt();
    EXPECT_FALSE(window.isSpeaking());
    ASSERT_EQ(hosts.boxes.shown.size(), 1);
    EXPECT_EQ(hosts.boxes.shown[0].text,
              QStringLiteral("No voice could be started: eSpeak NG could not find its data.\n"
                             "KESTREL's spoken answers will not be heard."));
}

TEST(TTSSetupLoad, MissingFacePictureIsReportedAndTheWindowStillLoads)
{
    TtsOptions options;
    options.loadImage = [](const QString &name) {
        return name == QLatin1String("MIC7") ? QImage() : face::paintFacePicture(name);
    };
    TtsRig rig({}, options);
    EXPECT_EQ(rig.boxes.titledTexts(),
              QStringList({"Load Images Error|Resource with identifier 'MIC7' not found:326"}));
    EXPECT_EQ(rig.find<QComboBox>("FormatCB")->currentIndex(), 18);
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    EXPECT_FALSE(rig.find<QLabel>("VisemePicture")->pixmap().isNull());
}

TEST(TTSSetupLoad, EmbeddedBitmapsAre24BitCopiesOfThePaintedOnes)
{
    for (const QString &name : faceResourceNames()) {
        QFile file(QStringLiteral(":/face/%1.bmp").arg(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        const QByteArray header = file.read(30);
        ASSERT_EQ(header.left(2), QByteArray("BM"));
        EXPECT_EQ(static_cast<unsigned char>(header.at(28)), 24u) << qPrintable(name); // bits per pixel
        EXPECT_EQ(QImage(file.fileName()).convertToFormat(QImage::Format_RGB32),
                  face::paintFacePicture(name).convertToFormat(QImage::Format_RGB32))
            << qPrintable(name);
    }
}

// The face is really drawn in the window, keyed colour gone.
TEST(TTSSetupLoad, TheWindowShowsTheFace)
{
    TtsRig rig;
    rig.window->resize(rig.window->sizeHint());
    rig.window->show();
    rig.voice->emitViseme(9);
    auto *picture = rig.find<QLabel>("VisemePicture");
    const QImage shown =
        rig.window->grab(QRect(picture->mapTo(rig.window.get(), QPoint(0, 0)), picture->size()))
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    const QImage part = face::paintFacePicture(QStringLiteral("MIC13"));
    int magenta = 0, mouthMatches = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            magenta += shown.pixel(x, y) == face::kMaskColour ? 1 : 0;
            if (face::mouthRegion().contains(x, y) && part.pixel(x, y) != face::kMaskColour)
                mouthMatches += shown.pixel(x, y) == QColor(part.pixel(x, y)).rgb() ? 1 : 0;
        }
    EXPECT_EQ(magenta, 0);
    EXPECT_GT(mouthMatches, 1000); // the wide-open mouth, drawn at its place
}

// A number is taken only where its control allows it; a list position taken is
// applied to the voice as if the user had chosen it.
TEST(TTSSetupSettings, NumbersAreTakenOrRefusedAsTheControlsAllow)
{
    using enum SettingKey;
    const std::tuple<SettingKey, qint32, QStringList> taken[] = {
        {VOICECB, 1, {"setVoice:voice/bruno"}},
        {VOICECB, 0, {"setVoice:voice/alice"}},
        {VOICECB, -1, {}},
        {FORMATCB, 2, {"allowFormatChanges:0", "setOutputFormat:6"}},
        {FORMATCB, 35, {"allowFormatChanges:0", "setOutputFormat:39"}},
        {AUDIOOUTPUTCB, 1, {"setAudioOutput:out/headset", "allowFormatChanges:0", "setOutputFormat:22"}},
        {AUDIOOUTPUTCB, 0, {"setAudioOutput:", "allowFormatChanges:0", "setOutputFormat:22"}}, // the default
        {RATESLDR, -10, {"setRate:-10"}},
        {VOLUMESLDR, 100, {"setVolume:100"}},
        {CHKCLIPBOARD, 2, {}},
        {CLEARIT, 1, {}},
        {CHKCONFIRM, 1, {}},
        {EXECANOUNCE, 2, {}},
        {NOTFOUND, 1, {}},
    };
    for (const auto &[key, value, calls] : taken) {
        TtsRig rig;
        rig.voice->clearCalls();
        EXPECT_TRUE(rig.window->assignNumber(key, value)) << int(key) << "=" << value;
        EXPECT_EQ(rig.window->number(key), value) << int(key) << "=" << value;
        EXPECT_EQ(rig.voice->calls(), calls) << int(key) << "=" << value;
    }
    // A list position past today's list is refused too, but saved as it was.
    constexpr bool kKept = true;
    const std::tuple<SettingKey, qint32, bool> refused[] = {
        {VOICECB, 2, kKept},    {VOICECB, -2, false},    {FORMATCB, 36, false},    {AUDIOOUTPUTCB, 2, kKept},
        {RATESLDR, 11, false},  {VOLUMESLDR, -1, false}, {CHKCLIPBOARD, 3, false}, {CLEARIT, -1, false},
        {CHKCONFIRM, 3, false}, {EXECANOUNCE, 7, false}, {NOTFOUND, -1, false},    {EXECUTING, 1, false}};
    for (const auto &[key, value, kept] : refused) {
        TtsRig rig;
        rig.voice->clearCalls();
        const qint32 before = rig.window->number(key);
        EXPECT_FALSE(rig.window->assignNumber(key, value)) << int(key) << "=" << value;
        EXPECT_EQ(rig.window->number(key), kept ? value : before) << int(key) << "=" << value;
        EXPECT_TRUE(rig.voice->calls().isEmpty()) << int(key) << "=" << value;
    }
}

// A greyed box comes only from the settings file: once clicked, the user's
// clicks toggle it between ticked and clear, never back to a half-on look that
// means off.
TEST(TTSSetupSettings, AGreyedBoxFromTheFileTogglesLikeAnyOtherOnceClicked)
{
    using enum SettingKey;
    const std::pair<SettingKey, const char *> boxes[] = {{CLEARIT, "ClearIt"}, {CHKCLIPBOARD, "ChkClipboard"}};
    for (const auto &[key, name] : boxes) {
        TtsRig rig;
        ASSERT_TRUE(rig.window->assignNumber(key, 2)) << name;
        for (int expected : {1, 0, 1}) {
            rig.find<QCheckBox>(name)->click();
            EXPECT_EQ(rig.window->number(key), expected) << name;
        }
    }
}

TEST(TTSSetupSettings, FeedbackTextsGoToTheRecognitionWindowWithTheirCase)
{
    const std::pair<SettingKey, QString FeedbackWindow::*> cases[] = {
        {SettingKey::EXECUTING, &FeedbackWindow::executingText_},
        {SettingKey::SAYTEXT, &FeedbackWindow::sayText},
        {SettingKey::SAYAGAIN, &FeedbackWindow::sayAgain},
        {SettingKey::DIDYOUSAY, &FeedbackWindow::didYouSay},
    };
    for (const auto &[key, field] : cases) {
        TtsRig rig;
        const QString value = QStringLiteral("Now Doing %1").arg(int(key));
        EXPECT_TRUE(rig.window->assignText(key, value));
        EXPECT_EQ(rig.recognition.*field, value);
        EXPECT_EQ(rig.window->text(key), value);
    }
    TtsRig rig;
    EXPECT_FALSE(rig.window->assignText(SettingKey::VOICECB, QStringLiteral("1")));
    EXPECT_EQ(rig.find<QComboBox>("VoiceCB")->currentIndex(), 0);
}

TEST(TTSSetupSettings, AFailedSaveIsReportedAndTheVoiceIsStillReleased)
{
    QTemporaryDir dir;
    TtsOptions options;
    options.settingsPath = dir.filePath(QStringLiteral("KESTREL.INI"));
    options.saveSettings = [](const QString &, SettingsBinding &) {
        throw Failure(QStringLiteral("KESTREL.INI could not be written: disk full"));
    };
    TtsRig rig({}, options);
    rig.window->loadDat();
    QPointer<ScriptedVoice> voice = rig.voice;
    rig.window->unload();
    EXPECT_EQ(rig.boxes.titledTexts(), QStringList({"KESTREL|KESTREL.INI could not be written: disk full"}));
    EXPECT_TRUE(voice.isNull());
}

// With the real settings file at the configured path: what one run saves, the
// next run loads. How a loaded number reaches the voice is the table's business.
TEST(TTSSetupSettings, SavedChoicesComeBackInTheNextRun)
{
    using enum SettingKey;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TtsOptions options;
    options.settingsPath = dir.filePath(QStringLiteral("KESTREL.INI"));
    const std::pair<SettingKey, qint32> chosen[] = {
        {VOICECB, 1},      {FORMATCB, 3}, {AUDIOOUTPUTCB, 1}, {RATESLDR, -7},   {VOLUMESLDR, 55},
        {CHKCLIPBOARD, 1}, {CLEARIT, 2},  {CHKCONFIRM, 2},    {EXECANOUNCE, 1}, {NOTFOUND, 1}};
    {
        TtsRig first({}, options);
        for (const auto &[key, value] : chosen)
            ASSERT_TRUE(first.window->assignNumber(key, value));
        first.recognition.sayAgain = QStringLiteral("Pardon Me");
        first.window->loadDat(); // no file yet: nothing to read, and the save goes ahead
        first.window->unload();
        EXPECT_TRUE(first.boxes.shown.isEmpty());
    }
    TtsRig second({}, options);
    second.window->loadDat();
    for (const auto &[key, value] : chosen)
        EXPECT_EQ(second.window->number(key), value) << int(key);
    EXPECT_EQ(second.voice->m_voice, kBruno);
    EXPECT_EQ(second.recognition.sayAgain, QStringLiteral("Pardon Me"));
}

// A first run without a voice still saves the sliders. What it saves must be
// what a voice starts with, or every later run speaks at volume 0, in silence
// the user cannot see the reason for.
TEST(TTSSetupSettings, ARunWithoutAVoiceSavesTheVoicesOwnStartingValues)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TtsOptions options;
    options.settingsPath = dir.filePath(QStringLiteral("KESTREL.INI"));
    {
        TtsHosts hosts;
        TTSSetup first(hosts.services(nullptr), options);
        first.loadDat();
        first.unload();
    }
    TtsRig second({}, options);
    second.window->loadDat();
    EXPECT_EQ(second.voice->m_volume, 100);
    EXPECT_EQ(second.voice->m_rate, 0);
}

// What this run could not read or could not use is the user's all the same: a
// later run, with the file readable or the headset back, must still find it.
TEST(TTSSetupSettings, WhatThisRunCouldNotUseIsSavedAsItWas)
{
    const QByteArray saved = "VOICECB= 1\r\nAUDIOOUTPUTCB= 1\r\nRATESLDR=-7\r\nSAYAGAIN=Pardon Me\r\n";
    const struct
    {
        const char *name;
        std::function<void(ScriptedVoice &)> prepare;
        bool read; ///< false: the recognition window failed to load, nothing was read
        std::function<void(TtsRig &)> user;
        QList<QByteArray> lines; ///< expected among the saved lines
        bool fileThere = true;
    } cases[] = {
        {"never read", {}, false, {}, {}},
        {"voice missing today", [](ScriptedVoice &v) { v.m_voices = {kAlice}; }, true, {}, {"VOICECB= 1"}},
        {"no voice at all", [](ScriptedVoice &v) { v.m_voices = {}; }, true, {}, {"VOICECB= 1"}},
        {"headset unplugged",
         [](ScriptedVoice &v) { v.m_outputs = {kSpeaker}; },
         true,
         {},
         {"AUDIOOUTPUTCB= 1"}},
        {"no output at all", [](ScriptedVoice &v) { v.m_outputs = {}; }, true, {}, {"AUDIOOUTPUTCB= 1"}},
        {"headset unplugged, speaker chosen",
         [](ScriptedVoice &v) { v.m_outputs = {kSpeaker}; },
         true,
         [](TtsRig &rig) { Q_EMIT rig.find<QComboBox>("AudioOutputCB")->activated(0); },
         {"AUDIOOUTPUTCB= 0", "VOICECB= 1"}},
        {"voice missing, other voice chosen",
         [](ScriptedVoice &v) { v.m_voices = {kAlice}; },
         true,
         [](TtsRig &rig) { Q_EMIT rig.find<QComboBox>("VoiceCB")->activated(0); },
         {"VOICECB= 0"}},
        // Without a file there is nothing of the user's to keep, only this run's choices.
        {"never read, no file",
         {},
         false,
         [](TtsRig &rig) { rig.find<QSlider>("RateSldr")->setValue(4); },
         {"RATESLDR= 4"},
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        TtsOptions options;
        options.settingsPath = dir.filePath(QStringLiteral("KESTREL.INI"));
        if (c.fileThere)
            writeFile(options.settingsPath, saved);
        TtsRig rig(c.prepare, options);
        if (c.read)
            rig.window->loadDat();
        if (c.user)
            c.user(rig);
        rig.window->unload();
        EXPECT_TRUE(rig.boxes.shown.isEmpty());
        QFile file(options.settingsPath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray after = file.readAll();
        if (!c.read && c.fileThere) {
            EXPECT_EQ(after, saved);
        }
        const QList<QByteArray> lines = after.split('\n');
        for (const QByteArray &line : c.lines)
            EXPECT_TRUE(lines.contains(line + "\r")) << line.constData() << " in\n" << after.constData();
    }
}

// Devices come and go while the program runs: a headset plugged in, a sound
// server that came up after KESTREL. The list follows them, the device the
// user chose stays chosen wherever it is listed now (and is kept for its
// return while it is away), and a saved choice missing at the start is taken
// up once it is there.
TEST(TTSSetupSettings, TheOutputListFollowsDevicesThatComeAndGo)
{
    const SpeechToken kDock{QStringLiteral("out/dock"), QStringLiteral("Dock")};
    const struct
    {
        const char *name;
        SpeechTokenList atLoad;
        QByteArray file;
        int userChoice; ///< -1: none
        QList<SpeechTokenList> later;
        QStringList entries;
        int index;
        bool enabled;
        QStringList outputCalls; ///< setAudioOutput calls after the load and the user's choice
        QByteArray saved;
    } cases[] = {
        {"saved headset plugged in later", {kSpeaker}, "AUDIOOUTPUTCB= 1\r\n", -1, {{kSpeaker, kHeadset}},
         {"Speaker", "Headset"}, 1, true, {"setAudioOutput:out/headset"}, "AUDIOOUTPUTCB= 1"},
        {"sound server up later", {}, "", -1, {{kSpeaker}}, {"Speaker"}, 0, true, {}, "AUDIOOUTPUTCB= 0"},
        {"the default changes", {kSpeaker, kHeadset}, "", -1, {{kHeadset, kSpeaker}}, {"Headset", "Speaker"}, 0,
         true, {}, "AUDIOOUTPUTCB= 0"},
        {"the default changes, another chosen", {kSpeaker, kHeadset, kDock}, "", 2, {{kHeadset, kSpeaker, kDock}},
         {"Headset", "Speaker", "Dock"}, 2, true, {}, "AUDIOOUTPUTCB= 2"},
        {"a device chosen becomes the default", {kSpeaker, kHeadset}, "", 1, {{kHeadset, kSpeaker}},
         {"Headset", "Speaker"}, 0, true, {}, "AUDIOOUTPUTCB= 0"},
        {"the default device chosen by the user", {kSpeaker, kHeadset}, "", 0, {{kHeadset, kSpeaker}},
         {"Headset", "Speaker"}, 1, true, {}, "AUDIOOUTPUTCB= 1"},
        {"saved headset back as the default", {kSpeaker}, "AUDIOOUTPUTCB= 1\r\n", -1, {{kHeadset, kSpeaker}},
         {"Headset", "Speaker"}, 0, true, {"setAudioOutput:out/headset"}, "AUDIOOUTPUTCB= 0"},
        {"saved third device back first", {kSpeaker, kDock}, "AUDIOOUTPUTCB= 2\r\n", -1,
         {{kHeadset, kSpeaker, kDock}}, {"Headset", "Speaker", "Dock"}, 0, true, {"setAudioOutput:out/headset"},
         "AUDIOOUTPUTCB= 0"},
        {"the chosen one moves", {kSpeaker, kHeadset}, "", 1, {{kSpeaker, kDock, kHeadset}},
         {"Speaker", "Dock", "Headset"}, 2, true, {}, "AUDIOOUTPUTCB= 2"},
        {"the chosen one away", {kSpeaker, kHeadset}, "", 1, {{kSpeaker}}, {"Speaker"}, 0, true, {},
         "AUDIOOUTPUTCB= 1"},
        {"the chosen one back", {kSpeaker, kHeadset}, "", 1, {{kSpeaker}, {kHeadset, kSpeaker}},
         {"Headset", "Speaker"}, 0, true, {}, "AUDIOOUTPUTCB= 0"},
        {"every device gone", {kSpeaker}, "", -1, {{}}, {"No audio ouput object available"}, 0, false, {},
         "AUDIOOUTPUTCB= 0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        TtsOptions options;
        options.settingsPath = dir.filePath(QStringLiteral("KESTREL.INI"));
        writeFile(options.settingsPath, c.file);
        TtsRig rig([&](ScriptedVoice &v) { v.m_outputs = c.atLoad; }, options);
        rig.window->loadDat();
        auto *outputs = rig.find<QComboBox>("AudioOutputCB");
        if (c.userChoice >= 0) {
            outputs->setCurrentIndex(c.userChoice);
            Q_EMIT outputs->activated(c.userChoice);
        }
        rig.voice->clearCalls();
        for (const SpeechTokenList &listed : c.later) {
            rig.voice->m_outputs = listed;
            Q_EMIT rig.voice->audioOutputsChanged();
        }
        QStringList entries;
        for (int i = 0; i < outputs->count(); ++i)
            entries << outputs->itemText(i);
        EXPECT_EQ(entries, c.entries);
        EXPECT_EQ(outputs->currentIndex(), c.index);
        EXPECT_EQ(outputs->isEnabled(), c.enabled);
        EXPECT_EQ(rig.voice->calls().filter(QStringLiteral("setAudioOutput")), c.outputCalls);
        rig.window->unload();
        QFile file(options.settingsPath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().split('\n').contains(c.saved + "\r")) << c.saved.constData();
    }
}

} // namespace
} // namespace kestrel::tts_test

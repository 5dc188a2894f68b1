#include "TtsDoubles.h"

#include "tts/VisemeFace.h"
#include "tts/face/FacePainter.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

TEST(TTSSetupLoad, ControlsCarryTheirNamesCaptionsAndTips)
{
    TtsRig rig;
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("KESTREL Text To Speech Setup"));
    const struct
    {
        const char *name, *caption, *tip;
    } buttons[] = {
        {"SpeakBtn", "Speak", nullptr},          {"StopBtn", "Stop", nullptr},   {"BtnTest", "Test", nullptr},
        {"Command2", "Play Clipboard", nullptr}, {"Command1", "CLOSE", nullptr},
    };
    for (const auto &b : buttons) {
        auto *button = rig.find<QPushButton>(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(withoutMnemonic(button->text()), QLatin1String(b.caption));
        EXPECT_TRUE(button->text().contains(QLatin1Char('&'))) << b.name << " has no keyboard access";
    }
    EXPECT_EQ(withoutMnemonic(rig.find<QCheckBox>("ClearIt")->text()), QStringLiteral("Clear after speak"));
    EXPECT_EQ(withoutMnemonic(rig.find<QCheckBox>("ChkClipboard")->text()),
              QStringLiteral("Monitor Clipboard"));
    EXPECT_EQ(rig.find<QSlider>("RateSldr")->toolTip(), QStringLiteral("Changes voice playback rate"));
    EXPECT_EQ(rig.find<QSlider>("VolumeSldr")->toolTip(), QStringLiteral("Changes voice playback volume"));

    // Each list and slider has its label, and the label leads to it.
    const struct
    {
        const char *control, *label;
    } labelled[] = {{"VoiceCB", "Voice"},
                    {"RateSldr", "Rate"},
                    {"VolumeSldr", "Volume"},
                    {"FormatCB", "Format"},
                    {"AudioOutputCB", "Audio Output"}};
    for (const auto &l : labelled) {
        QLabel *found = nullptr;
        for (QLabel *label : rig.window->findChildren<QLabel *>())
            if (label->buddy() == rig.find<QWidget>(l.control))
                found = label;
        ASSERT_NE(found, nullptr) << l.control;
        EXPECT_EQ(withoutMnemonic(found->text()), QLatin1String(l.label));
    }
    const struct
    {
        const char *name, *caption;
    } actions[] = {{"menuFileOpenText", "Open Text File"}, {"menuFileExit", "Close"}, {"menuAbout", "About"}};
    for (const auto &a : actions)
        EXPECT_EQ(withoutMnemonic(rig.find<QAction>(a.name)->text()), QLatin1String(a.caption));
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
    EXPECT_EQ(formats->currentIndex(), 18);
    EXPECT_EQ(formats->currentText(), QStringLiteral("SAFT22kHz16BitMono"));
    for (int position = 0; position < formats->count(); ++position)
        EXPECT_EQ(formats->itemData(position).toInt(), position + 4) << position; // the format code
    EXPECT_EQ(formats->itemText(0), QStringLiteral("SAFT8kHz8BitMono"));
    EXPECT_EQ(formats->itemText(35), QStringLiteral("SAFT48kHz16BitStereo"));

    auto *outputs = rig.find<QComboBox>("AudioOutputCB");
    EXPECT_EQ(outputs->count(), 2);
    EXPECT_TRUE(outputs->isEnabled());
    EXPECT_EQ(rig.find<QSlider>("RateSldr")->value(), 3);
    EXPECT_EQ(rig.find<QSlider>("VolumeSldr")->value(), 80);
    EXPECT_EQ(rig.window->speakFlags(), 11);
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    EXPECT_FALSE(rig.window->isSpeaking());
    EXPECT_TRUE(rig.boxes.shown.isEmpty());

    // The first voice, then the format, then the output with the format again.
    EXPECT_EQ(rig.voice->calls(),
              QStringList({"setVoice:voice/alice", "setRate:3", "setVolume:80", "allowFormatChanges:0",
                           "setOutputFormat:22", "setAudioOutput:out/speaker", "allowFormatChanges:0",
                           "setOutputFormat:22"}));

    auto *timer = rig.window->findChild<QTimer *>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
}

TEST(TTSSetupLoad, WithoutAudioOutputsTheListSaysSoAndIsDisabled)
{
    TtsRig rig([](ScriptedVoice &voice) { voice.m_outputs.clear(); });
    auto *outputs = rig.find<QComboBox>("AudioOutputCB");
    ASSERT_EQ(outputs->count(), 1);
    EXPECT_EQ(outputs->itemText(0), QStringLiteral("No audio ouput object available"));
    EXPECT_EQ(outputs->currentIndex(), 0);
    EXPECT_FALSE(outputs->isEnabled());
    EXPECT_FALSE(rig.voice->calls().join(' ').contains(QStringLiteral("setAudioOutput")));
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
        const QImage embedded(file.fileName());
        EXPECT_EQ(embedded.convertToFormat(QImage::Format_RGB32),
                  face::paintFacePicture(name).convertToFormat(QImage::Format_RGB32))
            << qPrintable(name);
    }
}

// The face is really drawn in the window, keyed colour gone. Set
// KESTREL_SCREENSHOT_DIR to keep a picture of the window for a look.
TEST(TTSSetupLoad, TheWindowShowsTheFace)
{
    TtsRig rig;
    rig.setBoxText(QStringLiteral("Hello, this is KESTREL speaking."));
    rig.window->resize(rig.window->sizeHint());
    rig.window->show();
    rig.voice->emitViseme(9);
    const QImage shot = rig.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString folder = qEnvironmentVariable("KESTREL_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        shot.save(folder + QStringLiteral("/tts.png"));

    auto *picture = rig.find<QLabel>("VisemePicture");
    const QRect area(picture->mapTo(rig.window.get(), QPoint(0, 0)), picture->size());
    const QImage shown = shot.copy(area);
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

TEST(TTSSetupLoad, WithoutAVoiceNothingIsSpokenAndNothingWaits)
{
    TtsHosts hosts;
    TTSSetup window(hosts.services(nullptr));
    EXPECT_EQ(window.findChild<QComboBox *>(QStringLiteral("VoiceCB"))->count(), 0);
    window.setMainText(QStringLiteral("Hello"));
    window.speakIt();
    EXPECT_FALSE(window.isSpeaking());
}

} // namespace
} // namespace kestrel::tts_test

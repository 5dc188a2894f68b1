#include "TtsDoubles.h"

#include "tts/MouthImageList.h"
#include "tts/face/FacePainter.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

TEST(TTSSetupSpeak, SpeakingStoppingAndFailedOrEmptyRequests)
{
    TtsRig rig;
    for (bool speaking : {true, false}) { // empty text changes nothing
        rig.window->SetSpeakState(speaking);
        rig.window->speakIt();
        rig.window->speakItX();
        EXPECT_EQ(rig.window->isSpeaking(), speaking);
    }
    EXPECT_TRUE(rig.voice->speakCalls.isEmpty());

    rig.setBoxText(QStringLiteral("Hello there"));
    rig.click("SpeakBtn");
    ASSERT_EQ(rig.voice->speakCalls.size(), 1);
    EXPECT_EQ(rig.voice->speakCalls[0].text, QStringLiteral("Hello there"));
    EXPECT_EQ(rig.voice->speakCalls[0].flags, 11);
    EXPECT_EQ(rig.state(), QStringLiteral("SPEAKING"));
    rig.click("StopBtn");
    ASSERT_EQ(rig.voice->speakCalls.size(), 2);
    EXPECT_EQ(rig.voice->speakCalls[1].text, QStringLiteral(" "));
    EXPECT_TRUE(rig.voice->speakCalls[1].flags & VoiceEngine::PurgeBeforeSpeak);
    // The purged stream ends, then the blank's own stream: idle again.
    rig.voice->emitEndStream(1);
    rig.voice->emitWholeStream(QStringLiteral(" "), 2);
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    EXPECT_EQ(rig.boxText(), QStringLiteral("Hello there"));

    // A voice refusing to speak or to stop leaves the window idle.
    rig.voice->throwOnSpeak = true;
    rig.window->SetSpeakState(true);
    rig.window->speakIt();
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    rig.window->SetSpeakState(true);
    rig.window->StopVoice();
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
}

// Speak disables itself while it speaks: the focus went on to Test, whose
// Space then replaced the user's text and clipboard with the test sentence.
TEST(TTSSetupSpeak, TheKeyboardFocusMovesBetweenSpeakAndStop)
{
    TtsRig rig;
    rig.window->show();
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    rig.setBoxText(QStringLiteral("my letter to read"));
    rig.desktop.setClipboardText(QStringLiteral("copied elsewhere"));
    rig.find("SpeakBtn")->setFocus();
    QTest::keyClick(rig.find("SpeakBtn"), Qt::Key_Space);
    rig.voice->emitStartStream();
    ASSERT_EQ(rig.state(), QStringLiteral("SPEAKING"));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("StopBtn"));

    // The speech ends by itself while Stop has the focus.
    rig.voice->emitEndStream();
    ASSERT_EQ(rig.state(), QStringLiteral("IDLE"));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("SpeakBtn"));
    EXPECT_EQ(rig.boxText(), QStringLiteral("my letter to read"));
    EXPECT_EQ(rig.desktop.clipboardText(), QStringLiteral("copied elsewhere"));

    // Enter presses the focused button as Space does.
    QTest::keyClick(rig.find("SpeakBtn"), Qt::Key_Return);
    EXPECT_EQ(rig.voice->calls().count(QStringLiteral("speak")), 2);
}

TEST(TTSSetupSpeak, StopLeavesTheFocusInTheTextBoxOfAVisibleWindow)
{
    TtsRig rig;
    rig.window->show();
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    rig.find("VoiceCB")->setFocus();
    rig.window->StopVoice();
    EXPECT_TRUE(rig.find("MainTxtBox")->hasFocus());

    rig.window->hide();
    rig.find("VoiceCB")->setFocus();
    ASSERT_EQ(rig.window->focusWidget(), rig.find("VoiceCB"));
    rig.window->StopVoice(); // a hidden window's focus is not touched
    EXPECT_EQ(rig.window->focusWidget(), rig.find("VoiceCB"));
    EXPECT_EQ(rig.voice->speakCalls.size(), 2);
}

// The recognition window hides on Esc; the voice window did not, so a user who
// learnt the one key was left with a window to close by mouse.
TEST(TTSSetupSpeak, EscHidesTheWindowFromAnyControlAndTheReadingGoesOn)
{
    for (const char *focused : {"MainTxtBox", "SpeakBtn", "VoiceCB", "RateSldr"}) {
        SCOPED_TRACE(focused);
        TtsRig rig;
        rig.window->show();
        rig.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
        rig.setBoxText(QStringLiteral("a long letter"));
        QTest::keyClick(rig.find("SpeakBtn"), Qt::Key_Space);
        rig.voice->emitStartStream();
        rig.find(focused)->setFocus();
        QTest::keyClick(rig.find(focused), Qt::Key_Escape);
        EXPECT_FALSE(rig.window->isVisible());
        EXPECT_EQ(rig.state(), QStringLiteral("SPEAKING"));
        EXPECT_EQ(rig.boxText(), QStringLiteral("a long letter"));
    }

    // Esc in an open list closes the list only.
    TtsRig rig;
    rig.window->show();
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    auto *voices = rig.find<QComboBox>("VoiceCB");
    voices->showPopup();
    QWidget *list = voices->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }));
    EXPECT_TRUE(rig.window->isVisible());
}

// Test puts its sentence on the clipboard first; Play Clipboard needs no monitor.
TEST(TTSSetupSpeak, ClipboardButtonsSpeakTheClipboard)
{
    const QString sentence = QStringLiteral("This is a test of the Speech Recognition System.");
    const std::tuple<const char *, QString, QString> cases[] = {{"BtnTest", "", sentence},
                                                                {"Command2", "Read me", "Read me"}};
    for (const auto &[button, copied, spoken] : cases) {
        SCOPED_TRACE(button);
        TtsRig rig;
        rig.desktop.setClipboard(copied);
        rig.desktop.clearLog();
        rig.click(button);
        // The user's own request reads the clipboard as it is now, never an earlier read.
        if (!copied.isEmpty()) {
            EXPECT_TRUE(rig.desktop.log().contains(QStringLiteral("? clipboard now")));
            EXPECT_FALSE(rig.desktop.log().contains(QStringLiteral("? clipboard")));
        }
        EXPECT_EQ(rig.desktop.clipboardText(), spoken);
        EXPECT_EQ(rig.boxText(), spoken);
        ASSERT_EQ(rig.voice->speakCalls.size(), 1);
        EXPECT_EQ(rig.voice->speakCalls[0].text, spoken);
    }
}

// The clipboard is emptied only while it holds the text spoken. A command's
// announcement ("Executing paste") is spoken from the box, and emptying the
// clipboard at its end left the paste that follows nothing to paste.
TEST(TTSSetupSpeak, ClearAfterSpeakEmptiesTheBoxAndTheClipboardOfWhatWasSpoken)
{
    const struct
    {
        const char *name;
        Qt::CheckState clearIt;
        QString clipboard, clipboardAfter;
        bool boxCleared;
    } cases[] = {
        {"the clipboard holds the text spoken", Qt::Checked, QStringLiteral("Say\r\nthis"), QString(), true},
        {"the clipboard holds the user's own copy", Qt::Checked, QStringLiteral("copied"),
         QStringLiteral("copied"), true},
        {"not ticked", Qt::Unchecked, QStringLiteral("Say\nthis"), QStringLiteral("Say\nthis"), false},
        {"greyed", Qt::PartiallyChecked, QStringLiteral("Say\nthis"), QStringLiteral("Say\nthis"), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TtsRig rig;
        rig.find<QCheckBox>("ClearIt")->setCheckState(c.clearIt);
        rig.desktop.setClipboard(c.clipboard);
        rig.setBoxText(QStringLiteral("Say\nthis"));
        rig.window->speakItX();
        EXPECT_EQ(rig.boxText(), QStringLiteral("Say\nthis")); // not before the end
        rig.voice->emitWholeStream(QStringLiteral("Say\nthis"));
        EXPECT_EQ(rig.boxText().isEmpty(), c.boxCleared);
        EXPECT_EQ(rig.desktop.clipboardText(), c.clipboardAfter);
        // A busy owner asked at every end of speech would hold up each command.
        EXPECT_FALSE(rig.desktop.log().contains(QStringLiteral("? clipboard now")));
    }
}

// Only what was spoken is cleared: a clipboard the user filled in another
// program must survive KESTREL's end and a voice that cannot speak.
TEST(TTSSetupSpeak, ClearAfterSpeakLeavesWhatWasNotSpoken)
{
    const std::pair<const char *, std::function<void(TtsRig &)>> cases[] = {
        {"unload while idle", [](TtsRig &rig) { rig.window->unload(); }},
        {"unload while speaking",
         [](TtsRig &rig) {
             rig.window->speakItX();
             rig.window->unload();
         }},
        {"speaking fails",
         [](TtsRig &rig) {
             rig.voice->throwOnSpeak = true;
             rig.window->speakItX();
         }},
        {"stop fails",
         [](TtsRig &rig) {
             rig.voice->throwOnSpeak = true;
             rig.window->StopVoice();
         }},
    };
    for (const auto &[name, run] : cases) {
        SCOPED_TRACE(name);
        TtsRig rig;
        rig.find<QCheckBox>("ClearIt")->setCheckState(Qt::Checked);
        rig.desktop.setClipboard(QStringLiteral("keep me"));
        rig.setBoxText(QStringLiteral("Say this"));
        run(rig);
        EXPECT_EQ(rig.desktop.clipboardText(), QStringLiteral("keep me"));
        EXPECT_EQ(rig.boxText(), QStringLiteral("Say this"));
        EXPECT_FALSE(rig.window->isSpeaking());
    }
}

// The list shows the outputs as they were when the window loaded; a device
// plugged in later, or a new default, must not shift what an entry means.
TEST(TTSSetupSpeak, TheOutputChosenIsTheOneTheListShows)
{
    const SpeechToken usb{QStringLiteral("out/usb"), QStringLiteral("USB")};
    const std::pair<const char *, SpeechTokenList> cases[] = {
        {"a device plugged in", {usb, kSpeaker, kHeadset}},
        {"the headset became the default", {kHeadset, kSpeaker}},
    };
    for (const auto &[name, outputsNow] : cases) {
        SCOPED_TRACE(name);
        TtsRig rig;
        rig.voice->m_outputs = outputsNow;
        rig.voice->clearCalls();
        auto *list = rig.find<QComboBox>("AudioOutputCB");
        const int headset = list->findText(kHeadset.description);
        ASSERT_EQ(headset, 1);
        list->setCurrentIndex(headset);
        Q_EMIT list->activated(headset);
        ASSERT_FALSE(rig.voice->calls().isEmpty());
        EXPECT_EQ(rig.voice->calls().first(), QStringLiteral("setAudioOutput:out/headset"));
    }
}

TEST(TTSSetupSpeak, UserChoicesReachTheVoiceAndRefusedOnesLeaveItAsItWas)
{
    TtsRig rig;
    rig.voice->clearCalls();
    QTest::keyClick(rig.find("VoiceCB"), Qt::Key_Down);
    QTest::keyClick(rig.find("AudioOutputCB"), Qt::Key_Down);
    QTest::keyClick(rig.find("FormatCB"), Qt::Key_Up);
    rig.find<QSlider>("RateSldr")->setValue(50);
    rig.find<QSlider>("VolumeSldr")->setValue(-5);
    EXPECT_EQ(rig.voice->calls(),
              QStringList({"setVoice:voice/bruno", "setAudioOutput:out/headset", "allowFormatChanges:0",
                           "setOutputFormat:22", "allowFormatChanges:0", "setOutputFormat:21", "setRate:10",
                           "setVolume:0"}));

    rig.voice->throwOnSetAudioOutput = true;
    rig.voice->clearCalls();
    QTest::keyClick(rig.find("AudioOutputCB"), Qt::Key_Up);
    EXPECT_EQ(rig.voice->calls(), QStringList({"setAudioOutput:out/speaker"})); // format not re-applied
    EXPECT_EQ(rig.voice->m_output, kHeadset);
    rig.voice->throwOnSetOutputFormat = true;
    QTest::keyClick(rig.find("FormatCB"), Qt::Key_Down);
    EXPECT_EQ(rig.voice->m_format, 21);
    EXPECT_EQ(rig.find<QComboBox>("FormatCB")->currentIndex(), 18);
}

TEST(TTSSetupWindow, CloseBoxIsRefusedUnloadSavesThenReleasesTheVoice)
{
    QStringList order;
    QPointer<ScriptedVoice> voiceAlive;
    TtsOptions options;
    options.saveSettings = [&](const QString &path, SettingsBinding &binding) {
        order << QStringLiteral("save %1 voice=%2 format=%3")
                     .arg(path, voiceAlive ? "alive" : "gone")
                     .arg(binding.number(SettingKey::FORMATCB));
    };
    options.loadSettings = [](const QString &, SettingsBinding &) {};
    TtsRig rig({}, options);
    rig.window->loadDat();
    voiceAlive = rig.voice;
    rig.window->show();
    EXPECT_FALSE(rig.window->close());
    EXPECT_TRUE(rig.window->isVisible());

    rig.find<QAction>("menuAbout")->trigger();
    QCoreApplication::processEvents(); // the box opens once the menu has let go
    ASSERT_EQ(rig.boxes.shown.size(), 1);
    EXPECT_EQ(rig.boxes.shown[0].title, QStringLiteral("KESTREL")) << qPrintable(rig.boxes.shown[0].text);
    rig.find<QAction>("menuFileExit")->trigger();
    EXPECT_FALSE(rig.window->isVisible()); // hidden, still loaded
    rig.window->showWindow();
    rig.setBoxText(QStringLiteral("Still talking"));
    rig.click("SpeakBtn");
    ASSERT_TRUE(rig.window->isSpeaking());

    rig.window->unload();
    EXPECT_EQ(order, QStringList({"save KESTREL.INI voice=alive format=18"}));
    EXPECT_TRUE(voiceAlive.isNull());
    EXPECT_FALSE(rig.window->isVisible());
    // The voice went mid-sentence and will never report its end; a wait for
    // the speaking to stop must not last for ever.
    EXPECT_FALSE(rig.window->isSpeaking());
    rig.window->setMainText(QStringLiteral("after the end"));
    rig.window->speakIt();
    EXPECT_FALSE(rig.window->isSpeaking());
    rig.window->unload();
    EXPECT_EQ(order.size(), 1);
}

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

TEST(TTSSetupEvents, TheFaceFollowsTheVisemesUntilTheStreamEnds)
{
    TtsRig rig;
    EXPECT_EQ(shownFace(rig), expectedFace("MICFULL"));
    for (const auto &[viseme, part] : {std::pair{2, "MICEYECLOSED"},
                                       {5, "MICEYENARROW"},
                                       {9, "MIC13"},
                                       {19, "MIC4"},
                                       {0, "MICFULL"},
                                       {21, "MIC9"},
                                       {99, "MICFULL"}}) {
        rig.voice->emitViseme(viseme);
        EXPECT_EQ(shownFace(rig), expectedFace(part)) << "viseme " << viseme;
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
    const std::tuple<int, int, QString> cases[] = {
        {0, 5, "Hello"},   {6, 5, "brave"},
        {12, 5, "world"},  {40, 3, "world"}, // beyond the text: ignored, the last word stays selected
        {-1, 2, "world"},                    // ignored too
        {12, 50, "world"},                   // runs past the end: up to the end
    };
    for (const auto &[position, length, selected] : cases) {
        rig.voice->emitWord(position, length);
        EXPECT_EQ(box->textCursor().selectedText(), selected) << position << "," << length;
    }
    rig.voice->emitEndStream();
    EXPECT_EQ(box->textCursor().selectedText(), QStringLiteral("Hello brave world"));
}

// The word being spoken is selected, so a key typed while the voice reads
// would replace it; and text typed then was never spoken, so clearing it at
// the end would lose it for good.
TEST(TTSSetupEvents, TheTextCannotBeChangedWhileItIsRead)
{
    for (const auto &[clearAfter, afterSpeech] : {std::pair{false, "Hello brave world"}, {true, ""}}) {
        SCOPED_TRACE(clearAfter ? "clear after speak" : "kept");
        TtsRig rig;
        auto *box = rig.find<QPlainTextEdit>("MainTxtBox");
        rig.find<QCheckBox>("ClearIt")->setChecked(clearAfter);
        rig.setBoxText(QStringLiteral("Hello brave world"));
        rig.window->speakItX();
        rig.voice->emitStartStream();
        rig.voice->emitWord(6, 5);
        QTest::keyClicks(box, QStringLiteral("x"));
        EXPECT_EQ(rig.boxText(), QStringLiteral("Hello brave world"));
        rig.voice->emitEndStream();
        EXPECT_EQ(rig.boxText(), QString::fromLatin1(afterSpeech));
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClicks(box, QStringLiteral("!"));
        EXPECT_TRUE(rig.boxText().endsWith(u'!')) << "the box takes typing again after the speech";
    }
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
        EXPECT_EQ(rig.mainWindow.calls, listening
                                            ? QStringList({"stopListening", "startListening", "speechEnded"})
                                            : QStringList({"stopListening", "speechEnded"}));
        EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    }
}

// A request made while the voice still speaks replaces the old stream, whose end
// arrives first. Until the new text has been spoken the window is speaking: a
// caller waiting for the feedback to finish, "Clear after speak" and the paused
// listening all go by the last stream's end, not by the replaced one's.
TEST(TTSSetupEvents, ASpeechThatReplacesAnotherKeepsTheWindowSpeakingUntilItsOwnEnd)
{
    const auto speakAgain = [](TtsRig &rig) {
        rig.setBoxText(QStringLiteral("Second text"));
        rig.window->speakItX();
    };
    // The first stream's end comes after the call that replaced it, or inside it
    // (the voice ran the event loop while it stopped the sound).
    const std::tuple<const char *, std::function<void(TtsRig &)>, bool> replacements[] = {
        {"speak again", speakAgain, false},
        {"speak again, the end inside the call", speakAgain, true},
        {"stop", [](TtsRig &rig) { rig.window->StopVoice(); }, false},
        {"stop, the end inside the call", [](TtsRig &rig) { rig.window->StopVoice(); }, true},
    };
    for (const auto &[label, replace, endInside] : replacements) {
        SCOPED_TRACE(label);
        TtsRig rig;
        rig.find<QCheckBox>("ClearIt")->setCheckState(Qt::Checked);
        rig.mainWindow.listening = true;
        rig.setBoxText(QStringLiteral("First text"));
        rig.window->speakItX();
        rig.voice->emitStartStream(1);
        if (endInside)
            rig.voice->duringSpeak = [&rig] { rig.voice->emitEndStream(1); };
        replace(rig);
        rig.voice->duringSpeak = nullptr;
        const QString boxDuringSecond = rig.boxText();
        if (!endInside)
            rig.voice->emitEndStream(1);
        EXPECT_EQ(rig.state(), QStringLiteral("SPEAKING"));
        EXPECT_TRUE(rig.window->isSpeaking());
        EXPECT_EQ(rig.boxText(), boxDuringSecond) << "cleared before the new text was spoken";
        EXPECT_FALSE(rig.mainWindow.listening) << "listening while the voice still speaks";

        rig.voice->emitWholeStream(boxDuringSecond, 2);
        EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
        EXPECT_TRUE(rig.boxText().isEmpty());
        EXPECT_TRUE(rig.mainWindow.listening) << "listening was on before the first stream";
    }
}

// Listening switched on by the user while the voice read, then paused by an
// answer that replaced the reading, comes back when the answer ends.
TEST(TTSSetupEvents, ListeningSwitchedOnDuringASpeechComesBackAfterTheSpeechThatReplacedIt)
{
    TtsRig rig;
    rig.mainWindow.listening = false;
    rig.setBoxText(QStringLiteral("A long text"));
    rig.window->speakItX();
    rig.voice->emitStartStream(1);
    rig.mainWindow.listening = true; // Start, clicked while it read
    rig.setBoxText(QStringLiteral("Executing open editor"));
    rig.window->speakItX();
    rig.voice->emitEndStream(1);
    rig.voice->emitWholeStream(QStringLiteral("Executing open editor"), 2);
    EXPECT_EQ(rig.state(), QStringLiteral("IDLE"));
    EXPECT_TRUE(rig.mainWindow.listening);
}

TEST(TTSSetupEvents, AVoiceChangeSelectsAKnownVoiceOnly)
{
    const std::tuple<SpeechToken, int, QStringList> cases[] = {
        {kBruno, 1, {"setVoice:voice/bruno"}},
        {SpeechToken{"voice/zed", "Zed (Klingon)"}, 0, {}},
        {kAlice, 0, {}}, // already chosen: not assigned again
        {SpeechToken{"voice/x", "alice (english)"}, 0, {}},
    };
    for (const auto &[token, index, calls] : cases) {
        TtsRig rig;
        rig.voice->clearCalls();
        rig.voice->emitVoiceChange(token);
        EXPECT_EQ(rig.find<QComboBox>("VoiceCB")->currentIndex(), index) << qPrintable(token.id);
        EXPECT_EQ(rig.voice->calls(), calls) << qPrintable(token.id);
    }
}

// One step of a clipboard scenario: an action ("copy", "flag", "edit", "monitor-off",
// "monitor-grey", "monitor-on", "end") with its text, then a timer tick; afterwards
// the speak requests so far and the box's text.
using Step = std::tuple<const char *, QString, int, QString>;

void runScenario(const char *scenario, const QList<Step> &steps)
{
    TtsRig rig;
    auto *monitor = rig.find<QCheckBox>("ChkClipboard");
    monitor->setCheckState(Qt::Checked);
    for (const auto &[step, value, spokenAfter, boxAfter] : steps) {
        const QString action = QLatin1String(step);
        if (action == QLatin1String("copy"))
            rig.desktop.setClipboard(value);
        else if (action == QLatin1String("flag"))
            rig.shared.ClipboardSpeakNow = true;
        else if (action == QLatin1String("edit"))
            rig.setBoxText(value);
        else if (action.startsWith(QLatin1String("monitor")))
            monitor->setCheckState(action.endsWith(QLatin1String("on"))     ? Qt::Checked
                                   : action.endsWith(QLatin1String("grey")) ? Qt::PartiallyChecked
                                                                            : Qt::Unchecked);
        else if (action == QLatin1String("end"))
            rig.voice->emitWholeStream(rig.boxText());
        rig.window->timer1Tick();
        EXPECT_EQ(rig.voice->speakCalls.size(), spokenAfter) << scenario << ": after " << step;
        EXPECT_EQ(rig.boxText(), boxAfter) << scenario << ": after " << step;
    }
}

// The monitor speaks new clipboard text, or the same text when asked, but never
// text the box already shows in its own form.
TEST(TTSSetupClipboard, MonitorScenarios)
{
    runScenario("same text twice",
                {{"copy", "Hello", 1, "Hello"}, {"end", "", 1, "Hello"}, {"copy", "Hello", 1, "Hello"}});
    runScenario("case counts", {{"copy", "Hello", 1, "Hello"}, {"copy", "hello", 2, "hello"}});
    runScenario("asked again",
                {{"copy", "Hello", 1, "Hello"}, {"flag", "", 2, "Hello"}, {"end", "", 2, "Hello"}});
    runScenario("box edited", {{"copy", "Hello", 1, "Hello"}, {"edit", "Changed", 2, "Hello"}});
    runScenario("clipboard emptied", {{"copy", "Hello", 1, "Hello"}, {"copy", "", 1, ""}});
    runScenario("monitor off or greyed keeps the request", {{"monitor-off", "", 0, ""},
                                                            {"copy", "Hi", 0, ""},
                                                            {"monitor-grey", "", 0, ""},
                                                            {"flag", "", 0, ""},
                                                            {"monitor-on", "", 1, "Hi"},
                                                            {"end", "", 1, "Hi"}});
    runScenario("line breaks and spaces the box changes are one text",
                {{"copy", "one\r\ntwo\rthree\r\r\nfour\u2029five\u2028six\u00a0seven\teight\r\n", 1,
                  "one\ntwo\nthree\n\nfour\nfive\nsix seven\teight\n"},
                 {"end", "", 1, "one\ntwo\nthree\n\nfour\nfive\nsix seven\teight\n"}});
}

TEST(TTSSetupFiles, OpenTextFile)
{
    QTemporaryDir samples;
    ASSERT_TRUE(samples.isValid());
    const QString text = QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln, \u00e7a va?");
    const QString path = samples.filePath(QStringLiteral("greeting.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringEncoder(QStringEncoder::System)(text));
    file.close();

    // What the dialog returns, and the box afterwards.
    const std::pair<QString, QString> cases[] = {
        {QString(), "before"}, {samples.filePath("missing.txt"), "before"}, {path, text}};
    for (const auto &[answer, box] : cases) {
        QList<OpenFileRequest> asked;
        TtsOptions options;
        options.environment.insert(QStringLiteral("KESTREL_SAMPLES_DIR"), samples.path());
        options.openFile = [&asked, answer = answer](QWidget *, const OpenFileRequest &request) {
            asked << request;
            return answer;
        };
        TtsRig rig({}, options);
        rig.setBoxText(QStringLiteral("before"));
        rig.find<QAction>("menuFileOpenText")->trigger();
        QCoreApplication::processEvents(); // the dialog opens once the menu has let go
        EXPECT_EQ(rig.boxText(), box);
        EXPECT_TRUE(rig.voice->speakCalls.isEmpty()); // loading speaks nothing
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked[0].title, QStringLiteral("Open a Text File"));
        EXPECT_EQ(asked[0].directory, samples.path());
        EXPECT_EQ(asked[0].filters, QStringLiteral("All Files (*);;Text, XML Files (*.txt *.xml)"));
        EXPECT_EQ(asked[0].selectedFilter, QStringLiteral("Text, XML Files (*.txt *.xml)"));

        // While speaking the menu item is off and the dialog is not asked.
        rig.window->speakIt();
        rig.find<QAction>("menuFileOpenText")->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(asked.size(), 1);
        // Chosen just before the voice began: the dialog is not asked either.
        rig.voice->emitStartStream();
        rig.voice->emitEndStream();
        ASSERT_TRUE(rig.find<QAction>("menuFileOpenText")->isEnabled());
        rig.find<QAction>("menuFileOpenText")->trigger();
        rig.window->speakIt();
        QCoreApplication::processEvents();
        EXPECT_EQ(asked.size(), 1);
    }
}

// The voice may begin while the file dialog shows (a command's answer): the
// file picked then must not replace the text being read, which is read-only
// for that very reason.
TEST(TTSSetupFiles, AFilePickedWhileTheVoiceBeganIsNotLoaded)
{
    QTemporaryDir samples;
    ASSERT_TRUE(samples.isValid());
    const QString path = samples.filePath(QStringLiteral("letter.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Dear all");
    file.close();
    TtsOptions options;
    TtsRig *current = nullptr;
    options.openFile = [&](QWidget *, const OpenFileRequest &) {
        current->window->speakIt();
        current->voice->emitStartStream();
        return path;
    };
    TtsRig rig({}, options);
    current = &rig;
    rig.setBoxText(QStringLiteral("Executing open editor"));
    rig.find<QAction>("menuFileOpenText")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.boxText(), QStringLiteral("Executing open editor"));
    rig.voice->emitEndStream();
    EXPECT_EQ(rig.boxText(), QStringLiteral("Executing open editor"));
}

} // namespace
} // namespace kestrel::tts_test

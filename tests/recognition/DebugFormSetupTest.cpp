#include "DebugFormFixture.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>

namespace kestrel::debugform_test {
namespace {

const QString ActivationFailure = QStringLiteral(
    "Failed to activate the grammar. It is possible that your audio device is used by other application.");
const QString LoadFailure = QStringLiteral(
    "Error loading PocketSphinx objects! Please make sure PocketSphinx is correctly installed.");

TEST_F(DebugFormTest, StartsInProcessOnFirstEngineAndFirstInput)
{
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
    const QStringList grammar{"createGrammar(1)", "dictationLoad", "dictationSetState(false)",
                              "cmdLoadFromFile(sol.xml,true)", "cmdSetRuleIdState(0,false)"};
    EXPECT_EQ(script.callsWithout("setEventInterests"),
              QStringList({"createSharedRecoContext", "releaseRecoContext", "createInprocRecognizer",
                           "setAudioInput(input-1)", "setRecognizer(engine-1)", "createRecoContext"}) +
                  grammar + grammar);
    EXPECT_EQ(tts.calls, QStringList{"loadDat"});

    EXPECT_EQ(form->windowTitle(), "KESTREL Speech Recognition Setup");
    EXPECT_FALSE(form->isVisible()) << "loaded hidden";
    auto *engines = control<QComboBox>("SREngines");
    EXPECT_FALSE(engines->isEnabled());
    ASSERT_EQ(engines->count(), 2);
    EXPECT_EQ(engines->itemText(1), "PocketSphinx US English (small)");
    EXPECT_TRUE(checkBox("ActivateMic")->isChecked());
    EXPECT_FALSE(checkBox("ActivateMic")->isEnabled());
    EXPECT_TRUE(button("PlayAudio")->isHidden());
    EXPECT_TRUE(checkBox("RetainAudio")->isHidden());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(DebugFormTest, LoadsOnceOnFirstTouchOfAnyLinkMember)
{
    const std::pair<const char *, std::function<void(DebugForm &)>> touches[] = {
        {"recognitionCaption", [](DebugForm &f) { f.recognitionCaption(); }},
        {"clickIt", [](DebugForm &f) { f.clickIt(); }},
        {"feedback", [](DebugForm &f) { f.feedback(); }},
        {"showWindow", [](DebugForm &f) { f.showWindow(); }},
        {"confirmationState", [](DebugForm &f) { f.confirmationState(); }},
    };
    for (const auto &[name, touch] : touches) {
        FormRig fresh;
        EXPECT_FALSE(fresh.form->isLoaded()) << name;
        EXPECT_EQ(fresh.script.contextsCreated(), 0) << name;
        touch(*fresh.form);
        touch(*fresh.form);
        EXPECT_TRUE(fresh.form->isLoaded()) << name;
        EXPECT_EQ(fresh.script.callCount("createSharedRecoContext"), 1) << name;
        EXPECT_EQ(fresh.tts.calls.count("loadDat"), 1) << name;
    }
}

TEST_F(DebugFormTest, SettingsAreReadLastAndReachTheFeedbackControls)
{
    qsizetype callsAtLoadDat = -1;
    tts.onLoadDat = [&] {
        callsAtLoadDat = script.calls().size();
        FeedbackSettings &settings = form->feedback(); // re-entrant touch: no second load
        settings.setDidYouSayText("Did you mean");
        settings.setExecutingState(1);
        settings.setConfirmationState(2);
    };
    EXPECT_EQ(form->feedback().didYouSayText(), "Did you mean");
    EXPECT_EQ(form->executingState(), 1);
    EXPECT_EQ(form->confirmationState(), 2);
    EXPECT_EQ(callsAtLoadDat, script.calls().size()) << "settings are read last";
    EXPECT_EQ(script.callCount("createSharedRecoContext"), 1);
}

TEST_F(DebugFormTest, LoadFailureReportsHidesAndSkipsSettings)
{
    const char *operations[] = {"createSharedRecoContext", "recognizers",
                                "createInprocRecognizer",  "setAudioInput",
                                "setRecognizer",           "createRecoContext",
                                "eventInterests",          "createGrammar",
                                "dictationLoad",           nullptr /* no engines at all */};
    for (const char *operation : operations) {
        SCOPED_TRACE(operation ? operation : "no engines");
        FormRig fresh;
        if (operation)
            fresh.script.failOn(operation);
        else
            fresh.script.engines.clear();
        fresh.form->show();
        fresh.form->recognitionCaption();

        ASSERT_EQ(fresh.boxes.shown.size(), 1);
        EXPECT_EQ(fresh.boxes.shown[0].text, LoadFailure);
        EXPECT_EQ(fresh.boxes.shown[0].icon, MessageBoxes::Icon::Critical);
        EXPECT_FALSE(fresh.form->isVisible());
        EXPECT_TRUE(fresh.tts.calls.isEmpty()) << "settings not read";

        // Still usable: switching on reports instead of crashing.
        fresh.script.clearFailures();
        fresh.form->clickIt();
        ASSERT_EQ(fresh.boxes.shown.size(), 2);
        EXPECT_EQ(fresh.boxes.shown[1].text, ActivationFailure);
        EXPECT_EQ(fresh.form->recognitionCaption(), "Start Recognition");
        EXPECT_TRUE(fresh.mainWindow.calls.isEmpty());
    }
}

TEST_F(DebugFormTest, MissingGrammarFileIsSilentAndRecognitionStillStarts)
{
    ASSERT_TRUE(QFile::remove(QStringLiteral("sol.xml")));
    form->clickIt();
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_FALSE(form->setup().GrammarLoaded());
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_TRUE(script.grammar()->dictationActive());
}

TEST_F(DebugFormTest, EngineListCountsOnlyForInprocAndAFailedEngineCanBeReplaced)
{
    form->recognitionCaption();
    QPointer<ScriptedRecoContext> inprocContext = script.context();
    auto *engines = control<QComboBox>("SREngines");
    const auto engineId = [&] { return script.context()->scriptedRecognizer().engine().id; };

    button("SharedRC")->click();
    EXPECT_TRUE(inprocContext.isNull()) << "old context released, its events stop";
    ASSERT_NE(script.context(), nullptr);
    EXPECT_TRUE(script.context()->scriptedRecognizer().isShared());
    EXPECT_FALSE(engines->isEnabled());
    EXPECT_TRUE(script.grammar()->dictationLoaded());
    EXPECT_TRUE(form->setup().GrammarLoaded());
    const int contexts = script.contextsCreated();
    engines->setCurrentIndex(1);
    EXPECT_EQ(script.contextsCreated(), contexts) << "selection has no effect while Shared is selected";

    button("Inproc")->click();
    EXPECT_FALSE(script.context()->scriptedRecognizer().isShared());
    EXPECT_EQ(engineId(), "engine-2");
    EXPECT_TRUE(engines->isEnabled());

    script.failOn("setRecognizer", 1, "Engine files are missing.");
    engines->setCurrentIndex(0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains("Engine files are missing."))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Critical);
    EXPECT_EQ(script.context(), nullptr);
    EXPECT_TRUE(engines->isEnabled()) << "another engine can be chosen";
    form->clickIt();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text, ActivationFailure);
    EXPECT_TRUE(mainWindow.calls.isEmpty());

    engines->setCurrentIndex(1);
    ASSERT_NE(script.context(), nullptr);
    EXPECT_EQ(engineId(), "engine-2");
    EXPECT_FALSE(script.grammar()->dictationActive()) << "an engine change keeps recognition stopped";
    form->clickIt();
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_EQ(boxes.shown.size(), 2);
}

TEST_F(DebugFormTest, ClickItSwitchesBothWaysAndActivateMicOnlyDictation)
{
    form->recognitionCaption();
    auto *mic = checkBox("ActivateMic");
    const auto engineControlsEnabled = [&] {
        return QList<bool>{control<QWidget>("SREngines")->isEnabled(), button("SharedRC")->isEnabled(),
                           button("Inproc")->isEnabled()};
    };

    form->clickIt();
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_EQ(mainWindow.calls, QStringList{"recognitionSwitchedOn"});
    EXPECT_TRUE(script.grammar()->dictationActive());
    EXPECT_TRUE(form->setup().RecoActive());
    EXPECT_TRUE(mic->isEnabled());
    EXPECT_EQ(engineControlsEnabled(), QList<bool>({false, false, false}));

    mic->click();
    EXPECT_FALSE(script.grammar()->dictationActive());
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_EQ(mainWindow.calls, QStringList{"recognitionSwitchedOn"});

    script.clearCalls();
    button("Recognition")->click(); // ticks the box again first, then switches off
    EXPECT_TRUE(mic->isChecked());
    EXPECT_EQ(script.callsWithout("setEventInterests"),
              (QStringList{"dictationSetState(true)", "dictationSetState(false)"}));
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
    EXPECT_EQ(mainWindow.calls, (QStringList{"recognitionSwitchedOn", "recognitionSwitchedOff"}));
    EXPECT_FALSE(script.grammar()->dictationActive());
    EXPECT_FALSE(form->setup().RecoActive());
    EXPECT_FALSE(mic->isEnabled());
    EXPECT_EQ(engineControlsEnabled(), QList<bool>({true, true, true}));

    // With Shared selected, switching off leaves the engine list disabled.
    button("SharedRC")->click();
    form->clickIt();
    form->clickIt();
    EXPECT_EQ(engineControlsEnabled(), QList<bool>({false, true, true}));
}

TEST_F(DebugFormTest, ActivateMicThatCannotSwitchKeepsTellingTheTruth)
{
    load(true);
    auto *mic = checkBox("ActivateMic");
    for (const bool tickedBefore : {true, false}) {
        SCOPED_TRACE(tickedBefore ? "switching the microphone off" : "switching it on");
        ASSERT_EQ(mic->isChecked(), tickedBefore);
        ASSERT_EQ(script.grammar()->dictationActive(), tickedBefore);
        const qsizetype shownBefore = boxes.shown.size();
        script.failOn(QStringLiteral("dictationSetState"), 1);
        mic->click();
        EXPECT_EQ(boxes.shown.size(), shownBefore + 1);
        EXPECT_EQ(boxes.shown.last().text, ActivationFailure);
        EXPECT_EQ(mic->isChecked(), tickedBefore) << "the box shows what the microphone does";
        EXPECT_EQ(script.grammar()->dictationActive(), tickedBefore);
        mic->click(); // works the second time
        EXPECT_EQ(mic->isChecked(), !tickedBefore);
        EXPECT_EQ(script.grammar()->dictationActive(), !tickedBefore);
    }
}

TEST_F(DebugFormTest, TheTickBeforeASwitchShowsNoBoxOfItsOwn)
{
    // The microphone unticked while running, then gone: "Stop Recognition"
    // ticks the box first, and that tick's own failure told of a failure to
    // activate while the user was switching off. Switching on again after that
    // told the same failure twice.
    load(true);
    auto *mic = checkBox("ActivateMic");
    mic->click();
    ASSERT_FALSE(mic->isChecked());
    script.failOn(QStringLiteral("dictationSetState"), 1);
    form->clickIt();
    EXPECT_TRUE(boxes.shown.isEmpty()) << qPrintable(boxes.shown.value(0).text);
    EXPECT_FALSE(form->setup().RecoActive());
    EXPECT_FALSE(script.grammar()->dictationActive());
    EXPECT_TRUE(mic->isChecked()) << "ticked, as every switch leaves it";

    script.failOn(QStringLiteral("dictationSetState"));
    form->clickIt();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, ActivationFailure);
    EXPECT_FALSE(form->setup().RecoActive());
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
}

TEST_F(DebugFormTest, ClickItFailureLeavesCaptionAndMainWindowAlone)
{
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "switching off" : "switching on");
        FormRig fresh;
        fresh.load(running);
        const QStringList callsBefore = fresh.mainWindow.calls;
        fresh.script.failOn("dictationSetState");
        fresh.form->clickIt();
        ASSERT_EQ(fresh.boxes.shown.size(), 1);
        EXPECT_EQ(fresh.boxes.shown[0].text, ActivationFailure);
        EXPECT_EQ(fresh.boxes.shown[0].icon, MessageBoxes::Icon::None);
        EXPECT_EQ(fresh.form->recognitionCaption(), running ? "Stop Recognition" : "Start Recognition");
        EXPECT_EQ(fresh.mainWindow.calls, callsBefore);
        EXPECT_EQ(fresh.form->setup().RecoActive(), running);
    }
}

TEST_F(DebugFormTest, LostInputSwitchesRecognitionOffAndSaysWhy)
{
    const QString why = QStringLiteral("The audio input \"USB Mic\" went away.");
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "listening" : "switched off");
        FormRig fresh;
        fresh.load(running);
        const QStringList callsBefore = fresh.mainWindow.calls;
        Q_EMIT fresh.script.context()->listeningLost(why);
        EXPECT_EQ(fresh.form->recognitionCaption(), "Start Recognition");
        EXPECT_FALSE(fresh.form->setup().RecoActive());
        EXPECT_EQ(fresh.mainWindow.calls,
                  running ? callsBefore + QStringList{"recognitionSwitchedOff"} : callsBefore);
        ASSERT_EQ(fresh.boxes.shown.size(), 1);
        EXPECT_TRUE(fresh.boxes.shown[0].text.startsWith(QStringLiteral("Recognition has stopped: ") + why))
            << qPrintable(fresh.boxes.shown[0].text);
        EXPECT_EQ(fresh.boxes.shown[0].icon, MessageBoxes::Icon::Critical);
    }
}

// Listed all along, whatever happens to the microphone.
const SpeechToken monitor{QStringLiteral("monitor"), QStringLiteral("Monitor of speakers")};
const SpeechToken mic{QStringLiteral("usb-mic"), QStringLiteral("USB Mic")};

/// Lets the input watch look at the inputs `times` more times.
void letInputWatchLook(QTimer *watch, int times)
{
    watch->setInterval(0);
    QSignalSpy looks(watch, &QTimer::timeout);
    while (looks.count() < times && watch->isActive() && looks.wait(5000)) {
    }
}

TEST_F(DebugFormTest, RecognitionComesBackByItselfOnceTheMicrophoneIsListedAgain)
{
    script.audioInputs = {mic, monitor}; // the in-process recogniser listens on the first
    load(true);
    auto *watch = control<QTimer>("InputWatchTimer");
    ASSERT_NE(watch, nullptr);
    EXPECT_FALSE(watch->isActive());

    script.audioInputs = {monitor};
    Q_EMIT script.context()->listeningLost(QStringLiteral("The audio input \"USB Mic\" went away."));
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
    EXPECT_TRUE(watch->isActive());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("starts again by itself")));

    // The speaker monitor was there all along: no reason to listen again.
    script.clearCalls();
    letInputWatchLook(watch, 3);
    EXPECT_EQ(script.callCount(QStringLiteral("dictationSetState(true)")), 0);
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");

    // Listed again, but not ready at the first try: tried again, quietly.
    script.audioInputs = {monitor, mic};
    script.failOn(QStringLiteral("dictationSetState"), 1);
    letInputWatchLook(watch, 1);
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
    EXPECT_EQ(boxes.shown.size(), 1) << "no box for a try the user did not make";
    letInputWatchLook(watch, 1);
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_TRUE(form->setup().RecoActive());
    EXPECT_TRUE(script.grammar()->dictationActive());
    EXPECT_EQ(mainWindow.calls.last(), "recognitionSwitchedOn");
    EXPECT_FALSE(watch->isActive());
    EXPECT_EQ(boxes.shown.size(), 1);
}

// The in-process recogniser is given the first input listed when it is made;
// a headset unplugged and another microphone plugged in must still bring
// listening back, on the microphone now there.
TEST_F(DebugFormTest, AnotherMicrophoneThanTheLostOneAlsoBringsRecognitionBack)
{
    const SpeechToken usb2{QStringLiteral("usb-mic-2"), QStringLiteral("Second USB Mic")};
    const struct
    {
        const char *name;
        SpeechTokenList pluggedIn;
        QStringList inputCalls; ///< setAudioInput calls made on the way back
    } cases[] = {
        {"the same microphone", {mic, monitor}, {}},
        {"another microphone", {usb2, monitor}, {"setAudioInput(usb-mic-2)"}},
        {"another one listed after the monitor", {monitor, usb2}, {"setAudioInput(usb-mic-2)"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig rig;
        rig.script.audioInputs = {mic, monitor};
        rig.load(true);
        ASSERT_FALSE(rig.script.context()->scriptedRecognizer().isShared());
        ASSERT_EQ(rig.form->recognitionCaption(), "Stop Recognition");
        auto *watch = rig.inputWatch();
        ASSERT_NE(watch, nullptr);

        rig.script.audioInputs = {monitor};
        Q_EMIT rig.script.context()->listeningLost(QStringLiteral("The audio input \"USB Mic\" went away."));
        ASSERT_EQ(rig.form->recognitionCaption(), "Start Recognition");
        rig.script.clearCalls();
        letInputWatchLook(watch, 2);
        EXPECT_EQ(rig.script.callCount(QStringLiteral("dictationSetState(true)")), 0)
            << "the monitor is no reason";

        rig.script.audioInputs = c.pluggedIn;
        letInputWatchLook(watch, 1);
        EXPECT_EQ(rig.form->recognitionCaption(), "Stop Recognition");
        EXPECT_TRUE(rig.script.grammar()->dictationActive());
        EXPECT_EQ(rig.script.calls().filter(QStringLiteral("setAudioInput")), c.inputCalls);
        EXPECT_FALSE(watch->isActive());
        EXPECT_EQ(rig.boxes.shown.size(), 1) << "only the box that told of the loss";
    }
}

// An input that is listed but does not open (held by another program, or
// unable to record at 16 kHz) must not stand in the way of one that does: the
// lost microphone back, or a second new one.
TEST_F(DebugFormTest, AnInputThatDoesNotOpenDoesNotKeepRecognitionOff)
{
    const SpeechToken held{QStringLiteral("held"), QStringLiteral("Held by another program")};
    const SpeechToken usb2{QStringLiteral("usb-mic-2"), QStringLiteral("Second USB Mic")};
    const struct
    {
        const char *name;
        std::vector<SpeechTokenList> looks; ///< the inputs listed at each look of the watch
        QString listeningOn;
    } cases[] = {
        {"the lost microphone comes back", {{held, monitor}, {held, mic, monitor}}, mic.id},
        {"a working one listed after it", {{held, usb2, monitor}}, usb2.id},
        {"a working one plugged in later", {{held, monitor}, {held, monitor, usb2}}, usb2.id},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig rig;
        rig.script.audioInputs = {mic, monitor};
        rig.script.unopenableInputs = {held.id};
        rig.load(true);
        auto *watch = rig.inputWatch();
        ASSERT_NE(watch, nullptr);
        rig.script.audioInputs = {monitor};
        Q_EMIT rig.script.context()->listeningLost(QStringLiteral("The audio input \"USB Mic\" went away."));
        ASSERT_EQ(rig.form->recognitionCaption(), "Start Recognition");

        for (const SpeechTokenList &listed : c.looks) {
            rig.script.audioInputs = listed;
            letInputWatchLook(watch, 1);
        }
        EXPECT_EQ(rig.form->recognitionCaption(), "Stop Recognition");
        EXPECT_TRUE(rig.script.grammar()->dictationActive());
        const auto &input = rig.script.context()->scriptedRecognizer().input();
        ASSERT_TRUE(input.has_value());
        EXPECT_EQ(input->id, c.listeningOn);
        EXPECT_FALSE(watch->isActive());
        EXPECT_EQ(rig.boxes.shown.size(), 1) << "only the box that told of the loss";
    }
}

// A microphone can stop without leaving the list (its stream failed at a resume
// from suspend), or be held by another program when listening resumes. It is
// tried again now and then, or a user who cannot press Start talks to a deaf
// program for good. An input listed all along and never in use (the speaker
// monitor) is never a reason. The shared recogniser's own input is the
// default one, tried again the same way.
TEST_F(DebugFormTest, AMicrophoneThatStayedListedIsTriedAgainNowAndThen)
{
    enum class Stop { StreamFailed, HeldAtStart };
    const struct
    {
        const char *name;
        Stop stop;
        bool shared;
        SpeechTokenList afterLoss;
        bool back;
    } cases[] = {
        {"its stream failed, still listed", Stop::StreamFailed, false, {mic, monitor}, true},
        {"held by another program at a start", Stop::HeldAtStart, false, {mic, monitor}, true},
        {"gone, only the monitor listed", Stop::StreamFailed, false, {monitor}, false},
        {"the shared recogniser", Stop::StreamFailed, true, {mic, monitor}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig rig;
        rig.script.audioInputs = {mic, monitor};
        auto *watch = rig.inputWatch();
        ASSERT_NE(watch, nullptr);
        rig.load(false);
        if (c.shared)
            rig.form->findChild<QAbstractButton *>(QStringLiteral("SharedRC"))->click();
        if (c.stop == Stop::StreamFailed) {
            rig.form->clickIt();
            rig.script.audioInputs = c.afterLoss;
            Q_EMIT rig.script.context()->listeningLost(QStringLiteral("The audio input \"USB Mic\" stopped."));
        } else {
            rig.script.unopenableInputs = {mic.id};
            rig.form->clickIt();
            rig.script.unopenableInputs.clear(); // the other program lets go
        }
        ASSERT_EQ(rig.form->recognitionCaption(), "Start Recognition");
        ASSERT_TRUE(watch->isActive());
        ASSERT_EQ(rig.boxes.shown.size(), 1);

        rig.script.clearCalls();
        letInputWatchLook(watch, InputReturnWatch::FirstRetryLooks - 1);
        EXPECT_EQ(rig.script.callCount(QStringLiteral("dictationSetState(true)")), 0) << "not at every look";
        letInputWatchLook(watch, 1);
        EXPECT_EQ(rig.form->recognitionCaption(), c.back ? "Stop Recognition" : "Start Recognition");
        EXPECT_EQ(rig.script.callCount(QStringLiteral("dictationSetState(true)")), c.back ? 1 : 0);
        EXPECT_EQ(rig.boxes.shown.size(), 1) << "no box for the tries the user did not make";
    }
}

// KESTREL pauses listening while it speaks, waits for a launch or prints, and
// resumes after. A microphone unplugged in between made the resume fail with
// the box that waits for an answer; with the microphone back, the next
// dictation went into that box.
TEST_F(DebugFormTest, AResumeOfTheProgramsOwnThatFailsIsANotice)
{
    load(true);
    auto *watch = inputWatch();
    ASSERT_NE(watch, nullptr);
    form->pauseOrResume();
    ASSERT_EQ(form->recognitionCaption(), "Start Recognition");
    EXPECT_TRUE(boxes.shown.isEmpty());

    bool waitedForAnAnswer = false;
    boxes.whileShown = [&] { waitedForAnAnswer = true; };
    script.failOn(QStringLiteral("dictationSetState"));
    form->pauseOrResume();
    EXPECT_FALSE(waitedForAnAnswer);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, ActivationFailure);
    EXPECT_TRUE(boxes.shown[0].notice);
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
    EXPECT_TRUE(watch->isActive()) << "listening comes back with the microphone";

    // The user's own Start still answers in a box.
    form->clickIt();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_FALSE(boxes.shown[1].notice);
}

// The desktop's default input moved to a headset while KESTREL listened on the
// USB microphone it was given, and the USB microphone was then unplugged. The
// headset was listed all along, so it never counted as a microphone back, and
// a user who cannot press Start talked to a deaf program for good. The
// default the user chose is where the user speaks; one the sound server picks
// by itself as the microphone goes (a webcam, the room's built-in one) is not.
TEST_F(DebugFormTest, AfterALossTheDesktopsDefaultInputIsTriedToo)
{
    const SpeechToken headset{QStringLiteral("headset"), QStringLiteral("Headset")};
    const struct
    {
        const char *name;
        SpeechToken defaultAtStart; ///< while listening worked
        SpeechToken defaultAfterLoss;
        QStringList unopenable;
        QString listeningOn; ///< empty: still off
    } cases[] = {
        {"the user made the headset the default", headset, headset, {}, headset.id},
        {"the server chose it as the microphone went", mic, headset, {}, {}},
        {"the default is not known", {}, {}, {}, {}},
        {"the default is the lost microphone, not listed", mic, mic, {}, {}},
        {"the headset does not open", headset, headset, {headset.id}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig rig;
        rig.script.audioInputs = {mic, headset, monitor};
        rig.script.desktopDefaultInput = c.defaultAtStart;
        rig.load(true);
        auto *watch = rig.inputWatch();
        ASSERT_NE(watch, nullptr);
        rig.script.audioInputs = {headset, monitor};
        rig.script.desktopDefaultInput = c.defaultAfterLoss;
        rig.script.unopenableInputs = c.unopenable;
        Q_EMIT rig.script.context()->listeningLost(QStringLiteral("The audio input \"USB Mic\" went away."));
        ASSERT_EQ(rig.form->recognitionCaption(), "Start Recognition");

        letInputWatchLook(watch, InputReturnWatch::FirstRetryLooks);
        EXPECT_EQ(rig.form->recognitionCaption(), c.listeningOn.isEmpty() ? "Start Recognition" : "Stop Recognition");
        EXPECT_EQ(rig.script.grammar()->dictationActive(), !c.listeningOn.isEmpty());
        if (!c.listeningOn.isEmpty()) {
            const auto &input = rig.script.context()->scriptedRecognizer().input();
            ASSERT_TRUE(input.has_value());
            EXPECT_EQ(input->id, c.listeningOn);
        }
        EXPECT_EQ(rig.boxes.shown.size(), 1) << "only the notice of the loss";
    }
}

// A microphone whose stream fails again as soon as it is back would otherwise
// open a box at every try, stacked on the last, and be tried as often as at
// first all day. Until the microphone has heard something, or the user has
// switched recognition, a loss is the same loss.
TEST_F(DebugFormTest, AMicrophoneThatFailsAgainAtOnceIsToldOnceAndTriedLessOften)
{
    const int first = InputReturnWatch::FirstRetryLooks;
    const struct
    {
        const char *name;
        std::function<void(FormRig &)> between; ///< after the watch switched on, before the next loss
        int boxes;                              ///< after the second loss
        int looksToNextTry;
    } cases[] = {
        {"nothing heard", [](FormRig &) {}, 1, 2 * first},
        {"the microphone heard a sound",
         [](FormRig &rig) { Q_EMIT rig.script.context()->soundStart(1, 0); }, 2, first},
        {"the user switched off and on",
         [](FormRig &rig) {
             rig.form->clickIt();
             rig.form->clickIt();
         },
         2, first},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig rig;
        rig.script.audioInputs = {mic, monitor};
        auto *watch = rig.inputWatch();
        ASSERT_NE(watch, nullptr);
        rig.load(true);
        const QString stopped = QStringLiteral("The audio input \"USB Mic\" stopped.");
        Q_EMIT rig.script.context()->listeningLost(stopped);
        letInputWatchLook(watch, first);
        ASSERT_EQ(rig.form->recognitionCaption(), "Stop Recognition");

        c.between(rig);
        Q_EMIT rig.script.context()->listeningLost(stopped);
        ASSERT_EQ(rig.form->recognitionCaption(), "Start Recognition");
        EXPECT_EQ(rig.boxes.shown.size(), c.boxes);
        ASSERT_TRUE(watch->isActive());
        rig.script.clearCalls();
        letInputWatchLook(watch, c.looksToNextTry - 1);
        EXPECT_EQ(rig.script.callCount(QStringLiteral("dictationSetState(true)")), 0);
        letInputWatchLook(watch, 1);
        EXPECT_EQ(rig.script.callCount(QStringLiteral("dictationSetState(true)")), 1);
        EXPECT_EQ(rig.form->recognitionCaption(), "Stop Recognition");
    }
}

// The user is at work in another program when the microphone goes. The news
// must not take the keyboard from there nor wait there until closed: the
// microphone back, dictation went into the box. Once listening is proven back,
// the notice goes by itself; a later loss is news again.
TEST_F(DebugFormTest, ALossIsANoticeThatGoesOnceListeningIsBack)
{
    const QString stopped = QStringLiteral("The audio input \"USB Mic\" stopped.");
    const struct
    {
        const char *name;
        std::function<void(FormRig &)> afterRestart;
        bool noticeOpen; ///< after the restart and what followed it
        int notices;     ///< after a second loss
    } cases[] = {
        {"fails again at once", [](FormRig &) {}, true, 1},
        {"listens a good while",
         [](FormRig &rig) {
             Q_EMIT rig.form->findChild<QTimer *>(QStringLiteral("RestartProofTimer"))->timeout({});
         },
         false, 2},
        {"hears the user", [](FormRig &rig) { Q_EMIT rig.script.context()->soundStart(1, 0); }, false, 2},
        {"a command is recognised, then a minute passes",
         [](FormRig &rig) {
             Q_EMIT rig.script.context()->recognition(1, 0, 0, RecognitionResult{});
             Q_EMIT rig.form->findChild<QTimer *>(QStringLiteral("RestartProofTimer"))->timeout({});
         },
         false, 2},
        {"the program pauses and resumes for its own voice",
         [](FormRig &rig) {
             rig.form->pauseOrResume();
             rig.form->pauseOrResume();
         },
         true, 1},
        {"the user switches it off", [](FormRig &rig) { rig.form->stayOff(); }, false, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig rig;
        rig.script.audioInputs = {mic, monitor};
        auto *watch = rig.inputWatch();
        ASSERT_NE(watch, nullptr);
        rig.load(true);
        bool restartedWhileShown = false;
        rig.boxes.whileShown = [&] { restartedWhileShown = true; };
        Q_EMIT rig.script.context()->listeningLost(stopped);
        EXPECT_FALSE(restartedWhileShown) << "a box that waits for the user";
        ASSERT_EQ(rig.boxes.shown.size(), 1);
        EXPECT_TRUE(rig.boxes.shown[0].notice);
        EXPECT_TRUE(rig.boxes.noticeOpen);
        // Typed into the emulation box, a command runs with the microphone
        // still gone: no proof that anything listens.
        Q_EMIT rig.script.context()->recognition(1, 0, 0, RecognitionResult{});
        EXPECT_TRUE(rig.boxes.noticeOpen);

        letInputWatchLook(watch, InputReturnWatch::FirstRetryLooks);
        ASSERT_EQ(rig.form->recognitionCaption(), "Stop Recognition");
        c.afterRestart(rig);
        EXPECT_EQ(rig.boxes.noticeOpen, c.noticeOpen);

        Q_EMIT rig.script.context()->listeningLost(stopped);
        EXPECT_EQ(rig.boxes.shown.size(), c.notices);
        EXPECT_TRUE(rig.boxes.noticeOpen);
        EXPECT_EQ(rig.form->recognitionCaption(), "Start Recognition");
    }
}

// Each try after a failed one waits twice as long, up to a limit.
TEST(InputReturnWatchTest, TriesGrowApartUpToTheLimit)
{
    InputReturnWatch watch;
    EXPECT_FALSE(watch.retryDue()) << "not watching";
    watch.start({mic});
    QList<int> triesAt;
    for (int look = 1; look <= 2000; ++look) {
        if (watch.retryDue())
            triesAt << look;
    }
    const int first = InputReturnWatch::FirstRetryLooks;
    const int last = InputReturnWatch::LastRetryLooks;
    ASSERT_GE(triesAt.size(), 4);
    EXPECT_EQ(triesAt[0], first);
    EXPECT_EQ(triesAt[1], first + 2 * first);
    EXPECT_EQ(triesAt.last() - triesAt[triesAt.size() - 2], last);

    // The same loss goes on where it was; a new one starts over.
    watch.start({mic}, true);
    int looks = 1;
    while (!watch.retryDue())
        ++looks;
    EXPECT_EQ(looks, last);
    watch.start({mic});
    looks = 1;
    while (!watch.retryDue())
        ++looks;
    EXPECT_EQ(looks, first);
}

// Listening was off when the sentence began, so its end does not switch it
// on; switched on in the middle, the recogniser would hear the voice itself (a
// clipboard read aloud) and carry out what it says. A launch wait or a print
// dialog holds listening off: a phrase heard there would run inside the wait.
TEST_F(DebugFormTest, AMicrophoneBackWhileTheVoiceSpeaksOrAWaitHoldsListeningWaitsForItsEnd)
{
    const struct
    {
        const char *name;
        bool speaking, held;
    } cases[] = {{"the voice speaks", true, false}, {"a launch wait or printout", false, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig rig;
        rig.script.audioInputs = {monitor, mic};
        rig.load(true);
        auto *watch = rig.inputWatch();
        ASSERT_NE(watch, nullptr);
        rig.script.audioInputs = {monitor};
        Q_EMIT rig.script.context()->listeningLost(QStringLiteral("gone"));

        rig.tts.speaking = c.speaking;
        rig.mainWindow.held = c.held;
        rig.script.audioInputs = {monitor, mic};
        rig.script.clearCalls();
        letInputWatchLook(watch, 3);
        EXPECT_EQ(rig.script.callCount(QStringLiteral("dictationSetState(true)")), 0);
        EXPECT_EQ(rig.form->recognitionCaption(), "Start Recognition");
        EXPECT_TRUE(watch->isActive());

        rig.tts.speaking = false;
        rig.mainWindow.held = false;
        letInputWatchLook(watch, 1);
        EXPECT_EQ(rig.form->recognitionCaption(), "Stop Recognition");
        EXPECT_FALSE(watch->isActive());
    }
}

TEST_F(DebugFormTest, AStartThatFailsForWantOfAMicrophoneStartsWhenOneIsPluggedIn)
{
    script.audioInputs = {monitor};
    load(false);
    auto *watch = control<QTimer>("InputWatchTimer");
    script.failOn(QStringLiteral("dictationSetState"), 1);
    form->clickIt();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, ActivationFailure);
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
    EXPECT_TRUE(watch->isActive());

    script.audioInputs = {monitor, mic};
    letInputWatchLook(watch, 1);
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_FALSE(watch->isActive());

    // A Stop that fails is no reason to wait for anything.
    script.failOn(QStringLiteral("dictationSetState"), 1);
    form->clickIt();
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_FALSE(watch->isActive());
}

// Started before the headset was plugged in: the window still loads, with the
// user's voice settings, and listening starts once the headset is there.
TEST_F(DebugFormTest, NoMicrophoneAtLoadStillLoadsTheSettingsAndListensOnceOneIsPluggedIn)
{
    FormRig rig;
    rig.script.audioInputs = {};
    rig.load(false);
    EXPECT_TRUE(rig.boxes.shown.isEmpty()) << "no load failure";
    EXPECT_TRUE(rig.tts.calls.contains(QStringLiteral("loadDat")));
    rig.form->clickIt();
    ASSERT_EQ(rig.boxes.shown.size(), 1);
    EXPECT_EQ(rig.boxes.shown[0].text, ActivationFailure);
    auto *watch = rig.inputWatch();
    ASSERT_NE(watch, nullptr);
    EXPECT_TRUE(watch->isActive());

    rig.script.audioInputs = {mic};
    letInputWatchLook(watch, 1);
    EXPECT_EQ(rig.form->recognitionCaption(), "Stop Recognition");
    EXPECT_EQ(rig.script.calls().filter(QStringLiteral("setAudioInput")),
              QStringList{"setAudioInput(usb-mic)"});
    EXPECT_EQ(rig.boxes.shown.size(), 1);
}

TEST_F(DebugFormTest, TheInputWatchEndsWhenThereIsNothingLeftToWaitFor)
{
    enum class Then { UserStarts, Unload, LostWhileOff, TableUnlocked };
    for (const Then then : {Then::UserStarts, Then::Unload, Then::LostWhileOff, Then::TableUnlocked}) {
        SCOPED_TRACE(int(then));
        FormRig fresh;
        fresh.script.audioInputs = {monitor};
        fresh.load(then != Then::LostWhileOff);
        auto *watch = fresh.form->findChild<QTimer *>(QStringLiteral("InputWatchTimer"));
        ASSERT_NE(watch, nullptr);
        ASSERT_NE(fresh.script.context(), nullptr);
        Q_EMIT fresh.script.context()->listeningLost(QStringLiteral("gone"));
        EXPECT_EQ(watch->isActive(), then != Then::LostWhileOff);
        if (then == Then::UserStarts)
            fresh.form->clickIt();
        if (then == Then::Unload)
            fresh.form->unload();
        if (then == Then::TableUnlocked)
            fresh.form->stayOff();
        letInputWatchLook(watch, 1);
        EXPECT_FALSE(watch->isActive());
        // A microphone plugged in now must not switch anything on.
        fresh.script.audioInputs = {monitor, mic};
        fresh.script.clearCalls();
        letInputWatchLook(watch, 1);
        EXPECT_EQ(fresh.script.callCount(QStringLiteral("dictationSetState(true)")), 0);
        EXPECT_EQ(fresh.form->setup().RecoActive(), then == Then::UserStarts);
    }
}

TEST_F(DebugFormTest, CloseBoxIsRefusedCloseButtonMenuAndUnloadHide)
{
    form->showWindow();
    QCloseEvent fromCloseBox; // what the window system delivers for the close box
    QSpontaneKeyEvent::setSpontaneous(&fromCloseBox);
    // Delivered straight to the handler: sendEvent() would clear the flag.
    static_cast<QObject *>(form.get())->event(&fromCloseBox);
    EXPECT_FALSE(fromCloseBox.isAccepted());
    EXPECT_TRUE(form->isVisible());

    button("ExitBtn")->click();
    EXPECT_FALSE(form->isVisible());

    form->showWindow();
    auto *exit = control<QAction>("Exit");
    EXPECT_EQ(exit->text(), "&Ckise");
    exit->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(script.context(), nullptr) << "hidden, still loaded and listening";

    form->showWindow();
    EXPECT_TRUE(form->close()) << "a close requested by the program itself goes through";

    form->showWindow();
    QPointer<ScriptedRecoContext> context = script.context();
    form->unload();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(context.isNull());

    control<QAction>("About")->trigger();
    QCoreApplication::processEvents(); // the box opens once the menu has let go
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains("Version")) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::None);
}

TEST_F(DebugFormTest, EveryControlIsInsideTheWindowWithCaptionKeyAndToolTip)
{
    form->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->resize(form->sizeHint().expandedTo(QSize(1100, 600)));
    form->feedback().setConfirmationState(1);
    Q_EMIT script.context()->startStream(1, 0);
    script.context()->emitRecognition(ScriptedRecognizer::resultFor("open notepad"));
    const QPixmap picture = form->grab();
    ASSERT_FALSE(picture.isNull());
    if (qEnvironmentVariableIsSet("KESTREL_SCREENSHOT")) {
        EXPECT_TRUE(picture.save(qEnvironmentVariable("KESTREL_SCREENSHOT")));
    }
    control<QComboBox>("SREngines")->setEnabled(true);

    // A control without a caption of its own has a focus key, which is pressed;
    // buttons animate their click on a timer, so their keys are checked as bound.
    const struct
    {
        const char *name, *caption = nullptr, *key = nullptr;
    } controls[] = {
        {"Frame4"},
        {"Frame3"},
        {"Frame1"},
        {"PrivateEng"},
        {"Reco"},
        {"SREngines", nullptr, "Alt+N"},
        {"EventTextField", nullptr, "Alt+L"},
        {"TreeView1", nullptr, "Alt+V"},
        {"DidYouSay", nullptr, "Alt+D"},
        {"SayAgain", nullptr, "Alt+G"},
        {"SayText", nullptr, "Alt+X"},
        {"Executing", nullptr, "Alt+U"},
        {"EmulateRecoTxt", nullptr, "Alt+Y"},
        {"SharedRC", "Shared", "Alt+S"},
        {"Inproc", "Inproc", "Alt+I"},
        {"Recognition", nullptr, "Alt+R"},
        {"ActivateMic", "Activate Mic", "Alt+M"},
        {"ExitBtn", "CLOSE"},
        {"ClearEvents", "Clear Event List", "Alt+E"},
        {"ShowStreamInfo", "Show Stream Info", "Alt+W"},
        {"ClearTree", "Clear Tree View", "Alt+T"},
        {"Command4", nullptr, "Alt+1"},
        {"Command3", nullptr, "Alt+2"},
        {"Command2", nullptr, "Alt+3"},
        {"Command1", "Test", "Alt+4"},
        {"ConfirmationCB", "Vocal Confirmation", "Alt+C"},
        {"ExecutingCB", "Vocal Executing Anouncement", "Alt+A"},
        {"NotFoundCB", "Vocal Not Found", "Alt+O"},
        {"Emulate", "Emulate", "Ctrl+Return"},
        {"Label6", "Event List"},
        {"Label5", "Tree View"},
        {"Label4", "Did You Say Phrase"},
        {"Label3", "Say Again Phrase:"},
        {"Label2", "Say Text Phrase:"},
        {"Label1", "Execution Phrase:"},
    };
    const QRect window = form->rect();
    for (const auto &c : controls) {
        SCOPED_TRACE(c.name);
        QWidget *widget = control<QWidget>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->isVisible());
        EXPECT_TRUE(window.contains(QRect(widget->mapTo(form.get(), QPoint(0, 0)), widget->size())));
        EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << "caption cut";
        EXPECT_FALSE(widget->toolTip().isEmpty());
        auto *asButton = qobject_cast<QAbstractButton *>(widget);
        if (c.caption) {
            auto *asLabel = qobject_cast<QLabel *>(widget);
            EXPECT_EQ(asButton ? asButton->text() : asLabel->text(), QLatin1String(c.caption));
        }
        if (c.key && asButton) {
            EXPECT_EQ(asButton->shortcut(), QKeySequence(QLatin1String(c.key)));
        } else if (c.key) {
            QTest::keySequence(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(),
                               QKeySequence(QLatin1String(c.key)));
            EXPECT_EQ(QApplication::focusWidget(), widget);
        }
    }

    // Every key must be unambiguous to fire at all.
    QStringList keys;
    for (QAbstractButton *b : form->findChildren<QAbstractButton *>())
        keys.append(b->shortcut().toString());
    for (QShortcut *shortcut : form->findChildren<QShortcut *>())
        keys.append(shortcut->key().toString());
    keys.removeAll(QString());
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size()) << keys.join(' ').toStdString();
}

// Esc hides the window from any control, as CLOSE does; in an open list it
// closes only the list. As CLOSE's shortcut it hid the window through the list.
TEST_F(DebugFormTest, EscHidesTheWindowButInAnOpenListClosesOnlyTheList)
{
    load(false);
    for (const char *focused : {"EmulateRecoTxt", "EventTextField", "TreeView1", "SREngines", "ExitBtn"}) {
        SCOPED_TRACE(focused);
        form->showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QWidget *widget = control<QWidget>(focused);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Escape);
        EXPECT_FALSE(form->isVisible());
    }
    form->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto *engines = control<QComboBox>("SREngines");
    engines->setEnabled(true);
    engines->showPopup();
    QWidget *list = engines->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }));
    EXPECT_TRUE(form->isVisible());
}

// Setting a button's caption also sets its mnemonic, and a caption without one
// once took the Alt+R of the recognition switch away after its first use.
TEST_F(DebugFormTest, TheRecognitionSwitchKeepsItsKeyWhateverItsCaption)
{
    load(false);
    form->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto *button = control<QAbstractButton>("Recognition");
    ASSERT_NE(button, nullptr);
    for (const char *caption : {"Stop Recognition", "Start Recognition", "Stop Recognition"}) {
        SCOPED_TRACE(caption);
        QTest::keySequence(form.get(), QKeySequence(QStringLiteral("Alt+R")));
        // A button's key animates a click, which lands a moment later.
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->recognitionCaption() == QLatin1String(caption); }));
        EXPECT_EQ(button->shortcut(), QKeySequence(QStringLiteral("Alt+R")));
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

} // namespace
} // namespace kestrel::debugform_test

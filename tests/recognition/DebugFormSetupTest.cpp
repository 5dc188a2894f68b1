#include "DebugFormFixture.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QShortcut>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>

#include <bit>

namespace kestrel::debugform_test {
namespace {

const QString ActivationFailure = QStringLiteral(
    "Failed to activate the grammar. It is possible that your audio device is used by other application.");
const QString LoadFailure = QStringLiteral(
    "Error loading PocketSphinx objects! Please make sure PocketSphinx is correctly installed.");

TEST_F(DebugFormTest, StartsInProcessOnFirstEngineAndFirstInput)
{
    int callsAtLoadDat = -1;
    tts.onLoadDat = [&] { callsAtLoadDat = static_cast<int>(script.calls().size()); };

    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");

    const QStringList grammar{"createGrammar(1)", "dictationLoad", "dictationSetState(false)",
                              "cmdLoadFromFile(sol.xml,true)", "cmdSetRuleIdState(0,false)"};
    const QStringList expected =
        QStringList{"createSharedRecoContext", "releaseRecoContext",      "createInprocRecognizer",
                    "setAudioInput(input-1)",  "setRecognizer(engine-1)", "createRecoContext"} +
        grammar + grammar;
    EXPECT_EQ(script.callsWithout("setEventInterests"), expected);
    EXPECT_EQ(callsAtLoadDat, script.calls().size()) << "settings are read last";
    EXPECT_EQ(tts.calls, QStringList{"loadDat"});

    EXPECT_EQ(form->windowTitle(), "KESTREL Speech Recognition Setup");
    EXPECT_FALSE(form->isVisible()) << "loaded hidden";
    EXPECT_TRUE(button("Inproc")->isChecked());
    EXPECT_FALSE(button("SharedRC")->isChecked());
    auto *engines = control<QComboBox>("SREngines");
    EXPECT_FALSE(engines->isEnabled());
    ASSERT_EQ(engines->count(), 2);
    EXPECT_EQ(engines->currentIndex(), 0);
    EXPECT_EQ(engines->itemText(0), "PocketSphinx US English");
    EXPECT_EQ(engines->itemText(1), "PocketSphinx US English (small)");
    EXPECT_TRUE(checkBox("ActivateMic")->isChecked());
    EXPECT_FALSE(checkBox("ActivateMic")->isEnabled());
    EXPECT_FALSE(button("PlayAudio")->isEnabled());
    EXPECT_TRUE(button("PlayAudio")->isHidden());
    EXPECT_TRUE(checkBox("RetainAudio")->isHidden());
    EXPECT_TRUE(form->setup().GrammarLoaded());
    EXPECT_FALSE(form->setup().RecoActive());
    EXPECT_FALSE(script.grammar()->dictationActive());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_TRUE(mainWindow.calls.isEmpty());
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

TEST_F(DebugFormTest, SettingsReadDuringLoadReachTheFeedbackControls)
{
    tts.onLoadDat = [&] {
        FeedbackSettings &settings = form->feedback(); // re-entrant touch: no second load
        settings.setDidYouSayText("Did you mean");
        settings.setExecutingState(1);
        settings.setConfirmationState(2);
    };
    EXPECT_EQ(form->feedback().didYouSayText(), "Did you mean");
    EXPECT_EQ(form->executingState(), 1);
    EXPECT_EQ(form->confirmationState(), 2);
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

TEST_F(DebugFormTest, SharedEngineIgnoresEngineListInprocUsesIt)
{
    form->recognitionCaption();
    QPointer<ScriptedRecoContext> inprocContext = script.context();
    auto *engines = control<QComboBox>("SREngines");

    button("SharedRC")->click();
    EXPECT_TRUE(inprocContext.isNull()) << "old context released, its events stop";
    ASSERT_NE(script.context(), nullptr);
    EXPECT_TRUE(script.context()->scriptedRecognizer().isShared());
    EXPECT_FALSE(engines->isEnabled());
    EXPECT_EQ(engines->currentIndex(), 0);
    EXPECT_TRUE(script.grammar()->dictationLoaded());
    EXPECT_TRUE(form->setup().GrammarLoaded());

    const int contexts = script.contextsCreated();
    engines->setCurrentIndex(1);
    EXPECT_EQ(script.contextsCreated(), contexts) << "selection has no effect while Shared is selected";

    button("Inproc")->click();
    EXPECT_FALSE(script.context()->scriptedRecognizer().isShared());
    EXPECT_EQ(script.context()->scriptedRecognizer().engine().id, "engine-2");
    EXPECT_TRUE(engines->isEnabled());

    engines->setCurrentIndex(0);
    EXPECT_EQ(script.context()->scriptedRecognizer().engine().id, "engine-1");
    EXPECT_FALSE(script.grammar()->dictationActive()) << "an engine change keeps recognition stopped";
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(DebugFormTest, EngineCreationFailureIsReportedAndWindowStaysUsable)
{
    form->recognitionCaption();
    auto *engines = control<QComboBox>("SREngines");
    button("SharedRC")->click();
    button("Inproc")->click();
    ASSERT_TRUE(engines->isEnabled());

    script.failOn("setRecognizer", 1, "Engine files are missing.");
    engines->setCurrentIndex(1);
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

    engines->setCurrentIndex(0);
    ASSERT_NE(script.context(), nullptr);
    EXPECT_EQ(script.context()->scriptedRecognizer().engine().id, "engine-1");
    form->clickIt();
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_EQ(boxes.shown.size(), 2);
}

TEST_F(DebugFormTest, ClickItSwitchesBothWays)
{
    form->recognitionCaption();
    const QStringList engineControls{"SREngines", "SharedRC", "Inproc"};

    form->clickIt();
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_EQ(mainWindow.calls, QStringList{"recognitionSwitchedOn"});
    EXPECT_TRUE(script.grammar()->dictationActive());
    EXPECT_TRUE(form->setup().RecoActive());
    EXPECT_TRUE(checkBox("ActivateMic")->isEnabled());
    for (const QString &name : engineControls)
        EXPECT_FALSE(control<QWidget>(name.toLatin1().constData())->isEnabled()) << name.toStdString();

    button("Recognition")->click();
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
    EXPECT_EQ(mainWindow.calls, (QStringList{"recognitionSwitchedOn", "recognitionSwitchedOff"}));
    EXPECT_FALSE(script.grammar()->dictationActive());
    EXPECT_FALSE(form->setup().RecoActive());
    EXPECT_FALSE(checkBox("ActivateMic")->isEnabled());
    for (const QString &name : engineControls)
        EXPECT_TRUE(control<QWidget>(name.toLatin1().constData())->isEnabled()) << name.toStdString();

    // With Shared selected, switching off leaves the engine list disabled.
    button("SharedRC")->click();
    form->clickIt();
    form->clickIt();
    EXPECT_FALSE(control<QComboBox>("SREngines")->isEnabled());
    EXPECT_TRUE(button("Inproc")->isEnabled());
}

TEST_F(DebugFormTest, ClickItFailureLeavesCaptionAndMainWindowAlone)
{
    const struct
    {
        const char *name;
        bool startRunning;
        QString caption;
        QStringList mainCalls;
    } cases[] = {
        {"switching on", false, "Start Recognition", {}},
        {"switching off", true, "Stop Recognition", {"recognitionSwitchedOn"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FormRig fresh;
        fresh.form->recognitionCaption();
        if (c.startRunning)
            fresh.form->clickIt();
        fresh.script.failOn("dictationSetState");
        fresh.form->clickIt();
        ASSERT_EQ(fresh.boxes.shown.size(), 1);
        EXPECT_EQ(fresh.boxes.shown[0].text, ActivationFailure);
        EXPECT_EQ(fresh.boxes.shown[0].icon, MessageBoxes::Icon::None);
        EXPECT_EQ(fresh.form->recognitionCaption(), c.caption);
        EXPECT_EQ(fresh.mainWindow.calls, c.mainCalls);
        EXPECT_EQ(fresh.form->setup().RecoActive(), c.startRunning);
    }
}

TEST_F(DebugFormTest, ActivateMicSwitchesDictationWithoutStoppingRecognition)
{
    form->clickIt();
    auto *mic = checkBox("ActivateMic");
    mic->click();
    EXPECT_FALSE(mic->isChecked());
    EXPECT_FALSE(script.grammar()->dictationActive());
    EXPECT_EQ(form->recognitionCaption(), "Stop Recognition");
    EXPECT_EQ(mainWindow.calls, QStringList{"recognitionSwitchedOn"});

    script.clearCalls();
    form->clickIt(); // ticks the box again first, then switches off
    EXPECT_TRUE(mic->isChecked());
    EXPECT_EQ(script.callsWithout("setEventInterests"),
              (QStringList{"dictationSetState(true)", "dictationSetState(false)"}));
    EXPECT_EQ(form->recognitionCaption(), "Start Recognition");
}

TEST_F(DebugFormTest, CloseBoxIsRefusedCloseButtonAndMenuHide)
{
    form->showWindow();
    ASSERT_TRUE(form->isVisible());

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
    EXPECT_FALSE(form->isVisible());
}

TEST_F(DebugFormTest, UnloadClosesAndReleasesTheContext)
{
    form->showWindow();
    QPointer<ScriptedRecoContext> context = script.context();
    form->unload();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(context.isNull());
}

TEST_F(DebugFormTest, EveryControlIsLaidOutInsideTheWindowWithToolTip)
{
    form->showWindow();
    form->resize(form->sizeHint().expandedTo(QSize(1100, 600)));
    form->feedback().setConfirmationState(1);
    Q_EMIT script.context()->startStream(1, 0);
    script.context()->emitRecognition(ScriptedRecognizer::resultFor("open notepad"));
    const QPixmap picture = form->grab();
    ASSERT_FALSE(picture.isNull());
    if (qEnvironmentVariableIsSet("KESTREL_SCREENSHOT")) {
        EXPECT_TRUE(picture.save(qEnvironmentVariable("KESTREL_SCREENSHOT")));
    }

    const char *names[] = {"Frame4",         "SharedRC", "Inproc",         "SREngines",      "Recognition",
                           "ActivateMic",    "ExitBtn",  "Label6",         "EventTextField", "ClearEvents",
                           "ShowStreamInfo", "Frame3",   "Label5",         "TreeView1",      "ClearTree",
                           "DidYouSay",      "SayAgain", "SayText",        "Executing",      "Command4",
                           "Command3",       "Command2", "Command1",       "ConfirmationCB", "ExecutingCB",
                           "NotFoundCB",     "Frame1",   "EmulateRecoTxt", "Emulate",        "Reco",
                           "PrivateEng"};
    const QRect window = form->rect();
    for (const char *name : names) {
        QWidget *widget = control<QWidget>(name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->isVisible()) << name;
        const QRect area(widget->mapTo(form.get(), QPoint(0, 0)), widget->size());
        EXPECT_TRUE(window.contains(area)) << name;
        EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << name << ": caption not cut";
        EXPECT_FALSE(widget->toolTip().isEmpty()) << name;
    }
    const struct
    {
        const char *name;
        const char *caption;
    } captions[] = {{"SharedRC", "Shared"},
                    {"Inproc", "Inproc"},
                    {"ActivateMic", "Activate Mic"},
                    {"ExitBtn", "CLOSE"},
                    {"ClearEvents", "Clear Event List"},
                    {"ShowStreamInfo", "Show Stream Info"},
                    {"ClearTree", "Clear Tree View"},
                    {"Command1", "Test"},
                    {"ConfirmationCB", "Vocal Confirmation"},
                    {"ExecutingCB", "Vocal Executing Anouncement"},
                    {"NotFoundCB", "Vocal Not Found"},
                    {"Emulate", "Emulate"}};
    for (const auto &c : captions)
        EXPECT_EQ(button(c.name)->text(), QLatin1String(c.caption));
}

TEST_F(DebugFormTest, KeyboardReachesTheControls)
{
    form->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const struct
    {
        Qt::Key key;
        const char *focused;
    } focusKeys[] = {{Qt::Key_N, "SREngines"}, {Qt::Key_L, "EventTextField"}, {Qt::Key_V, "TreeView1"},
                     {Qt::Key_D, "DidYouSay"}, {Qt::Key_G, "SayAgain"},       {Qt::Key_X, "SayText"},
                     {Qt::Key_U, "Executing"}, {Qt::Key_Y, "EmulateRecoTxt"}};
    control<QComboBox>("SREngines")->setEnabled(true);
    for (const auto &k : focusKeys) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), k.key,
                        Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), control<QWidget>(k.focused)) << k.focused;
    }

    // Buttons animate their click on a timer, so their keys are checked as
    // bound; every key of the window must be unambiguous to fire at all.
    const struct
    {
        const char *button;
        const char *keys;
    } buttonKeys[] = {{"Recognition", "Alt+R"},  {"SharedRC", "Alt+S"},    {"Inproc", "Alt+I"},
                      {"ExitBtn", "Esc"},        {"ClearEvents", "Alt+E"}, {"ShowStreamInfo", "Alt+W"},
                      {"ClearTree", "Alt+T"},    {"Command4", "Alt+1"},    {"Command3", "Alt+2"},
                      {"Command2", "Alt+3"},     {"Command1", "Alt+4"},    {"ConfirmationCB", "Alt+C"},
                      {"ExecutingCB", "Alt+A"},  {"ActivateMic", "Alt+M"}, {"NotFoundCB", "Alt+O"},
                      {"Emulate", "Ctrl+Return"}};
    for (const auto &b : buttonKeys)
        EXPECT_EQ(button(b.button)->shortcut(), QKeySequence(QLatin1String(b.keys))) << b.button;
    QMap<QKeySequence, QString> owners;
    for (QAbstractButton *b : form->findChildren<QAbstractButton *>()) {
        if (b->shortcut().isEmpty())
            continue;
        EXPECT_FALSE(owners.contains(b->shortcut()))
            << b->objectName().toStdString() << " and " << owners.value(b->shortcut()).toStdString();
        owners.insert(b->shortcut(), b->objectName());
    }
    for (QShortcut *shortcut : form->findChildren<QShortcut *>()) {
        EXPECT_FALSE(owners.contains(shortcut->key())) << shortcut->key().toString().toStdString();
        owners.insert(shortcut->key(), QStringLiteral("focus key"));
    }
}

TEST_F(DebugFormTest, AboutShowsAPlainMessage)
{
    form->showWindow();
    control<QAction>("About")->trigger();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains("Version")) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::None);
}

} // namespace
} // namespace kestrel::debugform_test

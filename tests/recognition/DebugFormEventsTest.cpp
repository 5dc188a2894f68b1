#include "DebugFormFixture.h"

#include "recognition/EventInterests.h"
#include "window_common/TypedKeys.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <bit>

namespace kestrel::debugform_test {
namespace {

RecognitionResult openNotepad()
{
    return ScriptedRecognizer::resultFor(QStringLiteral("open notepad"));
}

TEST_F(DebugFormTest, EventListShowsAnUtteranceWithAndWithoutStreamInfo)
{
    form->showWindow();
    auto *streamInfo = checkBox("ShowStreamInfo");
    ASSERT_TRUE(streamInfo->isChecked()) << "ticked at load";

    RecognitionResult result = ScriptedRecognizer::resultFor(QStringLiteral("open notepad two"));
    result.phrase.textWithReplacements = QStringLiteral("open notepad 2");
    script.context()->emitUtterance(result, 3);
    const QStringList withInfo{
        "StartStream (StreamNum=3 StreamPos=0)",
        "    SoundStart (StreamNum=3 StreamPos=100)",
        "        PhraseStart (StreamNum=3 StreamPos=200)",
        "        Hypothesis (StreamNum=3 StreamPos=300) [Text=open notepad 2]",
        "        Recognition (StreamNum=3 StreamPos=400) [Text=open notepad 2, RecoType=0]",
        "    SoundEnd (StreamNum=3 StreamPos=500)",
        "EndStream (StreamNum=3 StreamPos=600) [Stream Released=True]",
    };
    EXPECT_EQ(eventLines(), withInfo);

    QTest::keyClick(button("ClearEvents"), Qt::Key_Return); // Enter presses a focused button
    EXPECT_TRUE(eventLines().isEmpty());

    streamInfo->click();
    script.context()->emitUtterance(result, 3);
    QStringList withoutInfo = withInfo;
    withoutInfo.replaceInStrings(QRegularExpression(" \\(StreamNum=3 StreamPos=\\d+\\)"), QString());
    EXPECT_EQ(eventLines(), withoutInfo);
    EXPECT_EQ(mainWindow.calls, (QStringList{"recoIt", "recoIt"}));
}

// A line of the list is copied for a question or a bug report: selected with
// the keyboard as well as the mouse, and kept selected while events go on
// arriving (the audio level, several a second while listening).
TEST_F(DebugFormTest, ALineOfTheEventListCanBeSelectedAndStaysSelected)
{
    form->showWindow();
    QApplication::setActiveWindow(form.get());
    ScriptedRecoContext *context = script.context();
    Q_EMIT context->interference(1, 0, 3);
    Q_EMIT context->adaptation(1, 0);
    auto *list = control<QPlainTextEdit>("EventTextField");
    const QString first = eventLines().first();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(list->textCursor().selectedText(), first);
    Q_EMIT context->audioLevel(1, 0, 40);
    EXPECT_EQ(list->textCursor().selectedText(), first) << "an event took the selection away";
    const QString text = list->toPlainText();
    QTest::keyClicks(list, "x");
    EXPECT_EQ(list->toPlainText(), text) << "still read-only";
}

TEST_F(DebugFormTest, EveryContextEventReachesTheListWithoutMovingTheIndent)
{
    form->showWindow();
    checkBox("ShowStreamInfo")->click();
    ScriptedRecoContext *context = script.context();
    Q_EMIT context->endStream(1, 0, false);
    Q_EMIT context->bookmark(1, 0, QVariant(7), 1);
    Q_EMIT context->propertyNumberChange(1, 0, "Gain", 2);
    Q_EMIT context->propertyStringChange(1, 0, "Mode", "fast");
    Q_EMIT context->interference(1, 0, 3);
    Q_EMIT context->requestUI(1, 0, "Training");
    Q_EMIT context->recognizerStateChange(1, 0, 0);
    Q_EMIT context->adaptation(1, 0);
    Q_EMIT context->recognitionForOtherContext(1, 0);
    Q_EMIT context->audioLevel(1, 0, 40);
    Q_EMIT context->enginePrivate(1, 0, QVariant(QByteArray("opaque")));
    Q_EMIT context->falseRecognition(1, 0, ScriptedRecognizer::resultFor("mumble"));
    EXPECT_EQ(eventLines(),
              (QStringList{"EndStream [Stream Released=False]", "Bookmark [Data=7 Option=1]",
                           "PropertyNumberChange [Name=Gain Value=2]",
                           "PropertyStringChange [Name=Mode Value=fast]", "Interference [Value=3]",
                           "RequestUI [Type=Training]", "RecognitionStateChange [NewState=0]", "Adaptation",
                           "RecognitionForOtherContext", "AudioLevel [Level=40]", "EnginePrivate",
                           "FalseRecognition [Text=mumble]"}));
    EXPECT_EQ(form->eventIndent(), 0);
    EXPECT_TRUE(mainWindow.calls.isEmpty()) << "only a final recognition is dispatched";
}

TEST_F(DebugFormTest, EventListKeepsTheNewestLinesWithinItsLimit)
{
    form->showWindow();
    checkBox("ShowStreamInfo")->click();
    const int extra = 25;
    for (int i = 1; i <= DebugForm::EventListLineLimit + extra; ++i)
        Q_EMIT script.context()->audioLevel(1, 0, i);
    const QStringList lines = eventLines();
    ASSERT_EQ(lines.size(), DebugForm::EventListLineLimit);
    EXPECT_EQ(lines.first(), QStringLiteral("AudioLevel [Level=%1]").arg(extra + 1));
    EXPECT_EQ(lines.last(),
              QStringLiteral("AudioLevel [Level=%1]").arg(DebugForm::EventListLineLimit + extra));
    auto *list = control<QPlainTextEdit>("EventTextField");
    EXPECT_EQ(list->textCursor().position(), list->document()->characterCount() - 1) << "caret at the end";
}

TEST_F(DebugFormTest, ResultTreeKeepsTheNewestRecognitionsWithinItsLimit)
{
    // The window left open all day: the tree must not grow with every phrase.
    form->showWindow();
    RecognitionResult result = openNotepad();
    result.alternates = QList<PhraseInfo>{openNotepad().phrase, openNotepad().phrase};
    const int extra = 3;
    for (int i = 1; i <= DebugForm::ResultTreeRecognitionLimit + extra; ++i)
        script.context()->emitRecognition(result);
    auto *tree = control<QTreeWidget>("TreeView1");
    ASSERT_EQ(tree->topLevelItemCount(), DebugForm::ResultTreeRecognitionLimit);
    EXPECT_EQ(tree->topLevelItem(0)->data(0, TreeWidgetNodes::KeyRole).toString(),
              QStringLiteral("Reco%1").arg(extra + 1));

    // Every node still reachable is whole, and each key names one node only.
    const QStringList nodes = treeNodes();
    QStringList keys;
    for (const QString &node : nodes)
        keys.append(node.section(" > ", 1).section(" = ", 0, 0));
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
    const QStringList newest = nodes.mid(nodes.lastIndexOf(QRegularExpression("^ > Reco")));
    script.context()->emitRecognition(result);
    const QStringList after = treeNodes();
    ASSERT_EQ(tree->topLevelItemCount(), DebugForm::ResultTreeRecognitionLimit);
    const QStringList added = after.mid(after.lastIndexOf(QRegularExpression("^ > Reco")));
    EXPECT_EQ(added.size(), newest.size()) << "a new recognition is built in full under its own root";
    EXPECT_EQ(mainWindow.calls.size(), DebugForm::ResultTreeRecognitionLimit + extra + 1);
}

TEST_F(DebugFormTest, InterestBoxesStartFromTheContextMaskAndChangeIt)
{
    form->recognitionCaption();
    const qint32 initial = script.defaultEventInterests;
    for (const EventInterestBox &entry : eventInterestBoxes()) {
        SCOPED_TRACE(entry.objectName);
        QCheckBox *box = checkBox(entry.objectName);
        EXPECT_EQ(box->text(), QLatin1String(entry.caption));
        EXPECT_EQ(box->isChecked(), (initial & entry.flag) != 0);
        EXPECT_EQ(box->isHidden(), !entry.shown);
    }
    EXPECT_EQ(script.callCount(QStringLiteral("setEventInterests(%1)").arg(initial)),
              std::popcount(quint32(initial)))
        << "ticking at load re-sets flags that are already set";

    const std::pair<const char *, qint32> cases[] = {
        {"StreamEnd", 1},   {"SoundStart", 2},      {"SoundEnd", 4},       {"PhraseStart", 8},
        {"Reco", 16},       {"Hypothesis", 32},     {"Bookmark", 64},      {"PropertyStringChange", 256},
        {"FalseReco", 512}, {"Interference", 1024}, {"RequestUI", 2048},   {"StateChange", 4096},
        {"Adaption", 8192}, {"RecoOther", 32768},   {"AudioLevel", 65536}, {"PrivateEng", 262144},
    };
    for (const auto &[name, flag] : cases) {
        QCheckBox *box = checkBox(name);
        const qint32 before = script.context()->eventInterests();
        box->click();
        const qint32 after = script.context()->eventInterests();
        EXPECT_EQ(after ^ before, flag) << name << ": only its own flag changes";
        EXPECT_EQ((after & flag) != 0, box->isChecked()) << name;
        box->click();
        EXPECT_EQ(script.context()->eventInterests(), before) << name;
    }

    QCheckBox *level = checkBox("AudioLevel");
    ASSERT_FALSE(level->isChecked());
    script.failOn("setEventInterests", 1, "Context busy.");
    level->click();
    EXPECT_FALSE(level->isChecked()) << "the box keeps telling the truth";
    EXPECT_EQ(script.context()->eventInterests() & EventAudioLevel, 0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains("Context busy."));
}

TEST_F(DebugFormTest, InterestBoxesShowTheNewContextsMaskAfterAnEngineChange)
{
    form->recognitionCaption();
    const qint32 initial = script.defaultEventInterests;
    ASSERT_EQ(initial & EventAudioLevel, 0);
    ASSERT_NE(initial & EventHypothesis, 0);
    // The user's changes belong to the context they were made on.
    checkBox("AudioLevel")->click();
    checkBox("Hypothesis")->click();
    ASSERT_EQ(script.context()->eventInterests(), (initial | EventAudioLevel) & ~EventHypothesis);

    const std::pair<const char *, std::function<void()>> changes[] = {
        {"another in-process engine", [&] { control<QComboBox>("SREngines")->setCurrentIndex(1); }},
        {"the shared recogniser", [&] { button("SharedRC")->click(); }},
    };
    for (const auto &[name, change] : changes) {
        SCOPED_TRACE(name);
        const int contextsBefore = script.contextsCreated();
        change();
        ASSERT_GT(script.contextsCreated(), contextsBefore);
        const qint32 mask = script.context()->eventInterests();
        for (const EventInterestBox &entry : eventInterestBoxes())
            EXPECT_EQ(checkBox(entry.objectName)->isChecked(), (mask & entry.flag) != 0) << entry.objectName;
        checkBox("AudioLevel")->click();
        checkBox("Hypothesis")->click();
    }
}

TEST_F(DebugFormTest, ResultTreeShowsEachNodeUnderItsParentAndClearKeepsCountingRoots)
{
    form->showWindow();
    RecognitionResult result;
    result.phrase.rule = PhraseRule{"Command", QList<PhraseRule>{PhraseRule{"Verb", std::nullopt}}};
    result.phrase.elements = QList<PhraseElement>{};
    result.alternates = QList<PhraseInfo>{PhraseInfo{}};
    script.context()->emitRecognition(result);
    EXPECT_EQ(treeNodes(), (QStringList{
                               " > Reco1 = Recognition ()",
                               "Reco1 > PhraseInfo1 = Phrase Info",
                               "PhraseInfo1 > Properties1 = Properties - No Properties",
                               "PhraseInfo1 > RuleNodePhraseInfo10 = Rule (Command)",
                               "RuleNodePhraseInfo10 > RuleNodeRuleNodePhraseInfo101 = Rule (Verb)",
                               "Reco1 > Alternates1 = Alternates",
                               "Alternates1 > Alternates11 = Alternate1",
                               "Alternates11 > PhraseInfo7 = Phrase Info",
                               "PhraseInfo7 > Properties7 = Properties - No Properties",
                               "PhraseInfo7 > RuleNodePhraseInfo70 = Rule ()",
                               "PhraseInfo7 > ElementsPhraseInfo7 = Elements - No Elements",
                           }));

    script.context()->emitRecognition(openNotepad());
    ASSERT_EQ(control<QTreeWidget>("TreeView1")->topLevelItemCount(), 2);
    button("ClearTree")->click();
    EXPECT_TRUE(treeNodes().isEmpty());
    script.context()->emitRecognition(openNotepad());
    const QStringList nodes = treeNodes();
    ASSERT_GE(nodes.size(), 2);
    EXPECT_EQ(nodes.at(0), " > Reco3 = Recognition (open notepad)");
    EXPECT_EQ(nodes.at(1), "Reco3 > PhraseInfo1 = Phrase Info") << "numbering restarts with the emptied tree";
}

TEST_F(DebugFormTest, HiddenWindowWritesNoEventsButExecutesAndEmptiesTheTreeWhenAlternatesAreOffered)
{
    form->recognitionCaption();
    QString textSeenByDispatcher;
    mainWindow.onRecoIt = [&] { textSeenByDispatcher = shared.RecoText; };
    RecognitionResult result = openNotepad();
    result.phrase.textWithReplacements = QStringLiteral("open notepad 2");
    script.context()->emitUtterance(result); // no alternates collection

    EXPECT_TRUE(eventLines().isEmpty());
    EXPECT_EQ(mainWindow.calls, QStringList{"recoIt"});
    EXPECT_EQ(textSeenByDispatcher, "open notepad 2") << "replacements applied";
    EXPECT_EQ(form->eventIndent(), 0);
    EXPECT_EQ(form->recoCount(), 1);
    EXPECT_FALSE(treeNodes().isEmpty());

    result.alternates = QList<PhraseInfo>{}; // even an empty collection counts
    script.context()->emitRecognition(result);
    EXPECT_TRUE(treeNodes().isEmpty());
    EXPECT_EQ(mainWindow.calls, (QStringList{"recoIt", "recoIt"}));
}

TEST_F(DebugFormTest, UnshowableResultStillReachesTheDispatcher)
{
    form->showWindow();
    RecognitionResult result = openNotepad();
    (*result.phrase.elements)[1].pronunciation = {999}; // no such phone
    script.context()->emitRecognition(result);
    EXPECT_EQ(mainWindow.calls, QStringList{"recoIt"});
    EXPECT_EQ(shared.RecoText, "open notepad");
    EXPECT_EQ(form->recoCount(), 1);
}

TEST_F(DebugFormTest, FeedbackControlsStartAtTheirDefaultsAndTakeOnlyCheckBoxStates)
{
    FeedbackSettings &feedback = form->feedback();
    EXPECT_EQ((QStringList{feedback.didYouSayText(), feedback.sayAgainText(), feedback.sayTextText(),
                           feedback.executingText()}),
              (QStringList{"Did You Say", "Please say again", "Say Text", "Executing"}));
    EXPECT_EQ((QList<int>{feedback.confirmationState(), feedback.executingState(), feedback.notFoundState()}),
              (QList<int>{0, 0, 0}));

    for (const auto &[value, stored] : {std::pair{1, 1}, {2, 2}, {0, 0}, {5, 0}, {-1, 0}}) {
        feedback.setNotFoundState(value);
        EXPECT_EQ(feedback.notFoundState(), stored) << value;
    }
    for (const auto &[state, shown] :
         {std::pair{1, Qt::Checked}, {2, Qt::PartiallyChecked}, {0, Qt::Unchecked}}) {
        feedback.setConfirmationState(state);
        EXPECT_EQ(checkBox("ConfirmationCB")->checkState(), shown) << state;
        feedback.setExecutingState(state);
        EXPECT_EQ(checkBox("ExecutingCB")->checkState(), shown) << state;
    }
    feedback.setNotFoundState(2);
    for (int expected : {1, 0, 1}) { // greyed only ever comes from the settings
        checkBox("NotFoundCB")->click();
        EXPECT_EQ(feedback.notFoundState(), expected);
    }
    feedback.setSayAgainText("Again please");
    EXPECT_EQ(control<QLineEdit>("SayAgain")->text(), "Again please");
}

TEST_F(DebugFormTest, TestButtonsSpeakTheirPhraseEvenWhenTheClipboardFails)
{
    form->showWindow();
    const std::tuple<const char *, const char *, QString> cases[] = {
        {"Command4", "DidYouSay", "Did you say"},
        {"Command3", "SayAgain", "Once more"},
        {"Command2", "SayText", "Dictate now"},
        {"Command1", "Executing", "Running"},
        {"Command1", "Executing", ""},
    };
    for (const auto &[name, box, text] : cases) {
        SCOPED_TRACE(name);
        control<QLineEdit>(box)->setText(text);
        tts.calls.clear();
        desktop.setClipboard(QStringLiteral("old"));
        button(name)->click();
        EXPECT_EQ(desktop.clipboardText(), text);
        EXPECT_EQ(tts.calls, (QStringList{QStringLiteral("setMainText(%1)").arg(text), "speakItX"}));
    }

    desktop.failOn(QStringLiteral("clipboard"), QStringLiteral("The clipboard is not available."));
    tts.calls.clear();
    button("Command4")->click();
    EXPECT_EQ(tts.calls, (QStringList{"setMainText(Did you say)", "speakItX"}));
    EXPECT_EQ(boxes.shown.size(), 1);
}

TEST_F(DebugFormTest, EnterAfterTypingEmulatesThePhraseLikeASpokenOne)
{
    form->showWindow();
    ASSERT_TRUE(form->setup().GrammarLoaded());
    auto *text = control<QPlainTextEdit>("EmulateRecoTxt");
    auto *emulate = control<QPushButton>("Emulate");
    EXPECT_FALSE(emulate->isDefault());
    text->setFocus();
    QTest::keyClicks(text, "open notepad");
    EXPECT_TRUE(emulate->isDefault());
    script.clearCalls();
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(script.callCount("emulateRecognition(open notepad)"), 1);
    EXPECT_TRUE(mainWindow.calls.isEmpty()) << "the result arrives later, as an event";

    QCoreApplication::processEvents();
    EXPECT_EQ(mainWindow.calls, QStringList{"recoIt"});
    EXPECT_EQ(shared.RecoText, "open notepad");
    EXPECT_EQ(text->toPlainText(), "open notepad") << "text kept, Enter added no line";
    EXPECT_EQ(eventLines().last(), "Recognition (StreamNum=1 StreamPos=0) [Text=open notepad, RecoType=2]");
}

// A command that types Enter ("new line") into this box, where the focus is
// kept while keys are typed: that Enter is the command's, not the user's, and
// pressing Emulate with it ran the same phrase again, and again, without end.
// So did the window's Ctrl+Return, and a Tab that moved the focus to Emulate
// before the Enter. The main window shields its windows while a command types.
TEST_F(DebugFormTest, KeysTypedByTheCommandItselfEmulateNothing)
{
    form->showWindow();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto *text = control<QPlainTextEdit>("EmulateRecoTxt");
    const struct
    {
        const char *name;
        QStringList keys;
    } cases[] = {
        {"Enter", {"Return"}},
        {"keypad Enter", {"Enter"}},
        {"Ctrl+Enter", {"Ctrl+Return"}},
        {"Tab and Enter", {"Tab", "Return"}},
        {"Tab and Space", {"Tab", "Space"}},
        {"Alt+Y and Enter", {"Alt+Y", "Return"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        text->setFocus();
        text->setPlainText(QString());
        QTest::keyClicks(text, "new line");
        ASSERT_TRUE(control<QPushButton>("Emulate")->isDefault());
        int runs = 0;
        mainWindow.onRecoIt = [&] {
            if (++runs > 3)
                return;
            TypedKeysShield shield;
            shield.raise();
            for (const QString &key : c.keys)
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(key));
            shield.lower();
        };
        script.clearCalls();
        QTest::keyClick(text, Qt::Key_Return);
        EXPECT_FALSE(QTest::qWaitFor([&] { return runs >= 2; }, 400));
        EXPECT_EQ(script.callCount("emulateRecognition(new line)"), 1);
    }
    // The user's own Enter afterwards still emulates.
    mainWindow.onRecoIt = {};
    text->setFocus();
    text->setPlainText("new line");
    script.clearCalls();
    QTest::keyClick(text, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(script.callCount("emulateRecognition(new line)"), 1);
}

// An emulated command that clicks where the pointer is ("left click") with the
// pointer left on Emulate: that click is the command's, handled while it runs,
// and pressing Emulate with it ran the command inside itself until the program
// crashed. The user's own click afterwards still emulates.
TEST_F(DebugFormTest, AClickTheCommandItselfSendsToEmulateEmulatesNothing)
{
    form->showWindow();
    auto *text = control<QPlainTextEdit>("EmulateRecoTxt");
    auto *emulate = control<QPushButton>("Emulate");
    text->setPlainText(QStringLiteral("left click"));
    int runs = 0;
    const auto clickEmulateWhileRunning = [&] {
        if (++runs > 3)
            return;
        QTest::mouseClick(emulate, Qt::LeftButton);
        QCoreApplication::processEvents();
    };
    mainWindow.onRecoIt = clickEmulateWhileRunning;
    script.clearCalls();
    QTest::mouseClick(emulate, Qt::LeftButton);
    EXPECT_FALSE(QTest::qWaitFor([&] { return runs >= 2; }, 400));
    EXPECT_EQ(script.callCount("emulateRecognition(left click)"), 1);

    mainWindow.onRecoIt = {};
    script.clearCalls();
    QTest::mouseClick(emulate, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(script.callCount("emulateRecognition(left click)"), 1);

    // Said aloud with the pointer on Emulate, "left click" presses it once;
    // the emulated phrase's own click then presses nothing.
    runs = 0;
    mainWindow.onRecoIt = clickEmulateWhileRunning;
    script.clearCalls();
    script.context()->emitUtterance(ScriptedRecognizer::resultFor(QStringLiteral("left click")), 1);
    QTest::qWait(400);
    EXPECT_EQ(runs, 2) << "the spoken phrase and the one it emulated";
    EXPECT_EQ(script.callCount("emulateRecognition(left click)"), 1);
}

// Users with a tremor often hold a key past its repeat delay; the phrase must
// run once, not once per repeat (five closed windows for "close window").
TEST_F(DebugFormTest, AHeldEnterEmulatesOnce)
{
    form->showWindow();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto *text = control<QPlainTextEdit>("EmulateRecoTxt");
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(key == Qt::Key_Return ? "Return" : "keypad Enter");
        text->setFocus();
        text->setPlainText(QString());
        QTest::keyClicks(text, "close window");
        script.clearCalls();
        for (int n = 0; n < 4; ++n) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QStringLiteral("\r"), n > 0);
            QApplication::sendEvent(text, &press);
            QCoreApplication::processEvents();
        }
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(text, &release);
        QCoreApplication::processEvents();
        EXPECT_EQ(script.callCount("emulateRecognition(close window)"), 1);
        EXPECT_EQ(text->toPlainText(), "close window");
    }
}

TEST_F(DebugFormTest, EmulationFailureIsReportedAndDictationSwitchedBackOff)
{
    form->showWindow();
    control<QPlainTextEdit>("EmulateRecoTxt")->setPlainText("open notepad");
    script.failOn("emulateRecognition", 1, "Engine is busy.");
    button("Emulate")->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains("Engine is busy."));
    EXPECT_FALSE(script.grammar()->dictationActive());
}

} // namespace
} // namespace kestrel::debugform_test

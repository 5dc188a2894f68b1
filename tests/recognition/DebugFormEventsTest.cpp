#include "DebugFormFixture.h"

#include "recognition/EventInterests.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace kestrel::debugform_test {
namespace {

RecognitionResult openNotepad()
{
    return ScriptedRecognizer::resultFor(QStringLiteral("open notepad"));
}

/// Properties, nested rules, pronunciations and two alternates.
RecognitionResult richResult()
{
    RecognitionResult result = openNotepad();
    result.phrase.rule = PhraseRule{"Command", QList<PhraseRule>{PhraseRule{"Verb", std::nullopt}}};
    result.phrase.properties =
        QList<PhraseProperty>{PhraseProperty{"action", QStringLiteral("open"), std::nullopt},
                              PhraseProperty{"count", 0, std::nullopt}};
    PhraseInfo first = ScriptedRecognizer::resultFor(QStringLiteral("open note pad")).phrase;
    PhraseInfo second = ScriptedRecognizer::resultFor(QStringLiteral("opened notepad")).phrase;
    second.properties = QList<PhraseProperty>{};
    result.alternates = QList<PhraseInfo>{first, second};
    return result;
}

/// The builder's nodes in the order a tree walk meets them: each node followed
/// by its subtree, siblings in the order they were added.
QList<TreeNode> preOrder(const QList<TreeNode> &added)
{
    QList<TreeNode> ordered;
    const std::function<void(const QString &)> visit = [&](const QString &parent) {
        for (const TreeNode &node : added) {
            if (node.parentKey == parent) {
                ordered.append(node);
                visit(node.key);
            }
        }
    };
    visit(QString());
    return ordered;
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

    button("ClearEvents")->click();
    EXPECT_TRUE(eventLines().isEmpty());

    streamInfo->click();
    script.context()->emitUtterance(result, 3);
    const QStringList withoutInfo{
        "StartStream",
        "    SoundStart",
        "        PhraseStart",
        "        Hypothesis [Text=open notepad 2]",
        "        Recognition [Text=open notepad 2, RecoType=0]",
        "    SoundEnd",
        "EndStream [Stream Released=True]",
    };
    EXPECT_EQ(eventLines(), withoutInfo);
    EXPECT_EQ(mainWindow.calls, (QStringList{"recoIt", "recoIt"}));
}

TEST_F(DebugFormTest, EveryContextEventReachesTheList)
{
    form->showWindow();
    checkBox("ShowStreamInfo")->click();
    ScriptedRecoContext *context = script.context();
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
              (QStringList{"Bookmark [Data=7 Option=1]", "PropertyNumberChange [Name=Gain Value=2]",
                           "PropertyStringChange [Name=Mode Value=fast]", "Interference [Value=3]",
                           "RequestUI [Type=Training]", "RecognitionStateChange [NewState=0]", "Adaptation",
                           "RecognitionForOtherContext", "AudioLevel [Level=40]", "EnginePrivate",
                           "FalseRecognition [Text=mumble]"}));
    EXPECT_TRUE(mainWindow.calls.isEmpty()) << "only a final recognition is dispatched";
}

TEST_F(DebugFormTest, HiddenWindowWritesNothingButStillExecutes)
{
    form->recognitionCaption();
    ASSERT_FALSE(form->isVisible());
    QString textSeenByDispatcher;
    mainWindow.onRecoIt = [&] { textSeenByDispatcher = shared.RecoText; };

    RecognitionResult result = openNotepad();
    result.phrase.textWithReplacements = QStringLiteral("open notepad 2");
    script.context()->emitUtterance(result);

    EXPECT_TRUE(eventLines().isEmpty());
    EXPECT_EQ(mainWindow.calls, QStringList{"recoIt"});
    EXPECT_EQ(textSeenByDispatcher, "open notepad 2") << "replacements applied";
    EXPECT_EQ(form->eventIndent(), 0);
    EXPECT_EQ(form->recoCount(), 1);
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

TEST_F(DebugFormTest, InterestBoxesStartFromTheContextMaskAndChangeIt)
{
    form->recognitionCaption();
    const qint32 initial = script.defaultEventInterests;
    for (const EventInterestBox &entry : eventInterestBoxes()) {
        QCheckBox *box = checkBox(entry.objectName);
        EXPECT_EQ(box->text(), QLatin1String(entry.caption));
        EXPECT_EQ(box->isChecked(), (initial & entry.flag) != 0) << entry.objectName;
        EXPECT_EQ(box->isHidden(), !entry.shown) << entry.objectName;
    }
    EXPECT_EQ(script.callCount(QStringLiteral("setEventInterests(%1)").arg(initial)),
              std::popcount(quint32(initial)))
        << "ticking at load re-sets flags that are already set";

    const struct
    {
        const char *box;
        qint32 flag;
    } cases[] = {
        {"StreamEnd", 1},   {"SoundStart", 2},      {"SoundEnd", 4},       {"PhraseStart", 8},
        {"Reco", 16},       {"Hypothesis", 32},     {"Bookmark", 64},      {"PropertyStringChange", 256},
        {"FalseReco", 512}, {"Interference", 1024}, {"RequestUI", 2048},   {"StateChange", 4096},
        {"Adaption", 8192}, {"RecoOther", 32768},   {"AudioLevel", 65536}, {"PrivateEng", 262144},
    };
    for (const auto &c : cases) {
        QCheckBox *box = checkBox(c.box);
        const qint32 before = script.context()->eventInterests();
        box->click();
        const qint32 after = script.context()->eventInterests();
        EXPECT_EQ(after ^ before, c.flag) << c.box << ": only its own flag changes";
        EXPECT_EQ((after & c.flag) != 0, box->isChecked()) << c.box;
        box->click();
        EXPECT_EQ(script.context()->eventInterests(), before) << c.box;
    }
}

TEST_F(DebugFormTest, FailedInterestChangeKeepsTheBoxTruthful)
{
    form->recognitionCaption();
    QCheckBox *level = checkBox("AudioLevel");
    ASSERT_FALSE(level->isChecked());
    script.failOn("setEventInterests", 1, "Context busy.");
    level->click();
    EXPECT_FALSE(level->isChecked());
    EXPECT_EQ(script.context()->eventInterests() & EventAudioLevel, 0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains("Context busy."));
}

TEST_F(DebugFormTest, ResultTreeShowsPropertiesElementsPronunciationsAndAlternates)
{
    form->showWindow();
    script.context()->emitRecognition(richResult());

    TreeNodeList expected;
    ResultTreeBuilder reference(script.phoneConverter());
    reference.build(expected, richResult(), "open notepad", true);
    // The builder's own output is pinned by its tests; here the widget must mirror it.
    ASSERT_GE(expected.nodeCount(), 10);
    EXPECT_EQ(treeNodes(), preOrder(expected.nodes()));
}

TEST_F(DebugFormTest, ClearTreeKeepsCountingRoots)
{
    form->showWindow();
    script.context()->emitRecognition(openNotepad());
    script.context()->emitRecognition(openNotepad());
    ASSERT_EQ(control<QTreeWidget>("TreeView1")->topLevelItemCount(), 2);
    button("ClearTree")->click();
    EXPECT_TRUE(treeNodes().isEmpty());
    script.context()->emitRecognition(openNotepad());
    const QList<TreeNode> nodes = treeNodes();
    ASSERT_FALSE(nodes.isEmpty());
    EXPECT_EQ(nodes.first().key, "Reco3");
    EXPECT_EQ(nodes.at(1).key, "PhraseInfo1") << "node numbering restarts with the emptied tree";
}

TEST_F(DebugFormTest, HiddenWindowEmptiesTheTreeWhenAlternatesAreOffered)
{
    form->recognitionCaption();
    script.context()->emitRecognition(openNotepad()); // no alternates collection
    EXPECT_FALSE(treeNodes().isEmpty());
    script.context()->emitRecognition(richResult());
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

TEST_F(DebugFormTest, FeedbackPhrasesStartWithTheirDefaults)
{
    FeedbackSettings &feedback = form->feedback();
    EXPECT_EQ(feedback.didYouSayText(), "Did You Say");
    EXPECT_EQ(feedback.sayAgainText(), "Please say again");
    EXPECT_EQ(feedback.sayTextText(), "Say Text");
    EXPECT_EQ(feedback.executingText(), "Executing");
    EXPECT_EQ(feedback.confirmationState(), 0);
    EXPECT_EQ(feedback.executingState(), 0);
    EXPECT_EQ(feedback.notFoundState(), 0);

    const struct
    {
        const char *label;
        const char *caption;
    } labels[] = {{"Label4", "Did You Say Phrase"}, {"Label3", "Say Again Phrase:"},
                  {"Label2", "Say Text Phrase:"},   {"Label1", "Execution Phrase:"},
                  {"Label5", "Tree View"},          {"Label6", "Event List"}};
    for (const auto &l : labels)
        EXPECT_EQ(control<QLabel>(l.label)->text(), QLatin1String(l.caption));
}

TEST_F(DebugFormTest, FeedbackSettersTakeOnlyCheckBoxStates)
{
    FeedbackSettings &feedback = form->feedback();
    const struct
    {
        int value;
        int stored;
    } cases[] = {{1, 1}, {2, 2}, {0, 0}, {5, 0}, {-1, 0}};
    for (const auto &c : cases) {
        feedback.setNotFoundState(c.value);
        EXPECT_EQ(feedback.notFoundState(), c.stored) << c.value;
    }
    const struct
    {
        int state;
        Qt::CheckState shown;
    } shown[] = {{1, Qt::Checked}, {2, Qt::PartiallyChecked}, {0, Qt::Unchecked}};
    for (const auto &c : shown) {
        feedback.setConfirmationState(c.state);
        EXPECT_EQ(checkBox("ConfirmationCB")->checkState(), c.shown) << c.state;
        feedback.setExecutingState(c.state);
        EXPECT_EQ(checkBox("ExecutingCB")->checkState(), c.shown) << c.state;
    }
    feedback.setNotFoundState(2);
    const int afterClicks[] = {1, 0, 1}; // greyed only ever comes from the settings
    for (int expected : afterClicks) {
        checkBox("NotFoundCB")->click();
        EXPECT_EQ(feedback.notFoundState(), expected);
    }
    feedback.setSayAgainText("Again please");
    EXPECT_EQ(control<QLineEdit>("SayAgain")->text(), "Again please");
}

TEST_F(DebugFormTest, TestButtonsSpeakTheirPhraseWithoutWaiting)
{
    form->showWindow();
    const struct
    {
        const char *button;
        const char *box;
        QString text;
    } cases[] = {
        {"Command4", "DidYouSay", "Did you say"},
        {"Command3", "SayAgain", "Once more"},
        {"Command2", "SayText", "Dictate now"},
        {"Command1", "Executing", "Running"},
        {"Command1", "Executing", ""},
    };
    for (const auto &c : cases) {
        control<QLineEdit>(c.box)->setText(c.text);
        tts.calls.clear();
        desktop.setClipboard(QStringLiteral("old"));
        button(c.button)->click();
        EXPECT_EQ(desktop.clipboardText(), c.text) << c.button;
        EXPECT_EQ(tts.calls, (QStringList{QStringLiteral("setMainText(%1)").arg(c.text), "speakItX"}))
            << c.button;
    }
}

TEST_F(DebugFormTest, TestButtonStillSpeaksWhenClipboardFails)
{
    form->showWindow();
    desktop.failOn(QStringLiteral("clipboard"), QStringLiteral("The clipboard is not available."));
    tts.calls.clear();
    button("Command4")->click();
    EXPECT_EQ(tts.calls, (QStringList{"setMainText(Did You Say)", "speakItX"}));
    EXPECT_EQ(boxes.shown.size(), 1);
}

TEST_F(DebugFormTest, EmulationDeliversThePhraseLikeASpokenOne)
{
    form->showWindow();
    ASSERT_TRUE(form->setup().GrammarLoaded());
    control<QPlainTextEdit>("EmulateRecoTxt")->setPlainText("open notepad");
    button("Emulate")->click();
    EXPECT_TRUE(mainWindow.calls.isEmpty()) << "the result arrives later, as an event";
    QCoreApplication::processEvents();
    EXPECT_EQ(mainWindow.calls, QStringList{"recoIt"});
    EXPECT_EQ(shared.RecoText, "open notepad");
    EXPECT_EQ(control<QPlainTextEdit>("EmulateRecoTxt")->toPlainText(), "open notepad") << "text kept";
    EXPECT_EQ(eventLines().last(), "Recognition (StreamNum=1 StreamPos=0) [Text=open notepad, RecoType=2]");
}

TEST_F(DebugFormTest, EnterAfterTypingPressesEmulate)
{
    form->showWindow();
    auto *text = control<QPlainTextEdit>("EmulateRecoTxt");
    auto *emulate = control<QPushButton>("Emulate");
    EXPECT_FALSE(emulate->isDefault());
    text->setFocus();
    QTest::keyClicks(text, "open notepad");
    EXPECT_TRUE(emulate->isDefault());
    script.clearCalls();
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(script.callCount("emulateRecognition(open notepad)"), 1);
    EXPECT_EQ(text->toPlainText(), "open notepad") << "Enter did not add a line";
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

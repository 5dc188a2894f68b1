#include "recognition/RecognitionSetup.h"

#include "WorkingDirectory.h"
#include "common/Failure.h"
#include "support/ScriptedRecognizer.h"

#include "TestPrinters.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(RecognitionSetup, InprocReleasesOldContextThenUsesFirstInputAndChosenEngine)
{
    ScriptedRecognizer script;
    RecognitionSetup setup(script);
    setup.createSharedContext();
    script.clearCalls();

    setup.createInprocContext(1);
    EXPECT_EQ(script.calls(),
              (QStringList{"releaseRecoContext", "createInprocRecognizer", "setAudioInput(input-1)",
                           "setRecognizer(engine-2)", "createRecoContext"}));
    ASSERT_NE(script.context(), nullptr);
    EXPECT_EQ(script.context()->scriptedRecognizer().engine().id, "engine-2");
    EXPECT_FALSE(script.context()->scriptedRecognizer().isShared());
}

TEST(RecognitionSetup, FailedCreationLeavesNoContextBehind)
{
    const struct
    {
        QString operation;
        bool shared;
    } cases[] = {
        {"createSharedRecoContext", true},
        {"createInprocRecognizer", false},
        {"audioInputs", false},
        {"setAudioInput", false},
        {"recognizers", false},
        {"setRecognizer", false},
        {"createRecoContext", false},
    };
    for (const auto &c : cases) {
        ScopedWorkingDirectory dir(true);
        ScriptedRecognizer script;
        RecognitionSetup setup(script);
        setup.createSharedContext();
        setup.LoadDictation();
        setup.LoadCommandGrammar();
        ASSERT_TRUE(setup.GrammarLoaded());

        script.failOn(c.operation);
        if (c.shared) {
            EXPECT_THROW(setup.createSharedContext(), Failure) << c.operation.toStdString();
        } else {
            EXPECT_THROW(setup.createInprocContext(0), Failure) << c.operation.toStdString();
        }
        EXPECT_EQ(setup.context(), nullptr) << c.operation.toStdString();
        EXPECT_FALSE(setup.GrammarLoaded()) << "emulation must not reach a released grammar";
        EXPECT_THROW(setup.setDictationState(true), Failure);
        EXPECT_NO_THROW(setup.Emulate("hello")) << "a gate that is shut does nothing";
        EXPECT_EQ(script.context(), nullptr) << "no half-built context left alive";
    }
}

TEST(RecognitionSetup, MissingInputOrEngineIsAFailure)
{
    ScriptedRecognizer script;
    RecognitionSetup setup(script);
    EXPECT_THROW(setup.createInprocContext(2), Failure);
    EXPECT_THROW(setup.createInprocContext(-1), Failure);
    script.audioInputs.clear();
    EXPECT_THROW(setup.createInprocContext(0), Failure);
    EXPECT_EQ(setup.context(), nullptr);
}

TEST(RecognitionSetup, LoadDictationCreatesGrammarOneWithDictationOff)
{
    ScriptedRecognizer script;
    RecognitionSetup setup(script);
    setup.createSharedContext();
    script.clearCalls();
    setup.LoadDictation();
    EXPECT_EQ(script.calls(), (QStringList{"createGrammar(1)", "dictationLoad", "dictationSetState(false)"}));
    EXPECT_TRUE(setup.hasGrammar());
}

TEST(RecognitionSetup, CommandGrammarTwoAttemptsAndItsGate)
{
    const struct
    {
        const char *name;
        bool fileExists;
        int loadFailures;
        bool ruleStateFails;
        int expectedLoadCalls;
        bool expectedLoaded;
    } cases[] = {
        {"present", true, 0, false, 1, true},
        {"missing file", false, 0, false, 2, false},
        {"first attempt fails", true, 1, false, 2, true},
        {"both attempts fail", true, 2, false, 2, false},
        {"rules stay on after a clean load", true, 0, true, 1, true},
        {"rules stay on after a retried load", true, 1, true, 2, false},
    };
    for (const auto &c : cases) {
        ScopedWorkingDirectory dir(c.fileExists);
        ASSERT_TRUE(dir.valid());
        ScriptedRecognizer script;
        RecognitionSetup setup(script);
        setup.createSharedContext();
        setup.LoadDictation();
        if (c.loadFailures)
            script.failOn("cmdLoadFromFile", c.loadFailures);
        if (c.ruleStateFails)
            script.failOn("cmdSetRuleIdState");
        script.clearCalls();

        setup.LoadCommandGrammar();
        EXPECT_EQ(script.callCount("cmdLoadFromFile(sol.xml,true)"), c.expectedLoadCalls) << c.name;
        EXPECT_EQ(setup.GrammarLoaded(), c.expectedLoaded) << c.name;
        if (c.expectedLoaded && !c.ruleStateFails) {
            EXPECT_FALSE(script.grammar()->rulesActive()) << c.name;
        }
    }
}

TEST(RecognitionSetup, EmulateSwitchesDictationAroundTheRequestWhenOff)
{
    const struct
    {
        const char *name;
        bool grammarFile;
        bool recoActive;
        QString text;
        bool emulationFails;
        QStringList expectedCalls;
        bool dictationAfter;
    } cases[] = {
        {"no command grammar", false, false, "open notepad", false, {}, false},
        {"off",
         true,
         false,
         "open notepad",
         false,
         {"dictationSetState(true)", "emulateRecognition(open notepad)", "dictationSetState(false)"},
         false},
        {"off, empty text",
         true,
         false,
         "",
         false,
         {"dictationSetState(true)", "dictationSetState(false)"},
         false},
        {"on", true, true, "open notepad", false, {"emulateRecognition(open notepad)"}, true},
        {"off, request fails",
         true,
         false,
         "x",
         true,
         {"dictationSetState(true)", "emulateRecognition(x)", "dictationSetState(false)"},
         false},
    };
    for (const auto &c : cases) {
        ScopedWorkingDirectory dir(c.grammarFile);
        ScriptedRecognizer script;
        script.emulationDelivers = false;
        RecognitionSetup setup(script);
        setup.createSharedContext();
        setup.LoadDictation();
        setup.LoadCommandGrammar();
        if (c.recoActive) {
            setup.setDictationState(true);
            setup.setRecoActive(true);
        }
        if (c.emulationFails)
            script.failOn("emulateRecognition");
        script.clearCalls();

        if (c.emulationFails) {
            EXPECT_THROW(setup.Emulate(c.text), Failure) << c.name;
        } else {
            setup.Emulate(c.text);
        }
        EXPECT_EQ(script.callsWithout("setEventInterests"), c.expectedCalls) << c.name;
        EXPECT_EQ(script.grammar()->dictationActive(), c.dictationAfter) << c.name;
    }
}

} // namespace
} // namespace kestrel

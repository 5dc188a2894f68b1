#include "recognition/RecognitionSetup.h"

#include "common/Failure.h"
#include "support/QtPrinters.h"
#include "support/ScopedWorkingDirectory.h"
#include "support/ScriptedRecognizer.h"

#include <gtest/gtest.h>

// The calls of a normal load are pinned through the recognition window.
namespace kestrel {
namespace {

/// A shared context with dictation loaded, in a working directory with or
/// without the command grammar file.
struct SharedRig
{
    explicit SharedRig(bool grammarFile) : dir(grammarFile)
    {
        setup.createSharedContext();
        setup.LoadDictation();
    }
    test::ScopedWorkingDirectory dir;
    ScriptedRecognizer script;
    RecognitionSetup setup{script};
};

TEST(RecognitionSetup, FailedCreationLeavesNoContextBehind)
{
    const std::pair<QString, bool> cases[] = {
        {"createSharedRecoContext", true},
        {"createInprocRecognizer", false},
        {"audioInputs", false},
        {"setAudioInput", false},
        {"recognizers", false},
        {"setRecognizer", false},
        {"createRecoContext", false},
    };
    for (const auto &[operation, shared] : cases) {
        SCOPED_TRACE(operation.toStdString());
        SharedRig rig(true);
        rig.setup.LoadCommandGrammar();
        ASSERT_TRUE(rig.setup.GrammarLoaded());

        rig.script.failOn(operation);
        EXPECT_THROW(shared ? rig.setup.createSharedContext() : rig.setup.createInprocContext(0), Failure);
        EXPECT_EQ(rig.setup.context(), nullptr);
        EXPECT_FALSE(rig.setup.GrammarLoaded()) << "emulation must not reach a released grammar";
        EXPECT_THROW(rig.setup.setDictationState(true), Failure);
        EXPECT_NO_THROW(rig.setup.Emulate("hello")) << "a gate that is shut does nothing";
        EXPECT_EQ(rig.script.context(), nullptr) << "no half-built context left alive";
    }
}

TEST(RecognitionSetup, MissingInputOrEngineIsAFailure)
{
    ScriptedRecognizer script;
    RecognitionSetup setup(script);
    EXPECT_THROW(setup.createInprocContext(2), Failure);
    EXPECT_THROW(setup.createInprocContext(-1), Failure);
}

// No microphone at login: the recogniser is made without one, and switching it
// on says what is missing, until an input appears and is taken.
TEST(RecognitionSetup, AnInprocRecogniserWithoutAnyInputWaitsForOne)
{
    ScriptedRecognizer script;
    script.audioInputs.clear();
    RecognitionSetup setup(script);
    ASSERT_NO_THROW(setup.createInprocContext(0));
    ASSERT_NE(setup.context(), nullptr);
    EXPECT_EQ(script.calls().filter(QStringLiteral("setAudioInput")), QStringList());
    setup.LoadDictation();
    EXPECT_THROW(setup.setDictationState(true), Failure);

    const SpeechToken headset{QStringLiteral("headset"), QStringLiteral("Headset")};
    script.audioInputs = {headset};
    EXPECT_TRUE(setup.startOnArrivedInput({headset}, [&] { setup.setDictationState(true); }));
    EXPECT_EQ(script.calls().filter(QStringLiteral("setAudioInput")), QStringList{"setAudioInput(headset)"});
    EXPECT_TRUE(script.grammar()->dictationActive());
}

TEST(RecognitionSetup, CommandGrammarTwoAttemptsAndItsGate)
{
    // name, file present, load failures, rule state fails, loads tried, loaded
    const std::tuple<const char *, bool, int, bool, int, bool> cases[] = {
        {"present", true, 0, false, 1, true},
        {"missing file", false, 0, false, 2, false},
        {"first attempt fails", true, 1, false, 2, true},
        {"both attempts fail", true, 2, false, 2, false},
        {"rules stay on after a clean load", true, 0, true, 1, true},
        {"rules stay on after a retried load", true, 1, true, 2, false},
    };
    for (const auto &[name, fileExists, loadFailures, ruleStateFails, loadsTried, loaded] : cases) {
        SCOPED_TRACE(name);
        SharedRig rig(fileExists);
        if (loadFailures)
            rig.script.failOn("cmdLoadFromFile", loadFailures);
        if (ruleStateFails)
            rig.script.failOn("cmdSetRuleIdState");
        rig.setup.LoadCommandGrammar();
        EXPECT_EQ(rig.script.callCount("cmdLoadFromFile(sol.xml,true)"), loadsTried);
        EXPECT_EQ(rig.setup.GrammarLoaded(), loaded);
        if (loaded && !ruleStateFails) {
            EXPECT_FALSE(rig.script.grammar()->rulesActive());
        }
    }
}

TEST(RecognitionSetup, EmulateSwitchesDictationAroundTheRequestWhenOff)
{
    // name, grammar file, recognition on, microphone there, text, calls
    const std::tuple<const char *, bool, bool, bool, QString, QString> cases[] = {
        {"no command grammar", false, false, true, "open notepad", ""},
        {"off", true, false, true, "open notepad",
         "dictationSetState(true) emulateRecognition(open notepad) dictationSetState(false)"},
        {"off, empty text", true, false, true, "", "dictationSetState(true) dictationSetState(false)"},
        {"on", true, true, true, "open notepad", "emulateRecognition(open notepad)"},
        // Typed text needs no microphone, and with the microphone gone, typing
        // is the user's only way left to give a command.
        {"off, no microphone", true, false, false, "open notepad",
         "dictationSetState(true) emulateRecognition(open notepad)"},
    };
    for (const auto &[name, grammarFile, recoActive, microphone, text, expectedCalls] : cases) {
        SCOPED_TRACE(name);
        SharedRig rig(grammarFile);
        rig.script.emulationDelivers = false;
        rig.setup.LoadCommandGrammar();
        if (recoActive) {
            rig.setup.setDictationState(true);
            rig.setup.setRecoActive(true);
        }
        if (!microphone)
            rig.script.failOn(QStringLiteral("dictationSetState"));
        rig.script.clearCalls();
        EXPECT_NO_THROW(rig.setup.Emulate(text));
        EXPECT_EQ(rig.script.callsWithout("setEventInterests").join(' '), expectedCalls);
        EXPECT_EQ(rig.script.grammar()->dictationActive(), recoActive);
    }
}

} // namespace
} // namespace kestrel

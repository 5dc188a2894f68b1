// The assembled program on a recording desktop with the scripted voice and
// recogniser: start-up wiring, a phrase from the recogniser carried out with its
// spoken announcement, settings saved at the end.
#include "ProgramFixture.h"

#include "support/ScriptedRecognizer.h"
#include "support/ScriptedVoice.h"

#include "command_table/CommandTableModel.h"
#include "common/Failure.h"
#include "interpreter/Interpreter.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

class ProgramTest : public ::testing::Test
{
protected:
    ProgramTest()
        : fixture(
              [this] {
                  auto voice = std::make_unique<ScriptedVoice>();
                  voice->autoPlay = true; // streams start and end by themselves, queued
                  m_voice = voice.get();
                  return voice;
              },
              [](CommandVocabulary &) { return std::make_unique<ScriptedRecognizer>(); })
    {
        fixture.program().start();
    }

    SpeechForm &form() { return fixture.program().form(); }

    // Declared before the fixture: the fixture's construction sets it.
    ScriptedVoice *m_voice = nullptr;
    ProgramFixture fixture;
};

TEST_F(ProgramTest, StartUpLoadsTheVoiceAndTheRecogniserAndListens)
{
    ASSERT_NE(m_voice, nullptr);
    EXPECT_TRUE(form().isVisible());
    EXPECT_TRUE(form().isListening());
    EXPECT_EQ(fixture.debugControl<QPushButton>("Recognition")->text(), QStringLiteral("Stop Recognition"));
    EXPECT_FALSE(fixture.program().debugForm().isVisible());
    ASSERT_NE(fixture.program().tts(), nullptr);
    EXPECT_FALSE(fixture.program().tts()->isVisible());
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(" | ").toStdString();
}

TEST_F(ProgramTest, AnEmulatedCommandIsAnnouncedCarriedOutAndListeningResumes)
{
    fixture.debugControl<QCheckBox>("ExecutingCB")->setChecked(true);
    fixture.desktop.clearLog();
    fixture.emulate(QStringLiteral("copy"));
    ASSERT_TRUE(fixture.runUntilDesktopDid(QStringLiteral("keys ^c wait"))) << fixture.desktopLog();

    ASSERT_FALSE(m_voice->speakCalls.isEmpty());
    EXPECT_EQ(m_voice->speakCalls.first().text, QStringLiteral("Executing copy"));
    EXPECT_EQ(m_voice->speakCalls.first().flags, 11);
    EXPECT_TRUE(fixture.runUntil([&] { return form().isListening(); }));
    EXPECT_EQ(fixture.program().shared().RecoText, QStringLiteral("copy"));
}

TEST_F(ProgramTest, ACommandEmulatedWhileSwitchedOffLeavesRecognitionOff)
{
    // With and without a spoken announcement, and for a launch that pauses
    // listening while it waits for the new window: neither the command nor the
    // voice may switch listening back on, nor make the buttons say it is on.
    CommandTableModel &model = fixture.program().model();
    ASSERT_EQ(model.commandRow(1).WordPhrase, QStringLiteral("OPEN EDITOR"));
    ASSERT_TRUE(model.setData(model.index(1, 2), QStringLiteral("/usr/bin/kestrel-editor")));
    fixture.desktop.addFile(QStringLiteral("/usr/bin/kestrel-editor"));
    fixture.desktop.addExecutable(QStringLiteral("/usr/bin/kestrel-editor"));
    const std::tuple<const char *, const char *> commands[] = {
        {"copy", "keys ^c wait"}, {"open editor", "start /usr/bin/kestrel-editor []"}};
    for (const auto &[said, done] : commands) {
        for (const bool announced : {false, true}) {
            SCOPED_TRACE(std::string(said) + (announced ? ", announced" : ", silent"));
            fixture.debugControl<QCheckBox>("ExecutingCB")->setChecked(announced);
            form().findChild<QPushButton *>(QStringLiteral("BtnStop"))->click();
            ASSERT_FALSE(form().isListening());
            m_voice->speakCalls.clear();
            fixture.desktop.clearLog();
            fixture.program().slots().clearStartups();
            fixture.desktop.planLaunch({.window = 0x40, .appearsAfterPolls = 2});

            fixture.emulate(QLatin1String(said));
            ASSERT_TRUE(fixture.runUntilDesktopDid(QLatin1String(done))) << fixture.desktopLog();
            if (announced) {
                ASSERT_TRUE(fixture.runUntil([&] { return !m_voice->speakCalls.isEmpty(); }));
                ASSERT_TRUE(fixture.runUntil([&] { return !fixture.program().tts()->isSpeaking(); }));
            }
            fixture.runUntil([] { return false; }, 200); // whatever is still queued
            EXPECT_EQ(fixture.debugControl<QPushButton>("Recognition")->text(),
                      QStringLiteral("Start Recognition"));
            EXPECT_FALSE(form().isListening());
            EXPECT_FALSE(form().findChild<QPushButton *>(QStringLiteral("BtnStop"))->isEnabled());
            EXPECT_TRUE(form().findChild<QPushButton *>(QStringLiteral("BtnStart"))->isEnabled());
            form().findChild<QPushButton *>(QStringLiteral("BtnStart"))->click();
            ASSERT_TRUE(form().isListening());
        }
    }
}

TEST_F(ProgramTest, ATextCommandTypesTheNextPhraseLiterally)
{
    fixture.desktop.clearLog();
    fixture.emulate(QStringLiteral("type text"));
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.program().interpreter().dictating(); }));
    fixture.emulate(QStringLiteral("50% off + more"));
    EXPECT_TRUE(fixture.runUntilDesktopDid(QStringLiteral("type 50% off + more"))) << fixture.desktopLog();
    EXPECT_FALSE(fixture.program().interpreter().dictating());
}

TEST_F(ProgramTest, DeletingARowLeavesEveryOpenCommandWithItsOwnWindow)
{
    // The terminal (row 1) and the editor (row 2) have been opened.
    OpenProgramSlots &slots = fixture.program().slots();
    for (const auto &[slot, phrase, window] :
         {std::tuple{1, "OPEN TERMINAL", WindowId(0x11)}, {2, "OPEN EDITOR", WindowId(0x22)}}) {
        slots.setPhrase(slot, QLatin1String(phrase));
        slots.setWindow(slot, window);
        fixture.desktop.addWindow(window);
    }
    ASSERT_TRUE(fixture.program().model().removeRow(0));

    fixture.desktop.clearLog();
    fixture.emulate(QStringLiteral("open editor"));
    ASSERT_TRUE(fixture.runUntil([&] { return !fixture.desktop.actions().isEmpty(); }));
    EXPECT_EQ(fixture.desktop.actions(), QStringList{QStringLiteral("activate 0x22")});
}

TEST_F(ProgramTest, QuittingSavesTheSettingsChangedByVoice)
{
    fixture.emulate(QStringLiteral("confirmation")); // toggles "Vocal Confirmation" on
    auto *confirmation = fixture.debugControl<QCheckBox>("ConfirmationCB");
    ASSERT_TRUE(fixture.runUntil([&] { return confirmation->isChecked(); }));

    // With confirmation on, "quit kestrel" is only asked about; "yes" carries it out.
    fixture.emulate(QStringLiteral("quit kestrel"));
    ASSERT_TRUE(
        fixture.runUntil([&] { return fixture.program().interpreter().pendingPhrase() == "quit kestrel"; }));
    EXPECT_FALSE(fixture.ended);
    ASSERT_FALSE(m_voice->speakCalls.isEmpty());
    EXPECT_EQ(m_voice->speakCalls.last().text, QStringLiteral("Did You Say quit kestrel"));
    fixture.emulate(QStringLiteral("yes"));
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.ended; }));

    QFile ini(fixture.path("KESTREL.INI"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray content = ini.readAll();
    EXPECT_TRUE(content.contains("CHKCONFIRM= 1\r\n")) << content.constData();
    EXPECT_TRUE(content.contains("EXECUTING=Executing\r\n")) << content.constData();
}

// A logout under a session manager asks the application to quit. With the
// voice or setup window open in front of the main one, that request met their
// refusal to close, and the program went on with the day's settings unsaved.
TEST_F(ProgramTest, TheSessionsQuitRequestEndsTheProgramAndSavesWhateverWindowsAreOpen)
{
    fixture.emulate(QStringLiteral("confirmation")); // toggles "Vocal Confirmation" on
    auto *confirmation = fixture.debugControl<QCheckBox>("ConfirmationCB");
    ASSERT_TRUE(fixture.runUntil([&] { return confirmation->isChecked(); }));
    // Only the voice and setup windows are open, so Qt's own answer cannot
    // happen to reach the main window first.
    form().hide();
    fixture.program().debugForm().show();
    ASSERT_NE(fixture.program().tts(), nullptr);
    fixture.program().tts()->show();

    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    ASSERT_TRUE(fixture.runUntil([&] { return fixture.ended; }, 5000));
    QFile ini(fixture.path("KESTREL.INI"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("CHKCONFIRM= 1\r\n"));
}

// A voice that cannot be created (its data missing, say) leaves the program
// working, without a voice, and the user is told why. The box must not hold up
// listening: a user who cannot reach the keyboard cannot close it, and
// commands still work without a voice.
// The menu entry of a minimised setup window seemed to do nothing: the window
// stayed minimised, where a keyboard user cannot reach it.
TEST_F(ProgramTest, TheMenuBringsBackAMinimisedSetupWindow)
{
    const struct
    {
        const char *name;
        QWidget *window;
        const char *menuEntry;
    } cases[] = {
        {"voice", fixture.program().tts(), "TXTS"},
        {"recognition", &fixture.program().debugForm(), "setup"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.window, nullptr);
        c.window->showMinimized();
        ASSERT_TRUE(c.window->isMinimized());
        QAction *entry = form().findChild<QAction *>(QLatin1String(c.menuEntry));
        ASSERT_NE(entry, nullptr);
        entry->trigger();
        EXPECT_FALSE(c.window->isMinimized());
        EXPECT_TRUE(c.window->isVisible());
        c.window->hide();
    }
}

TEST(ProgramWithoutAVoice, StartsListensAndSaysWhyNothingIsHeard)
{
    ProgramFixture fixture(
        []() -> std::unique_ptr<VoiceEngine> { throw Failure(QStringLiteral("no voice data")); },
        [](CommandVocabulary &) { return std::make_unique<ScriptedRecognizer>(); });
    bool listeningWhileShown = false;
    fixture.boxes.whileShown = [&] { listeningWhileShown = fixture.program().form().isListening(); };
    fixture.program().start();
    ASSERT_TRUE(fixture.runUntil([&] { return !fixture.boxes.shown.isEmpty(); }, 5000));
    EXPECT_TRUE(listeningWhileShown);
    ASSERT_NE(fixture.program().tts(), nullptr);
    EXPECT_EQ(
        fixture.boxes.texts(),
        QStringList{"No voice could be started: no voice data\nKESTREL's spoken answers will not be heard."});
}

} // namespace
} // namespace kestrel::test

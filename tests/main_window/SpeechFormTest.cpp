#include "support/FakeHosts.h"
#include "support/QtPrinters.h"
#include "support/RecordingDesktop.h"

#include "command_table/CommandStore.h"
#include "command_table/CommandTableModel.h"
#include "interpreter/OpenProgramSlots.h"
#include "main_window/QtMessageBoxes.h"
#include "main_window/SpeechForm.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <utility>

namespace kestrel::test {
namespace {

/// The recognition window's switch as the main window sees it: it keeps the
/// on/off state in its caption and tells the main window about every switch,
/// as the real window does. It can fail to load or to activate.
class FakeRecognitionWindow final : public RecognitionWindowLink
{
public:
    explicit FakeRecognitionWindow(QStringList &log) : m_log(log) {}
    MainWindowLink *mainWindow = nullptr;
    bool failActivation = false;
    /// Runs where the real window shows its activation failure in a modal box,
    /// whose event loop lets anything else happen meanwhile.
    std::function<void()> whileFailureBoxIsOpen;
    bool throwOnLoad = false;
    QString caption = QStringLiteral("Start Recognition");

    QString recognitionCaption() override
    {
        load();
        return caption;
    }
    void clickIt() override { switchAs(QStringLiteral("clickIt")); }
    void pauseOrResume() override { switchAs(QStringLiteral("pauseOrResume")); }
    void switchAs(const QString &call)
    {
        load();
        m_log.append(call);
        if (failActivation) {
            // The real window shows its activation message and changes nothing.
            if (whileFailureBoxIsOpen)
                std::exchange(whileFailureBoxIsOpen, nullptr)();
            return;
        }
        const bool on = caption == QLatin1String("Start Recognition");
        caption = on ? QStringLiteral("Stop Recognition") : QStringLiteral("Start Recognition");
        on ? mainWindow->recognitionSwitchedOn() : mainWindow->recognitionSwitchedOff();
    }
    void stayOff() override { m_log.append(QStringLiteral("stayOff")); }
    FeedbackSettings &feedback() override { std::abort(); } // the main window never reads them
    void showWindow() override { m_log.append(QStringLiteral("show recognition window")); }
    void unload() override { m_log.append(QStringLiteral("unload recognition window")); }

private:
    void load()
    {
        if (m_loaded)
            return;
        m_loaded = true;
        m_log.append(QStringLiteral("load recognition window"));
        if (throwOnLoad)
            throw std::runtime_error("no engine");
    }
    QStringList &m_log;
    bool m_loaded = false;
};

class FakeTtsWindow final : public TtsWindowLink
{
public:
    explicit FakeTtsWindow(QStringList &log) : m_log(log) {}
    int clipboardMonitorState() const override { return 0; }
    void setMainText(const QString &text) override { m_log.append(QStringLiteral("text ") + text); }
    void speakIt() override { m_log.append(QStringLiteral("speakIt")); }
    bool speaking = false;
    bool isSpeaking() const override { return speaking; }
    void speakItX() override { m_log.append(QStringLiteral("speakItX")); }
    void loadDat() override { m_log.append(QStringLiteral("loadDat")); }
    void saveDat() override { m_log.append(QStringLiteral("saveDat")); }
    void showWindow() override { m_log.append(QStringLiteral("show tts window")); }
    void unload() override { m_log.append(QStringLiteral("unload tts window")); }

private:
    QStringList &m_log;
};

class SpeechFormTest : public ::testing::Test
{
protected:
    SpeechFormTest()
    {
        recognition.mainWindow = &form;
        form.setProgramEnd([this] { log.append(QStringLiteral("end program")); });
    }

    template <typename T> T *control(const char *name) const
    {
        T *widget = form.findChild<T *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton *button(const char *name) const { return control<QPushButton>(name); }
    QAction *menu(const char *name) const { return control<QAction>(name); }
    void startUp()
    {
        form.startUp([this] { log.append(QStringLiteral("load tts window")); });
    }
    /// Started up, the table unlocked, the window shown and active; false when
    /// it never became active.
    bool startUpUnlockedInFront()
    {
        startUp();
        button("LockTbl")->click();
        form.show();
        QApplication::setActiveWindow(&form);
        return QTest::qWaitForWindowActive(&form);
    }

    /// A main window of its own on the same table, started up, whose recognition
    /// window logs into `log`.
    struct OwnForm
    {
        explicit OwnForm(SpeechFormTest &t) : form({t.model, t.desktop, t.boxes, t.slots, rec, t.tts})
        {
            rec.mainWindow = &form;
            form.startUp([] {});
        }
        QStringList log;
        FakeRecognitionWindow rec{log};
        SpeechForm form;
    };
    std::unique_ptr<OwnForm> startOwnForm() { return std::make_unique<OwnForm>(*this); }

    /// A main window of its own on `tableModel`, logging into `log` (the end of
    /// the program too), with its table unlocked.
    struct LeavingForm
    {
        LeavingForm(SpeechFormTest &t, CommandTableModel &tableModel)
            : form({tableModel, t.desktop, t.boxes, t.slots, rec, voice})
        {
            rec.mainWindow = &form;
            form.setProgramEnd([this] { log.append(QStringLiteral("end program")); });
            form.startUp([] {});
            form.findChild<QPushButton *>("LockTbl")->click();
        }
        /// Opens the editor of `cell` and types `text`, leaving it open as a user
        /// who walks away mid-edit; false when no editor opened.
        bool leaveEditOpen(const QModelIndex &cell, const QString &text)
        {
            auto *grid = form.findChild<QTableView *>("DBGrid1");
            grid->setCurrentIndex(cell);
            grid->edit(cell);
            const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
            if (editors.size() != 1)
                return false;
            editors.first()->setText(text);
            log.clear();
            return true;
        }
        QStringList log;
        FakeRecognitionWindow rec{log};
        FakeTtsWindow voice{log};
        SpeechForm form;
    };

    QTemporaryDir dir;
    FakeMessageBoxes boxes;
    RecordingDesktop desktop;
    OpenProgramSlots slots;
    CommandStore store{dir.filePath(QStringLiteral("SELEC.db"))};
    CommandTableModel model{store, boxes};
    QStringList log;
    FakeRecognitionWindow recognition{log};
    FakeTtsWindow tts{log};
    SpeechForm form{{model, desktop, boxes, slots, recognition, tts}};
};

TEST_F(SpeechFormTest, StartUpWithWorkingRecogniserListensAndLocksTheTable)
{
    slots.setPhrase(5, QStringLiteral("OPEN EDITOR"));
    slots.setWindow(5, 42);
    startUp();

    EXPECT_EQ(form.windowTitle(), QStringLiteral("KESTREL"));
    EXPECT_FALSE(button("BtnStart")->isEnabled());
    EXPECT_TRUE(button("BtnStop")->isEnabled());
    EXPECT_EQ(button("LockTbl")->text(), QStringLiteral("Unlock Table"));
    EXPECT_FALSE(control<QTableView>("DBGrid1")->isEnabled());
    EXPECT_EQ(recognition.caption, QStringLiteral("Stop Recognition"));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(control<QLabel>("LblStatus")->isVisible());
    EXPECT_FALSE(control<QLabel>("Data1")->isVisible());
    EXPECT_EQ(slots.phrase(5), QStringLiteral("NULL"));
    EXPECT_EQ(slots.window(5), 0u);
    // The voice window exists before the recognition window reads the settings.
    EXPECT_EQ(log, (QStringList{"load tts window", "load recognition window", "clickIt"}));
}

TEST_F(SpeechFormTest, StartUpGoesOnWhenTheRecogniserFails)
{
    for (const bool throwOnLoad : {true, false}) {
        SCOPED_TRACE(throwOnLoad ? "load throws" : "activation fails");
        FakeRecognitionWindow failing(log);
        failing.throwOnLoad = throwOnLoad;
        failing.failActivation = !throwOnLoad;
        SpeechForm other({model, desktop, boxes, slots, failing, tts});
        failing.mainWindow = &other;
        other.startUp([] {});
        EXPECT_TRUE(other.isVisible());
        EXPECT_EQ(failing.caption, QStringLiteral("Start Recognition"));
        // The buttons agree with the caption, so Start can be pressed again.
        EXPECT_FALSE(other.isListening());
        EXPECT_TRUE(other.findChild<QPushButton *>(QStringLiteral("BtnStart"))->isEnabled());
        other.hide();
    }
}

TEST_F(SpeechFormTest, ButtonsFollowTheRecognitionWindowWhenASwitchFails)
{
    // Whichever way the switch fails, the recognition window keeps its state and
    // says so in its caption; the buttons must say the same, or Stop is dead
    // while the program goes on hearing (or Start while it is deaf).
    const std::tuple<const char *, bool, const char *> cases[] = {
        {"stopping fails", true, "BtnStop"},
        {"unlocking the table cannot stop listening", true, "LockTbl"},
        {"starting fails", false, "BtnStart"},
    };
    for (const auto &[name, listeningBefore, pressed] : cases) {
        SCOPED_TRACE(name);
        const std::unique_ptr<OwnForm> own = startOwnForm();
        SpeechForm &other = own->form;
        FakeRecognitionWindow &rec = own->rec;
        const QStringList &caseLog = own->log;
        if (!listeningBefore)
            other.findChild<QPushButton *>(QStringLiteral("BtnStop"))->click();
        ASSERT_EQ(other.isListening(), listeningBefore);
        rec.failActivation = true;

        other.findChild<QPushButton *>(QLatin1String(pressed))->click();
        EXPECT_EQ(caseLog.count(QStringLiteral("clickIt")), listeningBefore ? 2 : 3);
        EXPECT_EQ(rec.caption, listeningBefore ? "Stop Recognition" : "Start Recognition");
        EXPECT_EQ(other.isListening(), listeningBefore);
        EXPECT_EQ(other.findChild<QPushButton *>(QStringLiteral("BtnStop"))->isEnabled(), listeningBefore);
        EXPECT_EQ(other.findChild<QPushButton *>(QStringLiteral("BtnStart"))->isEnabled(), !listeningBefore);
        // The table is never open for editing while recognition runs.
        if (listeningBefore) {
            EXPECT_EQ(other.findChild<QPushButton *>(QStringLiteral("LockTbl"))->text(), "Unlock Table");
            EXPECT_FALSE(other.findChild<QTableView *>(QStringLiteral("DBGrid1"))->isEnabled());
        }
        other.hide();
    }
}

TEST_F(SpeechFormTest, AResumeAfterAPauseNeverUndoesWhatTheUserDidMeanwhile)
{
    // The voice, a launch and a printout pause listening around what they do and
    // resume it after. A resume may switch on only what its pause switched off,
    // and never after the user unlocked the table to edit it.
    enum class Before { Listening, StoppedLocked, StoppedUnlocked };
    const std::tuple<const char *, Before, bool, bool> cases[] = {
        {"nothing pressed", Before::Listening, false, true},
        {"Unlock Table pressed during the pause", Before::Listening, true, false},
        {"stopped, table still locked (an emulated OPEN)", Before::StoppedLocked, false, false},
        {"stopped and unlocked (an emulated OPEN)", Before::StoppedUnlocked, false, false},
    };
    for (const auto &[name, before, unlockDuring, listeningAfter] : cases) {
        SCOPED_TRACE(name);
        const std::unique_ptr<OwnForm> own = startOwnForm();
        SpeechForm &other = own->form;
        FakeRecognitionWindow &rec = own->rec;
        auto *lock = other.findChild<QPushButton *>(QStringLiteral("LockTbl"));
        if (before == Before::StoppedLocked)
            other.findChild<QPushButton *>(QStringLiteral("BtnStop"))->click();
        if (before == Before::StoppedUnlocked)
            lock->click();
        const QString lockBefore = lock->text();
        own->log.clear();

        other.stopListening();
        if (unlockDuring)
            lock->click();
        other.startListening();

        // The recognition window must not take the program's own pause for the
        // user's switch: it tells a failed resume in a notice, not a box.
        EXPECT_EQ(own->log.count(QStringLiteral("clickIt")), 0) << own->log.join(", ").toStdString();
        EXPECT_EQ(own->log.count(QStringLiteral("pauseOrResume")),
                  before == Before::Listening ? (unlockDuring ? 1 : 2) : 0);
        EXPECT_EQ(other.isListening(), listeningAfter);
        EXPECT_EQ(rec.caption, listeningAfter ? "Stop Recognition" : "Start Recognition");
        const QString lockAfter = unlockDuring ? QStringLiteral("Lock Table") : lockBefore;
        EXPECT_EQ(lock->text(), lockAfter);
        EXPECT_EQ(other.findChild<QTableView *>(QStringLiteral("DBGrid1"))->isEnabled(),
                  lockAfter == QLatin1String("Lock Table"));
        other.hide();
    }
}

// Feedback read from the clipboard, or a nested run's answer, may still be
// speaking when a launch ends its pause: switched on then, the recogniser
// heard the program's own voice. The end of the speech resumes instead, unless
// the user unlocked the table or started meanwhile.
TEST_F(SpeechFormTest, AResumeWhileTheVoiceSpeaksWaitsForTheEndOfTheSpeech)
{
    enum class During { Nothing, UnlockPressed, StartPressed };
    const std::tuple<const char *, During, bool> cases[] = {
        {"nothing pressed", During::Nothing, true},
        {"Unlock Table pressed while it spoke", During::UnlockPressed, false},
        {"Start pressed while it spoke", During::StartPressed, true},
    };
    for (const auto &[name, during, listeningAfter] : cases) {
        SCOPED_TRACE(name);
        const std::unique_ptr<OwnForm> own = startOwnForm();
        SpeechForm &other = own->form;
        ASSERT_TRUE(other.isListening());
        other.holdListening(); // a launch waits for its window
        tts.speaking = true;
        other.releaseListening(true); // the window came up mid-sentence
        EXPECT_FALSE(other.isListening());
        EXPECT_EQ(own->rec.caption, "Start Recognition") << "not while the voice speaks";
        if (during == During::UnlockPressed)
            other.findChild<QPushButton *>(QStringLiteral("LockTbl"))->click();
        if (during == During::StartPressed)
            other.findChild<QPushButton *>(QStringLiteral("BtnStart"))->click();
        tts.speaking = false;
        other.speechEnded();
        EXPECT_EQ(other.isListening(), listeningAfter);
        EXPECT_EQ(own->rec.caption, listeningAfter ? "Stop Recognition" : "Start Recognition");
        // A later end of speech owes nothing.
        if (!listeningAfter) {
            other.speechEnded();
            EXPECT_FALSE(other.isListening());
        }
        other.hide();
    }
}

// The end of a sentence switches listening on; with the microphone just gone
// that fails, and the failure box's event loop runs inside the switch. The
// buttons must tell the truth meanwhile, and what happens while the box is up
// (the microphone back, another answer spoken) must not be undone when the box
// closes, or a user who cannot close it is left deaf.
TEST_F(SpeechFormTest, AFailedStartsBoxNeitherShowsListeningNorUndoesWhatHappensWhileItIsOpen)
{
    const std::unique_ptr<OwnForm> own = startOwnForm();
    SpeechForm &mine = own->form;
    ASSERT_TRUE(mine.isListening());
    mine.stopListening(); // the voice starts a sentence
    own->rec.failActivation = true;
    bool listeningShownDuringBox = true;
    own->rec.whileFailureBoxIsOpen = [&] {
        listeningShownDuringBox = mine.isListening();
        // The microphone comes back, and the input watch switches on.
        own->rec.failActivation = false;
        own->rec.clickIt();
        ASSERT_TRUE(mine.isListening());
        // A phrase heard: its answer pauses listening, and is still speaking.
        tts.speaking = true;
        mine.stopListening();
    };
    mine.startListening(); // the sentence ended
    EXPECT_FALSE(listeningShownDuringBox) << "nothing listens while the box is up";
    EXPECT_FALSE(mine.isListening());
    // The answer ends: its pause is resumed.
    tts.speaking = false;
    mine.startListening();
    mine.speechEnded();
    EXPECT_TRUE(mine.isListening());
    EXPECT_EQ(own->rec.caption, "Stop Recognition");
}

// A print dialog or a launch wait lets events run. A reading that ends inside
// it owes listening back, but switched on there, the next phrase heard would
// run inside the wait: "new line" would press the print dialog's Print button.
TEST_F(SpeechFormTest, AReadingThatEndsInsideAWaitResumesOnlyWhenTheWaitEnds)
{
    enum class Ends { InsideTheWait, AfterTheWait };
    const struct
    {
        const char *name;
        bool listeningBefore;
        int holds; ///< nested waits
        Ends readingEnds;
    } cases[] = {
        {"reading ends inside the wait", true, 1, Ends::InsideTheWait},
        {"reading ends inside a nested wait", true, 2, Ends::InsideTheWait},
        {"reading goes on after the wait", true, 1, Ends::AfterTheWait},
        {"listening was off", false, 1, Ends::InsideTheWait},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<OwnForm> own = startOwnForm();
        SpeechForm &mine = own->form;
        if (!c.listeningBefore)
            mine.StopListening();
        // The voice starts reading: its pause.
        tts.speaking = true;
        mine.stopListening();
        for (int i = 0; i < c.holds; ++i)
            mine.holdListening();
        const auto readingEnds = [&] {
            tts.speaking = false;
            if (c.listeningBefore)
                mine.startListening();
            mine.speechEnded();
        };
        if (c.readingEnds == Ends::InsideTheWait) {
            readingEnds();
            EXPECT_FALSE(mine.isListening()) << "inside the wait";
        }
        for (int i = 0; i < c.holds; ++i) {
            EXPECT_FALSE(mine.isListening()) << "inside the wait";
            mine.releaseListening(true);
        }
        if (c.readingEnds == Ends::AfterTheWait) {
            EXPECT_FALSE(mine.isListening()) << "while the voice speaks";
            readingEnds();
        }
        EXPECT_EQ(mine.isListening(), c.listeningBefore);
        EXPECT_EQ(own->rec.caption, c.listeningBefore ? "Stop Recognition" : "Start Recognition");
    }
}

// The setup window's own button switches recognition too: switched on and off
// there during a pause, recognition stays off when the pause ends, as it does
// after the main window's Stop.
TEST_F(SpeechFormTest, AStopInTheSetupWindowDuringAPauseIsNotUndoneByItsResume)
{
    for (const bool speakingAtResume : {false, true}) {
        SCOPED_TRACE(speakingAtResume ? "the resume waited for the voice" : "a launch's resume");
        const std::unique_ptr<OwnForm> own = startOwnForm();
        SpeechForm &other = own->form;
        ASSERT_TRUE(other.isListening());
        other.stopListening(); // a launch waits for its window
        if (speakingAtResume) {
            tts.speaking = true;
            other.startListening(); // postponed to the end of the speech
        }
        own->rec.clickIt(); // Start, then Stop, in the setup window
        own->rec.clickIt();
        ASSERT_EQ(own->rec.caption, "Start Recognition");
        if (speakingAtResume) {
            tts.speaking = false;
            other.speechEnded();
        } else {
            other.startListening();
        }
        EXPECT_FALSE(other.isListening());
        EXPECT_EQ(own->rec.caption, "Start Recognition");
    }
}

// Start and Stop Recognition disable themselves: the focus went on to Delete
// Record, where a keyboard user's next Space asked to delete a command.
TEST_F(SpeechFormTest, TheKeyboardFocusMovesBetweenStartAndStop)
{
    const std::unique_ptr<OwnForm> own = startOwnForm();
    SpeechForm &other = own->form;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    const std::pair<const char *, const char *> presses[] = {
        {"BtnStop", "BtnStart"}, {"BtnStart", "BtnStop"}, {"BtnStop", "BtnStart"}};
    for (const auto &[pressed, focused] : presses) {
        SCOPED_TRACE(pressed);
        auto *button = other.findChild<QPushButton *>(QLatin1String(pressed));
        ASSERT_TRUE(button->isEnabled());
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(focused));
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
    other.hide();
}

// Listening pauses at every spoken answer, mostly while this window is behind
// the program being driven. A switch made then must still leave the window's
// focus on the pair, or the user's Space back here asks to delete a command.
TEST_F(SpeechFormTest, TheFocusStaysOnStartAndStopWhileTheWindowIsBehind)
{
    const struct
    {
        const char *name;
        std::function<void(SpeechForm &)> switches;
        const char *focused;
    } cases[] = {
        {"paused and resumed", [](SpeechForm &f) { f.stopListening(); f.startListening(); }, "BtnStop"},
        {"paused", [](SpeechForm &f) { f.stopListening(); }, "BtnStart"},
        {"switched off", [](SpeechForm &f) { f.StopListening(); }, "BtnStart"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<OwnForm> own = startOwnForm();
        SpeechForm &mine = own->form;
        mine.show();
        QApplication::setActiveWindow(&mine);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&mine));
        mine.findChild<QPushButton *>("BtnStop")->setFocus();
        QWidget front;
        front.show();
        QApplication::setActiveWindow(&front);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&front));

        c.switches(mine);
        QApplication::setActiveWindow(&mine);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&mine));
        ASSERT_NE(mine.focusWidget(), nullptr);
        EXPECT_EQ(mine.focusWidget()->objectName(), QLatin1String(c.focused));
        mine.hide();
    }
}

// A command that types while this window is in front (the program the keys
// were meant for has just been closed) must press none of its buttons: Stop
// Recognition would leave a user who cannot use the keyboard without a voice.
TEST_F(SpeechFormTest, KeysACommandTypesIntoThisWindowPressNoButton)
{
    const std::unique_ptr<OwnForm> own = startOwnForm();
    SpeechForm &other = own->form;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    auto &host = static_cast<MainWindowControl &>(other);
    for (const char *name : {"BtnStop", "Command1", "Command2"}) {
        SCOPED_TRACE(name);
        own->log.clear();
        QWidget *focused = other.findChild<QPushButton *>(QLatin1String(name));
        focused->setFocus();
        host.keysAboutToBeTyped();
        QTest::keyClicks(focused, QStringLiteral("hello world"));
        QTest::keyClick(focused, Qt::Key_Return);
        QTest::keyClick(focused, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        host.keysTyped();
        EXPECT_TRUE(other.findChild<QPushButton *>("BtnStop")->isEnabled()) << "still listening";
        EXPECT_TRUE(own->log.isEmpty()) << own->log.join(u',').toStdString();
        EXPECT_TRUE(boxes.shown.isEmpty());
        EXPECT_EQ(QApplication::focusWidget(), focused);
    }

    // The typing over, the user's own Space presses the button again.
    host.keysTyped(); // one end too many is harmless
    QTest::keyClick(other.findChild<QPushButton *>("BtnStop"), Qt::Key_Space);
    EXPECT_FALSE(other.findChild<QPushButton *>("BtnStop")->isEnabled());
    other.hide();
}

TEST_F(SpeechFormTest, ListeningSwitchesAndTheTableLock)
{
    startUp();
    log.clear();
    QPushButton *lock = button("LockTbl");
    auto *grid = control<QTableView>("DBGrid1");

    button("BtnStop")->click();
    EXPECT_TRUE(button("BtnStart")->isEnabled());
    EXPECT_FALSE(button("BtnStop")->isEnabled());
    EXPECT_FALSE(form.isListening());
    EXPECT_EQ(lock->text(), QStringLiteral("Unlock Table")) << "stopping does not unlock";
    form.StopListening(); // already off: nothing happens
    EXPECT_EQ(log, QStringList{"clickIt"});

    button("BtnStart")->click();
    EXPECT_FALSE(button("BtnStart")->isEnabled());
    EXPECT_TRUE(form.isListening());
    EXPECT_EQ(log.count(QStringLiteral("clickIt")), 2);

    log.clear();
    lock->click(); // locked and listening -> unlocked, listening off
    EXPECT_EQ(log, (QStringList{"stayOff", "clickIt"})) << "no microphone may switch it back on mid-edit";
    EXPECT_EQ(lock->text(), QStringLiteral("Lock Table"));
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_FALSE(form.isListening());
    lock->click(); // unlocked -> locked, listening unchanged
    EXPECT_EQ(lock->text(), QStringLiteral("Unlock Table"));
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_FALSE(form.isListening());
    lock->click();
    button("BtnStart")->click(); // recognition on forces the lock
    EXPECT_EQ(lock->text(), QStringLiteral("Unlock Table"));
    EXPECT_FALSE(grid->isEnabled());
}

TEST_F(SpeechFormTest, DeleteRecordAsksAndRespectsTheLock)
{
    startUp();
    const int before = static_cast<int>(store.rows().size());
    ASSERT_GT(before, 2);
    const QString secondPhrase = store.rows().at(1).row.WordPhrase;

    button("Command1")->click(); // locked: refused without a question
    EXPECT_EQ(static_cast<int>(store.rows().size()), before);
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.last(), (FakeMessageBoxes::Shown{"KESTREL", "Table is locked"}));

    button("LockTbl")->click();
    control<QTableView>("DBGrid1")->setCurrentIndex(model.index(1, 0));
    boxes.answers = {MessageBoxes::Answer::No, MessageBoxes::Answer::Yes};
    button("Command1")->click();
    EXPECT_EQ(static_cast<int>(store.rows().size()), before);
    button("Command1")->click();
    ASSERT_EQ(static_cast<int>(store.rows().size()), before - 1);
    EXPECT_NE(store.rows().at(1).row.WordPhrase, secondPhrase);
    EXPECT_EQ(model.rowCount(), before); // the rows left plus the new-row line
}

// A keyboard user deletes row after row without leaving the button: after
// each delete the grid keeps a current row where the deleted one was (the last
// row when that was the last), so the next Yes deletes it, and an arrow key
// goes on from there. A table read again (for a printout) keeps the place too.
TEST_F(SpeechFormTest, TheGridKeepsItsPlaceWhenTheTableIsReadAgain)
{
    startUp();
    button("LockTbl")->click();
    auto *grid = control<QTableView>("DBGrid1");
    const int stored = model.storedRowCount();
    ASSERT_GT(stored, 3);
    const struct
    {
        const char *name;
        int row;
        int column;
        bool deletes;
        int after;
    } cases[] = {
        {"delete a middle row", 1, 0, true, 1},
        {"delete the last row", stored - 2, 2, true, stored - 3},
        {"read again", 1, 2, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int before = model.storedRowCount();
        grid->setCurrentIndex(model.index(c.row, c.column));
        if (c.deletes) {
            boxes.answers = {MessageBoxes::Answer::Yes};
            button("Command1")->click();
            ASSERT_EQ(model.storedRowCount(), before - 1);
        } else {
            model.refresh();
        }
        EXPECT_EQ(grid->currentIndex(), model.index(c.after, c.column));
    }
    // Deleting every row: the last delete leaves no row to be on.
    while (model.storedRowCount() > 0) {
        const int before = model.storedRowCount();
        boxes.answers = {MessageBoxes::Answer::Yes};
        button("Command1")->click();
        ASSERT_EQ(model.storedRowCount(), before - 1) << "a Yes that deleted nothing";
    }
}

TEST_F(SpeechFormTest, InvalidTypeTypedInTheGridIsRefusedAndRestored)
{
    startUp();
    button("LockTbl")->click();
    auto *grid = control<QTableView>("DBGrid1");
    QApplication::setActiveWindow(&form);
    grid->setFocus();
    // The type rules are the model's; what counts here is that the grid's
    // editor reaches them and a refused type is put back.
    const int rows = model.storedRowCount();
    const std::tuple<int, QString, QString, bool> cases[] = {
        {0, "open", "open", false}, {0, "OPENX", "open", true}, {rows, "OPENX", "", true}};
    for (const auto &[row, typed, stored, refused] : cases) {
        SCOPED_TRACE(typed.toStdString());
        const QModelIndex typeCell = model.index(row, 1);
        grid->setCurrentIndex(typeCell);
        grid->edit(typeCell);
        const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
        ASSERT_EQ(editors.size(), 1);
        editors.first()->setText(typed);
        const qsizetype shownBefore = boxes.shown.size();
        // The grid commits and closes the editor exactly as it does on Enter.
        QMetaObject::invokeMethod(grid, "commitData", Q_ARG(QWidget *, editors.first()));
        QMetaObject::invokeMethod(grid, "closeEditor", Q_ARG(QWidget *, editors.first()),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(model.commandRow(row).Type, stored);
        EXPECT_EQ(boxes.shown.size() > shownBefore, refused);
        EXPECT_EQ(model.storedRowCount(), rows) << "nothing added by a refused Type";
    }
}

// Someone who cannot use a mouse must be able to leave the unlocked grid for
// the buttons (Lock Table, Start Recognition); arrows move between its cells.
// The box that refuses a Type takes the focus, and the window manager gives
// the window back only after the editor has gone: the keys the user types next
// (the right Type) must go to the table, not to Start Recognition.
TEST_F(SpeechFormTest, AfterARefusedTypeTheKeysGoBackToTheTable)
{
    ASSERT_TRUE(startUpUnlockedInFront());
    auto *grid = control<QTableView>("DBGrid1");
    QWidget box;
    boxes.whileShown = [&] {
        box.show();
        QApplication::setActiveWindow(&box);
    };
    const QModelIndex typeCell = model.index(0, 1);
    grid->setFocus();
    grid->setCurrentIndex(typeCell);
    grid->edit(typeCell);
    const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
    ASSERT_EQ(editors.size(), 1);
    editors.first()->setText(QStringLiteral("OPENX"));
    QTest::keyClick(editors.first(), Qt::Key_Return);
    QCoreApplication::processEvents(); // the grid commits Enter once events run
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(boxes.shown.size(), 1);
    box.hide();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), grid);
}

// Another program changed the row being typed into: the edit is refused and
// the table read again, while Tab has already opened the next cell. The keys
// must stay in the table, not go to a button where Enter switches listening.
TEST_F(SpeechFormTest, AfterAnEditRefusedForAChangedRowTheKeysStayInTheTable)
{
    ASSERT_TRUE(startUpUnlockedInFront());
    auto *grid = control<QTableView>("DBGrid1");
    {
        CommandStore other(store.path());
        other.update(other.rows().at(0), CommandField::Action, QStringLiteral("changed elsewhere"));
    }
    grid->setFocus();
    grid->setCurrentIndex(model.index(0, 0));
    grid->edit(model.index(0, 0));
    const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
    ASSERT_EQ(editors.size(), 1);
    editors.first()->setText(QStringLiteral("TYPED HERE"));
    QTest::keyClick(editors.first(), Qt::Key_Tab);
    ASSERT_EQ(boxes.shown.size(), 1) << "the refusal is shown";
    QCoreApplication::processEvents(); // the table is read again
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(model.commandRow(0).Action, QStringLiteral("changed elsewhere")) << "the grid shows what is stored";
    QWidget *focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus == grid || grid->isAncestorOf(focus)) << focus->objectName().toStdString();
}

TEST_F(SpeechFormTest, TabLeavesTheUnlockedGridForTheButtons)
{
    ASSERT_TRUE(startUpUnlockedInFront());
    auto *grid = control<QTableView>("DBGrid1");
    ASSERT_TRUE(grid->isEnabled());
    const std::pair<Qt::KeyboardModifiers, const char *> cases[] = {{Qt::NoModifier, "Command1"},
                                                                    {Qt::ShiftModifier, "BtnStart"}};
    for (const auto &[modifiers, reached] : cases) {
        SCOPED_TRACE(reached);
        grid->setFocus();
        grid->setCurrentIndex(model.index(1, 1));
        ASSERT_EQ(QApplication::focusWidget(), grid);
        QTest::keyClick(grid, Qt::Key_Tab, modifiers);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(reached));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        EXPECT_EQ(grid->currentIndex(), model.index(2, 1)) << "arrows still move between cells";
    }
    // Typing through a row: Tab in an open cell writes it and opens the next.
    grid->setCurrentIndex(model.index(1, 0));
    grid->edit(model.index(1, 0));
    const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
    ASSERT_EQ(editors.size(), 1);
    QTest::keyClick(editors.first(), Qt::Key_Tab);
    EXPECT_EQ(grid->currentIndex(), model.index(1, 1));
    auto *next = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(next, nullptr) << "the next cell's editor has the keys";
    EXPECT_NE(next, editors.first());
    EXPECT_EQ(next->parent(), grid->viewport());
}

// A line editor holds 32767 characters unless told otherwise: opening and
// closing a longer cell, without typing, would have cut it and saved the cut.
TEST_F(SpeechFormTest, OpeningACellNeverShortensWhatItHolds)
{
    startUp();
    button("LockTbl")->click();
    auto *grid = control<QTableView>("DBGrid1");
    for (const int length : {32767, 32768, 40000}) {
        SCOPED_TRACE(length);
        const QString text = QString(length - 1, QLatin1Char('x')) + QLatin1Char('~');
        const QModelIndex actionCell = model.index(1, 2);
        ASSERT_TRUE(model.setData(actionCell, text, Qt::EditRole));
        grid->setCurrentIndex(actionCell);
        grid->edit(actionCell);
        const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
        ASSERT_EQ(editors.size(), 1);
        editors.first()->end(false);
        QTest::keyClicks(editors.first(), QStringLiteral("!"));
        QMetaObject::invokeMethod(grid, "commitData", Q_ARG(QWidget *, editors.first()));
        QMetaObject::invokeMethod(grid, "closeEditor", Q_ARG(QWidget *, editors.first()),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(model.commandRow(1).Action.size(), length + 1);
        EXPECT_TRUE(model.commandRow(1).Action.endsWith(QStringLiteral("~!")));
        EXPECT_TRUE(boxes.shown.isEmpty());
    }
}

// Every slot from 1 up: a program opened from a row far down a long table is
// forgotten as well, not left for its commands to find.
TEST_F(SpeechFormTest, ClearStartupsFreesEverySlotFromOneUpEveryTime)
{
    startUp();
    for (int pass = 1; pass <= 2; ++pass) {
        for (int slot : {0, 1, 400, 401, 600}) {
            slots.setPhrase(slot, QStringLiteral("OPEN %1").arg(slot));
            slots.setWindow(slot, slot + 7);
        }
        // Clicked, then pressed with Enter as a keyboard user does.
        if (pass == 1)
            button("Command2")->click();
        else
            QTest::keyClick(button("Command2"), Qt::Key_Return);
        EXPECT_EQ((QStringList{slots.phrase(0), slots.phrase(1), slots.phrase(400), slots.phrase(401),
                               slots.phrase(600)}),
                  (QStringList{"OPEN 0", "NULL", "NULL", "NULL", "NULL"}));
        EXPECT_EQ((QList<quint64>{slots.window(0), slots.window(1), slots.window(401), slots.window(600)}),
                  (QList<quint64>{7, 0, 0, 0}));
        ASSERT_EQ(boxes.titledTexts().count(QStringLiteral("KESTREL|Startups Cleared")), pass);
    }
}

/// The ways a user leaves the program.
const std::pair<const char *, std::function<void(SpeechForm &)>> kWaysOut[] = {
    {"QUIT button", [](SpeechForm &f) { f.findChild<QPushButton *>("BtnExit")->click(); }},
    {"Exit menu", [](SpeechForm &f) { f.findChild<QAction *>("exi")->trigger(); }},
    {"close box", [](SpeechForm &f) { f.close(); }},
    {"spoken quit", [](SpeechForm &f) { f.quitProgram(); }},
};

TEST_F(SpeechFormTest, EveryWayOutWritesAnOpenEditSavesThenUnloadsAndEnds)
{
    // Every way out ends the program itself. The close box too: were the end left
    // to the last window closing, a command waiting inside a nested loop would
    // spin in it and then go on typing. A cell editor is still open as the user
    // leaves: a menu or a spoken QUIT does not take the focus from it, so nothing
    // else would write it.
    int way = 0;
    for (const auto &[name, leave] : kWaysOut) {
        SCOPED_TRACE(name);
        LeavingForm leaving(*this, model);
        SpeechForm &other = leaving.form;
        const QStringList &wayLog = leaving.log;
        const QString typed = QStringLiteral("OPEN EDITOR %1").arg(++way);
        ASSERT_TRUE(leaving.leaveEditOpen(model.index(1, 0), typed));

        leave(other);
        const QStringList want{"unload tts window", "unload recognition window", "end program"};
        EXPECT_EQ(wayLog, want);
        EXPECT_EQ(CommandStore(dir.filePath(QStringLiteral("SELEC.db"))).rows().at(1).row.WordPhrase, typed);
        other.shutDown(); // shutdown runs once
        EXPECT_EQ(wayLog, want);
        EXPECT_FALSE(other.isVisible());
    }
}

/// Message boxes that ask the program to end while the first one is open: the
/// user saying QUIT again, or a second signal at logout.
class QuittingBoxes : public FakeMessageBoxes
{
public:
    std::function<void()> onFirstBox;
    void inform(const QString &title, const QString &text, Icon icon) override
    {
        FakeMessageBoxes::inform(title, text, icon);
        if (auto quit = std::exchange(onFirstBox, nullptr))
            quit();
    }
};

// Writing the open edit may show a box (a refused Type); a second request to
// end made meanwhile once ended at once, and the day's settings were never
// saved.
TEST_F(SpeechFormTest, AnEndAskedForWhileTheOpenEditShowsABoxStillSavesFirst)
{
    for (const auto &[name, leave] : kWaysOut) {
        SCOPED_TRACE(name);
        QuittingBoxes typeBoxes;
        CommandTableModel typeModel{store, typeBoxes};
        LeavingForm leaving(*this, typeModel);
        SpeechForm &other = leaving.form;
        const QStringList &wayLog = leaving.log;
        ASSERT_TRUE(leaving.leaveEditOpen(typeModel.index(1, 1), QStringLiteral("XYZ")));
        // A logout asks once and may take the display away while the box waits:
        // the settings must be on disk before the box opens.
        QStringList atBox;
        typeBoxes.onFirstBox = [&] {
            atBox = wayLog;
            other.quitProgram();
        };

        leave(other);
        ASSERT_EQ(typeBoxes.shown.size(), 1) << "the refused Type";
        EXPECT_TRUE(atBox.contains(QStringLiteral("unload tts window"))) << atBox.join(u',').toStdString();
        // The first end that runs (in the program, the last thing that happens)
        // comes after the settings were written.
        ASSERT_GE(wayLog.size(), 3);
        EXPECT_EQ(wayLog.mid(0, 3),
                  (QStringList{"unload tts window", "unload recognition window", "end program"}));
        EXPECT_EQ(wayLog.count(QStringLiteral("unload tts window")), 1);
    }
}

TEST_F(SpeechFormTest, MenusOpenWindowsHelpAndAbout)
{
    startUp();
    log.clear();
    menu("TXTS")->trigger();
    menu("setup")->trigger();
    EXPECT_EQ(log, (QStringList{"show tts window", "show recognition window"}));

    desktop.clearLog();
    form.setHelpFolder(dir.path());
    menu("Help")->trigger();
    menu("SPH")->trigger();
    const QStringList actions = desktop.actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0].startsWith("open ") && actions[0].contains("SPEECHREC.html"))
        << actions[0].toStdString();
    EXPECT_TRUE(actions[1].contains(QStringLiteral("SPEECH.html"))) << actions[1].toStdString();

    menu("ABT")->trigger();
    QCoreApplication::processEvents(); // the box opens once the menu has let go
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_TRUE(boxes.shown.last().text.startsWith(QStringLiteral("Version 2.1")));
    EXPECT_EQ(boxes.shown.last().title, QStringLiteral("KESTREL"));
}

// A keyboard user opens About through the menu bar (Alt+F, arrows, Enter) and
// closes it: the keyboard must be back where it was, not lost.
TEST_F(SpeechFormTest, AfterAboutFromTheMenuBarTheFocusIsWhereItWas)
{
    QtMessageBoxes realBoxes;
    QStringList ownLog;
    FakeRecognitionWindow rec{ownLog};
    SpeechForm window({model, desktop, realBoxes, slots, rec, tts});
    rec.mainWindow = &window;
    realBoxes.setParent(&window);
    window.startUp([] {});
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget *stop = window.findChild<QPushButton *>("BtnStop");
    stop->setFocus();
    bool aboutShown = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            aboutShown = box->text().startsWith(QStringLiteral("Version"));
            box->accept();
        }
    });
    closer.start(20);

    auto *bar = window.findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    const auto keyTarget = [&]() -> QWidget * {
        return QApplication::activePopupWidget() ? QApplication::activePopupWidget() : bar;
    };
    QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+F opens the File menu";
    for (int i = 0; i < 4; ++i) // File, Text To Speech, Setup, Speech, About
        QTest::keyClick(keyTarget(), Qt::Key_Right);
    QTest::keyClick(keyTarget(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return aboutShown; }, 5000));
    QApplication::setActiveWindow(&window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.focusWidget() == stop; }, 2000))
        << "the focus is on " << (window.focusWidget() ? qPrintable(window.focusWidget()->objectName()) : "nothing");
}

TEST_F(SpeechFormTest, ControlsSitInsideTheWindowWithoutOverlapping)
{
    startUp();
    QList<QRect> taken;
    for (const char *name :
         {"BtnStart", "BtnStop", "DBGrid1", "Command1", "Command2", "BtnExit", "LockTbl", "BtnPrnt"}) {
        QWidget *widget = control<QWidget>(name);
        ASSERT_NE(widget, nullptr);
        const QRect area(widget->mapTo(&form, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(form.rect().contains(area)) << name;
        for (const QRect &other : taken)
            EXPECT_FALSE(area.intersects(other)) << name;
        taken.append(area);
    }
}

} // namespace
} // namespace kestrel::test

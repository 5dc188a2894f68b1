#include "FakeWindows.h"
#include "support/FakeHosts.h"
#include "support/RecordingDesktop.h"

#include "command_table/CommandStore.h"
#include "command_table/CommandTableModel.h"
#include "interpreter/OpenProgramSlots.h"
#include "main_window/SpeechForm.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QTest>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

class SpeechFormTest : public ::testing::Test
{
protected:
    SpeechFormTest()
        : store(dir.filePath(QStringLiteral("SELEC.db"))), model(store, boxes), recognition(log), tts(log),
          form({model, desktop, boxes, slots, recognition, tts})
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

    QTemporaryDir dir;
    FakeMessageBoxes boxes;
    RecordingDesktop desktop;
    OpenProgramSlots slots;
    CommandStore store;
    CommandTableModel model;
    QStringList log;
    FakeRecognitionWindow recognition;
    FakeTtsWindow tts;
    SpeechForm form;
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
    struct Case
    {
        const char *name;
        bool throwOnLoad;
        bool failActivation;
    };
    for (const Case &c : {Case{"load throws", true, false}, Case{"activation fails", false, true}}) {
        QStringList caseLog;
        FakeRecognitionWindow failing(caseLog);
        failing.throwOnLoad = c.throwOnLoad;
        failing.failActivation = c.failActivation;
        SpeechForm other({model, desktop, boxes, slots, failing, tts});
        failing.mainWindow = &other;
        other.startUp([] {});
        EXPECT_TRUE(other.isVisible()) << c.name;
        EXPECT_EQ(other.windowTitle(), QStringLiteral("KESTREL")) << c.name;
        EXPECT_EQ(failing.caption, QStringLiteral("Start Recognition")) << c.name;
        other.hide();
    }
}

TEST_F(SpeechFormTest, StopAndStartButtonsSwitchListening)
{
    startUp();
    log.clear();

    button("BtnStop")->click();
    EXPECT_TRUE(button("BtnStart")->isEnabled());
    EXPECT_FALSE(button("BtnStop")->isEnabled());
    EXPECT_FALSE(form.isListening());
    EXPECT_EQ(recognition.caption, QStringLiteral("Start Recognition"));
    // Stopping does not unlock the table.
    EXPECT_EQ(button("LockTbl")->text(), QStringLiteral("Unlock Table"));

    form.StopListening(); // already off: nothing happens
    EXPECT_EQ(log, QStringList{"clickIt"});

    button("BtnStart")->click();
    EXPECT_FALSE(button("BtnStart")->isEnabled());
    EXPECT_TRUE(form.isListening());
    EXPECT_EQ(recognition.caption, QStringLiteral("Stop Recognition"));
    EXPECT_EQ(log.count(QStringLiteral("clickIt")), 2);
}

TEST_F(SpeechFormTest, UnlockingStopsListeningAndStartingLocksAgain)
{
    startUp();
    QPushButton *lock = button("LockTbl");
    auto *grid = control<QTableView>("DBGrid1");

    lock->click(); // locked and listening -> unlocked, listening off
    EXPECT_EQ(lock->text(), QStringLiteral("Lock Table"));
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_FALSE(form.isListening());

    lock->click(); // unlocked -> locked, listening unchanged
    EXPECT_EQ(lock->text(), QStringLiteral("Unlock Table"));
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_FALSE(form.isListening());

    lock->click();
    ASSERT_TRUE(grid->isEnabled());
    button("BtnStart")->click(); // recognition on forces the lock
    EXPECT_EQ(lock->text(), QStringLiteral("Unlock Table"));
    EXPECT_FALSE(grid->isEnabled());
}

TEST_F(SpeechFormTest, DeleteRecordAsksAndRespectsTheLock)
{
    startUp();
    auto *grid = control<QTableView>("DBGrid1");
    const int before = static_cast<int>(store.rows().size());
    ASSERT_GT(before, 2);
    const QString secondPhrase = store.rows().at(1).row.WordPhrase;

    button("Command1")->click(); // locked: refused without a question
    EXPECT_EQ(static_cast<int>(store.rows().size()), before);
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("Table is locked"));
    EXPECT_EQ(boxes.shown.last().title, QStringLiteral("KESTREL"));
    EXPECT_FALSE(boxes.shown.last().question);

    button("LockTbl")->click();
    grid->setCurrentIndex(model.index(1, 0));
    boxes.answers.push_back(MessageBoxes::Answer::No);
    button("Command1")->click();
    EXPECT_EQ(static_cast<int>(store.rows().size()), before);

    boxes.answers.push_back(MessageBoxes::Answer::Yes);
    button("Command1")->click();
    ASSERT_EQ(static_cast<int>(store.rows().size()), before - 1);
    EXPECT_NE(store.rows().at(1).row.WordPhrase, secondPhrase);
    EXPECT_EQ(model.rowCount(), before); // the rows left plus the new-row line
}

TEST_F(SpeechFormTest, InvalidTypeTypedInTheGridIsRefusedAndRestored)
{
    startUp();
    button("LockTbl")->click();
    auto *grid = control<QTableView>("DBGrid1");
    QApplication::setActiveWindow(&form);
    grid->setFocus();
    struct Case
    {
        QString typed;
        QString stored;
        bool refused;
    };
    for (const Case &c : {Case{"open", "open", false}, Case{" OPEN", "open", true}, Case{"OPENX", "open", true},
                          Case{"", "", false}}) {
        const QModelIndex typeCell = model.index(0, 1);
        grid->setCurrentIndex(typeCell);
        grid->edit(typeCell);
        const QList<QLineEdit *> editors = grid->viewport()->findChildren<QLineEdit *>();
        ASSERT_EQ(editors.size(), 1);
        QLineEdit *editor = editors.first();
        editor->setText(c.typed);
        const qsizetype shownBefore = boxes.shown.size();
        // The grid commits and closes the editor exactly as it does on Enter.
        QMetaObject::invokeMethod(grid, "commitData", Q_ARG(QWidget *, editor));
        QMetaObject::invokeMethod(grid, "closeEditor", Q_ARG(QWidget *, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(model.commandRow(0).Type, c.stored) << c.typed.toStdString();
        EXPECT_EQ(boxes.shown.size() > shownBefore, c.refused) << c.typed.toStdString();
    }
}

TEST_F(SpeechFormTest, ClearStartupsFreesSlotsOneToFourHundredEveryTime)
{
    startUp();
    for (int pass = 0; pass < 2; ++pass) {
        slots.setPhrase(0, QStringLiteral("ZERO"));
        slots.setPhrase(1, QStringLiteral("OPEN TERMINAL"));
        slots.setWindow(1, 7);
        slots.setPhrase(400, QStringLiteral("LAST"));
        slots.setPhrase(401, QStringLiteral("BEYOND"));
        slots.setWindow(401, 9);
        button("Command2")->click();
        EXPECT_EQ(slots.phrase(1), QStringLiteral("NULL"));
        EXPECT_EQ(slots.window(1), 0u);
        EXPECT_EQ(slots.phrase(400), QStringLiteral("NULL"));
        EXPECT_EQ(slots.phrase(0), QStringLiteral("ZERO"));
        EXPECT_EQ(slots.phrase(401), QStringLiteral("BEYOND"));
        EXPECT_EQ(slots.window(401), 9u);
        ASSERT_EQ(boxes.texts().count(QStringLiteral("Startups Cleared")), pass + 1);
        EXPECT_EQ(boxes.shown.last().title, QStringLiteral("KESTREL"));
    }
}

TEST_F(SpeechFormTest, EveryWayOutSavesFirstThenUnloadsTheRecognitionWindow)
{
    enum class Way { QuitButton, ExitMenu, CloseBox, SpokenQuit };
    struct Case
    {
        const char *name;
        Way way;
        bool endsProgram; // the close box ends the program by leaving no window
    };
    const Case cases[] = {{"QUIT button", Way::QuitButton, true},
                          {"Exit menu", Way::ExitMenu, true},
                          {"close box", Way::CloseBox, false},
                          {"spoken quit", Way::SpokenQuit, true}};
    for (const Case &c : cases) {
        QStringList wayLog;
        FakeRecognitionWindow rec(wayLog);
        FakeTtsWindow voice(wayLog);
        SpeechForm other({model, desktop, boxes, slots, rec, voice});
        rec.mainWindow = &other;
        other.setProgramEnd([&wayLog] { wayLog.append(QStringLiteral("end program")); });
        other.startUp([] {});
        wayLog.clear();
        switch (c.way) {
        case Way::QuitButton:
            other.findChild<QPushButton *>(QStringLiteral("BtnExit"))->click();
            break;
        case Way::ExitMenu:
            other.findChild<QAction *>(QStringLiteral("exi"))->trigger();
            break;
        case Way::CloseBox:
            other.close();
            break;
        case Way::SpokenQuit:
            other.quitProgram();
            break;
        }
        QStringList want{"unload tts window", "unload recognition window"};
        if (c.endsProgram)
            want.append(QStringLiteral("end program"));
        EXPECT_EQ(wayLog, want) << c.name;
        other.shutDown(); // shutdown runs once
        EXPECT_EQ(wayLog, want) << c.name;
        EXPECT_FALSE(other.isVisible()) << c.name;
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
    EXPECT_TRUE(actions[0].startsWith(QStringLiteral("open ")) && actions[0].contains(QStringLiteral("SPEECHREC.html")));
    EXPECT_TRUE(actions[1].contains(QStringLiteral("SPEECH.html")));

    menu("ABT")->trigger();
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_TRUE(boxes.shown.last().text.startsWith(QStringLiteral("Version 2.1")));
    EXPECT_EQ(boxes.shown.last().title, QStringLiteral("KESTREL"));
}

TEST_F(SpeechFormTest, ControlsSitWhereTheTableSaysAtFifteenTwipsPerPixel)
{
    struct Place
    {
        const char *name;
        int left, top, width, height;
    };
    const Place places[] = {
        {"BtnStart", 240, 240, 3255, 615},   {"BtnStop", 6960, 240, 3015, 615},
        {"DBGrid1", 240, 1080, 9735, 3135},  {"Command1", 360, 4440, 1335, 375},
        {"Command2", 2400, 4440, 1335, 375}, {"BtnExit", 7800, 4440, 2175, 975},
        {"LockTbl", 360, 5040, 1335, 375},   {"BtnPrnt", 2400, 5040, 1335, 375},
    };
    for (const Place &p : places) {
        QWidget *w = control<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), QRect(p.left / 15, p.top / 15, p.width / 15, p.height / 15)) << p.name;
    }
    EXPECT_EQ(button("BtnExit")->font().pointSize(), 24);
    EXPECT_EQ(button("BtnStart")->font().pointSize(), 12);
}

} // namespace
} // namespace kestrel::test

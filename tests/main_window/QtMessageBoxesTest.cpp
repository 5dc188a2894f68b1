#include "main_window/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace kestrel {
namespace {

// A box raised from a setup window belongs to that window: closing it gives
// the keyboard back there, not to the main window behind it.
TEST(QtMessageBoxes, ABoxBelongsToTheWindowTheUserIsIn)
{
    QWidget mainWindow;
    QWidget setupWindow;
    mainWindow.show();
    setupWindow.show();
    QtMessageBoxes boxes(&mainWindow);
    const std::pair<QWidget *, QWidget *> cases[] = {{&setupWindow, &setupWindow},
                                                     {&mainWindow, &mainWindow}};
    for (const auto &[active, owner] : cases) {
        for (const bool question : {false, true}) {
            SCOPED_TRACE(question ? "question" : "information");
            active->raise();
            active->activateWindow();
            QApplication::setActiveWindow(active);
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == active; }));
            QWidget *parentSeen = nullptr;
            QTimer::singleShot(0, [&] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    parentSeen = box->parentWidget();
                    box->reject();
                }
            });
            if (question)
                boxes.ask(QString(), QStringLiteral("Delete the record?"));
            else
                boxes.inform(QString(), QStringLiteral("Table is locked"), MessageBoxes::Icon::None);
            EXPECT_EQ(parentSeen, owner);
        }
    }
}

} // namespace
} // namespace kestrel

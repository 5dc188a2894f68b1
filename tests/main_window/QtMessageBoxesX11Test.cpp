// Message boxes under a real window manager (Xvfb + openbox), which decides
// what takes the keyboard. Run by the x11 test label.
#include "main_window/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

// A notice comes while the user types elsewhere: it must leave the keyboard
// where it is and hold nothing up; a newer one replaces it, and it can be
// taken back.
TEST(QtMessageBoxes, ANoticeLeavesTheKeyboardWhereItIs)
{
    QWidget mainWindow;
    mainWindow.show();
    mainWindow.activateWindow();
    QApplication::setActiveWindow(&mainWindow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &mainWindow; }));
    QtMessageBoxes boxes(&mainWindow);
    const auto notices = [] {
        QList<QMessageBox *> open;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("Notice") && window->isVisible())
                open << qobject_cast<QMessageBox *>(window);
        }
        return open;
    };

    boxes.notify(QString(), QStringLiteral("Recognition has stopped"), MessageBoxes::Icon::Critical);
    ASSERT_EQ(notices().size(), 1) << "shown at once, without waiting for an answer";
    EXPECT_EQ(notices()[0]->text(), QStringLiteral("Recognition has stopped"));
    EXPECT_EQ(notices()[0]->windowTitle(), programTitle());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QTest::qWait(300); // a window manager that gave it the keyboard would have by now
    EXPECT_EQ(QApplication::activeWindow(), &mainWindow);

    boxes.notify(QString(), QStringLiteral("Stopped again"), MessageBoxes::Icon::Critical);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notices().size() == 1; }));
    EXPECT_EQ(notices()[0]->text(), QStringLiteral("Stopped again"));

    // The user clicks the notice, and a box comes: it belongs to a window of
    // the program, not to the notice, which would take it along when withdrawn.
    QMessageBox *notice = notices()[0];
    notice->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == notice; }));
    QWidget *parentSeen = nullptr;
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            parentSeen = box->parentWidget();
            box->reject();
        }
    });
    boxes.inform(QString(), QStringLiteral("Table is locked"), MessageBoxes::Icon::None);
    EXPECT_EQ(parentSeen, &mainWindow);

    boxes.withdrawNotice();
    EXPECT_TRUE(QTest::qWaitFor([&] { return notices().isEmpty(); }));
    boxes.withdrawNotice(); // none left: nothing happens
}

} // namespace
} // namespace kestrel

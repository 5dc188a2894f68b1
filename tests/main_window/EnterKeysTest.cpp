// Enter on a focused button of one of the program's main windows.

#include "window_common/EnterKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(EnterKeys, EnterPressesTheFocusedButtonOnly)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *button = new QPushButton(QStringLiteral("Clear Startups"));
    auto *other = new QPushButton(QStringLiteral("Exit"));
    layout->addWidget(button);
    layout->addWidget(other);
    enterPressesFocusedButtons(window);
    int pressed = 0;
    int otherPressed = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });
    QObject::connect(other, &QPushButton::clicked, [&] { ++otherPressed; });
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    const struct
    {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool enabled;
        int presses;
    } cases[] = {
        {"Enter", Qt::Key_Return, Qt::NoModifier, true, 1},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, true, 1},
        {"Ctrl+Enter", Qt::Key_Return, Qt::ControlModifier, true, 0},
        {"Shift+Enter", Qt::Key_Return, Qt::ShiftModifier, true, 0},
        {"a letter", Qt::Key_A, Qt::NoModifier, true, 0},
        {"a disabled button", Qt::Key_Return, Qt::NoModifier, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        pressed = 0;
        button->setEnabled(true);
        button->setFocus();
        button->setEnabled(c.enabled);
        QTest::keyClick(button, c.key, c.modifiers);
        EXPECT_EQ(pressed, c.presses);
    }
    EXPECT_EQ(otherPressed, 0) << "only the focused button";

    // Enter held down: its repeats press nothing more, as with Space. A button
    // that hands the focus to its partner (Start to Stop) would otherwise
    // switch on and off many times a second.
    pressed = 0;
    button->setEnabled(true);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
        QApplication::sendEvent(button, &repeat);
    }
    EXPECT_EQ(pressed, 1);
}

} // namespace
} // namespace kestrel

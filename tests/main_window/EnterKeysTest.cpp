// Enter on a focused button of one of the program's main windows.

#include "window_common/EnterKeys.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
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

// Stop pressed a moment after the reading ended (greyed out by then): its
// Alt+O typed an "o" over the whole text, selected by the reading, or picked a
// voice starting with "o". A greyed button's key must do nothing at all, and an
// enabled one's still press it.
TEST(EnterKeys, AGreyedButtonsKeyReachesNoOtherControl)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *speak = new QPushButton(QStringLiteral("&Speak"));
    auto *stop = new QPushButton(QStringLiteral("St&op"));
    auto *emulate = new QPushButton(QStringLiteral("Emulate"));
    emulate->setShortcut(QKeySequence(QStringLiteral("Ctrl+Return")));
    auto *text = new QPlainTextEdit;
    auto *voices = new QComboBox;
    voices->addItems({QStringLiteral("English"), QStringLiteral("Oromo"), QStringLiteral("Spanish")});
    for (QWidget *w : std::initializer_list<QWidget *>{speak, stop, emulate, text, voices})
        layout->addWidget(w);
    keepGreyedButtonKeysOffControls(window);
    QStringList pressed;
    for (QPushButton *b : {speak, stop, emulate})
        QObject::connect(b, &QPushButton::clicked, [&pressed, b] { pressed << b->text(); });
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    const struct
    {
        const char *name;
        QWidget *focused;
        QPushButton *greyed;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } cases[] = {
        {"Stop's key in the text", text, stop, Qt::Key_O, Qt::AltModifier},
        {"Stop's key in the list", voices, stop, Qt::Key_O, Qt::AltModifier},
        {"Speak's key in the list", voices, speak, Qt::Key_S, Qt::AltModifier},
        {"Speak's key in the text", text, speak, Qt::Key_S, Qt::AltModifier},
        {"a key of its own", text, emulate, Qt::Key_Return, Qt::ControlModifier},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        text->setPlainText(QStringLiteral("read by the voice"));
        text->selectAll();
        voices->setCurrentIndex(0);
        pressed.clear();
        c.focused->setFocus();
        c.greyed->setEnabled(false);
        QTest::keyClick(c.focused, c.key, c.modifiers);
        EXPECT_EQ(text->toPlainText(), QStringLiteral("read by the voice"));
        EXPECT_EQ(voices->currentIndex(), 0);
        EXPECT_TRUE(pressed.isEmpty());

        // Enabled again, the same key presses the button.
        c.greyed->setEnabled(true);
        QTest::keyClick(c.focused, c.key, c.modifiers);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pressed == QStringList{c.greyed->text()}; }, 1000))
            << pressed.join(u',').toStdString();
    }
    // Letters typed without Alt still reach the box.
    text->clear();
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("so"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("so"));
}

} // namespace
} // namespace kestrel

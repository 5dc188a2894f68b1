// Keys a command types while one of the program's own windows is in front.

#include "window_common/TypedKeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace kestrel {
namespace {

// Where the window system delivers typed keys: the focused control, else the
// window itself.
QWidget *keyTarget()
{
    return QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
}

struct Window
{
    QWidget window;
    QPushButton *button = new QPushButton(QStringLiteral("Stop Recognition"));
    QPushButton *keyed = new QPushButton(QStringLiteral("Emulate"));
    QCheckBox *check = new QCheckBox(QStringLiteral("Monitor Clipboard"));
    QComboBox *combo = new QComboBox;
    QSlider *slider = new QSlider(Qt::Horizontal);
    QLineEdit *line = new QLineEdit;
    QPlainTextEdit *text = new QPlainTextEdit;
    int pressed = 0;
    int fired = 0;

    Window()
    {
        auto *layout = new QVBoxLayout(&window);
        combo->addItems({QStringLiteral("alice"), QStringLiteral("bruno"), QStringLiteral("carl")});
        slider->setRange(-10, 10);
        for (QWidget *w : std::initializer_list<QWidget *>{button, keyed, check, combo, slider, line, text})
            layout->addWidget(w);
        keyed->setShortcut(QKeySequence(QStringLiteral("Ctrl+Return")));
        auto *shortcut = new QShortcut(QKeySequence(QStringLiteral("Alt+R")), &window);
        QObject::connect(button, &QPushButton::clicked, [this] { ++pressed; });
        QObject::connect(keyed, &QPushButton::clicked, [this] { ++pressed; });
        QObject::connect(shortcut, &QShortcut::activated, [this] { ++fired; });
        window.show();
        QApplication::setActiveWindow(&window);
    }

    bool untouched() const
    {
        return pressed == 0 && fired == 0 && !check->isChecked() && combo->currentIndex() == 0 &&
               slider->value() == 0;
    }
};

void typeEverything()
{
    QTest::keyClicks(keyTarget(), QStringLiteral("b c"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Down, Qt::Key_Right, Qt::Key_Tab, Qt::Key_Space})
        QTest::keyClick(keyTarget(), key);
    QTest::keySequence(keyTarget(), QKeySequence(QStringLiteral("Ctrl+Return")));
    QTest::keySequence(keyTarget(), QKeySequence(QStringLiteral("Alt+R")));
    QApplication::processEvents();
    QTest::qWait(150); // a button's shortcut clicks a moment later
}

TEST(TypedKeys, WhileRaisedNoControlOrShortcutActsAndTextBoxesTakeTheText)
{
    Window w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    TypedKeysShield shield;
    const struct
    {
        const char *name;
        QWidget *focused;
        bool takesText;
    } cases[] = {
        {"button", w.button, false}, {"check box", w.check, false}, {"list", w.combo, false},
        {"slider", w.slider, false}, {"line", w.line, true},        {"text box", w.text, true},
        {"nothing", nullptr, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        w.line->clear();
        w.text->clear();
        if (c.focused)
            c.focused->setFocus();
        else if (QApplication::focusWidget())
            QApplication::focusWidget()->clearFocus();
        ASSERT_EQ(QApplication::focusWidget(), c.focused);
        shield.raise();
        typeEverything();
        shield.lower();
        EXPECT_TRUE(w.untouched()) << w.pressed << " presses, " << w.fired << " shortcuts";
        if (!c.takesText) { // a line box hands a Tab on, as it would the user's
            EXPECT_EQ(QApplication::focusWidget(), c.focused) << "the focus stays where the user left it";
        } else {
            auto *line = qobject_cast<QLineEdit *>(c.focused);
            EXPECT_TRUE((line ? line->text() : w.text->toPlainText()).startsWith(QStringLiteral("b c")));
        }
    }

    // Lowered, the same keys act again: the user's own keyboard is never shut out.
    w.button->setFocus();
    typeEverything();
    EXPECT_FALSE(w.untouched());
    EXPECT_GE(w.fired, 1);
}

TEST(TypedKeys, TypingInsideTypingLowersTheShieldOnlyAtTheEnd)
{
    Window w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.button->setFocus();
    TypedKeysShield shield;
    shield.raise();
    shield.raise();
    shield.lower();
    EXPECT_TRUE(shield.isRaised());
    QTest::keyClick(keyTarget(), Qt::Key_Space);
    EXPECT_EQ(w.pressed, 0);
    shield.lower();
    shield.lower(); // one too many changes nothing
    EXPECT_FALSE(shield.isRaised());
    QTest::keyClick(keyTarget(), Qt::Key_Space);
    EXPECT_EQ(w.pressed, 1);
}

} // namespace
} // namespace kestrel

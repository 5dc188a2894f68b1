// Keys a command types while one of the program's own windows is in front.

#include "window_common/TypedKeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

TEST(TypedKeys, ControlsThatWouldActOnTypedKeysLoseTheFocusAndTextBoxesKeepIt)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *button = new QPushButton(QStringLiteral("Stop Recognition"));
    auto *check = new QCheckBox(QStringLiteral("Monitor Clipboard"));
    auto *combo = new QComboBox;
    combo->addItems({QStringLiteral("alice"), QStringLiteral("bruno"), QStringLiteral("carl")});
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setRange(-10, 10);
    auto *line = new QLineEdit;
    auto *text = new QPlainTextEdit;
    for (QWidget *w : std::initializer_list<QWidget *>{button, check, combo, slider, line, text})
        layout->addWidget(w);
    int pressed = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    const struct
    {
        const char *name;
        QWidget *focused;
        bool keepsFocus;
        std::function<bool()> unchanged; ///< for a control that loses the focus
    } cases[] = {
        {"button", button, false, [&] { return pressed == 0; }},
        {"check box", check, false, [&] { return !check->isChecked(); }},
        {"list", combo, false, [&] { return combo->currentIndex() == 0; }},
        {"slider", slider, false, [&] { return slider->value() == 0; }},
        {"line", line, true, {}},
        {"text box", text, true, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.focused->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), c.focused);
        keepTypedKeysOffControls();
        QTest::keyClicks(keyTarget(), QStringLiteral("b c"));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Down, Qt::Key_Right})
            QTest::keyClick(keyTarget(), key);
        if (c.keepsFocus) {
            EXPECT_EQ(QApplication::focusWidget(), c.focused);
        } else {
            EXPECT_NE(QApplication::focusWidget(), c.focused);
            EXPECT_TRUE(c.unchanged());
        }
    }
    EXPECT_EQ(line->text(), QStringLiteral("b c"));
    EXPECT_TRUE(text->toPlainText().startsWith(QStringLiteral("b c")));
}

TEST(TypedKeys, AnotherProgramInFrontIsLeftAlone)
{
    QWidget window;
    auto *button = new QPushButton(QStringLiteral("Stop"), &window);
    window.show();
    button->setFocus();
    QApplication::setActiveWindow(nullptr);
    keepTypedKeysOffControls();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), button) << "the focus comes back where the user left it";
}

} // namespace
} // namespace kestrel

#include "window_common/EnterKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QWidget>

namespace kestrel {

namespace {

class EnterPressesButton final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || !button->isEnabled())
            return false;
        // A held key presses once, as Space does: Start hands the focus to
        // Stop, and the repeats would switch listening on and off.
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

class GreyedButtonKeys final : public QObject
{
public:
    explicit GreyedButtonKeys(QWidget &window) : QObject(&window), m_window(window) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::ShiftModifier)
            return false; // typing, not a key of a button
        const QKeySequence pressed(
            QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
        bool greyedOwner = false;
        for (const QAbstractButton *button : m_window.findChildren<QAbstractButton *>()) {
            if (button->shortcut().isEmpty() ||
                button->shortcut().matches(pressed) != QKeySequence::ExactMatch)
                continue;
            // An enabled owner would have taken the key before it got here.
            if (button->isEnabled() && button->isVisible())
                return false;
            greyedOwner = true;
        }
        return greyedOwner;
    }

private:
    QWidget &m_window;
};

} // namespace

void keepGreyedButtonKeysOffControls(QWidget &window)
{
    auto *filter = new GreyedButtonKeys(window);
    for (QWidget *control : window.findChildren<QWidget *>())
        control->installEventFilter(filter);
}

void enterPressesFocusedButtons(QWidget &window)
{
    auto *filter = new EnterPressesButton(&window);
    for (QPushButton *button : window.findChildren<QPushButton *>())
        button->installEventFilter(filter);
}

} // namespace kestrel

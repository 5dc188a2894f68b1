#include "window_common/EnterKeys.h"

#include <QKeyEvent>
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

} // namespace

void enterPressesFocusedButtons(QWidget &window)
{
    auto *filter = new EnterPressesButton(&window);
    for (QPushButton *button : window.findChildren<QPushButton *>())
        button->installEventFilter(filter);
}

} // namespace kestrel

#include "window_common/TypedKeys.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace kestrel {

void keepTypedKeysOffControls()
{
    // Another program in front: the keys are for it.
    if (!QApplication::activeWindow())
        return;
    QWidget *focus = QApplication::focusWidget();
    if (!focus || qobject_cast<QLineEdit *>(focus) || qobject_cast<QPlainTextEdit *>(focus) ||
        qobject_cast<QTextEdit *>(focus) || qobject_cast<QAbstractItemView *>(focus))
        return;
    focus->clearFocus();
}

} // namespace kestrel

#include "window_common/TypedKeys.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace kestrel {

namespace {

bool takesKeysAsText(const QObject *receiver)
{
    return qobject_cast<const QLineEdit *>(receiver) || qobject_cast<const QPlainTextEdit *>(receiver) ||
           qobject_cast<const QTextEdit *>(receiver) || qobject_cast<const QAbstractItemView *>(receiver);
}

} // namespace

TypedKeysShield::~TypedKeysShield()
{
    if (m_depth > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void TypedKeysShield::raise()
{
    if (m_depth++ == 0 && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

void TypedKeysShield::lower()
{
    if (m_depth == 0)
        return;
    if (--m_depth == 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool TypedKeysShield::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Shortcut:
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // A key without a text box in focus goes to the window itself, whose
        // Tab would move the focus to a button for the next key.
        return watched->isWidgetType() && !takesKeysAsText(watched);
    default:
        return false;
    }
}

} // namespace kestrel

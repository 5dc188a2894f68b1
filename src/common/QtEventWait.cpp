#include "common/QtEventWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace kestrel {

QtEventWait::QtEventWait()
{
    m_clock.start();
}

void QtEventWait::processEvents()
{
    // The polling loops of the interpreter (speech, launches, pauses) can last
    // many seconds. processEvents() with a time bound returns at once when
    // nothing is pending, which turned those loops into a busy spin on a core
    // the recogniser needs; a short nested loop sleeps until an event or the
    // timer comes instead.
    QEventLoop loop;
    QTimer::singleShot(kSliceMs, &loop, &QEventLoop::quit);
    loop.exec();
}

double QtEventWait::now() const
{
    return static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
}

} // namespace kestrel

#include "common/QtEventWait.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace kestrel {

QtEventWait::QtEventWait() { m_clock.start(); }

void QtEventWait::processEvents()
{
    // WaitForMoreEvents with a short bound keeps the polling loops of the
    // interpreter cheap while still returning promptly when nothing happens.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

double QtEventWait::now() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e9; }

} // namespace kestrel

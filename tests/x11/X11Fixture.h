#pragma once

#include "TargetProcess.h"
#include "support/QtPrinters.h"

#include "common/QtEventWait.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Desktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace kestrel::test {

/// Bounded polling for things that happen in other processes; never a timing check.
inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

/// A window title no other test run uses.
inline QString uniqueTitle(const char *what)
{
    return "kestrel " + QString::fromUtf8(what) + ' ' + QString::number(QCoreApplication::applicationPid());
}

/// A live X11 backend on the test display; skips when there is none.
class X11Fixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs the Xvfb + openbox display that scripts/test.sh starts";
        m_desktop = std::make_unique<X11Desktop>(m_wait);
        m_connection = std::make_unique<x11::X11Connection>();
    }

    /// Starts a target window and makes it the active one.
    std::unique_ptr<TargetProcess> startTarget(const QString &title)
    {
        auto target = std::make_unique<TargetProcess>(title);
        return bringUp(*target) ? std::move(target) : nullptr;
    }

    bool bringUp(TargetProcess &target)
    {
        // The window manager lists the window a moment after it appears.
        return target.waitReady() &&
               waitUntil([&] { return m_desktop->windowOfProcess(target.pid()) == target.window(); }) &&
               showAndActivate(target.window());
    }

    /// Frames and shows (WM_STATE Normal) come a moment after the window is listed.
    bool showAndActivate(WindowId window)
    {
        if (!waitUntil([&] { return isShown(window); }, 20000))
            return false;
        m_desktop->activateWindow(window);
        return waitUntil([&] { return m_desktop->foregroundWindow() == window; });
    }

    bool isShown(WindowId window) // WM_STATE NormalState
    {
        return m_connection->firstItem(window, "WM_STATE", m_connection->atom("WM_STATE")) == 1u;
    }

    QtEventWait m_wait;
    std::unique_ptr<X11Desktop> m_desktop;
    std::unique_ptr<x11::X11Connection> m_connection; ///< for checks the backend has no call for
};

} // namespace kestrel::test

#pragma once

#include "desktop/x11/X11Connection.h"

#include <QRect>
#include <QString>

#include <vector>

namespace kestrel {
class EventWait;
}

namespace kestrel::x11 {

/// Top-level windows through EWMH (_NET_ACTIVE_WINDOW, _NET_CLIENT_LIST,
/// _NET_MOVERESIZE_WINDOW, _NET_FRAME_EXTENTS), with plain ICCCM fallbacks when no
/// EWMH window manager runs: activation then raises the window and sets the input
/// focus directly (announced once with qWarning).
///
/// "Processed" barrier: XSync proves only that the server has the events, not that
/// the receiving client has handled them. A client that advertises _NET_WM_PING in
/// WM_PROTOCOLS answers a ping only after the events queued before it, so ping
/// round trips are the barrier (two in a row, see waitUntilProcessed; 0.4 ms for
/// both with an idle Qt client). A client without it (xterm) gets a fixed settle
/// delay instead (kSettleSeconds). A window of this very process is answered by
/// our own event loop, so its waits let window events run through EventWait
/// instead of blocking.
///
/// Threading: the user-interface thread. Ownership: the backend owns it.
class X11Windows
{
public:
    static constexpr double kSettleSeconds = 0.020;
    static constexpr double kPingTimeoutSeconds = 2.0;
    static constexpr double kWindowManagerTimeoutSeconds = 2.0;

    X11Windows(X11Connection &connection, EventWait &wait);

    /// The active client window, or 0.
    XWindow activeWindow();

    /// The client window that keys sent now reach: the one holding the X input
    /// focus or the focus's ancestor; the active window when no client does.
    XWindow keyboardWindow();

    /// Asks the window manager to activate the window, waits (briefly) until it has
    /// and until the window's client has handled the focus change. Throws Failure
    /// when the window does not exist.
    void activate(XWindow window);

    /// Moves the window's frame to (x, y), keeping its size, and shows it when it is
    /// hidden. Throws Failure when the window does not exist.
    void move(XWindow window, int x, int y);

    /// The window's frame rectangle in root coordinates. Throws when it is missing.
    QRect frameGeometry(XWindow window);

    /// Managed client windows, oldest first.
    std::vector<XWindow> clientWindows();
    XWindow findByTitle(const QString &title);

    /// True when the window belongs to this very process.
    bool isOwnWindow(XWindow window);

    /// A client window of the process or of one of its descendants, or 0. Only
    /// a normal window or a dialog counts: never a splash screen or a toolbox.
    XWindow findByPid(long pid);

    /// Returns once the client owning `window` has handled everything sent to it
    /// before the call (see the class comment).
    void waitUntilProcessed(XWindow window);

    /// The window of this very process that the pointer is over, or 0.
    XWindow ownWindowUnderPointer();

    /// Returns once no pointer button is down any more for the server, or after
    /// the window manager's timeout. A window manager that focuses on click holds
    /// the click (a frozen pointer grab) until it has dealt with it, and the
    /// button stays down until then: keys sent before would overtake the click.
    void waitUntilButtonsUp();

    /// True when the window lists _NET_WM_PING in its WM_PROTOCOLS.
    bool answersPing(XWindow window);

    /// True when an EWMH window manager runs.
    bool hasWindowManager();

private:
    bool isMainKind(XWindow window);
    void requireExisting(XWindow window);
    /// True when the X input focus lies on the window or inside it.
    bool hasInputFocus(XWindow window);
    /// The window holding the X input focus and its ancestors below the root,
    /// innermost first; empty when the focus is on none or on the root.
    std::vector<XWindow> focusChain();
    bool isViewable(XWindow window);
    /// Viewable and, by the window manager's WM_STATE, framed and shown.
    bool isShown(XWindow window);
    /// One _NET_WM_PING round trip; false when no answer came within the timeout.
    bool ping(XWindow window, bool own);
    /// Lets time pass until `done` holds or `seconds` passed; returns `done()`.
    template <typename Done> bool waitFor(double seconds, bool pumpOwnEvents, Done done);
    void sendToRoot(XWindow window, const char *messageType, const long (&data)[5]);

    X11Connection &m_connection;
    EventWait &m_wait;
    long m_pingToken = 0;
    bool m_warnedNoWindowManager = false;
};

} // namespace kestrel::x11

#include "desktop/x11/X11Windows.h"

#include "common/EventWait.h"
#include "common/Failure.h"

#include <QCoreApplication>
#include <QFile>
#include <QtGlobal>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace kestrel::x11 {

namespace {

constexpr long kSourcePager = 2;                     // EWMH source indication: a pager acts for the user
constexpr unsigned long kAllWorkspaces = 0xFFFFFFFF; // _NET_WM_DESKTOP of a window shown on all

/// Selects events on a window for the length of a wait, so that the wait wakes up
/// when something happens instead of sleeping out its slices.
class EventSelection
{
public:
    EventSelection(Display *display, XWindow window, long mask) : m_display(display), m_window(window)
    {
        XSelectInput(m_display, m_window, mask);
    }
    ~EventSelection() { XSelectInput(m_display, m_window, NoEventMask); }
    EventSelection(const EventSelection &) = delete;
    EventSelection &operator=(const EventSelection &) = delete;

private:
    Display *m_display;
    XWindow m_window;
};

QString describeWindow(XWindow window)
{
    return QStringLiteral("0x%1").arg(window, 0, 16);
}

Failure hiddenWindow(XWindow window)
{
    return Failure(
        QStringLiteral("The window %1 is hidden and cannot be brought forward.").arg(describeWindow(window)));
}

/// The parent process id from /proc, or 0.
long parentPid(long pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may itself contain blanks and parentheses.
    const int close = line.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLong() : 0;
}

bool isSameOrDescendant(long candidate, long ancestor)
{
    for (int depth = 0; candidate > 1 && depth < 64; ++depth) {
        if (candidate == ancestor)
            return true;
        candidate = parentPid(candidate);
    }
    return false;
}

} // namespace

X11Windows::X11Windows(X11Connection &connection, EventWait &wait) : m_connection(connection), m_wait(wait) {}

bool X11Windows::hasWindowManager()
{
    const auto check = m_connection.firstItem(m_connection.root(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (!check || *check == 0)
        return false;
    // A stale property of a window manager that has gone points at a dead window.
    return m_connection.firstItem(*check, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) == check;
}

XWindow X11Windows::activeWindow()
{
    if (hasWindowManager())
        return m_connection.firstItem(m_connection.root(), "_NET_ACTIVE_WINDOW", XA_WINDOW).value_or(0);
    // Without a window manager the top-level window is the root's direct child.
    const std::vector<XWindow> chain = focusChain();
    return chain.empty() ? 0 : chain.back();
}

XWindow X11Windows::keyboardWindow()
{
    // The window manager announces a focus change after making it: right after
    // a click that moved the focus, the active window is still the one before.
    // The keys go where the server's focus is, so that is the client asked.
    for (const XWindow window : focusChain()) {
        if (m_connection.firstItem(window, "WM_STATE", m_connection.atom("WM_STATE")))
            return window;
    }
    return activeWindow();
}

std::vector<XWindow> X11Windows::focusChain()
{
    Display *display = m_connection.display();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    std::vector<XWindow> chain;
    for (int depth = 0; focus != None && focus != PointerRoot && depth < 64; ++depth) {
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        // Gone while we looked: nothing certain holds the focus.
        if (!XQueryTree(display, focus, &root, &parent, &children, &count))
            return {};
        if (children)
            XFree(children);
        if (focus == root)
            break;
        chain.push_back(focus);
        if (parent == root || parent == None)
            break;
        focus = parent;
    }
    return chain;
}

void X11Windows::requireExisting(XWindow window)
{
    if (!m_connection.windowExists(window))
        throw Failure(QStringLiteral("The window %1 does not exist any more.").arg(describeWindow(window)));
}

bool X11Windows::isOwnWindow(XWindow window)
{
    return m_connection.windowPid(window) == QCoreApplication::applicationPid();
}

template <typename Done> bool X11Windows::waitFor(double seconds, bool pumpOwnEvents, Done done)
{
    const double deadline = m_wait.now() + seconds;
    for (;;) {
        if (done())
            return true;
        const double remaining = deadline - m_wait.now();
        if (remaining <= 0)
            return false;
        if (pumpOwnEvents)
            m_wait.processEvents();
        else
            m_connection.waitReadable(std::min(remaining, 0.005));
    }
}

void X11Windows::sendToRoot(XWindow window, const char *messageType, const long (&data)[5])
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_connection.atom(messageType);
    event.xclient.format = 32;
    std::copy(std::begin(data), std::end(data), event.xclient.data.l);
    XSendEvent(m_connection.display(), m_connection.root(), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11Windows::activate(XWindow window)
{
    requireExisting(window);
    Display *display = m_connection.display();
    if (!hasWindowManager()) {
        if (!m_warnedNoWindowManager) {
            qWarning(
                "No EWMH window manager runs: windows are activated by raising and focusing them directly.");
            m_warnedNoWindowManager = true;
        }
        if (!isViewable(window))
            throw hiddenWindow(window);
        XRaiseWindow(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        waitUntilProcessed(window);
        return;
    }
    const long time = static_cast<long>(m_connection.serverTime());
    const long current = static_cast<long>(activeWindow());
    {
        EventSelection selection(display, m_connection.root(), PropertyChangeMask);
        // A window on another workspace is not brought over by every window
        // manager (openbox leaves it there, hidden): the user is taken to it.
        const auto workspace = m_connection.firstItem(window, "_NET_WM_DESKTOP", XA_CARDINAL);
        const auto shownWorkspace =
            m_connection.firstItem(m_connection.root(), "_NET_CURRENT_DESKTOP", XA_CARDINAL);
        if (workspace && shownWorkspace && *workspace != kAllWorkspaces && *workspace != *shownWorkspace)
            sendToRoot(m_connection.root(), "_NET_CURRENT_DESKTOP",
                       {static_cast<long>(*workspace), time, 0, 0, 0});
        sendToRoot(window, "_NET_ACTIVE_WINDOW", {kSourcePager, time, current, 0, 0});
        m_connection.sync();
        // The window manager may refuse (a modal dialog of the same program takes
        // the focus instead); that is its decision, not a failure of ours.
        waitFor(kWindowManagerTimeoutSeconds, false, [&] {
            XSync(display, False);
            while (XPending(display) > 0) {
                XEvent ignored;
                XNextEvent(display, &ignored);
            }
            return activeWindow() == window && isShown(window);
        });
    }
    if (activeWindow() != window) {
        // Refused for a window still shown (a modal dialog of the same program
        // took the focus) is the window manager's call. Not shown even now, it is
        // hidden (to the tray): keys meant for it would go to the window in front.
        if (!isViewable(window))
            throw hiddenWindow(window);
        return;
    }
    // A window manager can believe a window focused while the server refused or
    // undid its focus request: a window activated before it was viewable or while
    // it was still being framed, or a request stamped before the focus fell back to
    // the root when the last window closed. Keys would then go to whatever lies
    // under the pointer, so the focus is made real here, only where the window
    // manager agrees the window is active, and checked once the client caught up.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (isViewable(window) && !hasInputFocus(window)) {
            XSetInputFocus(display, window, RevertToParent, m_connection.serverTime());
            m_connection.sync();
        }
        // Keys sent right after must find the focus change handled.
        waitUntilProcessed(window);
        if (hasInputFocus(window))
            break;
    }
}

bool X11Windows::isShown(XWindow window)
{
    // WM_STATE Normal is set once the window manager has framed and shown it.
    const auto state = m_connection.firstItem(window, "WM_STATE", m_connection.atom("WM_STATE"));
    return isViewable(window) && state == static_cast<unsigned long>(NormalState);
}

bool X11Windows::isViewable(XWindow window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_connection.display(), window, &attributes) &&
           attributes.map_state == IsViewable;
}

bool X11Windows::hasInputFocus(XWindow window)
{
    const std::vector<XWindow> chain = focusChain();
    return std::find(chain.begin(), chain.end(), window) != chain.end();
}

QRect X11Windows::frameGeometry(XWindow window)
{
    Display *display = m_connection.display();
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        throw Failure(QStringLiteral("The window %1 does not exist any more.").arg(describeWindow(window)));
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, m_connection.root(), 0, 0, &x, &y, &child);
    x -= attributes.border_width;
    y -= attributes.border_width;
    const int width = attributes.width + 2 * attributes.border_width;
    const int height = attributes.height + 2 * attributes.border_width;
    const auto extents = m_connection.property32(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    if (extents.size() != 4)
        return QRect(x, y, width, height);
    const int left = static_cast<int>(extents[0]);
    const int right = static_cast<int>(extents[1]);
    const int top = static_cast<int>(extents[2]);
    const int bottom = static_cast<int>(extents[3]);
    return QRect(x - left, y - top, width + left + right, height + top + bottom);
}

void X11Windows::move(XWindow window, int x, int y)
{
    requireExisting(window);
    Display *display = m_connection.display();
    EventSelection selection(display, window, StructureNotifyMask);

    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    const auto wmState = m_connection.firstItem(window, "WM_STATE", m_connection.atom("WM_STATE"));
    // A minimised window stays minimised, as "show" does not restore it; a window
    // that is simply hidden is shown.
    if (attributes.map_state == IsUnmapped && wmState.value_or(WithdrawnState) != IconicState)
        XMapWindow(display, window);

    if (hasWindowManager()) {
        // North-west gravity: the coordinates are those of the frame's outer corner.
        const long flags = NorthWestGravity | (1L << 8) | (1L << 9) | (kSourcePager << 12);
        sendToRoot(window, "_NET_MOVERESIZE_WINDOW", {flags, x, y, 0, 0});
    } else {
        XMoveWindow(display, window, protocolCoordinate(x), protocolCoordinate(y));
    }
    m_connection.sync();
    waitFor(kWindowManagerTimeoutSeconds, false, [&] {
        while (XPending(display) > 0) {
            XEvent ignored;
            XNextEvent(display, &ignored);
        }
        return m_connection.windowExists(window) && frameGeometry(window).topLeft() == QPoint(x, y);
    });
}

std::vector<XWindow> X11Windows::clientWindows()
{
    if (hasWindowManager())
        return m_connection.property32(m_connection.root(), "_NET_CLIENT_LIST", XA_WINDOW);

    std::vector<XWindow> result;
    Display *display = m_connection.display();
    Window rootReturn = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, m_connection.root(), &rootReturn, &parent, &children, &count))
        return result;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
            !attributes.override_redirect)
            result.push_back(children[i]);
    }
    if (children)
        XFree(children);
    return result;
}

XWindow X11Windows::findByTitle(const QString &title)
{
    for (XWindow window : clientWindows()) {
        if (m_connection.windowTitle(window) == title)
            return window;
    }
    return 0;
}

XWindow X11Windows::findByPid(long pid)
{
    if (pid <= 0)
        return 0;
    for (XWindow window : clientWindows()) {
        if (isMainKind(window) && isSameOrDescendant(m_connection.windowPid(window), pid))
            return window;
    }
    return 0;
}

bool X11Windows::isMainKind(XWindow window)
{
    // A splash screen closes seconds after it shows, and a toolbox or a menu
    // is not where a program's keys go: only a normal window or a dialog (or
    // one that says nothing of its kind) is the program's window.
    const std::vector<unsigned long> kinds = m_connection.property32(window, "_NET_WM_WINDOW_TYPE", XA_ATOM);
    if (kinds.empty())
        return true;
    const XAtom kind = kinds.front();
    return kind == m_connection.atom("_NET_WM_WINDOW_TYPE_NORMAL") ||
           kind == m_connection.atom("_NET_WM_WINDOW_TYPE_DIALOG");
}

void X11Windows::waitUntilButtonsUp()
{
    // The pointer's state as the server has processed its events: a release
    // still frozen behind the window manager's grab leaves the button down.
    const auto buttonsUp = [this] {
        return (m_connection.pointer().mask & (Button1Mask | Button2Mask | Button3Mask)) == 0;
    };
    // A window manager that never lets go (hung) costs this wait once per
    // click; the keys then take their chance, as they would without it.
    waitFor(kWindowManagerTimeoutSeconds, false, buttonsUp);
}

XWindow X11Windows::ownWindowUnderPointer()
{
    Display *display = m_connection.display();
    Window current = m_connection.root();
    // Down the windows the pointer is in: the window manager's frame first,
    // then the client inside it.
    for (int depth = 0; depth < 8; ++depth) {
        Window root = 0;
        Window child = 0;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(display, current, &root, &child, &rootX, &rootY, &windowX, &windowY, &mask) ||
            child == None)
            return 0;
        if (isOwnWindow(child))
            return child;
        current = child;
    }
    return 0;
}

bool X11Windows::answersPing(XWindow window)
{
    Atom *protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(m_connection.display(), window, &protocols, &count))
        return false;
    const Atom ping = m_connection.atom("_NET_WM_PING");
    const bool found = std::find(protocols, protocols + count, ping) != protocols + count;
    XFree(protocols);
    return found;
}

void X11Windows::waitUntilProcessed(XWindow window)
{
    Display *display = m_connection.display();
    m_connection.sync();
    if (window == 0 || !m_connection.windowExists(window))
        return;
    const bool own = isOwnWindow(window);
    if (!answersPing(window)) {
        waitFor(kSettleSeconds, own, [&] {
            while (XPending(display) > 0) {
                XEvent ignored;
                XNextEvent(display, &ignored);
            }
            return false;
        });
        return;
    }

    // A toolkit may answer the ping while the keys still wait in a queue of its
    // own (Qt hands them on at the end of the same event-loop turn); the second
    // ping is answered on a later turn, after that queue was delivered. A client
    // that does not answer at all (busy, hung) is given up on after the timeout:
    // the keys then simply take their chance, as they would without a barrier.
    // A click may close the window it landed on (the OK of a box of our own):
    // nothing would answer the second ping.
    if (ping(window, own) && m_connection.windowExists(window))
        ping(window, own);
}

bool X11Windows::ping(XWindow window, bool own)
{
    Display *display = m_connection.display();
    const long token = ++m_pingToken;
    const Atom protocols = m_connection.atom("WM_PROTOCOLS");
    const Atom pingAtom = m_connection.atom("_NET_WM_PING");
    // Replies go to the root window with the mask of either structure notification
    // (Qt uses StructureNotifyMask, others SubstructureNotifyMask); the redirect
    // half belongs to the window manager.
    EventSelection selection(display, m_connection.root(), StructureNotifyMask | SubstructureNotifyMask);

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(pingAtom);
    event.xclient.data.l[1] = token;
    event.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);

    bool answered = false;
    return waitFor(kPingTimeoutSeconds, own, [&] {
        while (XPending(display) > 0) {
            XEvent reply;
            XNextEvent(display, &reply);
            if (reply.type == ClientMessage && reply.xclient.message_type == protocols &&
                static_cast<Atom>(reply.xclient.data.l[0]) == pingAtom && reply.xclient.data.l[1] == token &&
                static_cast<XWindow>(reply.xclient.data.l[2]) == window)
                answered = true;
        }
        return answered;
    });
}

} // namespace kestrel::x11

#include "desktop/x11/X11Connection.h"

#include "common/Failure.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <poll.h>
#include <vector>

namespace kestrel::x11 {

namespace {

// Xlib has one process-wide error handler, and its default ends the process. While
// connections of ours exist, this handler absorbs their errors and hands every
// other connection's errors to whatever handler was installed before (Qt's, say).
// It is file-local state because Xlib's callback carries no user pointer.
struct ErrorRouting
{
    XErrorHandler previous = nullptr;
    std::vector<std::pair<Display *, int>> counts;
};
ErrorRouting g_routing;

int routeError(Display *display, XErrorEvent *event)
{
    for (auto &entry : g_routing.counts) {
        if (entry.first == display) {
            ++entry.second;
            return 0;
        }
    }
    return g_routing.previous ? g_routing.previous(display, event) : 0;
}

void registerConnection(Display *display)
{
    if (g_routing.counts.empty())
        g_routing.previous = XSetErrorHandler(routeError);
    g_routing.counts.emplace_back(display, 0);
}

void unregisterConnection(Display *display)
{
    auto &counts = g_routing.counts;
    counts.erase(
        std::remove_if(counts.begin(), counts.end(), [display](auto &e) { return e.first == display; }),
        counts.end());
    if (counts.empty()) {
        XSetErrorHandler(g_routing.previous);
        g_routing.previous = nullptr;
    }
}

} // namespace

X11Connection::X11Connection(const QByteArray &displayName)
{
    const char *name = displayName.isEmpty() ? nullptr : displayName.constData();
    m_name = QString::fromLocal8Bit(XDisplayName(name));
    m_display = XOpenDisplay(name);
    if (!m_display) {
        throw Failure(m_name.isEmpty() ? QStringLiteral("cannot open display: DISPLAY is not set")
                                       : QStringLiteral("cannot open display %1").arg(m_name));
    }
    registerConnection(m_display);
    m_root = DefaultRootWindow(m_display);
    // An unmapped window of our own, only to learn the server time from a property
    // change (the one way a client can ask for it).
    m_helper = XCreateSimpleWindow(m_display, m_root, -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(m_display, m_helper, PropertyChangeMask);
}

X11Connection::~X11Connection()
{
    XDestroyWindow(m_display, m_helper);
    XSync(m_display, False);
    unregisterConnection(m_display);
    XCloseDisplay(m_display);
}

XAtom X11Connection::atom(const char *name)
{
    auto found = m_atoms.find(name);
    if (found != m_atoms.end())
        return found->second;
    const XAtom value = XInternAtom(m_display, name, False);
    m_atoms.emplace(name, value);
    return value;
}

std::vector<unsigned long> X11Connection::property32(XWindow window, const char *name, XAtom type)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned long> items;
    const int status =
        XGetWindowProperty(m_display, window, atom(name), 0, 1 << 16, False, type ? type : AnyPropertyType,
                           &actualType, &format, &count, &remaining, &data);
    if (status == Success && data && format == 32) {
        // Xlib hands format-32 items back as longs, whatever the server's word size.
        const auto *longs = reinterpret_cast<const unsigned long *>(data);
        items.assign(longs, longs + count);
    }
    if (data)
        XFree(data);
    return items;
}

std::optional<unsigned long> X11Connection::firstItem(XWindow window, const char *name, XAtom type)
{
    const auto items = property32(window, name, type);
    if (items.empty())
        return std::nullopt;
    return items.front();
}

QString X11Connection::windowTitle(XWindow window)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(m_display, window, atom("_NET_WM_NAME"), 0, 1 << 16, False, atom("UTF8_STRING"),
                           &actualType, &format, &count, &remaining, &data) == Success &&
        data && format == 8) {
        const QString title =
            QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<int>(count));
        XFree(data);
        return title;
    }
    if (data)
        XFree(data);

    XTextProperty text{};
    if (!XGetWMName(m_display, window, &text) || !text.value)
        return QString();
    QString title;
    char **list = nullptr;
    int listCount = 0;
    if (Xutf8TextPropertyToTextList(m_display, &text, &list, &listCount) >= Success && list && listCount > 0)
        title = QString::fromUtf8(list[0]);
    else if (text.encoding == XA_STRING)
        title =
            QString::fromLatin1(reinterpret_cast<const char *>(text.value), static_cast<int>(text.nitems));
    if (list)
        XFreeStringList(list);
    XFree(text.value);
    return title;
}

X11Connection::PointerState X11Connection::pointer()
{
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
    return {QPoint(rootX, rootY), mask};
}

bool X11Connection::windowExists(XWindow window)
{
    if (window == 0)
        return false;
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_display, window, &attributes) != 0;
}

unsigned long X11Connection::serverTime()
{
    const Atom stamp = atom("_KESTREL_TIMESTAMP");
    XChangeProperty(m_display, m_helper, stamp, XA_INTEGER, 32, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(m_display, m_helper, PropertyChangeMask, &event);
    return event.xproperty.time;
}

long X11Connection::windowPid(XWindow window)
{
    return static_cast<long>(firstItem(window, "_NET_WM_PID", XA_CARDINAL).value_or(0));
}

QByteArray X11Connection::windowClass(XWindow window)
{
    XClassHint hint{};
    if (!XGetClassHint(m_display, window, &hint))
        return {};
    QByteArray joined = QByteArray(hint.res_name ? hint.res_name : "") + '\0' +
                        QByteArray(hint.res_class ? hint.res_class : "");
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return joined;
}

void X11Connection::waitReadable(double seconds)
{
    XFlush(m_display);
    if (XPending(m_display) > 0)
        return;
    pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
    poll(&descriptor, 1, std::max(0, static_cast<int>(std::ceil(seconds * 1000.0))));
}

void X11Connection::sync()
{
    XSync(m_display, False);
}

int X11Connection::errorCount() const
{
    for (const auto &entry : g_routing.counts) {
        if (entry.first == m_display)
            return entry.second;
    }
    return 0;
}

} // namespace kestrel::x11

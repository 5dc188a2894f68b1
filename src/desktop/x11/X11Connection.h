#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay; // Xlib's Display; Xlib.h stays out of headers because its macros clash with Qt

namespace kestrel::x11 {

using XWindow = unsigned long;
using XAtom = unsigned long;

/// A screen coordinate as the core protocol can carry it (16 bits, signed). Xlib
/// truncates wider values without a word, so a spoken 40000 would land at -25536,
/// on the wrong side of the screen; held at the range's end it stays off that side.
constexpr int protocolCoordinate(int value)
{
    return value < -32768 ? -32768 : value > 32767 ? 32767 : value;
}

/// One private Xlib connection with the helpers the backend needs: atoms,
/// properties, window titles, the server time and a wait on the socket.
///
/// X errors on this connection (a window that vanished between two requests, say)
/// never end the process: they are counted and the request's result is treated as
/// missing. Errors on other connections go on to the handler that was there before.
///
/// Threading: one thread. Ownership: the backend owns it.
class X11Connection
{
public:
    /// Opens the display named `displayName` (empty: $DISPLAY). Throws Failure
    /// naming the display when there is no X server to talk to.
    explicit X11Connection(const QByteArray &displayName = {});
    ~X11Connection();
    X11Connection(const X11Connection &) = delete;
    X11Connection &operator=(const X11Connection &) = delete;

    _XDisplay *display() const { return m_display; }
    XWindow root() const { return m_root; }
    QString displayName() const { return m_name; }

    XAtom atom(const char *name);

    /// The 32-bit items of a property (format 32), empty when it is missing. With
    /// `type` 0 any type is accepted.
    std::vector<unsigned long> property32(XWindow window, const char *name, XAtom type = 0);
    std::optional<unsigned long> firstItem(XWindow window, const char *name, XAtom type = 0);

    /// _NET_WM_NAME (UTF-8), falling back to WM_NAME in whatever encoding it has.
    QString windowTitle(XWindow window);

    /// True when the window exists; checked with a round trip.
    bool windowExists(XWindow window);

    struct PointerState
    {
        QPoint position;       ///< on the root window
        unsigned int mask = 0; ///< buttons and modifiers down, as the server has processed them
    };
    PointerState pointer();

    /// The X server's current time, for requests that want a real timestamp.
    unsigned long serverTime();

    /// The process id a client window advertises (_NET_WM_PID), or 0.
    long windowPid(XWindow window);
    /// The window's WM_CLASS, instance and class joined by a NUL; empty when unset.
    QByteArray windowClass(XWindow window);

    /// Blocks until the connection has something to read or `seconds` passed.
    void waitReadable(double seconds);

    /// Sends every queued request and waits until the server has handled them.
    void sync();

    /// How many X errors this connection has absorbed so far.
    int errorCount() const;

private:
    _XDisplay *m_display = nullptr;
    XWindow m_root = 0;
    XWindow m_helper = 0;
    QString m_name;
    std::map<std::string, XAtom> m_atoms;
};

} // namespace kestrel::x11

#pragma once

#include "desktop/Desktop.h"
#include "desktop/x11/ProgramStarts.h"
#include "desktop/KeySequence.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kestrel {
class EventWait;
}

namespace kestrel::x11 {
class X11Connection;
class X11Keyboard;
class X11Windows;
} // namespace kestrel::x11

namespace kestrel {

/// The desktop on an X server: keys and buttons through XTest, windows through
/// EWMH, programs through QProcess, the clipboard through Qt.
///
/// Keys go to whichever window has the focus. "Processed" means: the foreground
/// window's client has handled the keys, proven by _NET_WM_PING round trips where
/// the client supports them, and by a 20 ms settle delay where it does not (see
/// X11Windows). Keys missing from the keyboard map are typed on spare keycodes
/// that are remapped for the string and restored after it (see X11Keyboard).
///
/// A WindowId is the X window number with a tag of the program it belongs to
/// (its process id and WM_CLASS) in the upper half. The server hands a freed
/// number to the next client, and a program of the same toolkit often lands on
/// the very number of a window closed by hand: a remembered window whose tag no
/// longer matches "does not exist any more", instead of being the other
/// program's window. An untagged number (the upper half 0) is taken as it is.
///
/// The backend talks over a connection of its own, so it works beside Qt's
/// connection and beside any Qt platform plugin. Constructing it without an X
/// server throws Failure naming the display.
class X11Desktop final : public Desktop
{
public:
    /// `wait` lets window events run while a window of this very process is asked
    /// whether it has handled keys; it also provides the clock of every wait.
    explicit X11Desktop(EventWait &wait, const QByteArray &displayName = {});
    ~X11Desktop() override;

    WindowId foregroundWindow() override;
    bool windowExists(WindowId window) override;
    void activateWindow(WindowId window) override;
    void moveWindow(WindowId window, int x, int y) override;
    WindowId findTopLevelWindow(const QString &title) override;

    QPoint cursorPosition() override;
    void setCursorPosition(QPoint position) override;
    void mouseButton(Button button, bool press) override;

    void sendKeys(const QString &notation, bool waitUntilProcessed) override;
    void typeText(const QString &text) override;

    StartResult startProgram(const QString &program, const QStringList &arguments,
                             const QString &workingDirectory) override;
    StartResult openDocument(const QString &target, const QString &workingDirectory) override;
    bool startFailed(qint64 processId) override;
    WindowId windowOfProcess(qint64 processId) override;

    bool fileExists(const QString &pattern) override;
    bool directoryExists(const QString &path) override;
    QString clipboardText() override;
    QString currentClipboardText() override;
    void setClipboardText(const QString &text) override;

    /// Empties the keys a crashed earlier run left remapped (its record on the
    /// root window says which). Only for the instance that holds the guard: a
    /// second one would take the keys of a first one in the middle of typing.
    void undoLeftoverKeyRemaps();
    /// Empties the spare keycodes that still carry characters typed earlier
    /// (kept for clients that read their keys late); the program's end skips
    /// destructors, so it asks for this itself. A server already gone ends the
    /// process at once with status 0.
    void releaseSpareKeys();

    // --- Beyond the interface: for diagnostics and tests ----------------------

    /// The window's frame rectangle in screen pixels. Throws when it is missing.
    QRect frameGeometry(WindowId window);
    /// True when the window's client answers _NET_WM_PING (the exact barrier).
    bool answersPing(WindowId window);
    /// The keycodes kept for keys missing from the keyboard map.
    std::vector<int> spareKeycodes() const;
    /// The X window number of a WindowId.
    static unsigned long xWindow(WindowId window) { return static_cast<unsigned long>(window & 0xffffffffu); }

private:
    /// The WindowId of an X window: its number and its program's tag.
    WindowId idOf(unsigned long window);
    /// The X window a WindowId names; throws Failure when another program's
    /// window has taken its number.
    unsigned long windowOf(WindowId window);
    std::uint32_t programTag(unsigned long window);

    void play(const std::vector<KeyStroke> &strokes, bool waitAtEnd);

    std::unique_ptr<x11::X11Connection> m_connection;
    std::unique_ptr<x11::X11Windows> m_windows;
    std::unique_ptr<x11::X11Keyboard> m_keyboard;
    x11::ProgramStarter m_starter;
    /// The clipboard's text as last read, until it changes.
    std::optional<QString> m_clipboardText;
    /// When an empty read is tried again.
    QDeadlineTimer m_clipboardAskAgain;
    /// Context of the connection that hears of those changes.
    std::unique_ptr<QObject> m_clipboardNews;
};

} // namespace kestrel

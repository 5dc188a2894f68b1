#pragma once

#include "desktop/KeySequence.h"
#include "desktop/x11/KeyPlan.h"
#include "desktop/x11/X11Connection.h"

#include <functional>
#include <vector>

namespace kestrel::x11 {

/// Types key strokes with XTest.
///
/// Keys that the keyboard map lacks (characters of other alphabets, the Euro sign,
/// F13 and up on some maps) are typed on spare keycodes: keycodes that carry no
/// keysym at all when the backend starts. The spares used are the longest
/// contiguous run of such keycodes, so that one XChangeKeyboardMapping request
/// remaps every key one string needs, and one more restores them; a map change
/// costs every client (the window manager re-grabs its keys) tens of
/// milliseconds, so changing it per character would stall the desktop and lose
/// characters.
///
/// Crash safety: while spares are remapped their keycodes and keysyms are listed
/// in the root window property _KESTREL_REMAPPED_KEYS, which lives as long as the
/// X server. At start-up every keycode listed there that still carries the listed
/// keysym is emptied again, so a crash in the middle of typing leaves no stray keys
/// behind beyond the next start.
///
/// Threading: one thread. Ownership: the backend owns it.
class X11Keyboard
{
public:
    explicit X11Keyboard(X11Connection &connection);

    /// Plays the strokes. `barrier` must return once the receiving client has
    /// handled everything sent so far; it runs after a map change (before keys use
    /// it), before the change is undone, and at the end when `waitAtEnd` is set.
    /// Throws Failure before any key is sent when a key cannot be typed.
    void play(const std::vector<KeyStroke> &strokes, const std::function<void()> &barrier, bool waitAtEnd);

    KeyboardMap currentMap();
    const std::vector<KeyCodeNumber> &spares() const { return m_spares; }

private:
    /// Writes `keysym` (0: none) onto each keycode in `rows`, which must lie in one
    /// contiguous run, with one request.
    void writeRows(const std::vector<std::pair<KeyCodeNumber, KeySymbol>> &rows, int width);
    void recordRemaps(const std::vector<std::pair<KeyCodeNumber, KeySymbol>> &remaps);
    void restoreLeftovers();

    X11Connection &m_connection;
    std::vector<KeyCodeNumber> m_spares;
};

/// The longest run of consecutive keycodes in `empty` (sorted), preferring the
/// highest keycodes when runs tie, at most `limit` long.
std::vector<KeyCodeNumber> longestRun(const std::vector<KeyCodeNumber> &empty, std::size_t limit);

} // namespace kestrel::x11

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
/// remaps every key one string needs (up to 16 distinct keys a batch), and one more
/// restores them. A map change costs every client work (the window manager
/// re-grabs its keys), so changing it per character stalls the desktop and loses
/// characters; even batched, each remapped keycode costs openbox some 20 ms of
/// processor time after the fact, which is why the pool is kept small.
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
    /// Writes the remaps' keysyms (0: none) onto their keycodes, one request per
    /// run of consecutive keycodes.
    void writeRows(const std::vector<Remap> &rows);
    void recordRemaps(const std::vector<Remap> &remaps);
    void restoreLeftovers();

    X11Connection &m_connection;
    std::vector<KeyCodeNumber> m_spares;
};

/// The longest run of consecutive keycodes in `empty` (sorted), preferring the
/// highest keycodes when runs tie, at most `limit` long.
std::vector<KeyCodeNumber> longestRun(const std::vector<KeyCodeNumber> &empty, std::size_t limit);

} // namespace kestrel::x11

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
/// keysym at all when the backend starts (at most 16, whole runs of consecutive
/// keycodes first). All the spares one string needs are remapped together, with
/// one XChangeKeyboardMapping per run of consecutive spares, before any key is
/// typed. They keep their characters after it: a client busy at the time, or
/// one that does not answer the barrier's ping (xterm, Java programs), reads
/// its keys later and must find the characters it was sent, not an empty key
/// or the next string's. A later string types the same characters on them
/// again, takes empty spares first, and gives a held one another character
/// only once no empty one is left, the one typed on longest ago first. Every map change makes every
/// client re-read the map and the window manager re-grab its keys (openbox spends
/// some 40 ms of processor time per request), so a change per character would
/// stall the desktop and lose characters. Real keys are never rewritten to make the
/// spares one block: rewriting a key through the core protocol can lose what the
/// keyboard description gave it beyond its keysyms. Xvfb's default map has 19
/// free keycodes in 14 runs, so there a batch takes a request per run.
///
/// Crash safety: while spares are remapped their keycodes and keysyms are listed
/// in the root window property _KESTREL_REMAPPED_KEYS, which lives as long as the
/// X server. They are emptied at the program's end (releaseSpares), and at
/// start-up every keycode listed there that still carries the listed keysym is
/// emptied again, so a crash leaves no stray keys behind beyond the next start.
///
/// Threading: one thread. Ownership: the backend owns it.
class X11Keyboard
{
public:
    explicit X11Keyboard(X11Connection &connection);
    /// Empties the spares it holds.
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard &) = delete;
    X11Keyboard &operator=(const X11Keyboard &) = delete;

    /// Plays the strokes. `barrier` must return once the receiving client has
    /// handled everything sent so far; it runs after a map change (before keys use
    /// it), before a later batch changes the map again, and at the end when
    /// `waitAtEnd` is set.
    /// Throws Failure before any key is sent when a key cannot be typed.
    void play(const std::vector<KeyStroke> &strokes, const std::function<void()> &barrier, bool waitAtEnd);

    KeyboardMap currentMap();
    const std::vector<KeyCodeNumber> &spares() const { return m_spares; }

    /// Empties the keycodes the record on the root window lists, where they still
    /// carry what was put there, and takes them as spares again.
    void restoreLeftovers();
    /// Empties the spares this keyboard holds, where they still carry what it
    /// put there.
    void releaseSpares();
    /// releaseSpares for the program's end, which skips destructors. Should
    /// the server be gone by then, the process ends at once with status 0.
    void releaseSparesAtProgramEnd();

private:
    /// Writes the remaps' keysyms (0: none) onto their keycodes, one request per
    /// run of consecutive keycodes.
    void writeRows(const std::vector<Remap> &rows);
    void recordRemaps(const std::vector<Remap> &remaps);

    /// The keyboard state the key plan assumes, for the guard's lifetime: the
    /// first layout (XKB group) selected, and Caps Lock off unless `keepCapsLock`.
    /// What the user had selected and locked comes back at its end.
    class PlainKeyboard
    {
    public:
        PlainKeyboard(_XDisplay *display, bool keepCapsLock);
        ~PlainKeyboard();
        PlainKeyboard(const PlainKeyboard &) = delete;
        PlainKeyboard &operator=(const PlainKeyboard &) = delete;

    private:
        _XDisplay *m_display;
        int m_lockedGroup = 0;
        bool m_groupSwitched = false;
        bool m_capsUnlocked = false;
    };

    /// The spares free for this string: the empty ones, then those typed on
    /// longest ago whose characters it does not use.
    std::vector<KeyCodeNumber> sparesFor(const std::vector<KeyStroke> &strokes, const KeyboardMap &map);
    /// Puts the remaps on their keycodes and lists everything held on the root.
    void hold(const std::vector<Remap> &remaps);

    X11Connection &m_connection;
    std::vector<KeyCodeNumber> m_spares;
    std::vector<Remap> m_held; ///< what the spares carry now, least recently typed first
};

/// Up to `limit` keycodes from `empty` (sorted), whole runs of consecutive keycodes
/// first, longest runs first, so that as few requests as possible remap them.
std::vector<KeyCodeNumber> chooseSpares(const std::vector<KeyCodeNumber> &empty, std::size_t limit);

} // namespace kestrel::x11

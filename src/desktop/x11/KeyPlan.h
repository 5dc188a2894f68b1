#pragma once

#include "desktop/KeySequence.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace kestrel::x11 {

// Plain integer types instead of Xlib's, so that no Xlib macro leaks into code that
// includes this header next to Qt.
using KeySymbol = std::uint32_t;
using KeyCodeNumber = int;

/// The keysym that types a Unicode character: Latin-1 characters are their own
/// keysym, everything else uses the Unicode keysym range. Control characters that
/// have a key of their own (newline, tab, backspace, escape, delete) map to it;
/// other control characters have no keysym (0).
KeySymbol keysymForCharacter(char32_t character);

/// The keysym of a named key of the notation.
KeySymbol keysymForNamedKey(NamedKey key);

/// Where a keysym sits on the core keyboard map and which shift levels reach it.
struct KeyPlacement
{
    KeyCodeNumber keycode = 0;
    bool shift = false;  ///< second level
    bool level3 = false; ///< third/fourth level (AltGr)
    bool operator==(const KeyPlacement &) const = default;
};

/// A snapshot of the core keyboard map (XGetKeyboardMapping's layout: `width`
/// keysyms per keycode from `minKeycode` on). Columns 0 and 1 are the first group's
/// plain and shifted levels, columns 4 and 5 its AltGr levels (X11Keyboard takes
/// these from XKB, since the core map lends them to a later group); the second group
/// (columns 2 and 3) is never used, because reaching it needs a group switch.
class KeyboardMap
{
public:
    KeyboardMap(KeyCodeNumber minKeycode, int width, std::vector<KeySymbol> keysyms,
                std::vector<KeyCodeNumber> modifierKeycodes = {});

    KeyCodeNumber minKeycode() const { return m_minKeycode; }
    KeyCodeNumber maxKeycode() const;
    int width() const { return m_width; }

    /// The best placement of `keysym`: plain level first, then shifted, then AltGr
    /// (only when an ISO_Level3_Shift key exists); lowest keycode first.
    std::optional<KeyPlacement> find(KeySymbol keysym) const;

    /// The keycode that carries `keysym` on its plain level, or 0.
    KeyCodeNumber plainKeycode(KeySymbol keysym) const;

    /// True when the keycode carries no keysym at all and is no modifier key.
    bool isEmpty(KeyCodeNumber keycode) const;
    std::vector<KeyCodeNumber> emptyKeycodes() const;

    /// The keysyms of one keycode (`width` entries).
    std::vector<KeySymbol> row(KeyCodeNumber keycode) const;

private:
    KeySymbol at(KeyCodeNumber keycode, int column) const;

    KeyCodeNumber m_minKeycode;
    int m_width;
    std::vector<KeySymbol> m_keysyms;
    std::vector<KeyCodeNumber> m_modifierKeycodes;
};

/// One fake key event.
struct KeyEvent
{
    KeyCodeNumber keycode = 0;
    bool press = false;
    bool operator==(const KeyEvent &) const = default;
};

/// A spare keycode given a keysym for a while: `plain` on its first level and
/// `shifted` on its second, so that Shift turns a letter into its capital as on a
/// real key, and leaves everything else alone.
struct Remap
{
    KeyCodeNumber keycode = 0;
    KeySymbol plain = 0;
    KeySymbol shifted = 0;
    bool operator==(const Remap &) const = default;
};

/// Key events that can be played with one keyboard map: first the spare keycodes
/// are given the keysyms in `remaps`, then `events` are played, then the spares are
/// emptied again.
struct KeyBatch
{
    std::vector<Remap> remaps;
    std::vector<KeyEvent> events;
};

/// Turns key strokes into batches of key events. Keysyms missing from `map` are put
/// on `spares`; a new batch starts only when the spares run out, so that the map is
/// changed as rarely as possible. A carriage return directly before a newline is
/// dropped, and control characters without a key are skipped.
///
/// Throws kestrel::Failure when a modifier key (Shift, Control, Alt) is missing
/// from the map, or when there are no spare keycodes for a keysym that is missing.
std::vector<KeyBatch> planKeys(const std::vector<KeyStroke> &strokes, const KeyboardMap &map,
                               const std::vector<KeyCodeNumber> &spares);

} // namespace kestrel::x11

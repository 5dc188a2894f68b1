#pragma once

#include <QString>

#include <vector>

namespace kestrel {

/// Named keys of the key-sequence notation.
enum class NamedKey {
    Enter,
    Tab,
    Escape,
    Backspace,
    Delete,
    Insert,
    Home,
    End,
    PageUp,
    PageDown,
    Up,
    Down,
    Left,
    Right,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    F13,
    F14,
    F15,
    F16,
    CapsLock,
    NumLock,
    ScrollLock,
    Break,
    PrintScreen,
    Help,
    Add,
    Subtract,
    Multiply,
    Divide,
};

/// One key tap: a character or a named key, pressed with the given modifiers held.
struct KeyStroke
{
    enum class Kind { Character, Named };
    Kind kind = Kind::Character;
    char32_t character = 0;         ///< for Kind::Character: the Unicode character to type
    NamedKey key = NamedKey::Enter; ///< for Kind::Named
    bool shift = false;
    bool control = false;
    bool alt = false;

    bool operator==(const KeyStroke &) const = default;
};

/// Parses key text in the notation: "+" Shift, "^" Control, "%" Alt for the key
/// (or parenthesised group) that follows; "~" Enter; {NAME} and {NAME n} named keys
/// repeated n times; {c} and {c n} type the character c itself (for the special
/// characters + ^ % ~ ( ) { } [ ]). Names are matched without regard to case.
///
/// Throws kestrel::Failure whose description names the bad token for an unknown
/// key name, an unbalanced brace or parenthesis, a modifier with nothing after it,
/// or a bad repeat count.
std::vector<KeyStroke> parseKeySequence(const QString &notation);

/// Every character of `text` as a plain key stroke, without notation meaning.
std::vector<KeyStroke> literalKeyStrokes(const QString &text);

/// The notation name of a named key, in upper case ("ENTER", "F5", ...).
QString namedKeyName(NamedKey key);

} // namespace kestrel

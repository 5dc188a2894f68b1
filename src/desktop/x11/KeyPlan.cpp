#include "desktop/x11/KeyPlan.h"

#include "common/Failure.h"

#include <QChar>

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <map>

namespace kestrel::x11 {

namespace {

constexpr KeySymbol kNoSymbol = 0;
constexpr KeySymbol kUnicodeKeysymBase = 0x01000000;

// Keyboard layouts list most characters beyond Latin-1 under X's older keysyms
// (Cyrillic_a, lstroke, endash, EuroSign) rather than the Unicode ones; a
// character looked for only as the latter would go on a spare key although
// the user's own keyboard has it.
KeySymbol legacyKeysym(char32_t character)
{
    const KeySymbol keysym = xkb_utf32_to_keysym(static_cast<uint32_t>(character));
    return keysym != keysymForCharacter(character) ? keysym : kNoSymbol;
}

/// The keysym a spare key gives with Shift: a lower-case letter's capital,
/// otherwise the character itself.
KeySymbol shiftedKeysym(char32_t character)
{
    const char32_t upper = QChar::toUpper(character);
    const KeySymbol shifted = keysymForCharacter(upper);
    return shifted != kNoSymbol ? shifted : keysymForCharacter(character);
}

struct Modifiers
{
    KeyCodeNumber shift = 0;
    KeyCodeNumber control = 0;
    KeyCodeNumber alt = 0;
    KeyCodeNumber level3 = 0;
};

KeyCodeNumber firstPlain(const KeyboardMap &map, std::initializer_list<KeySymbol> keysyms)
{
    for (KeySymbol keysym : keysyms) {
        if (KeyCodeNumber keycode = map.plainKeycode(keysym))
            return keycode;
    }
    return 0;
}

KeyCodeNumber require(KeyCodeNumber keycode, const char *name)
{
    if (keycode == 0)
        throw Failure(QStringLiteral("The keyboard map has no %1 key.").arg(QLatin1String(name)));
    return keycode;
}

} // namespace

KeySymbol keysymForCharacter(char32_t c)
{
    switch (c) {
    case U'\n':
    case U'\r':
        return XK_Return;
    case U'\t':
        return XK_Tab;
    case U'\b':
        return XK_BackSpace;
    case U'\x1b':
        return XK_Escape;
    case U'\x7f':
        return XK_Delete;
    default:
        break;
    }
    if (c < 0x20 || (c >= 0x80 && c < 0xa0) || (c >= 0xd800 && c < 0xe000) || c > 0x10ffff)
        return kNoSymbol;
    if (c < 0x100)
        return c;
    return kUnicodeKeysymBase | c;
}

KeySymbol keysymForNamedKey(NamedKey key)
{
    switch (key) {
    case NamedKey::Enter:
        return XK_Return;
    case NamedKey::Tab:
        return XK_Tab;
    case NamedKey::Escape:
        return XK_Escape;
    case NamedKey::Backspace:
        return XK_BackSpace;
    case NamedKey::Delete:
        return XK_Delete;
    case NamedKey::Insert:
        return XK_Insert;
    case NamedKey::Home:
        return XK_Home;
    case NamedKey::End:
        return XK_End;
    case NamedKey::PageUp:
        return XK_Prior;
    case NamedKey::PageDown:
        return XK_Next;
    case NamedKey::Up:
        return XK_Up;
    case NamedKey::Down:
        return XK_Down;
    case NamedKey::Left:
        return XK_Left;
    case NamedKey::Right:
        return XK_Right;
    case NamedKey::CapsLock:
        return XK_Caps_Lock;
    case NamedKey::NumLock:
        return XK_Num_Lock;
    case NamedKey::ScrollLock:
        return XK_Scroll_Lock;
    case NamedKey::Break:
        return XK_Break;
    case NamedKey::PrintScreen:
        return XK_Print;
    case NamedKey::Help:
        return XK_Help;
    case NamedKey::Add:
        return XK_KP_Add;
    case NamedKey::Subtract:
        return XK_KP_Subtract;
    case NamedKey::Multiply:
        return XK_KP_Multiply;
    case NamedKey::Divide:
        return XK_KP_Divide;
    default:
        break;
    }
    const int function = static_cast<int>(key) - static_cast<int>(NamedKey::F1);
    return XK_F1 + static_cast<KeySymbol>(function);
}

KeyboardMap::KeyboardMap(KeyCodeNumber minKeycode, int width, std::vector<KeySymbol> keysyms,
                         std::vector<KeyCodeNumber> modifierKeycodes)
    : m_minKeycode(minKeycode), m_width(std::max(width, 1)), m_keysyms(std::move(keysyms)),
      m_modifierKeycodes(std::move(modifierKeycodes))
{
}

KeyCodeNumber KeyboardMap::maxKeycode() const
{
    return m_minKeycode + static_cast<KeyCodeNumber>(m_keysyms.size() / static_cast<std::size_t>(m_width)) -
           1;
}

KeySymbol KeyboardMap::at(KeyCodeNumber keycode, int column) const
{
    if (keycode < m_minKeycode || keycode > maxKeycode() || column >= m_width)
        return kNoSymbol;
    return m_keysyms[static_cast<std::size_t>((keycode - m_minKeycode) * m_width + column)];
}

std::optional<KeyPlacement> KeyboardMap::find(KeySymbol keysym) const
{
    if (keysym == kNoSymbol)
        return std::nullopt;
    const bool hasLevel3 = plainKeycode(XK_ISO_Level3_Shift) != 0;
    struct Column
    {
        int index;
        bool shift;
        bool level3;
    };
    for (const Column column :
         {Column{0, false, false}, Column{1, true, false}, Column{4, false, true}, Column{5, true, true}}) {
        if (column.level3 && !hasLevel3)
            break;
        for (KeyCodeNumber keycode = m_minKeycode; keycode <= maxKeycode(); ++keycode) {
            if (at(keycode, column.index) == keysym)
                return KeyPlacement{keycode, column.shift, column.level3};
        }
    }
    return std::nullopt;
}

KeyCodeNumber KeyboardMap::plainKeycode(KeySymbol keysym) const
{
    for (KeyCodeNumber keycode = m_minKeycode; keycode <= maxKeycode(); ++keycode) {
        if (at(keycode, 0) == keysym)
            return keycode;
    }
    return 0;
}

bool KeyboardMap::isEmpty(KeyCodeNumber keycode) const
{
    if (keycode < m_minKeycode || keycode > maxKeycode())
        return false;
    if (std::find(m_modifierKeycodes.begin(), m_modifierKeycodes.end(), keycode) != m_modifierKeycodes.end())
        return false;
    for (int column = 0; column < m_width; ++column) {
        if (at(keycode, column) != kNoSymbol)
            return false;
    }
    return true;
}

std::vector<KeyCodeNumber> KeyboardMap::emptyKeycodes() const
{
    std::vector<KeyCodeNumber> result;
    for (KeyCodeNumber keycode = m_minKeycode; keycode <= maxKeycode(); ++keycode) {
        if (isEmpty(keycode))
            result.push_back(keycode);
    }
    return result;
}

std::vector<KeySymbol> KeyboardMap::row(KeyCodeNumber keycode) const
{
    std::vector<KeySymbol> result;
    for (int column = 0; column < m_width; ++column)
        result.push_back(at(keycode, column));
    return result;
}

std::vector<KeyBatch> planKeys(const std::vector<KeyStroke> &strokes, const KeyboardMap &map,
                               const std::vector<KeyCodeNumber> &spares)
{
    Modifiers modifiers;
    modifiers.shift = firstPlain(map, {XK_Shift_L, XK_Shift_R});
    modifiers.control = firstPlain(map, {XK_Control_L, XK_Control_R});
    modifiers.alt = firstPlain(map, {XK_Alt_L, XK_Alt_R, XK_Meta_L});
    modifiers.level3 = firstPlain(map, {XK_ISO_Level3_Shift});

    std::vector<KeyBatch> batches(1);
    std::map<KeySymbol, KeyCodeNumber> onSpares;

    for (std::size_t i = 0; i < strokes.size(); ++i) {
        const KeyStroke &stroke = strokes[i];
        const bool named = stroke.kind == KeyStroke::Kind::Named;
        if (!named && stroke.character == U'\r' && i + 1 < strokes.size()) {
            KeyStroke newline = stroke;
            newline.character = U'\n';
            if (strokes[i + 1] == newline)
                continue;
        }
        const KeySymbol keysym = named ? keysymForNamedKey(stroke.key) : keysymForCharacter(stroke.character);
        if (keysym == kNoSymbol)
            continue;

        // A named key counts only on a plain level: the shifted level of keys such
        // as Pause/Break or the keypad is reached with Control or Num Lock, not Shift.
        std::optional<KeyPlacement> placement;
        if (named) {
            if (KeyCodeNumber keycode = map.plainKeycode(keysym))
                placement = KeyPlacement{keycode, false, false};
        } else {
            placement = map.find(keysym);
            if (!placement)
                placement = map.find(legacyKeysym(stroke.character));
        }
        if (!placement) {
            auto known = onSpares.find(keysym);
            if (known != onSpares.end()) {
                placement = KeyPlacement{known->second, false, false};
            } else {
                if (spares.empty())
                    throw Failure(QStringLiteral("No free key code is left to type a key that is not on "
                                                 "the keyboard map."));
                if (onSpares.size() == spares.size()) {
                    batches.emplace_back();
                    onSpares.clear();
                }
                const KeyCodeNumber spare = spares[onSpares.size()];
                onSpares.emplace(keysym, spare);
                batches.back().remaps.push_back(
                    {spare, keysym, named ? keysym : shiftedKeysym(stroke.character)});
                placement = KeyPlacement{spare, false, false};
            }
        }

        std::vector<KeyCodeNumber> held;
        if (stroke.control)
            held.push_back(require(modifiers.control, "Control"));
        if (stroke.alt)
            held.push_back(require(modifiers.alt, "Alt"));
        if (stroke.shift || placement->shift)
            held.push_back(require(modifiers.shift, "Shift"));
        if (placement->level3)
            held.push_back(modifiers.level3);

        std::vector<KeyEvent> &events = batches.back().events;
        for (KeyCodeNumber keycode : held)
            events.push_back({keycode, true});
        events.push_back({placement->keycode, true});
        events.push_back({placement->keycode, false});
        for (auto it = held.rbegin(); it != held.rend(); ++it)
            events.push_back({*it, false});
    }
    return batches;
}

} // namespace kestrel::x11

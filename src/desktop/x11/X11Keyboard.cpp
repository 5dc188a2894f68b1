#include "desktop/x11/X11Keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include <unistd.h>

namespace kestrel::x11 {

namespace {

constexpr const char *kRemappedProperty = "_KESTREL_REMAPPED_KEYS";
// Every keycode remapped and restored costs the window manager work (openbox
// re-reads its key bindings: about 20 ms of its time per keycode here), so the
// pool stays small; strings with more distinct missing keys go in batches.
constexpr std::size_t kMaxSpares = 16;

// The core map's columns 4 and 5 hold the first layout's AltGr levels only
// when that layout has them. Where it has not (US English beside German, say),
// the server fills them with the next layout's: "€" then seems to sit on
// AltGr+E, and typed with the first layout selected it comes out as "e". XKB
// tells the layouts apart, so the two columns are filled from the first one's
// own levels; what only a later layout has goes on a spare keycode instead.
void firstGroupAltGrColumns(Display *display, int minKeycode, int maxKeycode, int width,
                            std::vector<KeySymbol> &table)
{
    constexpr int kAltGr = 4;
    if (width <= kAltGr + 1 || table.empty())
        return;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return; // no XKB: the core map is all there is
    for (int keycode = std::max(minKeycode, static_cast<int>(xkb->min_key_code));
         keycode <= std::min(maxKeycode, static_cast<int>(xkb->max_key_code)); ++keycode) {
        const auto code = static_cast<KeyCode>(keycode);
        if (XkbKeyNumGroups(xkb, code) < 1)
            continue;
        const int levels = XkbKeyGroupWidth(xkb, code, XkbGroup1Index);
        const auto row = static_cast<std::size_t>((keycode - minKeycode) * width);
        for (int level : {2, 3}) {
            table[row + static_cast<std::size_t>(kAltGr + level - 2)] =
                level < levels ? static_cast<KeySymbol>(XkbKeySymEntry(xkb, code, level, XkbGroup1Index))
                               : static_cast<KeySymbol>(NoSymbol);
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
}

} // namespace

std::vector<KeyCodeNumber> chooseSpares(const std::vector<KeyCodeNumber> &empty, std::size_t limit)
{
    struct Run
    {
        std::size_t start;
        std::size_t length;
    };
    std::vector<Run> runs;
    for (std::size_t start = 0; start < empty.size();) {
        std::size_t end = start + 1;
        while (end < empty.size() && empty[end] == empty[end - 1] + 1)
            ++end;
        runs.push_back({start, end - start});
        start = end;
    }
    // Long runs first (one request remaps a whole run), higher keycodes first
    // among equals: they are furthest from the keys real keyboards send.
    std::stable_sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) {
        return a.length != b.length ? a.length > b.length : a.start > b.start;
    });
    std::vector<KeyCodeNumber> chosen;
    for (const Run &run : runs) {
        const std::size_t take = std::min(run.length, limit - chosen.size());
        for (std::size_t i = run.start + run.length - take; i < run.start + run.length; ++i)
            chosen.push_back(empty[i]);
        if (chosen.size() == limit)
            break;
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

X11Keyboard::X11Keyboard(X11Connection &connection) : m_connection(connection)
{
    m_spares = chooseSpares(currentMap().emptyKeycodes(), kMaxSpares);
}

KeyboardMap X11Keyboard::currentMap()
{
    Display *display = m_connection.display();
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int width = 0;
    KeySym *keysyms =
        XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &width);
    std::vector<KeySymbol> table;
    if (keysyms) {
        const auto count = static_cast<std::size_t>((maxKeycode - minKeycode + 1) * width);
        table.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            table.push_back(static_cast<KeySymbol>(keysyms[i]));
        XFree(keysyms);
    }
    firstGroupAltGrColumns(display, minKeycode, maxKeycode, width, table);
    std::vector<KeyCodeNumber> modifierKeycodes;
    if (XModifierKeymap *modifiers = XGetModifierMapping(display)) {
        for (int i = 0; i < 8 * modifiers->max_keypermod; ++i) {
            if (modifiers->modifiermap[i])
                modifierKeycodes.push_back(modifiers->modifiermap[i]);
        }
        XFreeModifiermap(modifiers);
    }
    return KeyboardMap(minKeycode, width, std::move(table), std::move(modifierKeycodes));
}

void X11Keyboard::writeRows(const std::vector<Remap> &rows)
{
    auto sorted = rows;
    std::sort(sorted.begin(), sorted.end(),
              [](const Remap &a, const Remap &b) { return a.keycode < b.keycode; });
    constexpr std::size_t kColumns = 2;
    for (std::size_t start = 0; start < sorted.size();) {
        std::size_t end = start + 1;
        while (end < sorted.size() && sorted[end].keycode == sorted[end - 1].keycode + 1)
            ++end;
        // Both levels are always written: a lone letter keysym would be given a
        // case partner by the server, and a capital alone would type lower case.
        std::vector<KeySym> keysyms;
        for (std::size_t i = start; i < end; ++i) {
            keysyms.push_back(sorted[i].plain);
            keysyms.push_back(sorted[i].shifted);
        }
        XChangeKeyboardMapping(m_connection.display(), sorted[start].keycode, kColumns, keysyms.data(),
                               static_cast<int>(end - start));
        start = end;
    }
}

void X11Keyboard::recordRemaps(const std::vector<Remap> &remaps)
{
    Display *display = m_connection.display();
    const Atom property = m_connection.atom(kRemappedProperty);
    if (remaps.empty()) {
        XDeleteProperty(display, m_connection.root(), property);
        return;
    }
    std::vector<long> items;
    for (const Remap &remap : remaps) {
        items.push_back(remap.keycode);
        items.push_back(static_cast<long>(remap.plain));
    }
    XChangeProperty(display, m_connection.root(), property, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(items.data()), static_cast<int>(items.size()));
}

void X11Keyboard::restoreLeftovers()
{
    const auto items = m_connection.property32(m_connection.root(), kRemappedProperty, XA_INTEGER);
    if (items.empty())
        return;
    const KeyboardMap map = currentMap();
    std::vector<Remap> stale;
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        const auto keycode = static_cast<KeyCodeNumber>(items[i]);
        const auto keysym = static_cast<KeySymbol>(items[i + 1]);
        // Only a key that still carries what we put there is ours to empty; the map
        // may have been replaced since (setxkbmap), and then the key is someone else's.
        const auto row = map.row(keycode);
        if (!row.empty() && row[0] == keysym)
            stale.push_back({keycode, 0, 0});
    }
    writeRows(stale);
    recordRemaps({});
    m_connection.sync();
    m_held.clear();
    m_spares = chooseSpares(currentMap().emptyKeycodes(), kMaxSpares);
}

void X11Keyboard::play(const std::vector<KeyStroke> &strokes, const std::function<void()> &barrier,
                       bool waitAtEnd)
{
    Display *display = m_connection.display();
    const KeyboardMap map = currentMap();
    // What an earlier string left on the spares is still there to be typed
    // (the map shows it), unless the map was replaced since (setxkbmap).
    std::erase_if(m_held, [&map](const Remap &remap) {
        const std::vector<KeySymbol> row = map.row(remap.keycode);
        return row.size() < 2 || row[0] != remap.plain || row[1] != remap.shifted;
    });
    const std::vector<KeyBatch> batches = planKeys(strokes, map, sparesFor(strokes, map));
    // A held character typed again is as fresh as a new one: the keys given
    // another character first are those typed on longest ago, not those
    // first put there.
    std::set<KeyCodeNumber> typedOn;
    for (const KeyBatch &batch : batches) {
        for (const KeyEvent &event : batch.events)
            typedOn.insert(event.keycode);
    }
    std::stable_partition(m_held.begin(), m_held.end(),
                          [&typedOn](const Remap &remap) { return !typedOn.contains(remap.keycode); });

    // The plan reads the first layout's columns of the map; with another layout
    // selected, the same keycodes would type that layout's letters ("abc" as
    // Cyrillic "фис"). It types a capital as Shift and the letter; Caps Lock on
    // would turn both cases round. Keys that switch Caps Lock themselves leave it
    // to them. The user's selection and lock come back when the keys are done.
    const bool switchesCapsLock = std::any_of(strokes.begin(), strokes.end(), [](const KeyStroke &stroke) {
        return stroke.kind == KeyStroke::Kind::Named && stroke.key == NamedKey::CapsLock;
    });
    const PlainKeyboard plain(display, switchesCapsLock);
    for (std::size_t b = 0; b < batches.size(); ++b) {
        const KeyBatch &batch = batches[b];
        const bool remapped = !batch.remaps.empty();
        if (remapped) {
            hold(batch.remaps);
            m_connection.sync();
            // The barrier lets window events of this process run, and whatever
            // they throw passes through here; the record lists what is held.
            barrier();
        }
        for (const KeyEvent &event : batch.events)
            XTestFakeKeyEvent(display, static_cast<unsigned int>(event.keycode), event.press ? True : False,
                              CurrentTime);
        m_connection.sync();
        // A later batch gives the spares other characters: the client must have
        // read these keys first. The last batch's stay on the spares: a client
        // that gets to its keys late (busy, or with no way to tell when it is
        // done) still finds the characters it was sent.
        const bool last = b + 1 == batches.size();
        if ((remapped && !last) || (last && waitAtEnd))
            barrier();
    }
}

std::vector<KeyCodeNumber> X11Keyboard::sparesFor(const std::vector<KeyStroke> &strokes,
                                                  const KeyboardMap &map)
{
    std::vector<KeyCodeNumber> spares;
    std::copy_if(m_spares.begin(), m_spares.end(), std::back_inserter(spares),
                 [&map](KeyCodeNumber keycode) { return map.isEmpty(keycode); });
    // Then the spares typed on longest ago that these strokes do not need: given
    // another character only once every empty one is taken, so long after
    // the string that left theirs.
    std::set<KeySymbol> needed;
    for (const KeyStroke &stroke : strokes) {
        needed.insert(stroke.kind == KeyStroke::Kind::Named ? keysymForNamedKey(stroke.key)
                                                            : keysymForCharacter(stroke.character));
    }
    for (const Remap &remap : m_held) {
        if (!needed.contains(remap.plain) && !needed.contains(remap.shifted))
            spares.push_back(remap.keycode);
    }
    return spares;
}

void X11Keyboard::hold(const std::vector<Remap> &remaps)
{
    std::erase_if(m_held, [&remaps](const Remap &held) {
        return std::any_of(remaps.begin(), remaps.end(),
                           [&held](const Remap &remap) { return remap.keycode == held.keycode; });
    });
    m_held.insert(m_held.end(), remaps.begin(), remaps.end());
    // Recorded before the keys change: a crash in between leaves nothing unlisted.
    recordRemaps(m_held);
    writeRows(remaps);
}

namespace {

[[noreturn]] int endWithTheServer(Display *)
{
    // Xlib's own handler ends the process with exit(1) and a message on the
    // terminal: at the program's end (a logout takes the server and sends the
    // signal that ends the program together) that is a failure where there is
    // none. The server took the keys it held with it.
    std::fflush(nullptr);
    ::_exit(0);
}

/// Puts endWithTheServer in place of Xlib's handler for a lost connection while
/// it lives.
class ServerGoneEndsQuietly
{
public:
    ServerGoneEndsQuietly() : m_previous(XSetIOErrorHandler(endWithTheServer)) {}
    ~ServerGoneEndsQuietly() { XSetIOErrorHandler(m_previous); }
    ServerGoneEndsQuietly(const ServerGoneEndsQuietly &) = delete;
    ServerGoneEndsQuietly &operator=(const ServerGoneEndsQuietly &) = delete;

private:
    XIOErrorHandler m_previous;
};

} // namespace

void X11Keyboard::releaseSparesAtProgramEnd()
{
    const ServerGoneEndsQuietly quietEnd;
    releaseSpares();
}

void X11Keyboard::releaseSpares()
{
    if (m_held.empty())
        return;
    const KeyboardMap map = currentMap();
    std::vector<Remap> emptied;
    for (const Remap &remap : m_held) {
        const std::vector<KeySymbol> row = map.row(remap.keycode);
        if (row.size() >= 2 && row[0] == remap.plain && row[1] == remap.shifted)
            emptied.push_back({remap.keycode, 0, 0});
    }
    writeRows(emptied);
    recordRemaps({});
    m_connection.sync();
    m_held.clear();
}

X11Keyboard::~X11Keyboard()
{
    try {
        releaseSpares();
    } catch (...) {
        // The record on the root window lets the next start empty them.
    }
}

X11Keyboard::PlainKeyboard::PlainKeyboard(Display *display, bool keepCapsLock) : m_display(display)
{
    XkbStateRec state{};
    if (XkbGetState(m_display, XkbUseCoreKbd, &state) != Success)
        return;
    if (state.group != 0) {
        m_lockedGroup = state.locked_group;
        XkbLockGroup(m_display, XkbUseCoreKbd, 0);
        m_groupSwitched = true;
    }
    if (!keepCapsLock && (state.locked_mods & LockMask) != 0) {
        XkbLockModifiers(m_display, XkbUseCoreKbd, LockMask, 0);
        m_capsUnlocked = true;
    }
}

X11Keyboard::PlainKeyboard::~PlainKeyboard()
{
    if (m_capsUnlocked)
        XkbLockModifiers(m_display, XkbUseCoreKbd, LockMask, LockMask);
    if (m_groupSwitched)
        XkbLockGroup(m_display, XkbUseCoreKbd, static_cast<unsigned int>(m_lockedGroup));
    if (m_capsUnlocked || m_groupSwitched)
        XSync(m_display, False);
}

} // namespace kestrel::x11

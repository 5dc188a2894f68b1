#include "desktop/x11/KeyPlan.h"
#include "common/Failure.h"
#include "desktop/KeySequence.h"
#include "desktop/x11/X11Keyboard.h"
#include "support/QtPrinters.h"

#include <X11/keysym.h>

#include <gtest/gtest.h>

namespace kestrel::x11 {
namespace {

// A small keyboard in the core map's layout (six columns: plain, shifted, second
// group twice, AltGr plain and shifted), keycodes 10 to 26. The gap carries no
// keysym but is a modifier key, so it is no spare.
constexpr KeyCodeNumber kA = 10, kOne = 11, kE = 12, kShift = 13, kControl = 14, kAlt = 15, kLevel3 = 16,
                        kReturn = 17, kPause = 18, kSpare1 = 19, kSpare2 = 20, kSpare3 = 21, kSpace = 22,
                        kGap = 23, kSpare4 = 24, kKeypad = 25, kLast = 26;

KeyboardMap testMap(bool withAlt = true, bool withLevel3 = true)
{
    constexpr int width = 6;
    std::vector<KeySymbol> keysyms(static_cast<std::size_t>((kLast - kA + 1) * width), 0);
    auto set = [&](KeyCodeNumber keycode, std::initializer_list<KeySymbol> row) {
        std::copy(row.begin(), row.end(), keysyms.begin() + (keycode - kA) * width);
    };
    set(kA, {XK_a, XK_A});
    set(kOne, {XK_1, XK_exclam});
    set(kE, {XK_e, XK_E, 0, 0, XK_EuroSign, XK_cent});
    set(kShift, {XK_Shift_L});
    set(kControl, {XK_Control_L});
    if (withAlt)
        set(kAlt, {XK_Alt_L, XK_Meta_L});
    if (withLevel3)
        set(kLevel3, {XK_ISO_Level3_Shift});
    set(kReturn, {XK_Return});
    set(kPause, {XK_Pause, XK_Break});
    set(kSpace, {XK_space});
    set(kKeypad, {XK_KP_Add});
    return KeyboardMap(kA, width, keysyms, {kShift, kControl, kAlt, kLevel3, kGap});
}

// "+11 -11" is press and release of keycode 11; "|" separates batches; a batch's
// remaps come first in brackets, as keycode=keysym in hex, "/shifted keysym" when
// Shift gives another.
QString describe(const std::vector<KeyBatch> &batches)
{
    QStringList parts;
    for (const KeyBatch &batch : batches) {
        QStringList words;
        for (const Remap &remap : batch.remaps) {
            QString word = QStringLiteral("[%1=%2").arg(remap.keycode).arg(remap.plain, 0, 16);
            if (remap.shifted != remap.plain)
                word += QStringLiteral("/%1").arg(remap.shifted, 0, 16);
            words << word + ']';
        }
        for (const KeyEvent &event : batch.events)
            words << QStringLiteral("%1%2").arg(event.press ? '+' : '-').arg(event.keycode);
        parts << words.join(' ');
    }
    return parts.join(" | ");
}

QString plan(const std::vector<KeyStroke> &strokes, const KeyboardMap &map = testMap())
{
    return describe(planKeys(strokes, map, {kSpare1, kSpare2}));
}

TEST(PlanKeys, PressesTheRightKeysWithTheRightModifiers)
{
    struct Case
    {
        const char *text;
        bool literal; ///< typed text rather than key notation
        const char *expected;
    };
    const Case cases[] = {
        Case{"a", false, "+10 -10"}, Case{"A", false, "+13 +10 -10 -13"},
        Case{"+a", false, "+13 +10 -10 -13"}, Case{"^a", false, "+14 +10 -10 -14"},
        Case{"^A", false, "+14 +13 +10 -10 -13 -14"}, Case{"%+1", false, "+15 +13 +11 -11 -13 -15"},
        Case{"!", true, "+13 +11 -11 -13"}, Case{"~", false, "+17 -17"},
        Case{"a a", true, "+10 -10 +22 -22 +10 -10"},
        // AltGr levels are used when the map has a level-three key.
        Case{"€", true, "+16 +12 -12 -16"}, Case{"¢", true, "+13 +16 +12 -12 -16 -13"},
        // A named key counts only on a plain level; Break sits on Pause's shifted one.
        Case{"{BREAK}", false, "[19=ff6b] +19 -19"}, Case{"{ADD}", false, "+25 -25"},
        Case{"+{F13}", false, "[19=ffca] +13 +19 -19 -13"},
        // Missing characters go on the spares, each once per batch.
        Case{"é", true, "[19=e9/c9] +19 -19"}, Case{"éaé", true, "[19=e9/c9] +19 -19 +10 -10 +19 -19"},
        Case{"É", true, "[19=c9] +19 -19"}, Case{"+{ä}", false, "[19=e4/c4] +13 +19 -19 -13"},
        Case{"😀", true, "[19=101f600] +19 -19"}, Case{"ж", true, "[19=1000436/1000416] +19 -19"},
        Case{"éüö", true, "[19=e9/c9] [20=fc/dc] +19 -19 +20 -20 | [19=f6/d6] +19 -19"},
        Case{"éüéö", true, "[19=e9/c9] [20=fc/dc] +19 -19 +20 -20 +19 -19 | [19=f6/d6] +19 -19"},
        // Line ends and control characters.
        Case{"a\r\na", true, "+10 -10 +17 -17 +10 -10"}, Case{"\r\n", true, "+17 -17"},
        Case{"\r", true, "+17 -17"}, Case{"\n\n", true, "+17 -17 +17 -17"},
        Case{"\001a\002", true, "+10 -10"}, Case{"", true, ""}};
    for (const Case &c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(plan(c.literal ? literalKeyStrokes(text) : parseKeySequence(text)), c.expected) << c.text;
    }

    // A carriage return before a newline is dropped only when their modifiers match.
    std::vector<KeyStroke> strokes = literalKeyStrokes("\r\n");
    strokes[1].control = true;
    EXPECT_EQ(plan(strokes), "+17 -17 +14 +17 -17 -14");
    // Without a level-three key, AltGr characters go on the spares.
    EXPECT_EQ(plan(literalKeyStrokes("€"), testMap(true, false)), "[19=10020ac] +19 -19");
}

TEST(PlanKeys, RefusesBeforeAnyKeyIsSent)
{
    // No spare keycode for a missing character; a map without Alt for "%".
    for (const bool withAlt : {true, false}) {
        const auto spares = withAlt ? std::vector<KeyCodeNumber>{} : std::vector<KeyCodeNumber>{kSpare1};
        try {
            planKeys(parseKeySequence(withAlt ? "aé" : "a%b"), testMap(withAlt), spares);
            ADD_FAILURE() << "planned";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(withAlt ? "free key code" : "Alt")) << failure.what();
        }
    }
}

TEST(KeyboardMap, FindsThePlainLevelFirstAndEmptyKeysThatAreNoModifiers)
{
    const KeyboardMap map = testMap();
    EXPECT_EQ(map.find(XK_a), (KeyPlacement{kA, false, false}));
    EXPECT_EQ(map.find(XK_exclam), (KeyPlacement{kOne, true, false}));
    EXPECT_EQ(map.find(XK_cent), (KeyPlacement{kE, true, true}));
    EXPECT_FALSE(map.find(XK_z).has_value());
    EXPECT_FALSE(map.find(0).has_value());
    EXPECT_EQ(map.plainKeycode(XK_Break), 0);
    EXPECT_EQ(map.maxKeycode(), kLast);
    EXPECT_EQ(map.emptyKeycodes(), (std::vector<KeyCodeNumber>{kSpare1, kSpare2, kSpare3, kSpare4, kLast}));
}

TEST(ChooseSpares, TakesWholeRunsFirst)
{
    using Codes = std::vector<KeyCodeNumber>;
    struct S
    {
        Codes empty;
        std::size_t limit;
        Codes expected;
    };
    const Codes pool{8, 9, 10, 20, 21, 22, 23, 30};
    const S cases[] = {S{{}, 8, {}}, S{{30}, 8, {30}}, S{pool, 8, pool}, S{pool, 4, {20, 21, 22, 23}},
                       // Runs are taken from the top down.
                       S{pool, 6, {9, 10, 20, 21, 22, 23}}, S{{8, 9, 20, 21}, 2, {20, 21}},
                       S{{20, 21, 22, 23}, 2, {22, 23}}, S{{5, 7, 9}, 2, {7, 9}}};
    for (const S &c : cases)
        EXPECT_EQ(chooseSpares(c.empty, c.limit), c.expected) << c.limit;
}

TEST(Keysyms, ForCharactersAndNamedKeys)
{
    using K = std::pair<char32_t, KeySymbol>;
    const K cases[] = {K{U'a', XK_a}, K{U' ', XK_space}, K{U'~', XK_asciitilde}, K{U'\u00e9', XK_eacute},
                       K{U'\u00ff', XK_ydiaeresis}, K{U'\u20ac', 0x10020ac}, K{U'\U0001F600', 0x101f600},
                       // Control characters with a key of their own; others and non-characters have none.
                       K{U'\n', XK_Return}, K{U'\t', XK_Tab}, K{U'\b', XK_BackSpace}, K{U'\x1b', XK_Escape},
                       K{U'\x7f', XK_Delete}, K{U'\x01', 0}, K{U'\x85', 0}, K{0xd800, 0}, K{0x110000, 0}};
    for (const auto &[character, keysym] : cases)
        EXPECT_EQ(keysymForCharacter(character), keysym) << std::hex << static_cast<std::uint32_t>(character);
    // The other named keys are checked on the live display; openbox keeps Print for itself.
    EXPECT_EQ(keysymForNamedKey(NamedKey::PrintScreen), KeySymbol{XK_Print});
}

} // namespace
} // namespace kestrel::x11

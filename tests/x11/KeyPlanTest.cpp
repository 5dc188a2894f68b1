#include "desktop/x11/KeyPlan.h"
#include "common/Failure.h"
#include "desktop/KeySequence.h"
#include "desktop/x11/X11Keyboard.h"
#include "support/QtPrinters.h"

#include <X11/keysym.h>

#include <QStringList>

#include <gtest/gtest.h>

namespace kestrel::x11 {
namespace {

// A small keyboard in the core map's layout (six columns: plain, shifted, second
// group twice, AltGr plain and shifted), keycodes 10 to 26.
constexpr int kWidth = 6;
enum Keycode : KeyCodeNumber {
    kA = 10,
    kOne,
    kE,
    kShift,
    kControl,
    kAlt,
    kLevel3,
    kReturn,
    kPause,
    kSpare1,
    kSpare2,
    kSpare3,
    kSpace,
    kGap,
    kSpare4,
    kKeypad,
    kLast
};

KeyboardMap testMap(bool withAlt = true, bool withLevel3 = true)
{
    std::vector<KeySymbol> keysyms(static_cast<std::size_t>((kLast - kA + 1) * kWidth), 0);
    auto set = [&](KeyCodeNumber keycode, std::initializer_list<KeySymbol> row) {
        std::size_t column = 0;
        for (KeySymbol keysym : row)
            keysyms[static_cast<std::size_t>((keycode - kA) * kWidth) + column++] = keysym;
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
    // kGap carries no keysym but is a modifier key, so it is no spare.
    return KeyboardMap(kA, kWidth, keysyms, {kShift, kControl, kAlt, kLevel3, kGap});
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
            words << word + QLatin1Char(']');
        }
        for (const KeyEvent &event : batch.events)
            words << QStringLiteral("%1%2").arg(event.press ? '+' : '-').arg(event.keycode);
        parts << words.join(QLatin1Char(' '));
    }
    return parts.join(QLatin1String(" | "));
}

struct PlanCase
{
    const char *notation;
    bool literal;
    const char *expected;
};

class PlanKeys : public ::testing::TestWithParam<PlanCase>
{
};

TEST_P(PlanKeys, PressesTheRightKeysWithTheRightModifiers)
{
    const PlanCase &c = GetParam();
    const QString text = QString::fromUtf8(c.notation);
    const auto strokes = c.literal ? literalKeyStrokes(text) : parseKeySequence(text);
    EXPECT_EQ(describe(planKeys(strokes, testMap(), {kSpare1, kSpare2})), QString::fromUtf8(c.expected))
        << c.notation;
}

INSTANTIATE_TEST_SUITE_P(
    Strokes, PlanKeys,
    ::testing::Values(
        PlanCase{"a", false, "+10 -10"}, PlanCase{"A", false, "+13 +10 -10 -13"},
        PlanCase{"+a", false, "+13 +10 -10 -13"}, PlanCase{"^a", false, "+14 +10 -10 -14"},
        PlanCase{"^A", false, "+14 +13 +10 -10 -13 -14"}, PlanCase{"%+1", false, "+15 +13 +11 -11 -13 -15"},
        PlanCase{"!", true, "+13 +11 -11 -13"}, PlanCase{"~", false, "+17 -17"},
        PlanCase{"a a", true, "+10 -10 +22 -22 +10 -10"},
        // AltGr levels are used when the map has a level-three key.
        PlanCase{"€", true, "+16 +12 -12 -16"}, PlanCase{"¢", true, "+13 +16 +12 -12 -16 -13"},
        // A named key counts only on a plain level; Break sits on Pause's shifted one.
        PlanCase{"{BREAK}", false, "[19=ff6b] +19 -19"}, PlanCase{"{ADD}", false, "+25 -25"},
        PlanCase{"+{F13}", false, "[19=ffca] +13 +19 -19 -13"},
        // Missing characters go on the spares, each once per batch.
        PlanCase{"é", true, "[19=e9/c9] +19 -19"},
        PlanCase{"éaé", true, "[19=e9/c9] +19 -19 +10 -10 +19 -19"}, PlanCase{"É", true, "[19=c9] +19 -19"},
        PlanCase{"+{ä}", false, "[19=e4/c4] +13 +19 -19 -13"}, PlanCase{"😀", true, "[19=101f600] +19 -19"},
        PlanCase{"ж", true, "[19=1000436/1000416] +19 -19"},
        PlanCase{"éüö", true, "[19=e9/c9] [20=fc/dc] +19 -19 +20 -20 | [19=f6/d6] +19 -19"},
        PlanCase{"éüéö", true, "[19=e9/c9] [20=fc/dc] +19 -19 +20 -20 +19 -19 | [19=f6/d6] +19 -19"},
        // Line ends and control characters.
        PlanCase{"a\r\na", true, "+10 -10 +17 -17 +10 -10"}, PlanCase{"\r\n", true, "+17 -17"},
        PlanCase{"\r", true, "+17 -17"}, PlanCase{"\n\n", true, "+17 -17 +17 -17"},
        PlanCase{"\x01"
                 "a\x02",
                 true, "+10 -10"},
        PlanCase{"", true, ""}));

TEST(PlanKeys, CarriageReturnBeforeNewlineIsDroppedOnlyWhenModifiersMatch)
{
    std::vector<KeyStroke> strokes = literalKeyStrokes(QStringLiteral("\r\n"));
    strokes[1].control = true;
    EXPECT_EQ(describe(planKeys(strokes, testMap(), {kSpare1})), QStringLiteral("+17 -17 +14 +17 -17 -14"));
}

TEST(PlanKeys, WithoutLevelThreeKeyAltGrCharactersUseSpares)
{
    const auto batches = planKeys(literalKeyStrokes(QStringLiteral("€")), testMap(true, false), {kSpare1});
    EXPECT_EQ(describe(batches), QStringLiteral("[19=10020ac] +19 -19"));
}

struct FailCase
{
    const char *notation;
    bool withAlt;
    std::vector<KeyCodeNumber> spares;
    const char *mentions;
};

class PlanKeysFailure : public ::testing::TestWithParam<FailCase>
{
};

TEST_P(PlanKeysFailure, RefusesBeforeAnyKeyIsSent)
{
    const FailCase &c = GetParam();
    try {
        planKeys(parseKeySequence(QString::fromUtf8(c.notation)), testMap(c.withAlt), c.spares);
        FAIL() << c.notation << " was planned";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains(QLatin1String(c.mentions))) << failure.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Refusals, PlanKeysFailure,
                         ::testing::Values(FailCase{"aé", true, {}, "free key code"},
                                           FailCase{"a%b", false, {kSpare1}, "Alt"}));

TEST(KeyboardMap, FindsThePlainLevelBeforeTheShiftedOne)
{
    const KeyboardMap map = testMap();
    EXPECT_EQ(map.find(XK_a), (KeyPlacement{kA, false, false}));
    EXPECT_EQ(map.find(XK_exclam), (KeyPlacement{kOne, true, false}));
    EXPECT_EQ(map.find(XK_cent), (KeyPlacement{kE, true, true}));
    EXPECT_FALSE(map.find(XK_z).has_value());
    EXPECT_FALSE(map.find(0).has_value());
    EXPECT_EQ(map.plainKeycode(XK_Break), 0);
    EXPECT_EQ(map.maxKeycode(), kLast);
}

TEST(KeyboardMap, EmptyKeycodesExcludeModifierKeys)
{
    const std::vector<KeyCodeNumber> expected{kSpare1, kSpare2, kSpare3, kSpare4, kLast};
    EXPECT_EQ(testMap().emptyKeycodes(), expected);
}

struct SpareCase
{
    std::vector<KeyCodeNumber> empty;
    std::size_t limit;
    std::vector<KeyCodeNumber> expected;
};

class ChooseSpares : public ::testing::TestWithParam<SpareCase>
{
};

TEST_P(ChooseSpares, TakesWholeRunsFirst)
{
    EXPECT_EQ(chooseSpares(GetParam().empty, GetParam().limit), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pool, ChooseSpares,
    ::testing::Values(SpareCase{{}, 8, {}}, SpareCase{{30}, 8, {30}},
                      SpareCase{{8, 9, 10, 20, 21, 22, 23, 30}, 8, {8, 9, 10, 20, 21, 22, 23, 30}},
                      SpareCase{{8, 9, 10, 20, 21, 22, 23, 30}, 4, {20, 21, 22, 23}},
                      SpareCase{{8, 9, 10, 20, 21, 22, 23, 30}, 6, {9, 10, 20, 21, 22, 23}},
                      SpareCase{{8, 9, 20, 21}, 2, {20, 21}}, SpareCase{{20, 21, 22, 23}, 2, {22, 23}},
                      SpareCase{{5, 7, 9}, 2, {7, 9}}));

struct KeysymCase
{
    char32_t character;
    KeySymbol keysym;
};

class KeysymForCharacter : public ::testing::TestWithParam<KeysymCase>
{
};

TEST_P(KeysymForCharacter, Maps)
{
    EXPECT_EQ(keysymForCharacter(GetParam().character), GetParam().keysym)
        << std::hex << static_cast<std::uint32_t>(GetParam().character);
}

INSTANTIATE_TEST_SUITE_P(Characters, KeysymForCharacter,
                         ::testing::Values(KeysymCase{U'a', XK_a}, KeysymCase{U' ', XK_space},
                                           KeysymCase{U'~', XK_asciitilde}, KeysymCase{U'\u00e9', XK_eacute},
                                           KeysymCase{U'\u00ff', XK_ydiaeresis},
                                           KeysymCase{U'\u20ac', 0x10020ac},
                                           KeysymCase{U'\U0001F600', 0x101f600}, KeysymCase{U'\n', XK_Return},
                                           KeysymCase{U'\t', XK_Tab}, KeysymCase{U'\b', XK_BackSpace},
                                           KeysymCase{U'\x1b', XK_Escape}, KeysymCase{U'\x7f', XK_Delete},
                                           KeysymCase{U'\x01', 0}, KeysymCase{U'\x85', 0},
                                           KeysymCase{0xd800, 0}, KeysymCase{0x110000, 0}));

TEST(KeysymForNamedKey, MapsToTheKeysOfThatName)
{
    EXPECT_EQ(keysymForNamedKey(NamedKey::F1), KeySymbol{XK_F1});
    EXPECT_EQ(keysymForNamedKey(NamedKey::F12), KeySymbol{XK_F12});
    EXPECT_EQ(keysymForNamedKey(NamedKey::F16), KeySymbol{XK_F16});
    EXPECT_EQ(keysymForNamedKey(NamedKey::PageUp), KeySymbol{XK_Prior});
    EXPECT_EQ(keysymForNamedKey(NamedKey::Divide), KeySymbol{XK_KP_Divide});
    EXPECT_EQ(keysymForNamedKey(NamedKey::PrintScreen), KeySymbol{XK_Print});
}

} // namespace
} // namespace kestrel::x11

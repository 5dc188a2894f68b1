#include "speech_platform/espeak/PhonemeVisemes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrel;

namespace {

TEST(PhonemeVisemesTest, StandardPhonesFallInTheirVisemeClass)
{
    const std::vector<std::pair<int, std::vector<std::string>>> classes{
        {0, {"_"}},
        {1, {"ae", "ax", "ah"}},
        {2, {"aa"}},
        {3, {"ao"}},
        {4, {"ey", "eh", "uh"}},
        {5, {"er"}},
        {6, {"y", "iy", "ih", "ix"}},
        {7, {"w", "uw"}},
        {8, {"ow"}},
        {9, {"aw"}},
        {10, {"oy"}},
        {11, {"ay"}},
        {12, {"h"}},
        {13, {"r"}},
        {14, {"l"}},
        {15, {"s", "z"}},
        {16, {"sh", "ch", "jh", "zh"}},
        {17, {"th", "dh"}},
        {18, {"f", "v"}},
        {19, {"d", "t", "n"}},
        {20, {"k", "g", "ng"}},
        {21, {"p", "b", "m"}},
    };
    for (const auto &[viseme, phones] : classes) {
        for (const std::string &phone : phones)
            EXPECT_EQ(visemeOfPhone(phone), viseme) << phone;
    }
    EXPECT_EQ(visemeOfPhone("xx"), -1);
    EXPECT_EQ(visemeOfPhone(""), -1);
}

struct MnemonicRow
{
    const char *mnemonic;
    const char *phone;
    int viseme;
};

class EspeakMnemonicTest : public ::testing::TestWithParam<MnemonicRow>
{
};

TEST_P(EspeakMnemonicTest, MapsToPhoneAndViseme)
{
    const MnemonicRow row = GetParam();
    const StandardPhone *phone = standardPhoneForEspeak(row.mnemonic);
    ASSERT_NE(phone, nullptr) << row.mnemonic;
    EXPECT_EQ(phone->name, row.phone) << row.mnemonic;
    EXPECT_EQ(phone->viseme, row.viseme) << row.mnemonic;
}

// English mnemonics as eSpeak NG's en-us voice reports them, a few from other
// languages (which fall back on their base letter) and the pauses.
INSTANTIATE_TEST_SUITE_P(
    Mnemonics, EspeakMnemonicTest,
    ::testing::Values(MnemonicRow{"_:", "_", 0}, MnemonicRow{"_", "_", 0}, MnemonicRow{"_!", "_", 0},
                      MnemonicRow{"@", "ax", 1}, MnemonicRow{"a#", "ax", 1}, MnemonicRow{"a", "ae", 1},
                      MnemonicRow{"V", "ah", 1}, MnemonicRow{"A:", "aa", 2}, MnemonicRow{"0", "aa", 2},
                      MnemonicRow{"O:", "ao", 3}, MnemonicRow{"O@", "ao", 3}, MnemonicRow{"eI", "ey", 4},
                      MnemonicRow{"E", "eh", 4}, MnemonicRow{"U", "uh", 4}, MnemonicRow{"3:", "er", 5},
                      MnemonicRow{"3", "er", 5}, MnemonicRow{"i:", "iy", 6}, MnemonicRow{"I#", "ih", 6},
                      MnemonicRow{"j", "y", 6}, MnemonicRow{"w", "w", 7}, MnemonicRow{"u:", "uw", 7},
                      MnemonicRow{"oU", "ow", 8}, MnemonicRow{"aU", "aw", 9}, MnemonicRow{"OI", "oy", 10},
                      MnemonicRow{"aI", "ay", 11}, MnemonicRow{"aI@", "ay", 11}, MnemonicRow{"h", "h", 12},
                      MnemonicRow{"r", "r", 13}, MnemonicRow{"r-", "r", 13}, MnemonicRow{"l", "l", 14},
                      MnemonicRow{"@L", "l", 14}, MnemonicRow{"s", "s", 15}, MnemonicRow{"z", "z", 15},
                      MnemonicRow{"S", "sh", 16}, MnemonicRow{"tS", "ch", 16}, MnemonicRow{"dZ", "jh", 16},
                      MnemonicRow{"Z", "zh", 16}, MnemonicRow{"T", "th", 17}, MnemonicRow{"D", "dh", 17},
                      MnemonicRow{"f", "f", 18}, MnemonicRow{"v", "v", 18}, MnemonicRow{"t", "t", 19},
                      MnemonicRow{"t#", "t", 19}, MnemonicRow{"n-", "n", 19}, MnemonicRow{"k", "k", 20},
                      MnemonicRow{"N", "ng", 20}, MnemonicRow{"p", "p", 21}, MnemonicRow{"b", "b", 21},
                      MnemonicRow{"m", "m", 21}, MnemonicRow{"y", "y", 6}, MnemonicRow{"e:", "eh", 4},
                      MnemonicRow{"o:", "ow", 8}, MnemonicRow{"x", "k", 20}, MnemonicRow{"R", "r", 13},
                      MnemonicRow{"ts", "s", 15}, MnemonicRow{"c", "k", 20}));

TEST(PhonemeVisemesTest, EveryPhonemeOfTheAmericanVoiceHasAMouthShape)
{
    // Every phoneme the en-us voice produced for several pages of English text.
    for (const char *mnemonic : {"n",  "s",  "t",   "_:",  "I",  "@",  "k",  "r",   "d",  "D",  "p",
                                 "m",  "z",  "l",   "V",   "v",  "_",  "3",  "a",   "E",  "f",  "aI",
                                 "eI", "w",  "u:",  "0",   "I#", "a#", "j",  "3:",  "b",  "i:", "I2",
                                 "@2", "i",  "S",   "oU",  "O@", "N",  "g",  "dZ",  "O:", "o@", "A@",
                                 "tS", "O2", "U",   "r-",  "h",  "e@", "T",  "Z",   "n-", "U@", "?",
                                 "aa", "aU", "aI3", "i@3", "i@", "@-", "t2", "aI@", "OI", "_!", "@L"}) {
        const StandardPhone *phone = standardPhoneForEspeak(mnemonic);
        ASSERT_NE(phone, nullptr) << mnemonic;
        EXPECT_EQ(visemeOfPhone(phone->name), phone->viseme) << mnemonic;
    }
}

TEST(PhonemeVisemesTest, ModifiersAndUnknownSymbolsGiveNoViseme)
{
    for (const char *mnemonic : {"", ";", "#", "'", "%"})
        EXPECT_EQ(standardPhoneForEspeak(mnemonic), nullptr) << mnemonic;
}

TEST(PhonemeVisemesTest, PhoneIdsFollowTheAlphabeticalPhoneSet)
{
    EXPECT_EQ(standardPhoneForEspeak("_")->phoneId, 7);
    EXPECT_EQ(standardPhoneForEspeak("A:")->phoneId, 10); // aa
    EXPECT_EQ(standardPhoneForEspeak("a")->phoneId, 11);  // ae
    EXPECT_EQ(standardPhoneForEspeak("tS")->phoneId, 18); // ch
    EXPECT_EQ(standardPhoneForEspeak("Z")->phoneId, 49);  // zh
}

} // namespace

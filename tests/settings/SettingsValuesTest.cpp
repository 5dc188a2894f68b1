#include "settings/SettingsValues.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <optional>

using namespace kestrel;

namespace {

TEST(SettingsValues, LeadingNumberReadsThePrefixAndRoundsHalvesToEven)
{
    const std::pair<const char *, std::optional<qint16>> cases[] = {
        {" 5", 5},          {"\t-1", -1},       {"+7", 7},       {"2.5", 2},
        {"3.5", 4},         {"-2.5", -2},       {"0.5", 0},      {"2.5000001", 3},
        {".5", 0},          {"12abc", 12},      {"abc", 0},      {"", 0},
        {"-", 0},           {"- 5", 0},         {"7 8", 7},      {"1.5E1", 15},
        {"2e", 2},          {"25e-1", 2},       {"1e-999", 0},   {"32767", 32767},
        {"-32768", -32768}, {"32766.5", 32766}, {"32767.5", {}}, {"-32769", {}},
        {"1e999", {}}};
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(leadingNumber(QString::fromLatin1(text)), expected) << '"' << text << '"';
}

TEST(SettingsValues, WholeNumberNeedsTheWholeTextAndRoundsDown)
{
    const std::pair<const char *, std::optional<qint32>> sixteenBits[] = {
        {" 2 ", 2},         {"2.7", 2},    {"-2.5", -3},      {"-0.1", -1},  {"1e3", 1000},
        {"abc", {}},        {"", {}},      {"  ", {}},        {"12abc", {}}, {"1 2", {}},
        {"32767.9", 32767}, {"32768", {}}, {"-32768", -32768}};
    const std::pair<const char *, std::optional<qint32>> thirtyTwoBits[] = {
        {"nan", {}},        {"inf", {}},
        {"32768", 32768},   {"2147483647", 2147483647},
        {"2147483648", {}}, {"-2147483648", -2147483647 - 1}};
    for (const auto &[text, expected] : sixteenBits)
        EXPECT_EQ(wholeNumberRoundedDown(QString::fromLatin1(text), 16, QLocale::c()), expected) << text;
    for (const auto &[text, expected] : thirtyTwoBits)
        EXPECT_EQ(wholeNumberRoundedDown(QString::fromLatin1(text), 32, QLocale::c()), expected) << text;
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(wholeNumberRoundedDown(u"-2,5", 16, german), -3);
    EXPECT_EQ(wholeNumberRoundedDown(u"2,7", 16, QLocale::c()), std::nullopt);
}

// The file tests show the usual numbers and cuts; these are the edges.
TEST(SettingsValues, TheSmallestNumberIsWrittenWholeAndACutNeverSplitsACharacter)
{
    EXPECT_EQ(settingNumberText(-2147483647 - 1), QStringLiteral("-2147483648"));
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    EXPECT_EQ(cutSettingValue(QString(254, QLatin1Char('x')) + clef + clef),
              QString(254, QLatin1Char('x')) + clef);
}

TEST(SettingsKeys, OnlyALineStartingWithTheKeyAndEqualsSignIsThatKeysLine)
{
    const std::tuple<const char *, SettingKey, qsizetype> cases[] = {
        {"VOICECB=3", SettingKey::VOICECB, 8},
        {"  VoiceCB = 3", SettingKey::VOICECB, 11},
        {"\trateSldr=-4", SettingKey::RATESLDR, 10},
        {"CLEARIT=1", SettingKey::CLEARIT, 8},
        {"SAYTEXT=now executing=1", SettingKey::SAYTEXT, 8},
        {"EXECANOUNCE=", SettingKey::EXECANOUNCE, 12},
    };
    for (const auto &[line, key, valueStart] : cases) {
        const std::optional<KeyLineMatch> match = matchKeyLine(QString::fromLatin1(line), loadKeyOrder());
        ASSERT_TRUE(match.has_value()) << line;
        EXPECT_EQ(match->key, key) << line;
        EXPECT_EQ(match->valueStart, valueStart) << line;
    }
    for (const char *line : {"CLEARIT 1", "CLEARITX=1", "XVOICECB=1", "REMARK: EXECUTING=1", "=VOICECB", ""})
        EXPECT_FALSE(matchKeyLine(QString::fromLatin1(line), loadKeyOrder()).has_value()) << line;
}

} // namespace

#include "settings/SettingsValues.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <optional>

using namespace kestrel;

namespace {

TEST(SettingsValues, LeadingNumberReadsThePrefixAndRoundsHalvesToEven)
{
    const struct
    {
        const char *text;
        std::optional<qint16> expected;
    } cases[] = {
        {" 5", 5},
        {"\t-1", -1},
        {"+7", 7},
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"0.5", 0},
        {"2.5000001", 3},
        {".5", 0},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"7 8", 7},
        {"1.5E1", 15},
        {"2e", 2},
        {"25e-1", 2},
        {"1e-999", 0},
        {"32767", 32767},
        {"-32768", -32768},
        {"32766.5", 32766},
        {"32767.5", std::nullopt},
        {"-32769", std::nullopt},
        {"1e999", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(leadingNumber(QString::fromLatin1(c.text)), c.expected) << '"' << c.text << '"';
}

TEST(SettingsValues, WholeNumberNeedsTheWholeTextAndRoundsDown)
{
    const struct
    {
        const char *text;
        int bits;
        std::optional<qint32> expected;
    } cases[] = {
        {" 2 ", 16, 2},
        {"2.7", 16, 2},
        {"-2.5", 16, -3},
        {"-0.1", 16, -1},
        {"1e3", 16, 1000},
        {"abc", 16, {}},
        {"", 16, {}},
        {"  ", 16, {}},
        {"12abc", 16, {}},
        {"1 2", 16, {}},
        {"nan", 32, {}},
        {"inf", 32, {}},
        {"32767.9", 16, 32767},
        {"32768", 16, {}},
        {"-32768", 16, -32768},
        {"32768", 32, 32768},
        {"2147483647", 32, 2147483647},
        {"2147483648", 32, {}},
        {"-2147483648", 32, -2147483647 - 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(wholeNumberRoundedDown(QString::fromLatin1(c.text), c.bits, QLocale::c()), c.expected)
            << '"' << c.text << "\" in " << c.bits << " bits";
    }
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(wholeNumberRoundedDown(u"-2,5", 16, german), -3);
    EXPECT_EQ(wholeNumberRoundedDown(u"2,7", 16, QLocale::c()), std::nullopt);
}

TEST(SettingsValues, NumbersAreWrittenWithASignPosition)
{
    EXPECT_EQ(settingNumberText(5), QStringLiteral(" 5"));
    EXPECT_EQ(settingNumberText(0), QStringLiteral(" 0"));
    EXPECT_EQ(settingNumberText(-1), QStringLiteral("-1"));
    EXPECT_EQ(settingNumberText(-2147483647 - 1), QStringLiteral("-2147483648"));
}

TEST(SettingsValues, ValuesAreCutTo255CharactersNeverHalfACharacter)
{
    EXPECT_EQ(cutSettingValue(QString(300, QLatin1Char('a'))), QString(255, QLatin1Char('a')));
    EXPECT_EQ(cutSettingValue(u"short"), QStringLiteral("short"));
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    EXPECT_EQ(cutSettingValue(QString(254, QLatin1Char('x')) + clef + clef),
              QString(254, QLatin1Char('x')) + clef);
}

TEST(SettingsKeys, OnlyALineStartingWithTheKeyAndEqualsSignIsThatKeysLine)
{
    const struct
    {
        const char *line;
        std::optional<SettingKey> key;
        qsizetype valueStart;
    } cases[] = {
        {"VOICECB=3", SettingKey::VOICECB, 8},
        {"  VoiceCB = 3", SettingKey::VOICECB, 11},
        {"\trateSldr=-4", SettingKey::RATESLDR, 10},
        {"CLEARIT=1", SettingKey::CLEARIT, 8},
        {"SAYTEXT=now executing=1", SettingKey::SAYTEXT, 8},
        {"EXECANOUNCE=", SettingKey::EXECANOUNCE, 12},
        {"CLEARIT 1", {}, 0},
        {"CLEARITX=1", {}, 0},
        {"XVOICECB=1", {}, 0},
        {"REMARK: EXECUTING=1", {}, 0},
        {"=VOICECB", {}, 0},
        {"", {}, 0},
    };
    for (const auto &c : cases) {
        const std::optional<KeyLineMatch> match = matchKeyLine(QString::fromLatin1(c.line), loadKeyOrder());
        ASSERT_EQ(match.has_value(), c.key.has_value()) << c.line;
        if (match) {
            EXPECT_EQ(match->key, *c.key) << c.line;
            EXPECT_EQ(match->valueStart, c.valueStart) << c.line;
        }
    }
}

} // namespace

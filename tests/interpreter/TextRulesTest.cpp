#include "support/QtPrinters.h"

#include "common/Failure.h"
#include "interpreter/NumericValue.h"
#include "interpreter/OpenAction.h"
#include "interpreter/TextRules.h"

#include <gmock/gmock.h>

#include <cmath>

using namespace kestrel;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

using P = std::pair<const char *, const char *>;

TEST(TextRules, NormaliserCleansRecognisedText)
{
    const P cases[] = {
        P{"Open notepad.", "Open notepad"}, P{"hello. world", "helloworld"}, P{"a SPACE b", "a b"},
        P{"a space b", "a b"}, P{"a Space b", "a b"}, P{"1.5 inches", "15 inches"}, P{"space bar", " bar"},
        P{"U.S.", "US"}, P{"a.. b", "ab"},
        // ". " goes before " SPACE ": the other order would leave "ab".
        P{"a. SPACE b", "a b"}, P{"SPACESPACE x", " x"}, P{"spaceship", "spaceship"}, P{"", ""}};
    for (const auto &[input, expected] : cases)
        EXPECT_EQ(normaliseRecoText(QString::fromUtf8(input)), QString::fromUtf8(expected)) << input;

    const QString tail(2000, QLatin1Char('b')); // each cut keeps at most 1024 characters after the match
    EXPECT_EQ(normaliseRecoText(QStringLiteral("a. ") + tail), QStringLiteral("a") + tail.left(1024));
    EXPECT_EQ(normaliseRecoText(QStringLiteral("a SPACE ") + tail), QStringLiteral("a ") + tail.left(1024));
}

TEST(TextRules, AnswerWordsAreWholeUpperCaseTexts)
{
    for (const char *yes : {"YES", "US", "U S", "U.S.", "THIS"})
        EXPECT_TRUE(isYesWord(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"NO", "NOW", "KNOW"})
        EXPECT_TRUE(isNoWord(QString::fromLatin1(no))) << no;
    for (const char *other : {"yes", "YES PLEASE", " YES", "NOT", "", "THESE"}) {
        EXPECT_FALSE(isYesWord(QString::fromLatin1(other))) << other;
        EXPECT_FALSE(isNoWord(QString::fromLatin1(other))) << other;
    }
}

TEST(TextRules, UpperCasingKeepsPositions)
{
    const QString text = QStringLiteral("stra\u00dfe spell it x");
    EXPECT_EQ(upperCased(text), QStringLiteral("STRA\u00dfE SPELL IT X"));
}

TEST(NumericValue, ReadsTheLeadingNumber)
{
    const std::pair<const char *, double> cases[] = {
        {"100", 100},  {" 1 0 0", 100}, {"\t7\n", 7}, {"12abc", 12}, {"abc", 0},  {"", 0},
        {"-5", -5},    {"+5", 5},       {"- 5", -5},  {"1.5", 1.5},  {".5", 0.5}, {"5.", 5},
        {"1e3", 1000}, {"1E+2", 100},   {"1e", 1},    {"2e-1", 0.2}, {"2,3", 2},  {"1.2.3", 1.2},
        {"--5", 0},    {"\r5", 0},      {"200}", 200}};
    for (const auto &[text, value] : cases)
        EXPECT_DOUBLE_EQ(numericValue(QString::fromLatin1(text)), value) << text;
    EXPECT_THROW(numericValue(QStringLiteral("1e400")), Failure);
}

TEST(NumericValue, RoundsHalvesToEvenAndRefusesOverflow)
{
    const std::pair<double, int> cases[] = {{2.5, 2},   {3.5, 4},         {-2.5, -2},
                                            {0.5, 0},   {1.5, 2},         {2.6, 3},
                                            {-2.6, -3}, {32767.4, 32767}, {-32768.5, -32768}};
    for (const auto &[value, expected] : cases) {
        EXPECT_EQ(roundToInt16(value), expected) << value;
        EXPECT_EQ(roundToInt32(value), expected) << value;
    }
    EXPECT_THROW(roundToInt16(32767.5), Failure);
    EXPECT_THROW(roundToInt16(-32769), Failure);
    EXPECT_THROW(roundToInt16(INFINITY), Failure);
    EXPECT_EQ(roundToInt32(32768), 32768);
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
    EXPECT_THROW(roundToInt32(2147483647.5), Failure);
    EXPECT_THAT([] { roundToInt16(40000); }, ThrowsMessage<Failure>(StrEq("Overflow")));
}

TEST(OpenAction, SplitsIntoProgramDirectoryAndKeys)
{
    struct Split
    {
        const char *action, *program, *directory, *keys;
    };
    const Split cases[] = {Split{"\"/opt/my app/run\",\"/home/me/\"", "/opt/my app/run", "/home/me/", ""},
                           Split{"\"/opt/app\",/data|^s", "/opt/app", "/data", "^s"},
                           // A "|" in the first two characters does not split.
                           Split{"a|b", "a|b", "", ""}, Split{"ab|", "ab", "", ""},
                           Split{"x|y|z", "x|y", "", "z"}, Split{"", "", "", ""}};
    for (const Split &c : cases) {
        const OpenAction parts = splitOpenDirectory(splitOpenKeys(QString::fromUtf8(c.action)));
        EXPECT_EQ(std::tie(parts.program, parts.directory, parts.keys),
                  std::tuple(QString(c.program), QString(c.directory), QString(c.keys)))
            << c.action;
    }
    const QString keys(1500, QLatin1Char('k')); // the keys keep at most 1024 characters
    EXPECT_EQ(splitOpenKeys(QStringLiteral("prog|") + keys).keys, keys.left(1024));
}

} // namespace

#include "support/QtPrinters.h"

#include "common/Failure.h"
#include "interpreter/NumericValue.h"
#include "interpreter/OpenAction.h"
#include "interpreter/TextRules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrel;

namespace {

struct TextCase
{
    const char *input;
    const char *expected;
};

class Normaliser : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(Normaliser, CleansRecognisedText)
{
    EXPECT_EQ(normaliseRecoText(QString::fromUtf8(GetParam().input)), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Rules, Normaliser,
                         ::testing::Values(TextCase{"Open notepad.", "Open notepad"},
                                           TextCase{"hello. world", "helloworld"},
                                           TextCase{"a SPACE b", "a b"}, TextCase{"a space b", "a b"},
                                           TextCase{"a Space b", "a b"}, TextCase{"1.5 inches", "15 inches"},
                                           TextCase{"space bar", " bar"}, TextCase{"U.S.", "US"},
                                           TextCase{"a.. b", "ab"},
                                           // ". " goes before " SPACE ": the other order would leave "ab".
                                           TextCase{"a. SPACE b", "a b"}, TextCase{"SPACESPACE x", " x"},
                                           TextCase{"spaceship", "spaceship"}, TextCase{"", ""},
                                           TextCase{"open notepad", "open notepad"}));

TEST(NormaliserCut, KeepsAtMost1024CharactersAfterEachMatch)
{
    const QString tail(2000, QLatin1Char('b'));
    EXPECT_EQ(normaliseRecoText(QStringLiteral("a. ") + tail), QStringLiteral("a") + tail.left(1024));
    EXPECT_EQ(normaliseRecoText(QStringLiteral("a SPACE ") + tail), QStringLiteral("a ") + tail.left(1024));
}

TEST(AnswerWords, AreWholeUpperCaseTexts)
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

TEST(UpperCased, KeepsPositions)
{
    const QString text = QStringLiteral("stra\u00dfe spell it x");
    EXPECT_EQ(upperCased(text).size(), text.size());
    EXPECT_EQ(upperCased(text).indexOf(QLatin1String("SPELL IT")), text.indexOf(QLatin1String("spell it")));
}

struct NumberCase
{
    const char *text;
    double value;
};

class Numbers : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(Numbers, ReadsTheLeadingNumber)
{
    EXPECT_DOUBLE_EQ(numericValue(QString::fromLatin1(GetParam().text)), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Values, Numbers,
                         ::testing::Values(NumberCase{"100", 100}, NumberCase{" 1 0 0", 100},
                                           NumberCase{"\t7\n", 7}, NumberCase{"12abc", 12},
                                           NumberCase{"abc", 0}, NumberCase{"", 0}, NumberCase{"-5", -5},
                                           NumberCase{"+5", 5}, NumberCase{"- 5", -5}, NumberCase{"1.5", 1.5},
                                           NumberCase{".5", 0.5}, NumberCase{"5.", 5},
                                           NumberCase{"1e3", 1000}, NumberCase{"1E+2", 100},
                                           NumberCase{"1e", 1}, NumberCase{"2e-1", 0.2}, NumberCase{"2,3", 2},
                                           NumberCase{"1.2.3", 1.2}, NumberCase{"--5", 0},
                                           NumberCase{"\r5", 0}, NumberCase{"200}", 200}));

TEST(NumbersOverflow, IsAFailure)
{
    EXPECT_THROW(numericValue(QStringLiteral("1e400")), Failure);
}

struct RoundCase
{
    double value;
    int expected;
};

class Rounding : public ::testing::TestWithParam<RoundCase>
{
};

TEST_P(Rounding, RoundsHalvesToEven)
{
    EXPECT_EQ(roundToInt16(GetParam().value), GetParam().expected) << GetParam().value;
    EXPECT_EQ(roundToInt32(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, Rounding,
                         ::testing::Values(RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{-2.5, -2},
                                           RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{2.6, 3},
                                           RoundCase{-2.6, -3}, RoundCase{32767.4, 32767},
                                           RoundCase{-32768.5, -32768}));

TEST(RoundingOverflow, ThrowsOutsideTheRange)
{
    EXPECT_THROW(roundToInt16(32767.5), Failure);
    EXPECT_THROW(roundToInt16(-32769), Failure);
    EXPECT_THROW(roundToInt16(INFINITY), Failure);
    EXPECT_EQ(roundToInt32(32768), 32768);
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
    EXPECT_THROW(roundToInt32(2147483647.5), Failure);
    try {
        roundToInt16(40000);
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.description(), QStringLiteral("Overflow"));
    }
}

struct OpenCase
{
    const char *action;
    const char *program;
    const char *directory;
    const char *keys;
};

class OpenActions : public ::testing::TestWithParam<OpenCase>
{
};

TEST_P(OpenActions, SplitIntoProgramDirectoryAndKeys)
{
    const OpenAction parts = splitOpenDirectory(splitOpenKeys(QString::fromUtf8(GetParam().action)));
    EXPECT_EQ(parts.program, QString::fromUtf8(GetParam().program));
    EXPECT_EQ(parts.directory, QString::fromUtf8(GetParam().directory));
    EXPECT_EQ(parts.keys, QString::fromUtf8(GetParam().keys));
}

INSTANTIATE_TEST_SUITE_P(Actions, OpenActions,
                         ::testing::Values(OpenCase{"\"/opt/my app/run\",\"/home/me/\"", "/opt/my app/run",
                                                    "/home/me/", ""},
                                           OpenCase{"\"/opt/app\",/data|^s", "/opt/app", "/data", "^s"},
                                           // A "|" in the first two characters does not split.
                                           OpenCase{"a|b", "a|b", "", ""}, OpenCase{"ab|", "ab", "", ""},
                                           OpenCase{"x|y|z", "x|y", "", "z"}, OpenCase{"", "", "", ""}));

TEST(OpenActionKeys, KeepAtMost1024Characters)
{
    const QString keys(1500, QLatin1Char('k'));
    EXPECT_EQ(splitOpenKeys(QStringLiteral("prog|") + keys).keys, keys.left(1024));
}

} // namespace

// Pure text helpers of the recogniser: replacements, phone names, eSpeak phoneme
// conversion, command grammar text and the rejection rule.

#include "speech_platform/SpokenNumbers.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/CommandGrammar.h"
#include "speech_platform/sphinx/CommandRejection.h"
#include "speech_platform/sphinx/EspeakPronouncer.h"
#include "common/Failure.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

struct ReplacementCase
{
    const char *spoken;
    const char *expected;
};

class Replacements : public testing::TestWithParam<ReplacementCase>
{
};

TEST_P(Replacements, turnNumberWordsIntoDigits)
{
    EXPECT_EQ(applyReplacements(words(GetParam().spoken)), QString::fromLatin1(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Phrases, Replacements,
    testing::Values(ReplacementCase{"cursor one hundred comma two hundred", "cursor 100, 200"},
                    ReplacementCase{"select five", "select 5"},
                    ReplacementCase{"open notepad", "open notepad"},
                    ReplacementCase{"", ""},
                    ReplacementCase{"twenty one", "21"},
                    ReplacementCase{"nine hundred ninety nine", "999"},
                    ReplacementCase{"one thousand two hundred eighty", "1280"},
                    ReplacementCase{"two thousand", "2000"},
                    ReplacementCase{"seven thousand nineteen", "7019"},
                    ReplacementCase{"one million two thousand", "1002000"},
                    // Two units in a row are two numbers, as a speaker listing digits means.
                    ReplacementCase{"one two three", "1 2 3"},
                    ReplacementCase{"twenty thirty", "20 30"},
                    ReplacementCase{"twelve five", "12 5"},
                    ReplacementCase{"zero zero", "0 0"},
                    ReplacementCase{"ten hundred", "1000"},
                    ReplacementCase{"hundred", "hundred"},
                    ReplacementCase{"thousand of them", "thousand of them"},
                    ReplacementCase{"one hundred hundred", "100 hundred"},
                    ReplacementCase{"two thousand three thousand", "2003 thousand"},
                    ReplacementCase{"Cursor One Hundred Comma Fifty", "Cursor 100, 50"},
                    ReplacementCase{"comma", ","},
                    ReplacementCase{"a comma b", "a, b"},
                    ReplacementCase{"someone won", "someone won"}));

TEST(SpokenNumberValue, isOneNumberOrMinusOne)
{
    EXPECT_EQ(spokenNumberValue(words("three hundred forty two")), 342);
    EXPECT_EQ(spokenNumberValue(words("zero")), 0);
    EXPECT_EQ(spokenNumberValue(words("two three")), -1);
    EXPECT_EQ(spokenNumberValue(words("five apples")), -1);
    EXPECT_EQ(spokenNumberValue({}), -1);
}

TEST(CmuPhones, idsAndNamesRoundTrip)
{
    EXPECT_EQ(CmuPhones::all().size(), 39);
    for (const QString &phone : CmuPhones::all())
        EXPECT_EQ(CmuPhones::name(CmuPhones::id(phone)), phone);
    EXPECT_EQ(CmuPhones::name(1), QStringLiteral("SIL"));
    EXPECT_EQ(CmuPhones::id(QStringLiteral("aa1")), CmuPhones::id(QStringLiteral("AA")));
    EXPECT_EQ(CmuPhones::id(QStringLiteral("QQ")), 0);
    EXPECT_TRUE(CmuPhones::name(0).isEmpty());
    EXPECT_TRUE(CmuPhones::name(41).isEmpty());
    const QList<int> ids = CmuPhones::idsFromText(QStringLiteral("N OW T P AE D"));
    ASSERT_EQ(ids.size(), 6);
    EXPECT_EQ(CmuPhones::name(ids[1]), QStringLiteral("OW"));
}

TEST(CmuPhoneConverter, refusesUnknownLanguageAndIds)
{
    CmuPhoneConverter converter;
    EXPECT_EQ(converter.idToPhone(0x409, CmuPhones::id(QStringLiteral("ZH"))), QStringLiteral("ZH"));
    EXPECT_THROW(converter.idToPhone(0x407, 2), Failure);
    EXPECT_THROW(converter.idToPhone(0x409, 99), Failure);
}

struct EspeakCase
{
    const char *mnemonics;
    const char *cmu;
};

class EspeakMnemonics : public testing::TestWithParam<EspeakCase>
{
};

TEST_P(EspeakMnemonics, becomeCmuPhones)
{
    EXPECT_EQ(espeakToCmu(QString::fromLatin1(GetParam().mnemonics)), QString::fromLatin1(GetParam().cmu));
}

INSTANTIATE_TEST_SUITE_P(Words, EspeakMnemonics,
                         testing::Values(EspeakCase{"n'oUtpad", "N OW T P AE D"},
                                         EspeakCase{"k'Estr@L", "K EH S T R AH L"},
                                         EspeakCase{"dZ'EdIt", "JH EH D IH T"},
                                         EspeakCase{"f'aI@f0ks", "F AY ER F AA K S"},
                                         EspeakCase{"T'INk", "TH IH NG K"},
                                         EspeakCase{"tS'3:tS", "CH ER CH"},
                                         EspeakCase{"", ""},
                                         EspeakCase{"'',,_:", ""}));

TEST(CommandGrammar, phrasesBecomeLowerCaseWordsOfOneRule)
{
    const CommandGrammar g = CommandGrammar::build(
        {QStringLiteral("OPEN NOTEPAD"), QStringLiteral("open   notepad"), QStringLiteral("Left Click"),
         QStringLiteral("   "), QStringLiteral("SAVE|QUIT"), QStringLiteral("<evil>;"), QStringLiteral("U.S.")});
    EXPECT_EQ(g.phrases, (QStringList{QStringLiteral("open notepad"), QStringLiteral("left click"),
                                      QStringLiteral("save quit"), QStringLiteral("evil"), QStringLiteral("u.s")}));
    EXPECT_TRUE(g.jsgf.startsWith(QStringLiteral("#JSGF V1.0;")));
    EXPECT_TRUE(g.jsgf.contains(QStringLiteral("<phrase> = open notepad | left click | save quit | evil | u.s;")));
    EXPECT_TRUE(g.jsgf.contains(QStringLiteral("public <command> = <phrase> | <cursor> | <select>")));
    for (const QString &w : g.words)
        EXPECT_EQ(w, w.toLower());
    for (const char *w : {"open", "notepad", "cursor", "comma", "hundred", "select", "yes", "know", "thousand"})
        EXPECT_TRUE(g.words.contains(QString::fromLatin1(w))) << w;
    EXPECT_FALSE(g.words.contains(QStringLiteral("digit"))) << "rule names are not words";
}

TEST(CommandGrammar, emptyTableStillHasTheBuiltInFamilies)
{
    const CommandGrammar g = CommandGrammar::build({});
    EXPECT_TRUE(g.phrases.isEmpty());
    EXPECT_FALSE(g.jsgf.contains(QStringLiteral("<phrase>")));
    EXPECT_TRUE(g.jsgf.contains(QStringLiteral("public <command> = <cursor> | <select> | <yes> | <no>;")));
    EXPECT_FALSE(g.jsgf.contains(QStringLiteral("spell"))) << "a letter loop swallows other commands";
}

struct RejectionCase
{
    bool heardCommand;
    double agreement;
    int commonPhones;
    int frames;
    bool accepted;
};

class Rejection : public testing::TestWithParam<RejectionCase>
{
};

TEST_P(Rejection, acceptsWhatTheCommandModelHeardOrAgreesWith)
{
    CommandRejection rule;
    rule.agreement = 0.5;
    rule.minCommonPhones = 4;
    rule.minFrames = 20;
    const RejectionCase c = GetParam();
    EXPECT_EQ(rule.accept({c.heardCommand, c.agreement, c.commonPhones, c.frames}), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Rejection,
    testing::Values(RejectionCase{true, 0.0, 0, 100, true}, RejectionCase{false, 0.5, 6, 100, true},
                    RejectionCase{false, 0.49, 6, 100, false}, RejectionCase{false, 0.0, 0, 100, false},
                    RejectionCase{false, 1.0, 3, 100, false}, RejectionCase{false, 1.0, 4, 100, true},
                    RejectionCase{true, 1.0, 9, 19, false}, RejectionCase{false, 1.0, 9, 20, true}));

TEST(PhoneAgreement, isCommonSubsequenceOverLongerLength)
{
    const QStringList a = words("N OW T P AE D");
    EXPECT_DOUBLE_EQ(phoneAgreement(a, a), 1.0);
    EXPECT_DOUBLE_EQ(phoneAgreement(a, words("N OW T")), 0.5);
    EXPECT_DOUBLE_EQ(phoneAgreement(a, {}), 0.0);
    EXPECT_DOUBLE_EQ(phoneAgreement(words("A B C"), words("C B A")), 1.0 / 3.0);
    EXPECT_EQ(commonPhones(a, words("N AA T P AE D Z")), 5);
    EXPECT_EQ(commonPhones({}, a), 0);
}

} // namespace
} // namespace kestrel

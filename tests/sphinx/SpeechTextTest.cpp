// Pure text helpers of the recogniser: replacements, phone names, eSpeak phoneme
// conversion, command grammar text and the rejection rule.

#include "speech_platform/SpokenNumbers.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/CommandGrammar.h"
#include "speech_platform/sphinx/CommandRejection.h"
#include "speech_platform/sphinx/EspeakPronouncer.h"
#include "common/Failure.h"

#include <QHash>

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

TEST(CommandGrammar, soundAlikesPronouncedLikeTheAnswerStayOutOfItsRule)
{
    // "know" is "no" to the ear: in the rule beside it the search picks either.
    const QHash<QString, QString> usDictionary{
        {QStringLiteral("yes"), QStringLiteral("Y EH S")}, {QStringLiteral("us"), QStringLiteral("AH S")},
        {QStringLiteral("this"), QStringLiteral("DH IH S")}, {QStringLiteral("no"), QStringLiteral("N OW")},
        {QStringLiteral("now"), QStringLiteral("N AW")},     {QStringLiteral("know"), QStringLiteral("N OW")}};
    QHash<QString, QString> allAlike = usDictionary;
    allAlike[QStringLiteral("now")] = QStringLiteral("N OW");
    allAlike[QStringLiteral("us")] = QStringLiteral("Y EH S");
    QHash<QString, QString> noAnswer = usDictionary;
    noAnswer.remove(QStringLiteral("no"));
    const struct {
        const char *name;
        QHash<QString, QString> dictionary;
        bool withPronunciation;
        const char *yesRule;
        const char *noRule;
    } cases[] = {
        {"US dictionary", usDictionary, true, "<yes> = yes | us | this;", "<no> = no | now;"},
        {"more homophones", allAlike, true, "<yes> = yes | this;", "<no> = no;"},
        {"answer itself unknown", noAnswer, true, "<yes> = yes | us | this;", "<no> = no | now | know;"},
        {"no dictionary at hand", usDictionary, false, "<yes> = yes | us | this;", "<no> = no | now | know;"},
    };
    for (const auto &c : cases) {
        const auto lookUp = [&c](const QString &word) { return c.dictionary.value(word); };
        const CommandGrammar g = CommandGrammar::build({QStringLiteral("OPEN NOTEPAD")},
                                                       c.withPronunciation ? CommandGrammar::Pronunciation(lookUp)
                                                                           : CommandGrammar::Pronunciation());
        EXPECT_TRUE(g.jsgf.contains(QLatin1String(c.yesRule))) << c.name << "\n" << g.jsgf.toStdString();
        EXPECT_TRUE(g.jsgf.contains(QLatin1String(c.noRule))) << c.name << "\n" << g.jsgf.toStdString();
        // Left out of the rule, a sound-alike still answers when heard.
        EXPECT_TRUE(g.accepts(words("know"))) << c.name;
        EXPECT_TRUE(g.words.contains(QStringLiteral("know"))) << c.name;
    }
}

struct RejectionCase
{
    const char *name;
    RejectionFeatures features;
    bool accepted;
};

// Feature rows as kestrel_sphinx_eval recorded them for real clips.
RejectionFeatures measured(bool heardCommand, double agreement, int common, int frames, bool numberForm,
                           qint64 phraseScore, qint64 heardScore, int phraseWordFrames, int heardWordFrames,
                           qint64 grammarScore)
{
    RejectionFeatures f;
    f.heardCommand = heardCommand;
    f.agreement = agreement;
    f.commonPhones = common;
    f.frames = frames;
    f.numberForm = numberForm;
    f.heardWords = heardWordFrames > 0;
    f.phraseScore = phraseScore;
    f.heardScore = heardScore;
    f.phraseWordFrames = phraseWordFrames;
    f.heardWordFrames = heardWordFrames;
    f.grammarScore = grammarScore;
    return f;
}

class Rejection : public testing::TestWithParam<RejectionCase>
{
};

TEST_P(Rejection, calibratedRuleTellsCommandsFromOtherSpeech)
{
    const RejectionCase c = GetParam();
    const CommandRejection rule = CommandRejection::calibrated();
    EXPECT_EQ(rule.accept(c.features), c.accepted) << "confidence " << rule.confidence(c.features);
}

INSTANTIATE_TEST_SUITE_P(
    Clips, Rejection,
    testing::Values(
        RejectionCase{"HeardExactly", measured(true, 1.0, 10, 259, false, -2465, -2523, 112, 112, -2495), true},
        // The command model misheard ("luigi know you", "do you file your"), but
        // the phrase explains the audio better than its words did and covers as
        // much of it.
        RejectionCase{"MisheardPageDown", measured(false, 0.22, 2, 180, false, -2953, -3360, 101, 87, -3741), true},
        RejectionCase{"MisheardSaveFile", measured(false, 0.3, 3, 176, false, -3639, -3976, 94, 105, -4607), true},
        // A whole sentence: the phrase covers a third of what the heard words do.
        RejectionCase{"Sentence", measured(false, 0.18, 3, 280, false, -5903, -4091, 76, 192, -10410), false},
        RejectionCase{"SentenceAsNumbers", measured(false, 0.27, 4, 193, true, -4366, -3374, 109, 91, -6049), false},
        // Noise the command model heard nothing in; the grammar forced "now" onto
        // six frames of it.
        RejectionCase{"Noise", measured(false, 0.0, 0, 146, false, -1137, 0, 6, 0, -1809), false},
        // White noise: the heard "ah" and the phrase "know" both squeezed into a
        // few frames, so the phrase even looks better than what was heard.
        RejectionCase{"NoiseAsShortWord", measured(false, 0.0, 0, 219, false, -1301, -1343, 6, 3, -3195), false},
        // White noise heard as "this" both ways; a sound-alike alone is no command.
        RejectionCase{"NoiseAsSoundAlike",
                      [] {
                          RejectionFeatures f = measured(false, 1.0, 3, 160, false, -2228, -2602, 119, 16, -1453);
                          f.soundAlike = true;
                          return f;
                      }(),
                      false},
        RejectionCase{"TooShort", measured(true, 1.0, 10, 19, false, -800, -800, 15, 15, -900), false},
        RejectionCase{"NothingAligned", measured(true, 1.0, 10, 200, false, 0, -2000, 0, 100, -2500), false}),
    [](const testing::TestParamInfo<RejectionCase> &p) { return std::string(p.param.name); });

struct EvidenceCase
{
    const char *name;
    void (*strengthen)(RejectionFeatures &);
};

class RejectionEvidence : public testing::TestWithParam<EvidenceCase>
{
};

TEST_P(RejectionEvidence, strongerEvidenceNeverLowersConfidence)
{
    const RejectionFeatures base = measured(false, 0.4, 4, 190, false, -4000, -3500, 90, 110, -6000);
    RejectionFeatures stronger = base;
    GetParam().strengthen(stronger);
    const CommandRejection rule = CommandRejection::calibrated();
    EXPECT_GT(rule.confidence(stronger), rule.confidence(base));
}

INSTANTIATE_TEST_SUITE_P(
    Features, RejectionEvidence,
    testing::Values(EvidenceCase{"HeardCommand", [](RejectionFeatures &f) { f.heardCommand = true; }},
                    EvidenceCase{"Agreement", [](RejectionFeatures &f) { f.agreement = 0.8; }},
                    EvidenceCase{"CommonPhones", [](RejectionFeatures &f) { f.commonPhones = 8; }},
                    EvidenceCase{"ScoreMargin", [](RejectionFeatures &f) { f.phraseScore = -3600; }},
                    EvidenceCase{"WordShare", [](RejectionFeatures &f) { f.heardWordFrames = 95; }},
                    EvidenceCase{"GrammarFits", [](RejectionFeatures &f) { f.grammarScore = -4000; }}),
    [](const testing::TestParamInfo<EvidenceCase> &p) { return std::string(p.param.name); });

TEST(RejectionEvidence, numberFormsNeedMoreEvidenceThanPhrases)
{
    const CommandRejection rule = CommandRejection::calibrated();
    RejectionFeatures phrase = measured(false, 0.5, 6, 190, false, -3800, -3700, 100, 105, -5000);
    RejectionFeatures number = phrase;
    number.numberForm = true;
    EXPECT_LT(rule.confidence(number), rule.confidence(phrase));
    // Nothing heard: the margin is the floor and there is no share, however the
    // scores happen to stand.
    RejectionFeatures deaf = phrase;
    deaf.heardWords = false;
    EXPECT_LT(rule.confidence(deaf), rule.confidence(phrase));
}

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

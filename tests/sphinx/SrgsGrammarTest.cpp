// The SRGS grammar loader: what it accepts, what it refuses, and that the
// grammar shipped with the program loads.

#include "speech_platform/SrgsGrammar.h"
#include "common/Failure.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

QByteArray grammar(const char *body, const char *root = "main")
{
    return QByteArray("<?xml version=\"1.0\"?>\n<grammar xmlns=\"http://www.w3.org/2001/06/grammar\" version=\"1.0\" "
                      "xml:lang=\"en-US\" root=\"")
           + root + "\">" + body + "</grammar>";
}

struct SentencesCase
{
    const char *name;
    const char *body;
    QStringList sentences;
};

class SrgsSentences : public testing::TestWithParam<SentencesCase>
{
};

TEST_P(SrgsSentences, ofTheRootRule)
{
    const SrgsGrammar g = SrgsGrammar::parse(grammar(GetParam().body));
    EXPECT_EQ(g.sentences(QStringLiteral("main")), GetParam().sentences);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, SrgsSentences,
    testing::Values(
        SentencesCase{"PlainText", "<rule id=\"main\">open  notepad</rule>", {QStringLiteral("open notepad")}},
        SentencesCase{"OneOf",
                      "<rule id=\"main\">open <one-of><item>notepad</item><item>firefox</item></one-of></rule>",
                      {QStringLiteral("open notepad"), QStringLiteral("open firefox")}},
        SentencesCase{"OptionalItem",
                      "<rule id=\"main\"><item repeat=\"0-1\">please</item> stop</rule>",
                      {QStringLiteral("stop"), QStringLiteral("please stop")}},
        SentencesCase{"RuleRefAndTagIgnored",
                      "<rule id=\"main\">go <ruleref uri=\"#dir\"/><tag>out=1</tag></rule>"
                      "<rule id=\"dir\"><one-of><item>up<tag>x</tag></item><item>down</item></one-of></rule>",
                      {QStringLiteral("go up"), QStringLiteral("go down")}},
        SentencesCase{"ExactRepeat", "<rule id=\"main\"><item repeat=\"2\">la</item></rule>",
                      {QStringLiteral("la la")}},
        SentencesCase{"OpenRepeatListsUpToTwo", "<rule id=\"main\"><item repeat=\"1-\">go</item></rule>",
                      {QStringLiteral("go"), QStringLiteral("go go")}},
        SentencesCase{"TokenElement", "<rule id=\"main\"><token>new york</token> city</rule>",
                      {QStringLiteral("new york city")}},
        SentencesCase{"SpecialNull", "<rule id=\"main\">a <ruleref special=\"NULL\"/> b</rule>",
                      {QStringLiteral("a b")}}),
    [](const testing::TestParamInfo<SentencesCase> &p) { return std::string(p.param.name); });

struct BadCase
{
    const char *name;
    QByteArray xml;
    const char *messagePart;
};

class SrgsRefuses : public testing::TestWithParam<BadCase>
{
};

TEST_P(SrgsRefuses, withAFailureNamingTheProblem)
{
    try {
        SrgsGrammar::parse(GetParam().xml);
        FAIL() << "accepted";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains(QString::fromLatin1(GetParam().messagePart)))
            << qPrintable(failure.description());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, SrgsRefuses,
    testing::Values(BadCase{"Empty", QByteArray(), "empty"},
                    BadCase{"NotXml", QByteArray("open notepad"), "line"},
                    BadCase{"Unclosed", grammar("<rule id=\"main\">open"), "line"},
                    BadCase{"WrongRoot", QByteArray("<html><body/></html>"), "not an SRGS grammar"},
                    BadCase{"UnknownRef", grammar("<rule id=\"main\"><ruleref uri=\"#nope\"/></rule>"), "nope"},
                    BadCase{"ExternalRef", grammar("<rule id=\"main\"><ruleref uri=\"x.xml#a\"/></rule>"), "local"},
                    BadCase{"DuplicateRule", grammar("<rule id=\"main\">a</rule><rule id=\"main\">b</rule>"),
                            "duplicate"},
                    BadCase{"RuleWithoutId", grammar("<rule>a</rule>", ""), "without id"},
                    BadCase{"MissingRootRule", grammar("<rule id=\"other\">a</rule>"), "root rule"},
                    BadCase{"BadRepeat", grammar("<rule id=\"main\"><item repeat=\"3-1\">a</item></rule>"), "repeat"},
                    BadCase{"TextInOneOf", grammar("<rule id=\"main\"><one-of>a</one-of></rule>"), "one-of"},
                    BadCase{"EmptyOneOf", grammar("<rule id=\"main\"><one-of></one-of></rule>"), "empty one-of"},
                    BadCase{"UnknownElement", grammar("<rule id=\"main\"><blink>a</blink></rule>"), "blink"}),
    [](const testing::TestParamInfo<BadCase> &p) { return std::string(p.param.name); });

TEST(SrgsGrammarFile, missingFileIsAFailure)
{
    QTemporaryDir dir;
    EXPECT_THROW(SrgsGrammar::loadFile(dir.filePath(QStringLiteral("sol.xml"))), Failure);
}

TEST(SrgsGrammarFile, shippedSampleLoadsWithPublicRules)
{
    const SrgsGrammar g = SrgsGrammar::loadFile(QStringLiteral(KESTREL_RESOURCES_DIR "/sol.xml"));
    EXPECT_FALSE(g.rules().isEmpty());
    EXPECT_NE(g.rule(g.root()), nullptr);
    EXPECT_TRUE(g.sentences(g.root()).contains(QStringLiteral("open notepad")));
}

} // namespace
} // namespace kestrel

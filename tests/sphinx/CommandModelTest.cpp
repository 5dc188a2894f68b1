// The command grammar as a set of sentences and as a language model: what counts
// as a command once words are heard, and whether the model's probabilities add up.

#include "speech_platform/sphinx/CommandGrammar.h"
#include "speech_platform/sphinx/CommandLanguageModel.h"

#include <QHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>

namespace kestrel {
namespace {

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

CommandGrammar table()
{
    return CommandGrammar::build({QStringLiteral("OPEN NOTEPAD"), QStringLiteral("Close Notepad"),
                                  QStringLiteral("LEFT CLICK"), QStringLiteral("TYPE MY ADDRESS")});
}

struct SentenceCase
{
    const char *words;
    bool command;
};

class GrammarSentences : public testing::TestWithParam<SentenceCase>
{
};

TEST_P(GrammarSentences, areCommandsExactlyWhenTheGrammarCanSayThem)
{
    const SentenceCase c = GetParam();
    EXPECT_EQ(table().accepts(words(c.words)), c.command) << c.words;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GrammarSentences,
    testing::Values(SentenceCase{"open notepad", true}, SentenceCase{"close notepad", true},
                    SentenceCase{"type my address", true}, SentenceCase{"open", false},
                    SentenceCase{"open notepad now", false}, SentenceCase{"close notepad notepad", false},
                    SentenceCase{"left", false}, SentenceCase{"", false}, SentenceCase{"yes", true},
                    SentenceCase{"know", true}, SentenceCase{"yes no", false}, SentenceCase{"cursor down", true},
                    SentenceCase{"cursor", false}, SentenceCase{"cursor up down", false},
                    SentenceCase{"cursor one hundred comma two hundred", true},
                    SentenceCase{"cursor zero comma nine thousand nine hundred ninety nine", true},
                    SentenceCase{"cursor one comma", false}, SentenceCase{"cursor comma two", false},
                    SentenceCase{"cursor one two comma three", false}, SentenceCase{"select five", true},
                    SentenceCase{"select", false}, SentenceCase{"select five million", false},
                    SentenceCase{"select ten thousand", false}, SentenceCase{"select notepad", false}));

TEST(GrammarSentences, numberFormsAreTheCursorAndSelectFamiliesNotTablePhrases)
{
    const CommandGrammar g = CommandGrammar::build({QStringLiteral("SELECT ALL"), QStringLiteral("OPEN NOTEPAD"),
                                                    QStringLiteral("CURSOR HOME")});
    const struct {
        const char *words;
        bool numberForm;
    } cases[] = {{"select five", true},         {"cursor one comma two", true}, {"select all", false},
                 {"cursor home", false},        {"cursor down", false},         {"select", false},
                 {"open notepad", false},       {"", false}};
    for (const auto &c : cases)
        EXPECT_EQ(g.isNumberForm(words(c.words)), c.numberForm) << c.words;
}

struct NumberCase
{
    int value;
    const char *words;
};

class NumberWords : public testing::TestWithParam<NumberCase>
{
};

TEST_P(NumberWords, spellNumbersAsTheGrammarSaysThem)
{
    const NumberCase c = GetParam();
    EXPECT_EQ(CommandLanguageModel::numberWords(c.value), words(c.words)) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberWords,
                         testing::Values(NumberCase{0, "zero"}, NumberCase{7, "seven"}, NumberCase{13, "thirteen"},
                                         NumberCase{40, "forty"}, NumberCase{42, "forty two"},
                                         NumberCase{100, "one hundred"}, NumberCase{105, "one hundred five"},
                                         NumberCase{1204, "one thousand two hundred four"},
                                         NumberCase{9999, "nine thousand nine hundred ninety nine"},
                                         NumberCase{10000, ""}, NumberCase{-1, ""}));

TEST(GrammarSentences, soundAlikeAnswersCountOnlyWhenAsked)
{
    const CommandGrammar g = table();
    for (const char *w : {"us", "this", "now", "know"}) {
        EXPECT_TRUE(g.accepts(words(w))) << w;
        EXPECT_FALSE(g.accepts(words(w), CommandGrammar::SoundAlikes::Ignore)) << w;
    }
    for (const char *w : {"yes", "no", "open notepad", "select five"})
        EXPECT_TRUE(g.accepts(words(w), CommandGrammar::SoundAlikes::Ignore)) << w;
}

TEST(NumberWords, everySpelledNumberIsAGrammarNumber)
{
    const CommandGrammar g = table();
    for (int n = 0; n <= 9999; n += 37)
        EXPECT_TRUE(g.accepts(QStringList{QStringLiteral("select")} + CommandLanguageModel::numberWords(n))) << n;
}

/// An ARPA bigram model read back: log10 probabilities and backoff weights.
struct ReadModel
{
    QHash<QString, double> unigram;
    QHash<QString, double> backoff;
    QHash<QString, QHash<QString, double>> bigram;
    int declaredUnigrams = 0;
    int declaredBigrams = 0;

    static ReadModel parse(const QString &text)
    {
        ReadModel m;
        int section = 0;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            static const QRegularExpression count(QStringLiteral("^ngram (\\d)=(\\d+)$"));
            if (const auto match = count.match(line); match.hasMatch()) {
                (match.captured(1) == QLatin1String("1") ? m.declaredUnigrams : m.declaredBigrams) =
                    match.captured(2).toInt();
                continue;
            }
            if (line == QLatin1String("\\1-grams:") || line == QLatin1String("\\2-grams:")) {
                section = line.at(1).digitValue();
                continue;
            }
            const QStringList f = line.split(QRegularExpression(QStringLiteral("[\\t ]+")), Qt::SkipEmptyParts);
            if (section == 1 && f.size() >= 2) {
                m.unigram[f[1]] = f[0].toDouble();
                if (f.size() == 3)
                    m.backoff[f[1]] = f[2].toDouble();
            } else if (section == 2 && f.size() == 3) {
                m.bigram[f[1]][f[2]] = f[0].toDouble();
            }
        }
        return m;
    }

    double probability(const QString &history, const QString &word) const
    {
        const auto seen = bigram.value(history);
        if (seen.contains(word))
            return std::pow(10.0, seen.value(word));
        return std::pow(10.0, backoff.value(history) + unigram.value(word));
    }
};

TEST(CommandLanguageModel, declaresWhatItListsAndEveryHistoryAddsUpToOne)
{
    const ReadModel m = ReadModel::parse(CommandLanguageModel::arpa(table()));
    int bigrams = 0;
    for (const auto &next : m.bigram)
        bigrams += int(next.size());
    EXPECT_EQ(m.declaredUnigrams, m.unigram.size());
    EXPECT_EQ(m.declaredBigrams, bigrams);
    ASSERT_TRUE(m.unigram.contains(QStringLiteral("</s>")));
    for (auto h = m.bigram.cbegin(); h != m.bigram.cend(); ++h) {
        ASSERT_TRUE(m.unigram.contains(h.key())) << "history without a unigram: " << qPrintable(h.key());
        double total = 0.0;
        for (auto w = m.unigram.cbegin(); w != m.unigram.cend(); ++w) {
            if (w.key() != QLatin1String("<s>"))
                total += m.probability(h.key(), w.key());
        }
        EXPECT_NEAR(total, 1.0, 1e-3) << qPrintable(h.key());
    }
}

TEST(CommandLanguageModel, phrasesOutweighWordsStrungTogetherFromOtherCommands)
{
    const ReadModel m = ReadModel::parse(CommandLanguageModel::arpa(table()));
    const auto sentence = [&](const char *text) {
        QString previous = QStringLiteral("<s>");
        double p = 1.0;
        for (const QString &w : words(text) + QStringList{QStringLiteral("</s>")}) {
            p *= m.probability(previous, w);
            previous = w;
        }
        return p;
    };
    EXPECT_GT(sentence("open notepad"), 10 * sentence("open address"));
    EXPECT_GT(sentence("left click"), 10 * sentence("left notepad"));
    EXPECT_GT(sentence("cursor one hundred comma two hundred"), 10 * sentence("cursor one notepad comma two hundred"));
    EXPECT_GT(sentence("select five"), 0.0);
    EXPECT_GT(sentence("type my address"), 10 * sentence("type my"));
}

} // namespace
} // namespace kestrel

#include "speech_platform/sphinx/CommandLanguageModel.h"

#include "speech_platform/sphinx/CommandGrammar.h"

#include <QHash>
#include <QMap>
#include <QSet>

#include <cmath>

namespace kestrel {
namespace {

const char *const kBegin = "<s>";
const char *const kEnd = "</s>";
/// Share of a history's probability held back for words never seen after it.
constexpr double kHeldBack = 0.2;

struct Counts
{
    QMap<QString, double> unigram;               ///< sorted, so the text is stable
    QMap<QString, QMap<QString, double>> bigram; ///< history -> word -> weight
    double total = 0.0;

    void add(const QStringList &words, double weight)
    {
        QString previous = QString::fromLatin1(kBegin);
        unigram[previous] += weight;
        for (const QString &word : words) {
            unigram[word] += weight;
            bigram[previous][word] += weight;
            previous = word;
        }
        unigram[QString::fromLatin1(kEnd)] += weight;
        bigram[previous][QString::fromLatin1(kEnd)] += weight;
    }
};

QString log10Text(double p)
{
    return QString::number(p > 0.0 ? std::log10(p) : -99.0, 'f', 6);
}

/// A spread of numbers: every number under 100, round hundreds and thousands,
/// and a few of each longer shape, so every word-to-word step of the number
/// rules occurs.
QList<int> sampleNumbers()
{
    QList<int> numbers;
    for (int n = 0; n < 100; ++n)
        numbers << n;
    for (int n = 100; n < 1000; n += 100)
        numbers << n << n + 7 << n + 15 << n + 40 << n + 63;
    for (int n = 1000; n < 10000; n += 1000)
        numbers << n << n + 300 << n + 520 << n + 9 << n + 888;
    return numbers;
}

} // namespace

QStringList CommandLanguageModel::numberWords(int value)
{
    static const char *const units[] = {"zero",    "one",     "two",       "three",    "four",
                                        "five",    "six",     "seven",     "eight",    "nine",
                                        "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                                        "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
    static const char *const tens[] = {"",      "",      "twenty",  "thirty", "forty",
                                       "fifty", "sixty", "seventy", "eighty", "ninety"};
    if (value < 0 || value > 9999)
        return {};
    if (value == 0)
        return {QStringLiteral("zero")};
    QStringList words;
    if (value >= 1000) {
        words << QString::fromLatin1(units[value / 1000]) << QStringLiteral("thousand");
        value %= 1000;
    }
    if (value >= 100) {
        words << QString::fromLatin1(units[value / 100]) << QStringLiteral("hundred");
        value %= 100;
    }
    if (value >= 20) {
        words << QString::fromLatin1(tens[value / 10]);
        value %= 10;
        if (value > 0)
            words << QString::fromLatin1(units[value]);
    } else if (value > 0) {
        words << QString::fromLatin1(units[value]);
    }
    return words;
}

QString CommandLanguageModel::arpa(const CommandGrammar &grammar)
{
    Counts counts;
    for (const QString &phrase : grammar.phrases)
        counts.add(phrase.split(QLatin1Char(' ')), 1.0);
    for (const QString &direction : grammar.directions)
        counts.add({QStringLiteral("cursor"), direction}, 1.0);
    for (const QString &word : grammar.yesWords + grammar.noWords)
        counts.add({word}, 1.0);
    // Each number family weighs as much as two phrases in all.
    const QList<int> numbers = sampleNumbers();
    const double share = 2.0 / double(numbers.size());
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const QStringList first = numberWords(numbers[i]);
        const QStringList second = numberWords(numbers[(i * 7 + 3) % numbers.size()]);
        counts.add(QStringList{QStringLiteral("cursor")} + first + QStringList{QStringLiteral("comma")} +
                       second,
                   share);
        counts.add(QStringList{QStringLiteral("select")} + first, share);
    }

    double total = 0.0;
    for (auto it = counts.unigram.cbegin(); it != counts.unigram.cend(); ++it) {
        if (it.key() != QLatin1String(kBegin))
            total += it.value();
    }
    QHash<QString, double> unigramP;
    for (auto it = counts.unigram.cbegin(); it != counts.unigram.cend(); ++it)
        unigramP[it.key()] = it.key() == QLatin1String(kBegin) ? 0.0 : it.value() / total;

    qsizetype bigrams = 0;
    for (const auto &next : std::as_const(counts.bigram))
        bigrams += next.size();

    QString text = QStringLiteral("\\data\\\nngram 1=%1\nngram 2=%2\n\n\\1-grams:\n")
                       .arg(counts.unigram.size())
                       .arg(bigrams);
    for (auto it = counts.unigram.cbegin(); it != counts.unigram.cend(); ++it) {
        const auto next = counts.bigram.constFind(it.key());
        QString backoff;
        if (next != counts.bigram.cend()) {
            // What the held-back share is spread over: the words not seen after
            // this one, in proportion to their own frequency.
            double seen = 0.0;
            for (auto n = next->cbegin(); n != next->cend(); ++n)
                seen += unigramP.value(n.key());
            const double rest = std::max(1.0 - seen, 1e-6);
            backoff = QLatin1Char('\t') + log10Text(kHeldBack / rest);
        }
        text +=
            log10Text(unigramP.value(it.key())) + QLatin1Char('\t') + it.key() + backoff + QLatin1Char('\n');
    }
    text += QStringLiteral("\n\\2-grams:\n");
    for (auto h = counts.bigram.cbegin(); h != counts.bigram.cend(); ++h) {
        double historyTotal = 0.0;
        for (const double c : h.value())
            historyTotal += c;
        for (auto w = h->cbegin(); w != h->cend(); ++w) {
            text += log10Text((1.0 - kHeldBack) * w.value() / historyTotal) + QLatin1Char('\t') + h.key() +
                    QLatin1Char(' ') + w.key() + QLatin1Char('\n');
        }
    }
    text += QStringLiteral("\n\\end\\\n");
    return text;
}

} // namespace kestrel

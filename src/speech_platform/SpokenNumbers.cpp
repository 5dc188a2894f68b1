#include "speech_platform/SpokenNumbers.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace kestrel {
namespace {

enum class NumberWord { Zero, Unit, Teen, Tens, Hundred, Scale };

struct NumberToken
{
    NumberWord kind;
    qint64 value;
};

std::optional<NumberToken> tokenIn(const QHash<QString, NumberToken> &table, const QString &word)
{
    const auto it = table.constFind(word.toLower());
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<NumberToken> numberToken(const QString &word)
{
    static const QHash<QString, NumberToken> table = {
        {QStringLiteral("zero"), {NumberWord::Zero, 0}},
        {QStringLiteral("one"), {NumberWord::Unit, 1}},
        {QStringLiteral("two"), {NumberWord::Unit, 2}},
        {QStringLiteral("three"), {NumberWord::Unit, 3}},
        {QStringLiteral("four"), {NumberWord::Unit, 4}},
        {QStringLiteral("five"), {NumberWord::Unit, 5}},
        {QStringLiteral("six"), {NumberWord::Unit, 6}},
        {QStringLiteral("seven"), {NumberWord::Unit, 7}},
        {QStringLiteral("eight"), {NumberWord::Unit, 8}},
        {QStringLiteral("nine"), {NumberWord::Unit, 9}},
        {QStringLiteral("ten"), {NumberWord::Teen, 10}},
        {QStringLiteral("eleven"), {NumberWord::Teen, 11}},
        {QStringLiteral("twelve"), {NumberWord::Teen, 12}},
        {QStringLiteral("thirteen"), {NumberWord::Teen, 13}},
        {QStringLiteral("fourteen"), {NumberWord::Teen, 14}},
        {QStringLiteral("fifteen"), {NumberWord::Teen, 15}},
        {QStringLiteral("sixteen"), {NumberWord::Teen, 16}},
        {QStringLiteral("seventeen"), {NumberWord::Teen, 17}},
        {QStringLiteral("eighteen"), {NumberWord::Teen, 18}},
        {QStringLiteral("nineteen"), {NumberWord::Teen, 19}},
        {QStringLiteral("twenty"), {NumberWord::Tens, 20}},
        {QStringLiteral("thirty"), {NumberWord::Tens, 30}},
        {QStringLiteral("forty"), {NumberWord::Tens, 40}},
        {QStringLiteral("fifty"), {NumberWord::Tens, 50}},
        {QStringLiteral("sixty"), {NumberWord::Tens, 60}},
        {QStringLiteral("seventy"), {NumberWord::Tens, 70}},
        {QStringLiteral("eighty"), {NumberWord::Tens, 80}},
        {QStringLiteral("ninety"), {NumberWord::Tens, 90}},
        {QStringLiteral("hundred"), {NumberWord::Hundred, 100}},
        {QStringLiteral("thousand"), {NumberWord::Scale, 1000}},
        {QStringLiteral("million"), {NumberWord::Scale, 1000000}},
    };
    return tokenIn(table, word);
}

// An ordinal after a number ends it: "twenty first" is 21st. Alone it stays a
// word ("the first time").
std::optional<NumberToken> ordinalToken(const QString &word)
{
    static const QHash<QString, NumberToken> table = {
        {QStringLiteral("first"), {NumberWord::Unit, 1}},
        {QStringLiteral("second"), {NumberWord::Unit, 2}},
        {QStringLiteral("third"), {NumberWord::Unit, 3}},
        {QStringLiteral("fourth"), {NumberWord::Unit, 4}},
        {QStringLiteral("fifth"), {NumberWord::Unit, 5}},
        {QStringLiteral("sixth"), {NumberWord::Unit, 6}},
        {QStringLiteral("seventh"), {NumberWord::Unit, 7}},
        {QStringLiteral("eighth"), {NumberWord::Unit, 8}},
        {QStringLiteral("ninth"), {NumberWord::Unit, 9}},
        {QStringLiteral("tenth"), {NumberWord::Teen, 10}},
        {QStringLiteral("eleventh"), {NumberWord::Teen, 11}},
        {QStringLiteral("twelfth"), {NumberWord::Teen, 12}},
        {QStringLiteral("thirteenth"), {NumberWord::Teen, 13}},
        {QStringLiteral("fourteenth"), {NumberWord::Teen, 14}},
        {QStringLiteral("fifteenth"), {NumberWord::Teen, 15}},
        {QStringLiteral("sixteenth"), {NumberWord::Teen, 16}},
        {QStringLiteral("seventeenth"), {NumberWord::Teen, 17}},
        {QStringLiteral("eighteenth"), {NumberWord::Teen, 18}},
        {QStringLiteral("nineteenth"), {NumberWord::Teen, 19}},
        {QStringLiteral("twentieth"), {NumberWord::Tens, 20}},
        {QStringLiteral("thirtieth"), {NumberWord::Tens, 30}},
        {QStringLiteral("fortieth"), {NumberWord::Tens, 40}},
        {QStringLiteral("fiftieth"), {NumberWord::Tens, 50}},
        {QStringLiteral("sixtieth"), {NumberWord::Tens, 60}},
        {QStringLiteral("seventieth"), {NumberWord::Tens, 70}},
        {QStringLiteral("eightieth"), {NumberWord::Tens, 80}},
        {QStringLiteral("ninetieth"), {NumberWord::Tens, 90}},
        {QStringLiteral("hundredth"), {NumberWord::Hundred, 100}},
        {QStringLiteral("thousandth"), {NumberWord::Scale, 1000}},
        {QStringLiteral("millionth"), {NumberWord::Scale, 1000000}},
    };
    return tokenIn(table, word);
}

QString withOrdinalSuffix(qint64 value)
{
    const qint64 lastTwo = value % 100;
    const char *suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        switch (value % 10) {
        case 1:
            suffix = "st";
            break;
        case 2:
            suffix = "nd";
            break;
        case 3:
            suffix = "rd";
            break;
        default:
            break;
        }
    }
    return QString::number(value) + QLatin1String(suffix);
}

bool isKind(const std::optional<NumberToken> &token, std::initializer_list<NumberWord> kinds)
{
    return token && std::find(kinds.begin(), kinds.end(), token->kind) != kinds.end();
}

/// Builds one number word by word; accept() refuses a word that cannot continue
/// the number, so the caller starts a new one there ("two three" -> "2 3").
class NumberBuilder
{
public:
    bool empty() const { return !m_started; }
    qint64 value() const { return m_total + m_current; }

    bool accept(const NumberToken &t)
    {
        if (lastIs(NumberWord::Zero))
            return false;
        switch (t.kind) {
        case NumberWord::Zero:
            if (!empty())
                return false;
            break;
        case NumberWord::Unit:
            if (lastIs(NumberWord::Unit) || lastIs(NumberWord::Teen))
                return false;
            if (lastIs(NumberWord::Tens) && m_current % 10 != 0)
                return false;
            m_current += t.value;
            break;
        case NumberWord::Teen:
        case NumberWord::Tens:
            if (lastIs(NumberWord::Unit) || lastIs(NumberWord::Teen) || lastIs(NumberWord::Tens))
                return false;
            m_current += t.value;
            break;
        case NumberWord::Hundred:
            if (m_current == 0 || m_current >= 100 || lastIs(NumberWord::Hundred))
                return false;
            m_current *= 100;
            break;
        case NumberWord::Scale:
            // A scale must be smaller than any scale already used in this number.
            if (m_current == 0 || (m_lastScale != 0 && t.value >= m_lastScale))
                return false;
            m_total += m_current * t.value;
            m_current = 0;
            m_lastScale = t.value;
            break;
        }
        m_last = t.kind;
        m_started = true;
        return true;
    }

private:
    // A flag beside a plain value rather than std::optional: GCC at -O3 takes
    // the optional's copy for a read of uninitialised memory.
    bool lastIs(NumberWord kind) const { return m_started && m_last == kind; }

    bool m_started = false;
    NumberWord m_last = NumberWord::Zero;
    qint64 m_total = 0;
    qint64 m_current = 0;
    qint64 m_lastScale = 0;
};

void appendWord(QString &out, const QString &word)
{
    if (!out.isEmpty())
        out += QLatin1Char(' ');
    out += word;
}

} // namespace

QString applyReplacements(const QStringList &words)
{
    QString out;
    NumberBuilder number;
    qsizetype numberStart = -1; ///< the index of the number's first word
    // A year is said in two halves, "nineteen eighty four", "twenty nineteen":
    // a first half of one word from thirteen to twenty, kept here while the
    // second is built. Twelve and below are left alone: "twelve fifteen" is
    // a time. Nor is a pair inside a longer run of numbers a year: "thirteen
    // fourteen fifteen" is a list.
    qint64 yearHalf = 0;
    const auto wordAt = [&](qsizetype at) { return at >= 0 && at < words.size() ? words[at] : QString(); };
    const auto wordIs = [&](qsizetype at, QLatin1String text) {
        return wordAt(at).compare(text, Qt::CaseInsensitive) == 0;
    };
    const auto isNumberWord = [&](qsizetype at) { return numberToken(wordAt(at)).has_value(); };
    const auto isAndOr = [&](qsizetype at) {
        return wordIs(at, QLatin1String("and")) || wordIs(at, QLatin1String("or"));
    };
    const auto takesANumber = [&](qsizetype at) {
        return wordIs(at, QLatin1String("select")) || wordIs(at, QLatin1String("cursor")) ||
               wordIs(at, QLatin1String("comma"));
    };
    // Everything after "spell it" is spelled: "one" there is the digit.
    qsizetype spellingFrom = words.size();
    for (qsizetype at = 0; at + 1 < words.size(); ++at) {
        if (wordIs(at, QLatin1String("spell")) && wordIs(at + 1, QLatin1String("it"))) {
            spellingFrom = at + 2;
            break;
        }
    }
    // "one" alone is mostly the pronoun ("no one knows", "the one I want"), and
    // dictation must not type "no 1 knows". It is a number where a command
    // takes one (after "select" or "cursor", beside "comma"), where it is
    // spelled, or among other number words ("one two three", "one or two").
    const auto loneOneIsWord = [&](qsizetype end) {
        return end - numberStart == 1 && wordIs(numberStart, QLatin1String("one")) &&
               !takesANumber(numberStart - 1) && !wordIs(end, QLatin1String("comma")) &&
               numberStart < spellingFrom && !isNumberWord(numberStart - 1) && !isNumberWord(end) &&
               !(isAndOr(end) && isNumberWord(end + 1)) &&
               !(isAndOr(numberStart - 1) && isNumberWord(numberStart - 2));
    };
    // A year's first half, said at `at`: thirteen to twenty, then a teen or tens.
    const auto yearStartsAt = [&](qsizetype at) {
        const auto first = numberToken(wordAt(at));
        return first && first->value >= 13 && first->value <= 20 &&
               isKind(numberToken(wordAt(at + 1)), {NumberWord::Teen, NumberWord::Tens});
    };
    // "second" is as often the unit of time ("a thirty second pause"): an
    // ordinal only in a date or a rank ("the twenty second", "june twenty
    // second", "twenty second of may", "twenty first and twenty second").
    const auto ordinalAt = [&](qsizetype at, qsizetype start) -> std::optional<NumberToken> {
        const auto ordinal = ordinalToken(wordAt(at));
        if (!ordinal || !wordIs(at, QLatin1String("second")))
            return ordinal;
        static const QStringList months = {
            QStringLiteral("january"), QStringLiteral("february"), QStringLiteral("march"),
            QStringLiteral("april"),   QStringLiteral("may"),      QStringLiteral("june"),
            QStringLiteral("july"),    QStringLiteral("august"),   QStringLiteral("september"),
            QStringLiteral("october"), QStringLiteral("november"), QStringLiteral("december")};
        const bool rank = wordIs(at + 1, QLatin1String("of")) || wordIs(start - 1, QLatin1String("the")) ||
                          months.contains(wordAt(start - 1), Qt::CaseInsensitive) ||
                          (isAndOr(start - 1) && ordinalToken(wordAt(start - 2)).has_value());
        return rank ? ordinal : std::nullopt;
    };
    const auto flushYearHalf = [&] {
        if (yearHalf != 0)
            appendWord(out, QString::number(yearHalf));
        yearHalf = 0;
    };
    // A second half followed by more numbers is a list ("thirteen fourteen and
    // fifteen"), unless what follows is a year or a large number of its own
    // ("nineteen eighty four and nineteen eighty five", "… or two thousand").
    const auto numberFollows = [&](qsizetype at) {
        if (isNumberWord(at))
            return true;
        const bool largeNext = isKind(numberToken(wordAt(at + 2)), {NumberWord::Hundred, NumberWord::Scale});
        return isAndOr(at) && isNumberWord(at + 1) && at - numberStart < 2 && !yearStartsAt(at + 1) &&
               !largeNext;
    };
    // `end`: the index of the first word after the number.
    auto flushNumber = [&](qsizetype end) {
        if (!number.empty()) {
            if (yearHalf != 0 && number.value() >= 10 && number.value() <= 99 && !numberFollows(end)) {
                appendWord(out, QString::number(yearHalf * 100 + number.value()));
                yearHalf = 0;
            } else {
                flushYearHalf();
                appendWord(out, loneOneIsWord(end) ? words[numberStart] : QString::number(number.value()));
            }
        }
        flushYearHalf();
        number = NumberBuilder();
        numberStart = -1;
    };

    // "one hundred and five" is one number, as English speakers say it: an
    // "and" after hundred, thousand or million joins the number that goes on.
    const auto joinsNumber = [&](qsizetype at) {
        if (at == 0 || at + 1 >= words.size() || number.empty() ||
            words[at].compare(QLatin1String("and"), Qt::CaseInsensitive) != 0)
            return false;
        const auto before = numberToken(words[at - 1]);
        auto after = numberToken(words[at + 1]);
        if (!after)
            after = ordinalAt(at + 1, numberStart); // "one hundred and first"
        NumberBuilder trial = number;
        return isKind(before, {NumberWord::Hundred, NumberWord::Scale}) &&
               isKind(after, {NumberWord::Unit, NumberWord::Teen, NumberWord::Tens}) && trial.accept(*after);
    };
    // "a hundred and fifty" is 150, as is "a hundred" where a command takes a
    // number ("select a hundred", "cursor a hundred comma …"); "a hundred
    // dollars" stays as it was said.
    const auto aStartsNumber = [&](qsizetype at) {
        const std::initializer_list<NumberWord> goesOn = {NumberWord::Unit, NumberWord::Teen,
                                                          NumberWord::Tens};
        return number.empty() && wordIs(at, QLatin1String("a")) &&
               isKind(numberToken(wordAt(at + 1)), {NumberWord::Hundred, NumberWord::Scale}) &&
               (isKind(numberToken(wordAt(at + 2)), goesOn) ||
                (wordIs(at + 2, QLatin1String("and")) && isKind(numberToken(wordAt(at + 3)), goesOn)) ||
                takesANumber(at - 1) || wordIs(at + 2, QLatin1String("comma")));
    };

    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word.isEmpty() || joinsNumber(i))
            continue;
        if (aStartsNumber(i)) {
            number.accept(NumberToken{NumberWord::Unit, 1});
            numberStart = i;
            continue;
        }
        if (const auto token = numberToken(word)) {
            if (!number.accept(*token)) {
                const bool secondHalfOfYear = yearHalf == 0 && i - numberStart == 1 && number.value() >= 13 &&
                                              number.value() <= 20 && !isNumberWord(numberStart - 1) &&
                                              isKind(token, {NumberWord::Teen, NumberWord::Tens});
                if (secondHalfOfYear) {
                    yearHalf = number.value();
                    number = NumberBuilder();
                } else {
                    flushNumber(i);
                }
                if (!number.accept(*token)) {
                    // A lone "hundred" or "thousand" is a word, not a number.
                    appendWord(out, word);
                    continue;
                }
                numberStart = i;
            }
            if (numberStart < 0)
                numberStart = i;
            continue;
        }
        if (const auto ordinal = number.empty() ? std::nullopt : ordinalAt(i, numberStart)) {
            NumberBuilder trial = number;
            if (trial.accept(*ordinal)) {
                flushYearHalf();
                appendWord(out, withOrdinalSuffix(trial.value()));
                number = NumberBuilder();
                numberStart = -1;
                continue;
            }
        }
        flushNumber(i);
        if (word.compare(QLatin1String("comma"), Qt::CaseInsensitive) == 0)
            out += QLatin1Char(',');
        else
            appendWord(out, word);
    }
    flushNumber(words.size());
    return out;
}

qint64 spokenNumberValue(const QStringList &words)
{
    NumberBuilder number;
    for (const QString &word : words) {
        const auto token = numberToken(word);
        if (!token || !number.accept(*token))
            return -1;
    }
    return number.empty() ? -1 : number.value();
}

} // namespace kestrel

#include "speech_platform/SpokenNumbers.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <initializer_list>
#include <limits>
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
    // Never destroyed: when exit() ends the program, worker threads still read it.
    static const auto &table = *new const QHash<QString, NumberToken>{
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
    static const auto &table = *new const QHash<QString, NumberToken>{
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

namespace {

/// One pass of the replacements over a recognised phrase: number words become
/// digits, "comma" becomes ",", where the words around them say they are
/// meant so.
class Replacements
{
public:
    explicit Replacements(const QStringList &words) : m_words(words)
    {
        for (qsizetype at = 0; at + 1 < m_words.size(); ++at) {
            if (wordIs(at, "spell") && wordIs(at + 1, "it")) {
                m_spellingFrom = at + 2;
                break;
            }
        }
    }

    QString run()
    {
        for (qsizetype i = 0; i < m_words.size(); ++i) {
            const QString &word = m_words[i];
            if (word.isEmpty() || joinsNumber(i))
                continue;
            if (aStartsNumber(i)) {
                m_number.accept(NumberToken{NumberWord::Unit, 1});
                m_numberStart = i;
                continue;
            }
            if (const auto token = numberToken(word)) {
                addNumberWord(i, *token);
                continue;
            }
            if (const auto ordinal = m_number.empty() ? std::nullopt : ordinalAt(i, m_numberStart)) {
                NumberBuilder trial = m_number;
                if (trial.accept(*ordinal)) {
                    flushYearHalf();
                    appendWord(m_out, withOrdinalSuffix(trial.value()));
                    m_number = NumberBuilder();
                    m_numberStart = -1;
                    continue;
                }
            }
            flushNumber(i);
            if (wordIs(i, "comma"))
                m_out += QLatin1Char(',');
            else
                appendWord(m_out, word);
        }
        flushNumber(m_words.size());
        return m_out;
    }

private:
    QString wordAt(qsizetype at) const { return at >= 0 && at < m_words.size() ? m_words[at] : QString(); }
    bool wordIs(qsizetype at, const char *text) const
    {
        return wordAt(at).compare(QLatin1String(text), Qt::CaseInsensitive) == 0;
    }
    bool isNumberWord(qsizetype at) const { return numberToken(wordAt(at)).has_value(); }
    bool isAndOr(qsizetype at) const { return wordIs(at, "and") || wordIs(at, "or"); }
    bool takesANumber(qsizetype at) const
    {
        return wordIs(at, "select") || wordIs(at, "cursor") || wordIs(at, "comma");
    }

    void addNumberWord(qsizetype i, const NumberToken &token)
    {
        if (!m_number.accept(token)) {
            if (startsSecondHalfOfYear(i, token)) {
                m_yearHalf = m_number.value();
                m_number = NumberBuilder();
            } else {
                flushNumber(i);
            }
            if (!m_number.accept(token)) {
                // A lone "hundred" or "thousand" is a word, not a number.
                appendWord(m_out, m_words[i]);
                return;
            }
            m_numberStart = i;
        }
        if (m_numberStart < 0)
            m_numberStart = i;
    }

    // A year is said in two halves, "nineteen eighty four", "twenty nineteen":
    // a first half of one word from thirteen to twenty, kept in m_yearHalf
    // while the second is built. Twelve and below are left alone: "twelve
    // fifteen" is a time. Nor is a pair inside a longer run of numbers a
    // year: "thirteen fourteen fifteen" is a list.
    bool startsSecondHalfOfYear(qsizetype i, const NumberToken &token) const
    {
        return m_yearHalf == 0 && i - m_numberStart == 1 && m_number.value() >= 13 &&
               m_number.value() <= 20 && !isNumberWord(m_numberStart - 1) &&
               isKind(token, {NumberWord::Teen, NumberWord::Tens});
    }

    // A year's first half, said at `at`: thirteen to twenty, then a teen or tens.
    bool yearStartsAt(qsizetype at) const
    {
        const auto first = numberToken(wordAt(at));
        return first && first->value >= 13 && first->value <= 20 &&
               isKind(numberToken(wordAt(at + 1)), {NumberWord::Teen, NumberWord::Tens});
    }

    // A second half followed by more numbers is a list ("thirteen fourteen and
    // fifteen"), unless what follows is a year or a large number of its own
    // ("nineteen eighty four and nineteen eighty five", "… or two thousand").
    bool numberFollows(qsizetype at) const
    {
        if (isNumberWord(at))
            return true;
        const bool largeNext = isKind(numberToken(wordAt(at + 2)), {NumberWord::Hundred, NumberWord::Scale});
        return isAndOr(at) && isNumberWord(at + 1) && at - m_numberStart < 2 && !yearStartsAt(at + 1) &&
               !largeNext;
    }

    // "one" alone is mostly the pronoun ("no one knows", "the one I want"), and
    // dictation must not type "no 1 knows". It is a number where a command
    // takes one (after "select" or "cursor", beside "comma"), where it is
    // spelled (after "spell it"), or among other number words ("one two
    // three", "one or two").
    bool loneOneIsWord(qsizetype end) const
    {
        const qsizetype start = m_numberStart;
        return end - start == 1 && wordIs(start, "one") && !takesANumber(start - 1) &&
               !wordIs(end, "comma") && start < m_spellingFrom && !isNumberWord(start - 1) &&
               !isNumberWord(end) && !(isAndOr(end) && isNumberWord(end + 1)) &&
               !(isAndOr(start - 1) && isNumberWord(start - 2));
    }

    // "second" is as often the unit of time ("a thirty second pause"): an
    // ordinal only in a date or a rank ("the twenty second", "june twenty
    // second", "twenty second of may", "twenty first and twenty second").
    std::optional<NumberToken> ordinalAt(qsizetype at, qsizetype start) const
    {
        const auto ordinal = ordinalToken(wordAt(at));
        if (!ordinal || !wordIs(at, "second"))
            return ordinal;
        static const auto &months = *new const QStringList{
            QStringLiteral("january"), QStringLiteral("february"), QStringLiteral("march"),
            QStringLiteral("april"),   QStringLiteral("may"),      QStringLiteral("june"),
            QStringLiteral("july"),    QStringLiteral("august"),   QStringLiteral("september"),
            QStringLiteral("october"), QStringLiteral("november"), QStringLiteral("december")};
        const bool rank = wordIs(at + 1, "of") || wordIs(start - 1, "the") ||
                          months.contains(wordAt(start - 1), Qt::CaseInsensitive) ||
                          (isAndOr(start - 1) && ordinalToken(wordAt(start - 2)).has_value());
        return rank ? ordinal : std::nullopt;
    }

    // "one hundred and five" is one number, as English speakers say it: an
    // "and" after hundred, thousand or million joins the number that goes on,
    // an ordinal too ("one hundred and first").
    bool joinsNumber(qsizetype at) const
    {
        if (at == 0 || at + 1 >= m_words.size() || m_number.empty() || !wordIs(at, "and"))
            return false;
        auto after = numberToken(m_words[at + 1]);
        if (!after)
            after = ordinalAt(at + 1, m_numberStart);
        NumberBuilder trial = m_number;
        return isKind(numberToken(m_words[at - 1]), {NumberWord::Hundred, NumberWord::Scale}) &&
               isKind(after, {NumberWord::Unit, NumberWord::Teen, NumberWord::Tens}) && trial.accept(*after);
    }

    // "a hundred and fifty" is 150, as is "a hundred" where a command takes a
    // number ("select a hundred", "cursor a hundred comma …"); "a hundred
    // dollars" stays as it was said.
    bool aStartsNumber(qsizetype at) const
    {
        const std::initializer_list<NumberWord> goesOn = {NumberWord::Unit, NumberWord::Teen,
                                                          NumberWord::Tens};
        return m_number.empty() && wordIs(at, "a") &&
               isKind(numberToken(wordAt(at + 1)), {NumberWord::Hundred, NumberWord::Scale}) &&
               (isKind(numberToken(wordAt(at + 2)), goesOn) ||
                (wordIs(at + 2, "and") && isKind(numberToken(wordAt(at + 3)), goesOn)) ||
                takesANumber(at - 1) || wordIs(at + 2, "comma"));
    }

    void flushYearHalf()
    {
        if (m_yearHalf != 0)
            appendWord(m_out, QString::number(m_yearHalf));
        m_yearHalf = 0;
    }

    // `end`: the index of the first word after the number.
    void flushNumber(qsizetype end)
    {
        if (!m_number.empty()) {
            const qint64 value = m_number.value();
            if (m_yearHalf != 0 && value >= 10 && value <= 99 && !numberFollows(end)) {
                appendWord(m_out, QString::number(m_yearHalf * 100 + value));
                m_yearHalf = 0;
            } else {
                flushYearHalf();
                appendWord(m_out, loneOneIsWord(end) ? m_words[m_numberStart] : QString::number(value));
            }
        }
        flushYearHalf();
        m_number = NumberBuilder();
        m_numberStart = -1;
    }

    const QStringList &m_words;
    QString m_out;
    NumberBuilder m_number;
    qsizetype m_numberStart = -1; ///< the index of the number's first word
    qint64 m_yearHalf = 0;
    qsizetype m_spellingFrom = std::numeric_limits<qsizetype>::max(); ///< the first word after "spell it"
};

} // namespace

QString applyReplacements(const QStringList &words)
{
    return Replacements(words).run();
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

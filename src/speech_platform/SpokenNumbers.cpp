#include "speech_platform/SpokenNumbers.h"

#include <QHash>

#include <optional>

namespace kestrel {
namespace {

enum class NumberWord { Zero, Unit, Teen, Tens, Hundred, Scale };

struct NumberToken
{
    NumberWord kind;
    qint64 value;
};

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
    const auto it = table.constFind(word.toLower());
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
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
    const auto wordIs = [&](qsizetype at, QLatin1String text) {
        return at >= 0 && at < words.size() && words[at].compare(text, Qt::CaseInsensitive) == 0;
    };
    const auto isNumberWord = [&](qsizetype at) {
        return at >= 0 && at < words.size() && numberToken(words[at]).has_value();
    };
    // "one" alone is mostly the pronoun ("no one knows", "the one I want"), and
    // dictation must not type "no 1 knows". It is a number where a command
    // takes one (after "select" or "cursor", beside "comma") or among other
    // number words ("one two three").
    const auto loneOneIsWord = [&](qsizetype end) {
        return end - numberStart == 1 && wordIs(numberStart, QLatin1String("one")) &&
               !wordIs(numberStart - 1, QLatin1String("select")) &&
               !wordIs(numberStart - 1, QLatin1String("cursor")) &&
               !wordIs(numberStart - 1, QLatin1String("comma")) && !wordIs(end, QLatin1String("comma")) &&
               !isNumberWord(numberStart - 1) && !isNumberWord(end);
    };
    // `end`: the index of the first word after the number.
    auto flushNumber = [&](qsizetype end) {
        if (!number.empty())
            appendWord(out, loneOneIsWord(end) ? words[numberStart] : QString::number(number.value()));
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
        const auto after = numberToken(words[at + 1]);
        NumberBuilder trial = number;
        return before && (before->kind == NumberWord::Hundred || before->kind == NumberWord::Scale) &&
               after &&
               (after->kind == NumberWord::Unit || after->kind == NumberWord::Teen ||
                after->kind == NumberWord::Tens) &&
               trial.accept(*after);
    };

    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word.isEmpty() || joinsNumber(i))
            continue;
        if (const auto token = numberToken(word)) {
            if (!number.accept(*token)) {
                flushNumber(i);
                if (!number.accept(*token)) {
                    // A lone "hundred" or "thousand" is a word, not a number.
                    appendWord(out, word);
                    continue;
                }
            }
            if (numberStart < 0)
                numberStart = i;
            continue;
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

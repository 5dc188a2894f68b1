#include "interpreter/TextRules.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace kestrel {

QString upperCased(const QString &text)
{
    QString upper(text);
    for (QChar &c : upper)
        c = c.toUpper();
    return upper;
}

namespace {

// The text being cleaned, and where a removed full stop joined two pieces of
// it: "a. space b" becomes "aspace b", and that "space" still starts a word.
//
// Each rule takes its first match in the whole text, but a cut changes nothing
// before it: a match that ends before the cut was there, and was found, before
// it. So each rule remembers up to where the text is known to hold no match of
// its own, and searches on from there; text pasted into the emulation box with
// thousands of words ending in "space" was searched from its start for every
// one of its full stops, for seconds.
class Cleaning
{
public:
    explicit Cleaning(const QString &text) : m_text(text) {}
    const QString &text() const { return m_text; }

    bool applyFirstRule()
    {
        qsizetype at = search(FullStopBlank,
                              [this](qsizetype from) { return m_text.indexOf(QLatin1String(". "), from); });
        if (at >= 0)
            return cut(at, 2, QString(), true);
        at = search(SpaceBetweenBlanks, [this](qsizetype from) {
            return m_text.indexOf(QLatin1String(" SPACE "), from, Qt::CaseInsensitive);
        });
        if (at >= 0)
            return cut(at, 7, QStringLiteral(" "));
        at = search(SpaceWord, [this](qsizetype from) {
            // The word "space", not the end of "aerospace" or "workspace".
            for (qsizetype word = m_text.indexOf(QLatin1String("SPACE "), from, Qt::CaseInsensitive);
                 word >= 0; word = m_text.indexOf(QLatin1String("SPACE "), word + 1, Qt::CaseInsensitive)) {
                if (word == 0 || !m_text[word - 1].isLetterOrNumber() || m_joins.contains(word))
                    return word;
            }
            return qsizetype(-1);
        });
        if (at >= 0)
            return cut(at, 6, QStringLiteral(" "));
        at = search(FullStop, [this](qsizetype from) { return m_text.indexOf(QLatin1Char('.'), from); });
        if (at >= 0)
            return cut(at, 1, QString(), true);
        return false;
    }

private:
    enum Rule { FullStopBlank, SpaceBetweenBlanks, SpaceWord, FullStop, RuleCount };
    // The longest match plus the character before it that the word rule reads.
    static constexpr qsizetype kReach = 8;

    template <typename Find> qsizetype search(Rule rule, Find find)
    {
        const qsizetype at = find(m_clearBefore[rule]);
        // No match before it either way: the match itself is cut next, and
        // the cut moves the mark back before it.
        m_clearBefore[rule] = at >= 0 ? at : m_text.size();
        return at;
    }

    // Replaces `length` characters at `index` by `replacement`, keeping at most
    // MaxTailLength characters of what followed the match.
    bool cut(qsizetype index, qsizetype length, const QString &replacement, bool joins = false)
    {
        m_text.truncate(index + length + MaxTailLength);
        m_text.replace(index, length, replacement);
        const qsizetype shift = replacement.size() - length;
        QList<qsizetype> kept;
        for (qsizetype join : std::as_const(m_joins)) {
            if (join < index)
                kept << join;
            else if (join >= index + length)
                kept << join + shift;
        }
        if (joins)
            kept << index + replacement.size();
        m_joins = kept;
        // A match that reads anything from the cut on may be new.
        for (qsizetype &clear : m_clearBefore)
            clear = std::min(clear, std::max<qsizetype>(0, index - kReach));
        return true;
    }

    QString m_text;
    QList<qsizetype> m_joins;
    qsizetype m_clearBefore[RuleCount] = {};
};

} // namespace

QString normaliseRecoText(const QString &text)
{
    // Every rule shortens the text, so the loop ends.
    Cleaning cleaning(text);
    while (cleaning.applyFirstRule()) {
    }
    return cleaning.text();
}

bool isYesWord(const QString &upper)
{
    static const QStringList words{QStringLiteral("YES"), QStringLiteral("US"), QStringLiteral("U S"),
                                   QStringLiteral("U.S."), QStringLiteral("THIS")};
    return words.contains(upper);
}

bool isNoWord(const QString &upper)
{
    static const QStringList words{QStringLiteral("NO"), QStringLiteral("NOW"), QStringLiteral("KNOW")};
    return words.contains(upper);
}

qsizetype spellItAt(const QString &text)
{
    const QLatin1String words("SPELL IT");
    for (qsizetype at = text.indexOf(words, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(words, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + words.size();
        if ((at == 0 || !text[at - 1].isLetterOrNumber()) &&
            (after == text.size() || !text[after].isLetterOrNumber()))
            return at;
    }
    return -1;
}

QString stripOneQuotePair(const QString &text)
{
    QString result = text;
    if (result.startsWith(QLatin1Char('"')))
        result.remove(0, 1);
    if (result.endsWith(QLatin1Char('"')))
        result.chop(1);
    return result;
}

} // namespace kestrel

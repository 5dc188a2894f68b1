#include "interpreter/TextRules.h"

#include <QList>
#include <QStringList>

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
class Cleaning
{
public:
    explicit Cleaning(const QString &text) : m_text(text) {}
    const QString &text() const { return m_text; }

    bool applyFirstRule()
    {
        qsizetype at = m_text.indexOf(QLatin1String(". "));
        if (at >= 0)
            return cut(at, 2, QString(), true);
        at = m_text.indexOf(QLatin1String(" SPACE "), 0, Qt::CaseInsensitive);
        if (at >= 0)
            return cut(at, 7, QStringLiteral(" "));
        // The word "space", not the end of "aerospace" or "workspace".
        for (at = m_text.indexOf(QLatin1String("SPACE "), 0, Qt::CaseInsensitive); at >= 0;
             at = m_text.indexOf(QLatin1String("SPACE "), at + 1, Qt::CaseInsensitive)) {
            if (at == 0 || !m_text[at - 1].isLetterOrNumber() || m_joins.contains(at))
                return cut(at, 6, QStringLiteral(" "));
        }
        at = m_text.indexOf(QLatin1Char('.'));
        if (at >= 0)
            return cut(at, 1, QString(), true);
        return false;
    }

private:
    // Replaces `length` characters at `index` by `replacement`, keeping at most
    // MaxTailLength characters of what followed the match.
    bool cut(qsizetype index, qsizetype length, const QString &replacement, bool joins = false)
    {
        m_text = m_text.left(index) + replacement + m_text.mid(index + length, MaxTailLength);
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
        return true;
    }

    QString m_text;
    QList<qsizetype> m_joins;
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

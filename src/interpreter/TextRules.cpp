#include "interpreter/TextRules.h"

#include <QStringList>

namespace kestrel {

QString upperCased(const QString &text)
{
    QString upper(text);
    for (QChar &c : upper)
        c = c.toUpper();
    return upper;
}

namespace {

// Returns the text with `length` characters at `index` replaced by `replacement`,
// keeping at most MaxTailLength characters of what followed the match.
QString cut(const QString &text, qsizetype index, qsizetype length, const QString &replacement)
{
    return text.left(index) + replacement + text.mid(index + length, MaxTailLength);
}

bool applyFirstRule(QString &text)
{
    qsizetype at = text.indexOf(QLatin1String(". "));
    if (at >= 0) {
        text = cut(text, at, 2, QString());
        return true;
    }
    at = text.indexOf(QLatin1String(" SPACE "), 0, Qt::CaseInsensitive);
    if (at >= 0) {
        text = cut(text, at, 7, QStringLiteral(" "));
        return true;
    }
    at = text.indexOf(QLatin1String("SPACE "), 0, Qt::CaseInsensitive);
    if (at >= 0) {
        text = cut(text, at, 6, QStringLiteral(" "));
        return true;
    }
    at = text.indexOf(QLatin1Char('.'));
    if (at >= 0) {
        text = cut(text, at, 1, QString());
        return true;
    }
    return false;
}

} // namespace

QString normaliseRecoText(const QString &text)
{
    // Every rule shortens the text, so the loop ends.
    QString result = text;
    while (applyFirstRule(result)) {
    }
    return result;
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

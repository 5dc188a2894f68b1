#include "common/PhraseWords.h"

#include <QRegularExpression>

namespace kestrel {

QStringList phraseWords(const QString &phrase)
{
    static const QRegularExpression notWord(QStringLiteral("[^\\w'.]|_"));
    QString clean = phrase.toLower();
    // A phrase pasted from a word processor has curly apostrophes: "don\u2019t"
    // would be listened for as "don tee". And "&" is said "and".
    for (const char16_t apostrophe : {u'\u2019', u'\u2018', u'\u02BC'})
        clean.replace(QChar(apostrophe), QLatin1Char('\''));
    clean.replace(QLatin1Char('&'), QLatin1String(" and "));
    clean.replace(notWord, QStringLiteral(" "));
    QStringList words;
    for (QString w : clean.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        while (w.startsWith(QLatin1Char('.')) || w.startsWith(QLatin1Char('\'')))
            w.remove(0, 1);
        while (w.endsWith(QLatin1Char('.')) || w.endsWith(QLatin1Char('\'')))
            w.chop(1);
        if (!w.isEmpty())
            words << w;
    }
    return words;
}

} // namespace kestrel

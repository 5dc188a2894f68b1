#include "common/PhraseWords.h"

#include <QRegularExpression>

#include <utility>

namespace kestrel {

QStringList phraseWords(const QString &phrase)
{
    // Letters are any script's ("caf\u00e9", "stra\u00dfe"), not ASCII's alone,
    // with their marks (vowel signs, accents that have no letter of their own),
    // and an accent typed as a separate mark is joined to its letter first: a
    // word cut at its accent would be listened for as fragments no one says.
    // Never destroyed: when exit() ends the program, worker threads still read it.
    static const auto &notWord = *new const QRegularExpression(
        QStringLiteral("[^\\w\\p{M}'.]|_"), QRegularExpression::UseUnicodePropertiesOption);
    // A phrase pasted from a word processor has curly apostrophes: "don\u2019t"
    // would be listened for as "don tee".
    QString clean = straightApostrophes(phrase.normalized(QString::NormalizationForm_C).toLower());
    // Signs that are said aloud are the words said; but a "+" that joins two
    // keys ("ctrl+c", "alt+f4") is not said, and rows written so were always
    // heard as the keys alone.
    for (qsizetype at = clean.indexOf(QLatin1Char('+')); at >= 0; at = clean.indexOf(QLatin1Char('+'), at + 1)) {
        const bool joinsKeys = at > 0 && at + 1 < clean.size() && clean[at - 1].isLetterOrNumber() &&
                               clean[at + 1].isLetterOrNumber();
        if (joinsKeys)
            clean[at] = QLatin1Char(' ');
    }
    for (const auto &[sign, word] : {std::pair{'&', "and"}, {'%', "percent"}, {'+', "plus"}, {'@', "at"}})
        clean.replace(QLatin1Char(sign), QLatin1Char(' ') + QLatin1String(word) + QLatin1Char(' '));
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

QString straightApostrophes(QString text)
{
    for (const char16_t apostrophe : {u'\u2019', u'\u2018', u'\u02BC'})
        text.replace(QChar(apostrophe), QLatin1Char('\''));
    return text;
}

} // namespace kestrel

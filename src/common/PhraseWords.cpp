#include "common/PhraseWords.h"

#include <QRegularExpression>

namespace kestrel {

QStringList phraseWords(const QString &phrase)
{
    static const QRegularExpression notWord(QStringLiteral("[^\\w'.]|_"));
    QString clean = phrase.toLower();
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

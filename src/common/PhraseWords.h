#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace kestrel {

/// A command phrase as the words a recogniser listens for, and so as the words a
/// recognition of it comes back with: lower case; letters, digits, apostrophes and
/// dots survive, everything else (JSGF operators such as | < > ; * + and
/// punctuation) separates words, and dots and apostrophes are kept only inside a
/// word. Empty when nothing speakable is left. The recogniser's grammar and the
/// command lookup must clean phrases alike, or a phrase that is heard is not found.
inline QStringList phraseWords(const QString &phrase)
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

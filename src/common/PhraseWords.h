#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

/// A command phrase as the words a recogniser listens for, and so as the words a
/// recognition of it comes back with: lower case, accents joined to their
/// letters; "&", "%", "+" and "@" become "and", "percent", "plus" and "at",
/// except a "+" between two keys ("CTRL+C"), which separates them; letters of
/// any script with their marks, digits, apostrophes and dots survive, everything
/// else (JSGF operators such as | < > ; * and punctuation) separates words, and
/// dots and apostrophes are kept only inside a word. Empty when nothing
/// speakable is left. The recogniser's grammar and the
/// command lookup must clean phrases alike, or a phrase that is heard is not found.
QStringList phraseWords(const QString &phrase);

/// `text` with the curly and modifier-letter apostrophes of word processors
/// ("don\u2019t") written as "'", as dictionaries spell them.
QString straightApostrophes(QString text);

} // namespace kestrel

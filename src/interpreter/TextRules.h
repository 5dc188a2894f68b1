#pragma once

#include <QString>

namespace kestrel {

/// Every cut of the interpreter keeps the text before the match and at most this
/// many characters after it.
constexpr int MaxTailLength = 1024;

/// Upper-cases character by character, so that a position found in the result is
/// the same position in the original. (QString::toUpper may lengthen text, e.g.
/// a sharp s becomes "SS", which would shift every later position.)
QString upperCased(const QString &text);

/// Cleans a recognised phrase before it is interpreted: removes full stops and
/// turns a spoken "space" followed by a blank into a blank. The rules are applied
/// one at a time, the first that matches at its first occurrence, until none does:
/// ". " removed; " SPACE " -> " "; "SPACE " -> " "; "." removed (SPACE found in any
/// letter case). Each cut keeps at most MaxTailLength characters after the match.
QString normaliseRecoText(const QString &text);

/// Whole-text answers to the "did you say" question; `upper` is the normalised
/// phrase in upper case. The lists hold what the recogniser tends to hear.
bool isYesWord(const QString &upper);
bool isNoWord(const QString &upper);

/// Where the words "spell it" begin in dictated text, in any case: as words of
/// their own, not inside "misspell it" or "spell items"; -1 when not there.
qsizetype spellItAt(const QString &text);

/// Removes one leading and then one trailing double quote, if present.
QString stripOneQuotePair(const QString &text);

} // namespace kestrel

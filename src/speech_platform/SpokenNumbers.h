#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

/// The text of a phrase with the engine's replacements applied: runs of spoken
/// number words become digits ("one hundred twenty" -> "120") and the word
/// "comma" becomes "," attached to the word before it. Other words keep their
/// spelling. Words are compared without regard to case.
///
/// "cursor one hundred comma two hundred" -> "cursor 100, 200"
QString applyReplacements(const QStringList &words);

/// The value of a run of number words that forms one number, or -1 when the
/// words are not exactly one number ("two three" is two numbers).
qint64 spokenNumberValue(const QStringList &words);

} // namespace kestrel

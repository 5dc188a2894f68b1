#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

/// The grammar the command engine decodes every utterance against: the command
/// phrases plus the built-in families the interpreter understands (CURSOR with a
/// direction or two spoken numbers, SELECT with a number, the yes- and no-words).
/// Spelling ("spell it" and letters) is left to dictation.
struct CommandGrammar
{
    QString jsgf;          ///< JSGF text whose public rule is <command>
    QStringList phrases;   ///< the command phrases as they appear in the grammar
    QStringList words;     ///< every distinct word of the grammar, lower-case, sorted

    /// Phrases become lower-case words (the dictionary's spelling); characters a
    /// grammar cannot carry become word breaks, and empty phrases are dropped.
    static CommandGrammar build(const QStringList &commandPhrases);
    /// One phrase as grammar words; empty when nothing speakable is left.
    static QStringList phraseWords(const QString &phrase);
};

} // namespace kestrel

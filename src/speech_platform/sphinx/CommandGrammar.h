#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrel {

/// The grammar the command engine decodes every utterance against: the command
/// phrases plus the built-in families the interpreter understands (CURSOR with a
/// direction or two spoken numbers, SELECT with a number, the yes- and no-words).
/// Spelling ("spell it" and letters) is left to dictation.
struct CommandGrammar
{
    QString jsgf;        ///< JSGF text whose public rule is <command>
    QStringList phrases; ///< the command phrases as they appear in the grammar
    QSet<QString> phraseSet;
    QStringList words;      ///< every distinct word of the grammar, lower-case, sorted
    QStringList yesWords;   ///< the words that answer a confirmation with yes
    QStringList noWords;    ///< ...and with no
    QStringList directions; ///< what CURSOR takes besides two numbers

    enum class SoundAlikes { Count, Ignore };
    /// Whether these words are one sentence of the grammar: a phrase, a CURSOR or
    /// SELECT form with numbers the grammar can say (up to 9999), or a yes- or
    /// no-word. The yes- and no-words that are there because they sound like
    /// "yes" and "no" ("us", "this", "now", "know") are everyday words, so a
    /// model free to hear any English says them for all sorts of sounds: with
    /// SoundAlikes::Ignore only "yes" and "no" themselves count.
    bool accepts(const QStringList &said, SoundAlikes soundAlikes = SoundAlikes::Count) const;

    /// Whether these words are a CURSOR or SELECT form with spoken numbers rather
    /// than a phrase of the table. Those families hold thousands of sentences, so
    /// any one of them is a weaker match than a phrase.
    bool isNumberForm(const QStringList &said) const;

    /// Whether these words are "yes" or "no" themselves, a confirmation's answer.
    bool isAnswer(const QStringList &said) const
    {
        return said.size() == 1 && (said.first() == yesWords.value(0) || said.first() == noWords.value(0));
    }

    /// A word's pronunciation in the recogniser's dictionary; empty when unknown.
    using Pronunciation = std::function<QString(const QString &word)>;
    /// Phrases become lower-case words (the dictionary's spelling); characters a
    /// grammar cannot carry become word breaks, and empty phrases are dropped.
    /// With a pronunciation, a sound-alike pronounced exactly like "yes" or "no"
    /// ("know") stays a yes- or no-word but is left out of the grammar's rules.
    static CommandGrammar build(const QStringList &commandPhrases, const Pronunciation &pronunciation = {});
};

} // namespace kestrel

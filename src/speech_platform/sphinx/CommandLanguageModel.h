#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

struct CommandGrammar;

/// A bigram language model of the command grammar in ARPA text form. Mixed with
/// the dictation model it lets one n-gram search choose between a command phrase
/// and any other English sentence: whatever is not a command is explained by the
/// dictation side, so it does not have to be forced onto the nearest phrase.
/// Every phrase weighs the same; the number families (CURSOR with two numbers,
/// SELECT with one) are spread over a sample of numbers so the model also knows
/// how number words follow each other.
struct CommandLanguageModel
{
    static QString arpa(const CommandGrammar &grammar);
    /// The words a number up to 9999 is spoken with, as the grammar spells them:
    /// 1204 -> "one thousand two hundred four".
    static QStringList numberWords(int value);
};

} // namespace kestrel

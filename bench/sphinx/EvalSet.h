#pragma once

#include <QString>
#include <QStringList>

namespace kestrel::bench {

/// The command table the evaluation listens for.
QStringList evalCommandPhrases();
/// Spoken forms of in-table utterances and the text each must be recognised as.
struct InTableCase
{
    QString spoken;
    QString expected; ///< text with replacements
};
QList<InTableCase> evalInTable();
/// Speech that is not a command.
QStringList evalOutOfTable();
/// Voices and speeds the clips are spoken with.
QStringList evalVoices();
QList<int> evalSpeeds();

} // namespace kestrel::bench

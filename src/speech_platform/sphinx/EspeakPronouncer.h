#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace kestrel {

/// eSpeak NG's ASCII phoneme mnemonics ("n'oUtpad") in CMU phones ("N OW T P AE D").
/// Stress and syllable marks are dropped; unknown symbols are skipped.
QString espeakToCmu(const QString &mnemonics);

/// Pronunciations for words the recogniser's dictionary lacks, from eSpeak NG's
/// letter-to-sound rules.
///
/// The espeak-ng program is run rather than the library because the library keeps
/// one global instance, which the voice backend owns in the same process; a second
/// initialisation would reset the voice's settings and callbacks.
class EspeakPronouncer
{
public:
    /// Words asked for in one run of the program, and how long one run may take.
    static constexpr qsizetype kBatchWords = 256;
    static constexpr int kBatchTimeoutMs = 10000;
    /// Said between the words of a run, to tell their lines apart. A short word
    /// (each line costs eSpeak time) that the recogniser's dictionary has, so
    /// never one asked for. A word with a clause eSpeak says alike ("wait...q")
    /// is found by halving its batch, up to 16 more runs, and asked alone.
    static constexpr const char *kSeparatorWord = "q";

    explicit EspeakPronouncer(QString program = QStringLiteral("espeak-ng"));
    /// word -> CMU phones, for every word eSpeak answered; an empty string for
    /// a word it answered with no phonemes (punctuation). The words of a run
    /// that failed or was cut short are left out: asked again, they may get an
    /// answer. Throws kestrel::Failure when the program cannot be run.
    QHash<QString, QString> pronounce(const QStringList &words) const;

private:
    void pronounceBatch(const QStringList &words, QHash<QString, QString> &result) const;

    QString m_program;
};

} // namespace kestrel

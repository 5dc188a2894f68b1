#pragma once

#include <QStringList>

namespace kestrel {

/// What the command engine knows of one utterance when it decides whether a
/// command was really said. Two hypotheses compete: the grammar's closest
/// phrase, and what the command model (command phrases mixed into English)
/// heard. Both are forced onto the same audio so that their scores compare.
struct RejectionFeatures
{
    /// The command model heard exactly a sentence of the command grammar.
    bool heardCommand = false;
    /// How much of the phrase's phones the command model's words also have, 0 to
    /// 1 (longest common subsequence over the longer).
    double agreement = 0.0;
    int commonPhones = 0; ///< the phones behind that agreement
    int frames = 0;       ///< length of the utterance, 100 frames a second
    /// The phrase is a CURSOR or SELECT form with numbers, not a table phrase.
    bool numberForm = false;
    /// The phrase is one of the everyday words that stand in for "yes" and "no"
    /// ("this", "us", "now", "know"): noise and chatter say them all the time.
    bool soundAlike = false;
    bool heardWords = false; ///< the command model heard any words at all
    /// Path scores (log domain, larger is better) of the phrase and of the heard
    /// words, each forced onto the utterance.
    qint64 phraseScore = 0;
    qint64 heardScore = 0;
    /// Frames covered by words rather than fillers in those two alignments: a
    /// short phrase forced onto a long sentence leaves most of it to fillers.
    int phraseWordFrames = 0;
    int heardWordFrames = 0;
    /// Path score of the grammar decode itself: how well the audio fits any
    /// command at all.
    qint64 grammarScore = 0;
};

/// Weighs the features into one confidence (log-odds that the phrase was said)
/// and accepts the phrase above a threshold. The weights are a logistic
/// regression fitted on synthetic speech of five voices, three speeds and two
/// noise floors, with out-of-table sentences and noise
/// (bench/sphinx: kestrel_sphinx_eval --csv writes the features).
struct CommandRejection
{
    struct Weights
    {
        double bias = 0.0;
        double heardCommand = 0.0;
        double agreement = 0.0;
        double commonPhones = 0.0; ///< per phone, counted up to ten, over ten
        double scoreMargin = 0.0;  ///< per frame of (phrase - heard) score, within -10..5, over five
        double wordShare = 0.0;    ///< phrase word frames over heard word frames, up to 2
        double coverage = 0.0;     ///< phrase word frames over utterance frames
        double grammarScore = 0.0; ///< grammar path score per frame, over fifty
        double numberForm = 0.0;
    };
    Weights weights;
    double threshold = 0.0; ///< accept at or above this confidence
    int minFrames = 0;      ///< shorter utterances are noise bursts
    /// A phrase whose words the alignment squeezed into fewer frames was not
    /// said: noise gets forced into a short "now" or "know".
    int minPhraseWordFrames = 1;

    static CommandRejection calibrated();
    double confidence(const RejectionFeatures &features) const;
    bool accept(const RejectionFeatures &features) const;
};

/// Length of the longest common subsequence of two phone sequences.
int commonPhones(const QStringList &a, const QStringList &b);
/// Similarity of two phone sequences: longest common subsequence divided by the
/// length of the longer one; 0 when either is empty.
double phoneAgreement(const QStringList &a, const QStringList &b);

} // namespace kestrel

#pragma once

#include <QStringList>

namespace kestrel {

/// What the command engine knows of one utterance when it decides whether a
/// command was really said.
struct RejectionFeatures
{
    /// The command model (command phrases mixed into English) heard exactly a
    /// sentence of the command grammar.
    bool commandModelHeardCommand = false;
    /// How much of the grammar's best phrase's phones the command model's words
    /// also have, 0 to 1 (longest common subsequence over the longer).
    double agreement = 0.0;
    int commonPhones = 0; ///< the phones behind that agreement
    int frames = 0;       ///< length of the utterance, 100 frames a second
};

/// Accepts a command when the command model, free to hear any English sentence,
/// heard a command itself, or heard something that sounds much like the phrase
/// the grammar forced onto the audio. Calibrated on synthetic speech of several
/// voices, speeds and noise levels (bench/sphinx: kestrel_sphinx_eval).
struct CommandRejection
{
    double agreement = 1.0; ///< accept a grammar phrase the command model agrees with this much...
    int minCommonPhones = 0; ///< ...on at least this many phones: short phrases agree with noise by chance
    int minFrames = 0;       ///< shorter utterances are noise bursts

    static CommandRejection calibrated();
    bool accept(const RejectionFeatures &features) const;
};

/// Length of the longest common subsequence of two phone sequences.
int commonPhones(const QStringList &a, const QStringList &b);
/// Similarity of two phone sequences: longest common subsequence divided by the
/// length of the longer one; 0 when either is empty.
double phoneAgreement(const QStringList &a, const QStringList &b);

} // namespace kestrel

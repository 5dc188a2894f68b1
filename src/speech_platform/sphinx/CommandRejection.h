#pragma once

#include <QStringList>

namespace kestrel {

/// What the command engine knows of one utterance when it decides whether the
/// best command phrase was really said.
struct RejectionFeatures
{
    /// (command phrase's acoustic score - dictation decode's acoustic score) per
    /// frame. Near zero when the command phrase explains the audio as well as the
    /// nearly unconstrained dictation search does.
    double scoreGapPerFrame = 0.0;
    /// How much of the command phrase's phones the dictation decode of the same
    /// utterance also found, 0 to 1 (longest common subsequence over the longer).
    double dictationAgreement = 0.0;
    int frames = 0;
};

/// Accepts a command hypothesis when it explains the audio nearly as well as the
/// dictation search, or fairly well and the dictation decode agrees with it. The
/// thresholds were calibrated on synthetic speech of several voices, speeds and
/// noise levels (bench/sphinx: kestrel_sphinx_eval).
struct CommandRejection
{
    double strongGap = -0.0; ///< accept on the score alone above this
    double weakGap = -0.0;   ///< accept above this when the dictation agrees...
    double agreement = 0.0;  ///< ...at least this much
    int minFrames = 0;       ///< shorter utterances are noise bursts

    static CommandRejection calibrated();
    bool accept(const RejectionFeatures &features) const;
};

/// Similarity of two phone sequences: longest common subsequence divided by the
/// length of the longer one; 0 when either is empty.
double phoneAgreement(const QStringList &a, const QStringList &b);

} // namespace kestrel

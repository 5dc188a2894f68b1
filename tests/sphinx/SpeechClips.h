#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace kestrel::testing {

/// 16 kHz mono 16-bit audio.
using Samples = std::vector<int16_t>;

/// Speaks `text` with espeak-ng (voice, words per minute) and converts it with sox
/// to 16 kHz mono. Clips are cached under `cacheDir` when it is not empty.
/// Returns an empty clip when the tools are missing.
Samples synthesise(const QString &text, const QString &voice, int wordsPerMinute,
                   const QString &cacheDir = {});

/// A WAV file of any rate converted to 16 kHz mono (sox); empty when it cannot be read.
Samples loadWav(const QString &fileName);

/// A file of raw 16 kHz mono 16-bit samples; empty when it cannot be read.
Samples loadRaw(const QString &fileName);

/// Adds Gaussian noise of the given standard deviation (in sample units) with a
/// fixed seed: exact digital silence is nothing a microphone ever gives.
void addNoise(Samples &samples, double sigma, unsigned seed = 1);

/// `clip` between `before` and `after` seconds of noise-floor audio.
Samples padded(const Samples &clip, double before, double after, double noiseSigma, unsigned seed = 1);

/// Seconds of noise: 'w' white, 'b' brown (rumble), 'c' clicks, 'h' hum.
Samples noiseClip(char kind, double seconds, double amplitude, unsigned seed = 1);

} // namespace kestrel::testing

#pragma once

namespace kestrel {

/// How the voice's rate and volume settings become eSpeak NG parameters.
namespace VoiceParameters {

inline constexpr int MinRate = -10;
inline constexpr int MaxRate = 10;
inline constexpr int MinVolume = 0;
inline constexpr int MaxVolume = 100;

/// Speaking speed in words per minute for a rate of -10 to 10. The curve is
/// geometric on either side of eSpeak's normal 175 wpm, so that each step changes
/// the speed by the same factor: rate 0 is 175, -10 is eSpeak's slowest (80) and
/// 10 its fastest (450); steps are about 8% apart below 0 and 10% above. Rates
/// outside -10..10 are clamped.
int wordsPerMinute(int rate);

/// eSpeak's volume (0 to 200, 100 its normal full level) for a volume of 0 to
/// 100. Volume 100 is eSpeak's normal level and the scale is linear below it, so
/// the voice is never driven into the compressed, distorted range above 100.
/// Volumes outside 0..100 are clamped.
int espeakVolume(int volume);

} // namespace VoiceParameters

} // namespace kestrel

#include "speech_platform/espeak/VoiceParameters.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>

namespace kestrel::VoiceParameters {

int wordsPerMinute(int rate)
{
    const int clamped = std::clamp(rate, MinRate, MaxRate);
    const double normal = espeakRATE_NORMAL;
    const double limit = clamped < 0 ? espeakRATE_MINIMUM : espeakRATE_MAXIMUM;
    const double fraction = std::abs(clamped) / static_cast<double>(MaxRate);
    const double wpm = normal * std::pow(limit / normal, fraction);
    return std::clamp(static_cast<int>(std::lround(wpm)), espeakRATE_MINIMUM, espeakRATE_MAXIMUM);
}

int espeakVolume(int volume)
{
    return std::clamp(volume, MinVolume, MaxVolume);
}

} // namespace kestrel::VoiceParameters

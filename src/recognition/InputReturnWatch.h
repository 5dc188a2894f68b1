#pragma once

#include "speech_platform/SpeechToken.h"

#include <QSet>

#include <optional>

namespace kestrel {

/// Decides when recognition that stopped because its microphone went away may be
/// switched on again: once an audio input is listed that was not there when it
/// stopped. Inputs that stayed listed are no reason to retry (the speaker
/// monitor of a sound card, say, which would only hear the program's own voice).
///
/// The loss is sometimes noticed before the device list catches up, so the lost
/// input may still be listed at the loss; an input that leaves the list later
/// counts as new when it comes back.
class InputReturnWatch
{
public:
    void start(const SpeechTokenList &inputsAtLoss);
    void stop() { m_known.reset(); }
    bool watching() const { return m_known.has_value(); }

    /// Given the inputs listed now: those new since the loss, in list order.
    /// Always empty when not watching.
    SpeechTokenList newInputs(const SpeechTokenList &inputsNow);

private:
    std::optional<QSet<QString>> m_known; ///< ids listed at the loss and ever since
};

} // namespace kestrel

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
///
/// The input that was in use is tried again now and then besides: its stream
/// can fail while it stays listed (a resume from suspend), or another program
/// may hold it when listening resumes. The tries grow further apart, from
/// FirstRetryLooks to LastRetryLooks looks, so an input that fails again each
/// time costs little over a day.
class InputReturnWatch
{
public:
    static constexpr int FirstRetryLooks = 5;
    static constexpr int LastRetryLooks = 300;

    /// `sameLoss`: recognition stopped again before anything was heard after
    /// the watch itself switched it on; the tries go on growing apart instead
    /// of starting over.
    void start(const SpeechTokenList &inputsAtLoss, bool sameLoss = false);
    void stop() { m_known.reset(); }
    bool watching() const { return m_known.has_value(); }

    /// Given the inputs listed now: those new since the loss, in list order.
    /// Always empty when not watching.
    SpeechTokenList newInputs(const SpeechTokenList &inputsNow);

    /// Called at each look: true when the input that was in use is due to be
    /// tried again at this one.
    bool retryDue();

private:
    std::optional<QSet<QString>> m_known; ///< ids listed at the loss and ever since
    int m_retryInterval = FirstRetryLooks;
    int m_looksToRetry = FirstRetryLooks;
};

} // namespace kestrel

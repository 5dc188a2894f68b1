#include "recognition/EventInterests.h"

namespace kestrel {

const std::array<EventInterestBox, 18> &eventInterestBoxes()
{
    // PropertyNumChange and StreamStart stay hidden: they still mirror their
    // flag so that the mask the context reports is fully represented.
    static const std::array<EventInterestBox, 18> boxes{{
        {"StreamEnd", "Stream End", EventEndStream, true},
        {"SoundStart", "Sound Start", EventSoundStart, true},
        {"SoundEnd", "Sound End", EventSoundEnd, true},
        {"PhraseStart", "Phrase Start", EventPhraseStart, true},
        {"Reco", "Recognition", EventRecognition, true},
        {"Hypothesis", "Hypothesis", EventHypothesis, true},
        {"Bookmark", "Bookmark", EventBookmark, true},
        {"PropertyNumChange", "Property Num Change", EventPropertyNumChange, false},
        {"PropertyStringChange", "Property String Change", EventPropertyStringChange, true},
        {"FalseReco", "False Recognition", EventFalseRecognition, true},
        {"Interference", "Interference", EventInterference, true},
        {"RequestUI", "Request UI", EventRequestUI, true},
        {"StateChange", "State Change", EventRecognizerStateChange, true},
        {"Adaption", "Adaptation", EventAdaptation, true},
        {"StreamStart", "Stream Start", EventStartStream, false},
        {"RecoOther", "Reco Other Context", EventOtherContext, true},
        {"AudioLevel", "Audio Level", EventAudioLevel, true},
        {"PrivateEng", "Private", EventPrivate, true},
    }};
    return boxes;
}

qint32 SetEventInterestMask(qint32 currentMask, qint32 flag, bool ticked)
{
    return ticked ? (currentMask | flag) : (currentMask & ~flag);
}

} // namespace kestrel

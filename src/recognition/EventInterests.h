#pragma once

#include "speech_platform/RecognitionTypes.h"

#include <array>

namespace kestrel {

/// One of the "Event Interests" check boxes: its object name, caption, the
/// context's interest flag it stands for, and whether the user ever sees it.
struct EventInterestBox
{
    const char *objectName;
    const char *caption;
    qint32 flag;
    bool shown;
};

/// All eighteen boxes, in the order of the panel.
const std::array<EventInterestBox, 18> &eventInterestBoxes();

/// The mask after a box's click: the flag added when ticked, removed otherwise.
qint32 SetEventInterestMask(qint32 currentMask, qint32 flag, bool ticked);

} // namespace kestrel

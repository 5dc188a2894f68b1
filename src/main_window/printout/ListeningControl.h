#pragma once

namespace kestrel {

/// The listening switches as the printout sees them. The main window implements it
/// over BtnStop (enabled means listening).
class ListeningControl
{
public:
    virtual ~ListeningControl() = default;
    virtual bool isListening() const = 0;
    /// Listening off for the length of a wait that lets events run (a launch
    /// wait, the print dialog): no phrase may be carried out inside it. A
    /// resume that falls due meanwhile (the voice ending) waits for the release.
    virtual void holdListening() = 0;
    /// Ends a hold. With `resume`, listening comes back on if the hold, or a
    /// pause that ended during it, switched it off.
    virtual void releaseListening(bool resume) = 0;
};

} // namespace kestrel

#pragma once

namespace kestrel {

/// The listening switches as the printout sees them. The main window implements it
/// over BtnStop (enabled means listening) and its StartListening/StopListening.
class ListeningControl
{
public:
    virtual ~ListeningControl() = default;
    virtual bool isListening() const = 0;
    virtual void stopListening() = 0;
    virtual void startListening() = 0;
};

} // namespace kestrel

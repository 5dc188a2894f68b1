#pragma once

namespace kestrel {

/// The one way the program lets pending window events run while it waits
/// (feedback wait, launch wait, pause token), together with the clock those waits
/// measure against. Everything that waits goes through this interface so that a
/// test can run the waits instantly and can make a recognition arrive inside one.
///
/// Threading: user-interface thread only. Ownership: the caller keeps it alive for
/// as long as the objects that were given it.
class EventWait
{
public:
    virtual ~EventWait() = default;

    /// Lets pending window events run once (events may nest handlers here).
    virtual void processEvents() = 0;

    /// Seconds on a monotonic clock. Only differences are meaningful.
    virtual double now() const = 0;
};

} // namespace kestrel

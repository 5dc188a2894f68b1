#pragma once

#include "common/EventWait.h"

#include <QElapsedTimer>

namespace kestrel {

/// EventWait on the Qt event loop and a monotonic clock. Each processEvents() call
/// runs what is pending and, when nothing is pending, sleeps for at most a few
/// milliseconds so that a polling wait does not spin a core.
class QtEventWait final : public EventWait
{
public:
    QtEventWait();
    void processEvents() override;
    double now() const override;

private:
    QElapsedTimer m_clock;
};

} // namespace kestrel

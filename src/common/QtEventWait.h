#pragma once

#include "common/EventWait.h"

#include <QElapsedTimer>

namespace kestrel {

/// EventWait on the Qt event loop and a monotonic clock. Each processEvents() call
/// runs the events that arrive within a few milliseconds, sleeping while none
/// do, so that a polling wait does not spin a core.
class QtEventWait final : public EventWait
{
public:
    QtEventWait();
    void processEvents() override;
    double now() const override;

    static constexpr int kSliceMs = 5;

private:
    QElapsedTimer m_clock;
};

} // namespace kestrel

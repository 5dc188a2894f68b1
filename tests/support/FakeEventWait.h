#pragma once

#include "common/EventWait.h"

#include <functional>
#include <map>

namespace kestrel::test {

/// An EventWait whose clock moves only when events are "processed": each
/// processEvents() call advances it by a fixed step, so every wait of the program
/// ends at once in a test while measuring the same time it would on a real clock.
/// A test can script what happens inside a wait: a callback runs on the n-th call
/// (for example a recognition that arrives while the program speaks).
class FakeEventWait : public EventWait
{
public:
    explicit FakeEventWait(double stepSeconds = 0.1) : m_step(stepSeconds) {}

    void processEvents() override;
    double now() const override { return m_now; }

    /// Runs `action` during the n-th processEvents() call from now on (1 = the
    /// next call). The clock has already advanced when it runs.
    void onCall(int n, std::function<void()> action);
    /// Runs `action` during every call.
    void onEveryCall(std::function<void()> action) { m_every = std::move(action); }

    int calls() const { return m_calls; }
    void setStep(double seconds) { m_step = seconds; }

private:
    double m_step;
    double m_now = 1000.0;
    int m_calls = 0;
    std::map<int, std::function<void()>> m_scripted;
    std::function<void()> m_every;
};

} // namespace kestrel::test

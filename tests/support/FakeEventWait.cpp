#include "FakeEventWait.h"

namespace kestrel::test {

void FakeEventWait::processEvents()
{
    ++m_calls;
    m_now += m_step;
    if (const auto it = m_scripted.find(m_calls); it != m_scripted.end()) {
        // Taken out first: the action may nest further waits.
        const std::function<void()> action = std::move(it->second);
        m_scripted.erase(it);
        action();
    }
    if (m_every)
        m_every();
}

void FakeEventWait::onCall(int n, std::function<void()> action)
{
    m_scripted[m_calls + n] = std::move(action);
}

} // namespace kestrel::test

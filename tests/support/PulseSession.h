#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace kestrel::test {

/// The test session's PulseAudio daemon runs (scripts/test.sh starts it).
inline bool pulseSessionRuns()
{
    return !qgetenv("PULSE_SERVER").isEmpty() && !qgetenv("KESTREL_PULSE_DIR").isEmpty();
}

inline constexpr const char *kNoPulseSession =
    "no PulseAudio session (source scripts/desktop-session.sh and run kestrel_start_pulse)";

} // namespace kestrel::test

#pragma once

class QAbstractButton;

namespace kestrel {

/// Two buttons that stand for the two states of one switch (Start and Stop
/// Recognition, Speak and Stop): makes `available` the enabled one and
/// disables `unavailable`. If `unavailable` had the keyboard focus, the focus
/// moves to `available` first: disabling a focused button would hand the focus
/// to whatever button comes next in the window (Delete Record, Test), where a
/// keyboard user's next Space would do something else entirely.
void switchButtons(QAbstractButton &available, QAbstractButton &unavailable);

} // namespace kestrel

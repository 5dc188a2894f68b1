#pragma once

class QWidget;

namespace kestrel {

/// Shows `window` in front with the keyboard focus, restored first when it was
/// minimised: Qt's show() leaves a minimised window minimised, and the menu
/// entry that asked for it seemed to do nothing at all.
void bringForward(QWidget &window);

} // namespace kestrel

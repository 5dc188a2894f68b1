#include "window_common/SwitchButtons.h"

#include <QAbstractButton>

namespace kestrel {

void switchButtons(QAbstractButton &available, QAbstractButton &unavailable)
{
    available.setEnabled(true);
    // hasFocus() is false while the window is behind another program's (the
    // usual case: listening pauses at every answer), yet the window still
    // means to give the button the focus back; disabled, Qt would hand it to
    // the next control, Delete Record.
    if (unavailable.hasFocus() || unavailable.window()->focusWidget() == &unavailable)
        available.setFocus(Qt::OtherFocusReason);
    unavailable.setEnabled(false);
}

} // namespace kestrel

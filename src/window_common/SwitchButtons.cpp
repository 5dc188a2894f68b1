#include "window_common/SwitchButtons.h"

#include <QAbstractButton>

namespace kestrel {

void switchButtons(QAbstractButton &available, QAbstractButton &unavailable)
{
    available.setEnabled(true);
    if (unavailable.hasFocus())
        available.setFocus(Qt::OtherFocusReason);
    unavailable.setEnabled(false);
}

} // namespace kestrel

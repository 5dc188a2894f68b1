#include "window_common/SettingsCheckBox.h"

#include <QCheckBox>

namespace kestrel {

void greyedOnlyFromSettings(QCheckBox &box)
{
    QObject::connect(&box, &QCheckBox::stateChanged, &box, [&box](int state) {
        if (state != Qt::PartiallyChecked)
            box.setTristate(false);
    });
}

} // namespace kestrel

#pragma once

#include <Qt>

namespace kestrel {

// Check box states as the settings file and the other windows count them: 0 clear,
// 1 ticked, 2 greyed. Qt numbers the last two the other way round
// (PartiallyChecked = 1, Checked = 2), so every crossing goes through these.

inline int checkBoxValue(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

/// `value` must be 0, 1 or 2.
inline Qt::CheckState checkStateOf(int value)
{
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

} // namespace kestrel

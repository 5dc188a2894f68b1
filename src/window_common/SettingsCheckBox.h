#pragma once

class QCheckBox;

namespace kestrel {

/// For a check box whose state the settings file may set to greyed (2): greyed
/// comes only from the file. Once the box leaves that state, the user's clicks
/// toggle it between clear and ticked again, instead of cycling through a greyed
/// look that the program reads as off.
void greyedOnlyFromSettings(QCheckBox &box);

} // namespace kestrel

#pragma once

class QWidget;

namespace kestrel {

/// In a main window Qt lets only Space press the focused button; Enter does
/// nothing, where a user of the program's forebears (and of dialogs) expects
/// it to press that button too. After this, Enter (or keypad Enter) without
/// Ctrl, Alt or Shift presses whichever of `window`'s push buttons has the
/// focus, once however long it is held. Buttons added later are not covered.
void enterPressesFocusedButtons(QWidget &window);

} // namespace kestrel

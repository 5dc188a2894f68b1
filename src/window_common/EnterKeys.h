#pragma once

class QWidget;

namespace kestrel {

/// In a main window Qt lets only Space press the focused button; Enter does
/// nothing, where a user of the program's forebears (and of dialogs) expects
/// it to press that button too. After this, Enter (or keypad Enter) without
/// Ctrl, Alt or Shift presses whichever of `window`'s push buttons has the
/// focus, once however long it is held. Buttons added later are not covered.
void enterPressesFocusedButtons(QWidget &window);

/// Qt hands the key of a greyed-out button (Alt and its underlined letter, or
/// a key of its own) to the control with the focus instead, where Alt+O types
/// an "o" over the selected text of a box, or picks the first list entry
/// starting with "o": pressed a moment too late, Stop's key wiped what the
/// voice had just read. After this, such a key does nothing in `window`, as
/// long as no enabled control of the window owns it. Controls added later are
/// not covered.
void keepGreyedButtonKeysOffControls(QWidget &window);

} // namespace kestrel

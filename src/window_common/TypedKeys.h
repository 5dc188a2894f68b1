#pragma once

namespace kestrel {

/// Called before a command types keys or text into whatever window is in front.
/// When that is one of the program's own windows, the control with the keyboard
/// focus loses it unless it takes typed keys as text (a text box, the table):
/// a typed blank would otherwise press Stop Recognition or Exit, and letters
/// would pick another voice or engine from a list. The keys then reach the
/// window itself, which does nothing with them.
void keepTypedKeysOffControls();

} // namespace kestrel

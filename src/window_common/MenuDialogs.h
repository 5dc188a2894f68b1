#pragma once

#include <functional>

class QAction;
class QObject;

namespace kestrel {

/// Connects a menu entry that opens a dialog box (About, a file dialog). The box
/// opens once the menu has let go of the keyboard: opened inside the menu's own
/// handling, it gives the keyboard back to the menu bar when it closes, which
/// passes it to no one, and a keyboard user's place in the window is lost.
void openFromMenu(QAction &action, QObject &context, std::function<void()> open);

} // namespace kestrel

#pragma once

namespace kestrel {

/// Has `save` run when something ends the process with exit() (Qt and Xlib do
/// when the X server goes away), and the process end right after it, with
/// exit()'s status. The capture, grammar and voice threads still run then: the
/// static objects exit() would go on to destroy, they may be using. Registered
/// once; a later call only replaces `save`. False when it cannot be registered.
bool runBeforeExitTearsDown(void (*save)());

} // namespace kestrel

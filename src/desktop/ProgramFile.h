#pragma once

#include <QString>

namespace kestrel {

/// True when the file at `path` is a program the system can start itself: a
/// regular file with the execute permission that begins as a compiled program
/// ("\x7f" "ELF") or a script ("#!"). The permission alone says little: every
/// file on an exFAT stick or an NTFS partition has it, and a document started
/// as a program fails where the opener would have shown it.
bool isProgramFile(const QString &path);

} // namespace kestrel

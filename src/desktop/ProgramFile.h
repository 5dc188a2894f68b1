#pragma once

#include <QString>

namespace kestrel {

/// True when the file at `path` is a program the system can start itself: a
/// regular file with the execute permission that begins as a compiled program
/// ("\x7f" "ELF") or a script ("#!"). The permission alone says little: every
/// file on an exFAT stick or an NTFS partition has it, and a document started
/// as a program fails where the opener would have shown it.
bool isProgramFile(const QString &path);

/// How `program` is started directly: a bare name found on the PATH as it is,
/// else one that is a program file in the working directory by its absolute
/// path; a path when it names a program file. Empty when it cannot be started
/// directly (a document, say, which goes to the opener).
QString startableProgram(const QString &program);

} // namespace kestrel

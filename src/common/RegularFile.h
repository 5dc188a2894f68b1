#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

/// Reads the whole of a file the program takes from the user's folder (the
/// settings file, the grammar file, a text to read aloud), which must be a
/// regular file of at most `maxBytes`. It is opened without waiting, since a
/// FIFO would block the open until some writer came, and checked on the open
/// descriptor itself, so nothing swapped in after a check gets past. A device
/// (a link to /dev/zero) is refused before a byte is read.
///
/// Throws kestrel::Failure whose description is the reason alone ("it is not a
/// regular file", "it is larger than 16 MB", or the system's), for the caller
/// to put in its own sentence.
QByteArray readRegularFile(const QString &path, qint64 maxBytes);

} // namespace kestrel

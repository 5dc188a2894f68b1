#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

/// Windows-1252, the 8-bit encoding of files written or edited on Windows:
/// every byte is a character, so nothing is lost in reading them.
QString fromWindows1252(const QByteArray &raw);

/// `raw` as text in the system's encoding, or, when it is not valid there, as
/// Windows-1252. `exact` (when given) tells which.
QString decodeSystemText(const QByteArray &raw, bool *exact = nullptr);

} // namespace kestrel

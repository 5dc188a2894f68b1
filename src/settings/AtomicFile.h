#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

/// Replaces `target` with `content` so that a crash at any moment leaves either
/// the old or the new file in full: the content goes to `temp` (made anew:
/// whatever file or link stood under that name is removed first), is flushed to
/// disk, and `temp` is then renamed over `target`.
/// `temp` takes the permissions of an existing `target`. A `target` that is a
/// symbolic link is written through: the file it leads to is replaced (with the
/// temporary beside it) and the link stays. A write-protected `target` is not
/// replaced.
///
/// Throws kestrel::Failure with the reason when a step fails; `target` is then
/// unchanged and `temp` removed.
void replaceFileAtomically(const QString &target, const QString &temp, const QByteArray &content);

} // namespace kestrel

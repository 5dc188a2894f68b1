#pragma once

#include "desktop/Desktop.h"

#include <QString>
#include <QStringList>

namespace kestrel::x11 {

/// Start results in the desktop's classic convention: 33 and above is success.
enum StartCode : std::int64_t {
    kStartFailed = 0,  ///< any other failure; the description says why
    kFileNotFound = 2, ///< no such program or document
    kPathNotFound = 3, ///< the working directory does not exist
    kAccessDenied = 5, ///< the program is not executable
    kStarted = 42,
};

/// Starts `program` with `arguments` in `workingDirectory` (empty: ours), detached,
/// never through a shell. A program without "/" is looked up on PATH; a relative
/// path with "/" is taken relative to the working directory, as the start itself
/// does.
Desktop::StartResult startDetached(const QString &program, const QStringList &arguments,
                                   const QString &workingDirectory);

/// Opens a document, folder or web address with `opener` (the desktop's
/// "xdg-open"), detached: the opener blocks until the opened program ends, so it
/// is never waited for. A target that is a local path (no URL scheme) must exist;
/// one that starts with "www." is opened as a web address.
Desktop::StartResult openDetached(const QString &target, const QString &workingDirectory,
                                  const QString &opener = QStringLiteral("xdg-open"));

/// True when at least one file or folder matches `pattern`, whose last component
/// may hold the wildcards "*" and "?" (matched with regard to case, as the start
/// will be). A bare name without "/" is also looked up on PATH.
bool fileMatches(const QString &pattern);

bool isDirectory(const QString &path);

} // namespace kestrel::x11

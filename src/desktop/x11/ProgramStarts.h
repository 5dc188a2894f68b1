#pragma once

#include "desktop/Desktop.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace kestrel::x11 {

/// Start results in the desktop's classic convention: 33 and above is success.
enum StartCode : std::int64_t {
    kStartFailed = 0,  ///< any other failure; the description says why
    kFileNotFound = 2, ///< no such program or document
    kPathNotFound = 3, ///< the working directory does not exist
    kAccessDenied = 5, ///< the program is not executable
    kStarted = 42,
};

/// Starts programs, and opens documents, folders and web addresses with the
/// desktop's opener ("xdg-open"), and tells whether the latest start ended in
/// failure before it showed a window: a program that could not run after all
/// (a browser wrapper that finds no browser, a program that crashes at once),
/// or an opener that found no program for the document.
///
/// Every start is a child of this process in a session of its own, never
/// waited for and never ended, as a detached start would be: a child only so
/// that its exit status can be read. An opener may block until the opened
/// program ends, and a program runs as long as the user keeps it.
class ProgramStarter
{
public:
    explicit ProgramStarter(QString opener = QStringLiteral("xdg-open"));

    /// Starts `program` with `arguments` in `workingDirectory` (empty: ours),
    /// never through a shell. A program without "/" is looked up on PATH, else
    /// in the working directory of this process; a relative path with "/" is
    /// taken from the working directory of this process too, where the launch
    /// found it, not from `workingDirectory`.
    Desktop::StartResult startProgram(const QString &program, const QStringList &arguments,
                                      const QString &workingDirectory);

    /// A target that is a local path (no URL scheme) must exist, a relative one
    /// from the working directory of this process; one that starts with "www."
    /// is opened as a web address.
    Desktop::StartResult open(const QString &target, const QString &workingDirectory);

    /// True once the latest start, reported as `processId`, has ended with a
    /// failure (a non-zero exit or a signal). An earlier start's failure counts
    /// no more: its process id may be another program's by now. A start that
    /// ended well may have handed over to another process, and is no failure.
    bool endedInFailure(qint64 processId) const;

private:
    struct Latest
    {
        qint64 processId = 0;
        bool failed = false;
    };
    Desktop::StartResult launch(const QString &program, const QStringList &arguments,
                                const QString &workingDirectory, bool quietOutput);

    QString m_opener;
    // Shared with the starts still running, which may outlive this object.
    std::shared_ptr<Latest> m_latest = std::make_shared<Latest>();
};

/// True when at least one file or folder matches `pattern`, whose last component
/// may hold the wildcards "*" and "?" (matched with regard to case, as the start
/// will be). A bare name without "/" is also looked up on PATH.
bool fileMatches(const QString &pattern);

bool isDirectory(const QString &path);

} // namespace kestrel::x11

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

/// Starts `program` with `arguments` in `workingDirectory` (empty: ours), detached,
/// never through a shell. A program without "/" is looked up on PATH; a relative
/// path with "/" is taken relative to the working directory, as the start itself
/// does.
Desktop::StartResult startDetached(const QString &program, const QStringList &arguments,
                                   const QString &workingDirectory);

/// Opens documents, folders and web addresses with the desktop's opener
/// ("xdg-open"), and tells which of the openers it started ended in failure:
/// they found no program for the document. An opener may block until the
/// opened program ends, so it is never waited for and never ended; it is a
/// child of this process only so that its exit status can be read.
class Openers
{
public:
    explicit Openers(QString opener = QStringLiteral("xdg-open"));

    /// A target that is a local path (no URL scheme) must exist; one that starts
    /// with "www." is opened as a web address.
    Desktop::StartResult open(const QString &target, const QString &workingDirectory);

    /// True once the latest opener `open` started, reported as `processId`, has
    /// ended with a failure. An earlier opener's failure counts no more: its
    /// process id may be another program's by now.
    bool endedInFailure(qint64 processId) const;
    /// A program was started directly since: no opener is the latest any more.
    void otherStart();

private:
    struct Latest
    {
        qint64 processId = 0;
        bool failed = false;
    };
    QString m_opener;
    // Shared with the openers still running, which may outlive this object.
    std::shared_ptr<Latest> m_latest = std::make_shared<Latest>();
};

/// True when at least one file or folder matches `pattern`, whose last component
/// may hold the wildcards "*" and "?" (matched with regard to case, as the start
/// will be). A bare name without "/" is also looked up on PATH.
bool fileMatches(const QString &pattern);

bool isDirectory(const QString &path);

} // namespace kestrel::x11

#pragma once

#include "desktop/ProgramFile.h"

#include <QFileInfo>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace kestrel {

/// Identifies a top-level window on the desktop. 0 means "no window".
using WindowId = std::uint64_t;

/// Everything the interpreter and the windows need of the desktop: windows, keys,
/// mouse, program starts, files and the clipboard.
///
/// Failures: an operation that cannot be carried out throws kestrel::Failure with a
/// description a user can read (for example when a window no longer exists, or when
/// key text is malformed). Queries that have a natural "nothing" answer (no
/// foreground window, no such file) return it instead of throwing.
///
/// Threading: user-interface thread only. Ownership: the program creates one
/// backend at start-up and passes it by reference to those who need it.
class Desktop
{
public:
    enum class Button { Left, Right };

    virtual ~Desktop() = default;

    // --- Windows -----------------------------------------------------------

    /// The window that has the input focus now, or 0.
    virtual WindowId foregroundWindow() = 0;

    /// Brings a window forward and gives it the input focus (a minimised window is
    /// shown again). Throws Failure when the window does not exist (any more), or
    /// is hidden (a program hidden to the tray) and stays so.
    virtual void activateWindow(WindowId window) = 0;

    /// Moves a window so that its top-left corner (frame included) lands at
    /// (x, y) in screen pixels, keeping its size, and shows it. Throws Failure when
    /// the window does not exist.
    virtual void moveWindow(WindowId window, int x, int y) = 0;

    /// True when the window still exists (shown, minimised or hidden alike), and
    /// still belongs to the program it was found for.
    virtual bool windowExists(WindowId window) = 0;

    /// The first top-level window whose title is exactly `title`, or 0.
    virtual WindowId findTopLevelWindow(const QString &title) = 0;

    // --- Mouse -------------------------------------------------------------

    virtual QPoint cursorPosition() = 0;
    virtual void setCursorPosition(QPoint position) = 0;
    /// Presses (press = true) or releases a button wherever the pointer is.
    virtual void mouseButton(Button button, bool press) = 0;

    // --- Keys --------------------------------------------------------------

    /// Sends key text in the key-sequence notation (see KeySequence.h): "+" Shift,
    /// "^" Control, "%" Alt, "~" Enter, {NAME n}, groups in parentheses. With
    /// `waitUntilProcessed`, returns only once the receiving application has
    /// processed the keys. Malformed text throws Failure naming the bad token,
    /// before any key is sent.
    virtual void sendKeys(const QString &notation, bool waitUntilProcessed) = 0;

    /// Types `text` exactly as it stands: no character has a notation meaning.
    /// Waits until the receiving application has processed the keys.
    virtual void typeText(const QString &text) = 0;

    // --- Programs and documents --------------------------------------------

    /// Result of a start request, in the desktop's classic convention: a value
    /// below 33 means failure; `description` says why.
    struct StartResult
    {
        std::int64_t value = 0;
        qint64 processId = 0;
        QString description;
        bool ok() const { return value >= 33; }
    };

    /// Starts a program directly (never through a shell) with an argument list
    /// and working directory (empty: inherit).
    virtual StartResult startProgram(const QString &program, const QStringList &arguments,
                                     const QString &workingDirectory) = 0;

    /// Opens a document, folder or web address with the desktop's opener, without
    /// waiting for the opened program.
    virtual StartResult openDocument(const QString &target, const QString &workingDirectory) = 0;

    /// True once the start that reported `processId` has failed after all: the
    /// program ended with a failure (a wrapper that found nothing to run, a
    /// crash), or the opener (openDocument) ended without opening anything,
    /// having found no program for the document. Only the latest start is
    /// reported.
    virtual bool startFailed(qint64 processId)
    {
        (void)processId;
        return false;
    }

    /// The top-level window, if any, that belongs to a process started by us.
    /// 0 when none is known (yet).
    virtual WindowId windowOfProcess(qint64 processId) = 0;

    // --- Files and clipboard -----------------------------------------------

    /// True when at least one file matches `pattern`; "*" and "?" in the last path
    /// component are wildcards. Programs are also looked up on PATH when the
    /// pattern has no directory part.
    virtual bool fileExists(const QString &pattern) = 0;

    /// True when `path` names an existing directory.
    virtual bool directoryExists(const QString &path) = 0;

    /// True when `program` can be started directly (startableProgram): a
    /// program file, or a bare name found on PATH or in the working directory.
    /// Lets a caller start such a program itself rather than hand it to the
    /// opener, which on Linux shows an executable in an editor. The default asks
    /// the local file system.
    virtual bool isExecutable(const QString &program) { return !startableProgram(program).isEmpty(); }

    /// The clipboard's text. May answer from an earlier read until the clipboard
    /// changes hands, so that looking often costs nothing.
    virtual QString clipboardText() = 0;
    /// The clipboard's text as its owner gives it now, for a read the user asked
    /// for: some programs (Tk's) change what they offer without taking the
    /// clipboard again, and clipboardText() would go on with the old text.
    virtual QString currentClipboardText() = 0;
    virtual void setClipboardText(const QString &text) = 0;
};

} // namespace kestrel

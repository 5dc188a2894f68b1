#pragma once

#include "desktop/Desktop.h"

#include <QString>

#include <optional>

namespace kestrel {

class EventWait;
class MainWindowControl;
class MessageBoxes;
class OpenProgramSlots;

/// Starts the programs of OPEN commands and remembers the window each brought up,
/// brings that window forward for commands that name the OPEN phrase as their
/// parent, and forgets it again for CLOSE commands.
class ProgramLauncher
{
public:
    /// Polls of the foreground window after a start: the 45th tick ends the wait.
    static constexpr int LaunchTickLimit = 45;

    ProgramLauncher(Desktop &desktop, EventWait &wait, MainWindowControl &mainWindow, MessageBoxes &messages,
                    OpenProgramSlots &slots);

    /// Launch step of an OPEN row. `slot` is the row's number, `upperWordPhrase`
    /// its phrase upper-cased, `lookupPhrase` the phrase to record in the slot.
    /// `activatingWindow` is true exactly while an already recorded window is being
    /// brought forward, so that the caller's error path can forget a window that
    /// has gone. Returns the keys to run after the start, or nothing when the run
    /// ends here (messages, if any, have been shown). The phrase is taken by value:
    /// a phrase handled during the wait changes the caller's lookup phrase, and the
    /// slot must still be recorded under this one.
    std::optional<QString> launch(const QString &action, int slot, const QString &upperWordPhrase,
                                  QString lookupPhrase, bool stopRequested, bool &activatingWindow);

    /// Parent step: the slot of the OPEN command named `parent` (slot 1 for an
    /// empty parent), its window brought forward; nothing when that command has
    /// not been opened, or its window has been forgotten.
    std::optional<int> bringParentForward(const QString &parent);

    /// Close step: forgets what the parent step found.
    void close(int slot);

    /// The result of the last start request, then the window recorded after it.
    WindowId launchHandle() const { return m_launchHandle; }

private:
    enum class WaitResult { ProcessWindow, ForegroundChanged, TimedOut, StartFailed };

    Desktop::StartResult start(const QString &program, const QString &directory, bool direct);
    /// `window` is the window found, or the foreground window of the last poll.
    WaitResult waitForNewWindow(WindowId previous, qint64 processId, WindowId &window);

    Desktop &m_desktop;
    EventWait &m_wait;
    MainWindowControl &m_mainWindow;
    MessageBoxes &m_messages;
    OpenProgramSlots &m_slots;
    WindowId m_launchHandle = 0;
};

} // namespace kestrel

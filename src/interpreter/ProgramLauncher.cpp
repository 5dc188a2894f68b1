#include "interpreter/ProgramLauncher.h"

#include "common/EventWait.h"
#include "common/Failure.h"
#include "common/MessageBoxes.h"
#include "interpreter/InterpreterHost.h"
#include "interpreter/OpenAction.h"
#include "interpreter/OpenProgramSlots.h"
#include "interpreter/PhraseLookup.h"
#include "interpreter/TextRules.h"

#include <QScopeGuard>

namespace kestrel {

namespace {
// A due time this far ahead of the clock means the clock was reset; poll at once.
constexpr double kClockJumpSeconds = 10.0;
constexpr double kTickSeconds = 1.0;
// What the classic start request returns for a document no program is set to
// open; also for a program that ended in failure at once.
constexpr WindowId kNoProgramForDocument = 31;
const QString kFreeSlot = QStringLiteral("NULL");
} // namespace

ProgramLauncher::ProgramLauncher(Desktop &desktop, EventWait &wait, MainWindowControl &mainWindow,
                                 MessageBoxes &messages, OpenProgramSlots &slots)
    : m_desktop(desktop), m_wait(wait), m_mainWindow(mainWindow), m_messages(messages), m_slots(slots)
{
}

std::optional<QString> ProgramLauncher::launch(const QString &action, int slot,
                                               const QString &upperWordPhrase, QString lookupPhrase,
                                               bool stopRequested, bool &activatingWindow)
{
    OpenAction parts = splitOpenKeys(action);

    // Saying the OPEN phrase again brings its window forward instead of starting a
    // second copy. A window that has gone makes activateWindow throw; the caller
    // then forgets it, so the next try starts the program anew.
    if (const WindowId recorded = m_slots.window(slot); recorded != 0) {
        activatingWindow = true;
        m_desktop.activateWindow(recorded);
        activatingWindow = false;
        return QString();
    }

    parts = splitOpenDirectory(parts);
    const bool webAddress = isWebAddress(parts.program);
    if (!webAddress && !m_desktop.fileExists(parts.program)) {
        m_messages.inform(QString(), QStringLiteral("Could not find the program named ") + parts.program);
        return std::nullopt;
    }
    if (!parts.directory.isEmpty() && !m_desktop.directoryExists(parts.directory)) {
        m_messages.inform(QString(),
                          QStringLiteral("Path ") + parts.directory + QStringLiteral(" does not exist"));
        return std::nullopt;
    }

    const WindowId previous = m_desktop.foregroundWindow();
    const bool direct = upperWordPhrase == QLatin1String("BROWSER") ||
                        upperCased(parts.program).contains(QLatin1String("IEXPLORE.EXE"));
    const Desktop::StartResult started = start(parts.program, parts.directory, direct);
    m_launchHandle = static_cast<WindowId>(started.value);
    if (!started.ok())
        return std::nullopt;

    // Listening held off while waiting keeps recognitions from nesting in the
    // wait; an emulated phrase may still run inside it and launch a program of
    // its own. The window found is kept here, not in m_launchHandle, so that
    // such a launch cannot put its window in this slot.
    m_mainWindow.holdListening();
    // Released on every way out of the wait, a failure included: a hold left
    // behind would keep listening off for good.
    auto release = qScopeGuard([this, stopRequested] { m_mainWindow.releaseListening(!stopRequested); });
    WindowId window = 0;
    const OpenProgramSlots::Held held(m_slots, slot);
    const WaitResult result = waitForNewWindow(previous, started.processId, window);
    release.dismiss();
    m_mainWindow.releaseListening(!stopRequested);
    // The program ended in failure before it showed a window (a browser
    // wrapper that found no browser), or the opener found no program for the
    // document: a failed start after all, which ends the run as one that fails
    // at once does. The window in front is no window of it.
    if (result == WaitResult::StartFailed) {
        m_launchHandle = kNoProgramForDocument;
        return std::nullopt;
    }
    if (result == WaitResult::ForegroundChanged && direct)
        window = m_desktop.foregroundWindow();
    if (result == WaitResult::ProcessWindow && m_desktop.foregroundWindow() != window)
        m_desktop.activateWindow(window); // so that the keys that follow reach it

    m_launchHandle = window;
    // Its row deleted meanwhile, the window is no command's to remember.
    if (!held.gone()) {
        m_slots.setWindow(held.slot(), window);
        m_slots.setPhrase(held.slot(), lookupPhrase);
    }
    return parts.keys;
}

// Documents, folders and web addresses go to the desktop's opener. An executable
// file is started by us: the Linux opener would show it in an editor instead of
// running it.
Desktop::StartResult ProgramLauncher::start(const QString &program, const QString &directory, bool direct)
{
    // Started directly, the program part is the whole command line. It names a
    // file (the launch checked that for all but web addresses), so a blank in it
    // is part of the name ("/opt/My Browser/run"), never an argument's start.
    if (direct)
        return m_desktop.startProgram(program, {}, QString());
    if (!isWebAddress(program) && m_desktop.isExecutable(program))
        return m_desktop.startProgram(program, {}, directory);
    return m_desktop.openDocument(program, directory);
}

// Polls about once a second, the first time at once, at most LaunchTickLimit - 1
// times. The started process's own window is the surest answer; failing that, any
// change of the foreground window counts as the new window.
ProgramLauncher::WaitResult ProgramLauncher::waitForNewWindow(WindowId previous, qint64 processId,
                                                              WindowId &window)
{
    double due = m_wait.now();
    int ticks = 0;
    for (;;) {
        if (due > m_wait.now() + kClockJumpSeconds)
            due = m_wait.now();
        m_wait.processEvents();
        if (m_wait.now() < due)
            continue;
        due = m_wait.now() + kTickSeconds;
        if (++ticks >= LaunchTickLimit)
            return WaitResult::TimedOut;
        if (processId != 0) {
            if (const WindowId own = m_desktop.windowOfProcess(processId); own != 0) {
                window = own;
                return WaitResult::ProcessWindow;
            }
            if (m_desktop.startFailed(processId))
                return WaitResult::StartFailed;
        }
        window = m_desktop.foregroundWindow();
        if (window != previous)
            return WaitResult::ForegroundChanged;
    }
}

std::optional<int> ProgramLauncher::bringParentForward(const QString &parent)
{
    const bool noParent = parent.isEmpty();
    for (int s = OpenProgramSlots::FirstSearched; s <= m_slots.lastSearched(); ++s) {
        const QString phrase = m_slots.phrase(s);
        if (noParent || (phrase.trimmed() != kFreeSlot && parentNamesRecordedPhrase(parent, phrase))) {
            // The keys meant for the parent must never land in whatever window
            // happens to be in front instead. A slot whose window was forgotten
            // (it had gone when its OPEN phrase was said again) keeps its
            // phrase, but holds no open program.
            if (!noParent && m_slots.window(s) == 0)
                continue;
            if (!noParent) {
                try {
                    m_desktop.activateWindow(m_slots.window(s));
                } catch (const Failure &) {
                    // Closed by hand: the program is not open any more, which the
                    // user is told, and its OPEN phrase starts it again at once.
                    // A window that is there but refused (hidden to the tray)
                    // only ends the run.
                    if (m_desktop.windowExists(m_slots.window(s)))
                        throw;
                    m_slots.release(s);
                    return std::nullopt;
                }
            }
            return s;
        }
    }
    return std::nullopt;
}

void ProgramLauncher::close(int slot)
{
    m_slots.release(slot);
}

} // namespace kestrel

#pragma once

#include "desktop/Desktop.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <deque>
#include <functional>

namespace kestrel::test {

/// A Desktop that carries nothing out but writes every call as one line of plain
/// text, so that a test can compare what was done with what it expected. Actions
/// are logged as they would be carried out ("keys ^c wait", "type hello",
/// "click L down", "cursor 100,200", "move 0x2a 10,20", "activate 0x2a",
/// "start firefox [a,b] /dir", "open /path /dir", "clipboard text"); queries are
/// logged with a leading "? " ("? foreground", "? file notepad") and left out of
/// actions().
///
/// Key text is checked with the real notation parser: malformed text is logged as
/// "keys-rejected <text>" and throws Failure, as the real backend does.
///
/// The desktop can be scripted: windows that exist, the foreground window, the
/// pointer, files, directories, executables, the clipboard, and what the next
/// program start does (its result and a window that appears some polls later).
class RecordingDesktop : public Desktop
{
public:
    /// What one start request (startProgram or openDocument) does.
    struct LaunchPlan
    {
        std::int64_t value = 42;   ///< below 33: the start fails
        qint64 processId = 0;      ///< reported by the start; windowOfProcess answers for it
        WindowId window = 0;       ///< the window that comes up; 0: none
        int appearsAfterPolls = 1; ///< the window exists from this foreground poll on
        bool takesFocus = true;    ///< the window becomes the foreground window
        /// The opener gives up (nothing to open the document with) once the
        /// launch has looked this many times; 0: never.
        int failsAfterPolls = 0;
    };

    // --- scripting -------------------------------------------------------------
    void addWindow(WindowId window) { m_windows.insert(window); }
    /// The window disappears; activating or moving it then throws Failure.
    void removeWindow(WindowId window);
    void setForeground(WindowId window);
    void setCursor(QPoint position) { m_cursor = position; }
    void addFile(const QString &pattern) { m_files.append(pattern); }
    void addDirectory(const QString &path);
    void addExecutable(const QString &program) { m_executables.insert(program); }
    void setClipboard(const QString &text) { m_clipboard = text; }
    /// Plans for the next start requests, used in order; without one a start
    /// succeeds and no window comes up.
    void planLaunch(const LaunchPlan &plan) { m_plans.push_back(plan); }
    /// Every later action whose log line starts with `prefix` is logged and then
    /// throws Failure(description), as a failing backend would.
    void failOn(const QString &prefix, const QString &description) { m_failures.insert(prefix, description); }

    // --- what happened ---------------------------------------------------------
    const QStringList &log() const { return m_log; }
    /// The log without the queries.
    QStringList actions() const;
    /// Told of every action as it is logged, before a planned failure throws.
    std::function<void(const QString &)> onAction;
    void clearLog() { m_log.clear(); }
    QPoint cursor() const { return m_cursor; }
    WindowId foreground() const { return m_foreground; }
    QString clipboard() const { return m_clipboard; }
    int foregroundPolls() const { return m_foregroundPolls; }

    static QString windowName(WindowId window);

    // --- Desktop ---------------------------------------------------------------
    WindowId foregroundWindow() override;
    bool windowExists(WindowId window) override;
    void activateWindow(WindowId window) override;
    void moveWindow(WindowId window, int x, int y) override;
    WindowId findTopLevelWindow(const QString &title) override;
    QPoint cursorPosition() override;
    void setCursorPosition(QPoint position) override;
    void mouseButton(Button button, bool press) override;
    void sendKeys(const QString &notation, bool waitUntilProcessed) override;
    void typeText(const QString &text) override;
    StartResult startProgram(const QString &program, const QStringList &arguments,
                             const QString &workingDirectory) override;
    StartResult openDocument(const QString &target, const QString &workingDirectory) override;
    WindowId windowOfProcess(qint64 processId) override;
    bool fileExists(const QString &pattern) override;
    bool directoryExists(const QString &path) override;
    bool isExecutable(const QString &program) override;
    bool startFailed(qint64 processId) override;
    QString clipboardText() override;
    QString currentClipboardText() override;
    void setClipboardText(const QString &text) override;

    /// Titles known to findTopLevelWindow.
    void setWindowTitle(WindowId window, const QString &title) { m_titles.insert(window, title); }

private:
    StartResult beginLaunch();
    void requireWindow(WindowId window) const;
    void record(const QString &line);

    QStringList m_log;
    QHash<QString, QString> m_failures;
    QSet<WindowId> m_windows;
    QHash<WindowId, QString> m_titles;
    WindowId m_foreground = 0;
    QPoint m_cursor;
    QStringList m_files;
    QSet<QString> m_directories;
    QSet<QString> m_executables;
    QString m_clipboard;
    std::deque<LaunchPlan> m_plans;
    // The start whose window has not come up yet.
    LaunchPlan m_pending;
    int m_pollsSinceStart = 0;
    bool m_waitingForWindow = false;
    int m_failurePolls = 0; ///< startFailed asked since the last start
    int m_foregroundPolls = 0;
};

} // namespace kestrel::test

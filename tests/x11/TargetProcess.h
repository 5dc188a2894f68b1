#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrel::test {

/// Runs the key-log target window in a process of its own (a window of the test
/// process could not answer pings while the test waits) and reads its report.
class TargetProcess
{
public:
    static QString programPath() { return QStringLiteral(KESTREL_KEYLOG_TARGET); }

    explicit TargetProcess(const QString &title);
    ~TargetProcess() { quit(); }

    /// Waits for the READY line; false when the window never came up.
    bool waitReady();
    qint64 pid() const { return m_process.processId(); }
    unsigned long window() const { return m_window; }

    /// Reads whatever the target has written so far, without waiting.
    void readAvailable();
    /// Every line received since the last forget().
    const QStringList &lines() const { return m_lines; }
    QStringList linesStartingWith(const QString &prefix) const;
    void forget() { m_lines.clear(); }

    /// Waits (bounded) until a received line satisfies `match`.
    bool waitForLine(const std::function<bool(const QString &)> &match, int timeoutMs = 10000);
    /// Waits (bounded) until at least `count` lines start with `prefix`.
    bool waitForCount(const QString &prefix, int count, int timeoutMs = 10000);

    /// The text box's content, asked for over stdin (so everything the target had
    /// received before the question is in it).
    QString text();
    void clearText();
    /// Puts `text` on the clipboard, owned by the target from then on.
    bool copy(const QString &text);
    /// The same, then blocks the target's event loop for `ms` milliseconds.
    bool copyThenBusy(const QString &text, int ms);
    /// Blocks the target's event loop for `ms` milliseconds, from when this returns.
    bool makeBusy(int ms);
    void quit();

private:
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
    unsigned long m_window = 0;
};

} // namespace kestrel::test

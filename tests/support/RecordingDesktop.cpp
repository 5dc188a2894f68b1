#include "RecordingDesktop.h"

#include "common/Failure.h"
#include "desktop/KeySequence.h"

#include <QRegularExpression>

namespace kestrel::test {

namespace {

QString withoutTrailingSlash(const QString &path)
{
    QString result = path;
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

QString joinedWithDirectory(const QString &line, const QString &directory)
{
    return directory.isEmpty() ? line : line + QLatin1Char(' ') + directory;
}

} // namespace

QString RecordingDesktop::windowName(WindowId window)
{
    return QStringLiteral("0x%1").arg(window, 0, 16);
}

void RecordingDesktop::removeWindow(WindowId window)
{
    m_windows.remove(window);
    if (m_foreground == window)
        m_foreground = 0;
}

void RecordingDesktop::setForeground(WindowId window)
{
    if (window != 0)
        m_windows.insert(window);
    m_foreground = window;
}

void RecordingDesktop::addDirectory(const QString &path)
{
    m_directories.insert(withoutTrailingSlash(path));
}

QStringList RecordingDesktop::actions() const
{
    QStringList result;
    for (const QString &line : m_log) {
        if (!line.startsWith(QLatin1String("? ")))
            result.append(line);
    }
    return result;
}

void RecordingDesktop::record(const QString &line)
{
    m_log.append(line);
    if (onAction)
        onAction(line);
    for (auto it = m_failures.cbegin(); it != m_failures.cend(); ++it) {
        if (line.startsWith(it.key()))
            throw Failure(it.value());
    }
}

void RecordingDesktop::requireWindow(WindowId window) const
{
    if (!m_windows.contains(window))
        throw Failure(QStringLiteral("The window %1 no longer exists").arg(windowName(window)));
}

WindowId RecordingDesktop::foregroundWindow()
{
    m_log.append(QStringLiteral("? foreground"));
    ++m_foregroundPolls;
    if (m_waitingForWindow && ++m_pollsSinceStart >= m_pending.appearsAfterPolls) {
        m_waitingForWindow = false;
        m_windows.insert(m_pending.window);
        if (m_pending.takesFocus)
            m_foreground = m_pending.window;
    }
    return m_foreground;
}

bool RecordingDesktop::windowExists(WindowId window)
{
    m_log.append(QStringLiteral("? exists ") + windowName(window));
    return m_windows.contains(window);
}

void RecordingDesktop::activateWindow(WindowId window)
{
    record(QStringLiteral("activate ") + windowName(window));
    requireWindow(window);
    m_foreground = window;
}

void RecordingDesktop::moveWindow(WindowId window, int x, int y)
{
    record(QStringLiteral("move %1 %2,%3").arg(windowName(window)).arg(x).arg(y));
    requireWindow(window);
}

WindowId RecordingDesktop::findTopLevelWindow(const QString &title)
{
    m_log.append(QStringLiteral("? find ") + title);
    for (auto it = m_titles.cbegin(); it != m_titles.cend(); ++it) {
        if (it.value() == title && m_windows.contains(it.key()))
            return it.key();
    }
    return 0;
}

QPoint RecordingDesktop::cursorPosition()
{
    m_log.append(QStringLiteral("? cursor"));
    return m_cursor;
}

void RecordingDesktop::setCursorPosition(QPoint position)
{
    record(QStringLiteral("cursor %1,%2").arg(position.x()).arg(position.y()));
    m_cursor = position;
}

void RecordingDesktop::mouseButton(Button button, bool press)
{
    record(QStringLiteral("click %1 %2")
               .arg(button == Button::Left ? QLatin1String("L") : QLatin1String("R"),
                    press ? QLatin1String("down") : QLatin1String("up")));
}

void RecordingDesktop::sendKeys(const QString &notation, bool waitUntilProcessed)
{
    try {
        parseKeySequence(notation);
    } catch (const Failure &) {
        record(QStringLiteral("keys-rejected ") + notation);
        throw;
    }
    record(QStringLiteral("keys %1 %2")
               .arg(notation, waitUntilProcessed ? QLatin1String("wait") : QLatin1String("nowait")));
}

void RecordingDesktop::typeText(const QString &text)
{
    record(QStringLiteral("type ") + text);
}

RecordingDesktop::StartResult RecordingDesktop::beginLaunch()
{
    LaunchPlan plan;
    if (!m_plans.empty()) {
        plan = m_plans.front();
        m_plans.pop_front();
    }
    StartResult result;
    result.value = plan.value;
    result.processId = plan.processId;
    if (!result.ok()) {
        result.description = QStringLiteral("The start failed");
        return result;
    }
    if (plan.window != 0 || plan.failsAfterPolls > 0) {
        m_pending = plan;
        m_pollsSinceStart = 0;
        m_waitingForWindow = plan.window != 0;
    }
    m_failurePolls = 0;
    return result;
}

bool RecordingDesktop::startFailed(qint64 processId)
{
    m_log.append(QStringLiteral("? failed %1").arg(processId));
    if (processId == 0 || processId != m_pending.processId || m_pending.failsAfterPolls == 0)
        return false;
    return ++m_failurePolls >= m_pending.failsAfterPolls;
}

RecordingDesktop::StartResult RecordingDesktop::startProgram(const QString &program,
                                                             const QStringList &arguments,
                                                             const QString &workingDirectory)
{
    record(joinedWithDirectory(QStringLiteral("start %1 [%2]").arg(program, arguments.join(QLatin1Char(','))),
                               workingDirectory));
    return beginLaunch();
}

RecordingDesktop::StartResult RecordingDesktop::openDocument(const QString &target,
                                                             const QString &workingDirectory)
{
    record(joinedWithDirectory(QStringLiteral("open ") + target, workingDirectory));
    return beginLaunch();
}

WindowId RecordingDesktop::windowOfProcess(qint64 processId)
{
    m_log.append(QStringLiteral("? process %1").arg(processId));
    if (processId != 0 && processId == m_pending.processId && m_windows.contains(m_pending.window))
        return m_pending.window;
    return 0;
}

bool RecordingDesktop::fileExists(const QString &pattern)
{
    m_log.append(QStringLiteral("? file ") + pattern);
    const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(pattern));
    for (const QString &file : m_files) {
        if (file == pattern || wildcard.match(file).hasMatch())
            return true;
    }
    return false;
}

bool RecordingDesktop::directoryExists(const QString &path)
{
    m_log.append(QStringLiteral("? dir ") + path);
    return m_directories.contains(withoutTrailingSlash(path));
}

bool RecordingDesktop::isExecutable(const QString &program)
{
    m_log.append(QStringLiteral("? executable ") + program);
    return m_executables.contains(program);
}

QString RecordingDesktop::clipboardText()
{
    m_log.append(QStringLiteral("? clipboard"));
    return m_clipboard;
}

QString RecordingDesktop::currentClipboardText()
{
    m_log.append(QStringLiteral("? clipboard now"));
    return m_clipboard;
}

void RecordingDesktop::setClipboardText(const QString &text)
{
    record(QStringLiteral("clipboard ") + text);
    m_clipboard = text;
}

} // namespace kestrel::test

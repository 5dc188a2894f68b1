#include "TargetProcess.h"

#include <QDeadlineTimer>

namespace kestrel::test {

TargetProcess::TargetProcess(const QString &title)
{
    m_process.setProgram(programPath());
    m_process.setArguments({title});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
}

void TargetProcess::quit()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void TargetProcess::readAvailable()
{
    while (m_process.waitForReadyRead(0)) {
    }
    m_partial += m_process.readAllStandardOutput();
    for (int newline = m_partial.indexOf('\n'); newline >= 0; newline = m_partial.indexOf('\n')) {
        m_lines << QString::fromUtf8(m_partial.left(newline));
        m_partial.remove(0, newline + 1);
    }
}

QStringList TargetProcess::linesStartingWith(const QString &prefix) const
{
    QStringList result;
    std::copy_if(m_lines.begin(), m_lines.end(), std::back_inserter(result),
                 [&](const QString &line) { return line.startsWith(prefix); });
    return result;
}

bool TargetProcess::waitForLine(const std::function<bool(const QString &)> &match, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readAvailable();
        if (std::any_of(m_lines.cbegin(), m_lines.cend(), match))
            return true;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 100)));
    }
}

bool TargetProcess::waitForCount(const QString &prefix, int count, int timeoutMs)
{
    return waitForLine([&](const QString &) { return linesStartingWith(prefix).size() >= count; }, timeoutMs);
}

bool TargetProcess::waitReady()
{
    if (m_window != 0)
        return true;
    if (!waitForCount("READY ", 1, 20000))
        return false;
    m_window = linesStartingWith("READY ").constFirst().mid(6).toULong();
    return m_window != 0;
}

QString TargetProcess::text()
{
    const int before = static_cast<int>(linesStartingWith("TEXT ").size());
    m_process.write("text\n");
    if (!waitForCount("TEXT ", before + 1))
        return "<no answer>";
    return QString::fromUtf8(QByteArray::fromHex(linesStartingWith("TEXT ").constLast().mid(5).toLatin1()));
}

bool TargetProcess::copy(const QString &text)
{
    forget();
    m_process.write("copy " + text.toUtf8().toHex() + '\n');
    return waitForLine([](const QString &line) { return line == "COPIED"; });
}

bool TargetProcess::copyThenBusy(const QString &text, int ms)
{
    forget();
    m_process.write("copybusy " + QByteArray::number(ms) + ' ' + text.toUtf8().toHex() + '\n');
    return waitForLine([](const QString &line) { return line == "COPIED"; });
}

bool TargetProcess::makeBusy(int ms)
{
    forget();
    m_process.write(QByteArray("busy ") + QByteArray::number(ms) + '\n');
    return waitForLine([](const QString &line) { return line == "BUSY"; });
}

void TargetProcess::clearText()
{
    m_process.write("clear\n");
    text(); // answered only after the clear was handled
    forget();
}

} // namespace kestrel::test

#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTest>

namespace kestrel::test {

/// An Xvfb of the test's own, on a display number no other server holds, for
/// tests that take the server away from under a client.
class PrivateXServer
{
public:
    PrivateXServer() = default;
    ~PrivateXServer() { stop(); }
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    /// False when no display number is free or the server did not come up.
    bool start()
    {
        for (int n = 150; n < 200 && m_display.isEmpty(); ++n) {
            if (!QFileInfo::exists(socketOf(n)) &&
                !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                m_display = QStringLiteral(":%1").arg(n);
        }
        if (m_display.isEmpty())
            return false;
        m_server.start(QStringLiteral("Xvfb"),
                       {m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_server.waitForStarted(10000))
            return false;
        const QString socket = socketOf(m_display.mid(1).toInt());
        return QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 10000);
    }

    QString display() const { return m_display; }

    /// Ends the server, as a logout does, and waits until it has gone.
    bool stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return true;
        m_server.terminate();
        return m_server.waitForFinished(10000);
    }

private:
    static QString socketOf(int number) { return QStringLiteral("/tmp/.X11-unix/X%1").arg(number); }

    QProcess m_server;
    QString m_display;
};

} // namespace kestrel::test

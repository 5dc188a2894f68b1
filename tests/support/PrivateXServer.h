#pragma once

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

    /// False when the server did not come up.
    bool start()
    {
        // The server picks a free display number itself and says which once it
        // takes connections: tests running side by side that each looked for a
        // free number first could both pick the same one, and one of them then
        // talked to the other's server. Without -noreset the server starts
        // afresh whenever its last client leaves, and turns away a client that
        // connects meanwhile: the program under test, while a probe of the
        // test's own has just looked for its window.
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!m_server.waitForStarted(10000))
            return false;
        QByteArray said;
        const bool ready = QTest::qWaitFor(
            [&] {
                said += m_server.readAllStandardOutput();
                return said.contains('\n') || m_server.state() != QProcess::Running;
            },
            10000);
        bool numbered = false;
        const int number = said.trimmed().toInt(&numbered);
        if (!ready || !numbered || m_server.state() != QProcess::Running)
            return false;
        m_display = QStringLiteral(":%1").arg(number);
        return true;
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
    QProcess m_server;
    QString m_display;
};

} // namespace kestrel::test

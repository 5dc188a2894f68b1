#pragma once

#include "support/Pactl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace kestrel::test {

/// A PulseAudio daemon of the test's own, set up like the test session's (a
/// null sink "kestrel_speaker" and a pipe source "kestrel_mic", each the
/// default), for tests that restart the server under a client. While it lives,
/// connections this process makes (and the pactl it runs) go to it, so it must
/// be made before anything in the test first touches a sound device.
class PrivateSoundServer
{
public:
    PrivateSoundServer() : m_oldServer(qgetenv("PULSE_SERVER"))
    {
        if (!m_dir.isValid() || QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
            return;
        QDir(m_dir.path()).mkpath(QStringLiteral("pulse"));
        QDir(m_dir.path()).mkpath(QStringLiteral("state"));
        QFile config(m_dir.filePath(QStringLiteral("default.pa")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(QStringLiteral("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"
                                    "load-module module-null-sink sink_name=kestrel_speaker "
                                    "sink_properties=device.description=KESTREL-Speaker\n"
                                    "load-module module-pipe-source source_name=kestrel_mic file=%2 "
                                    "format=s16le rate=16000 channels=1 "
                                    "source_properties=device.description=KESTREL-Microphone\n"
                                    "set-default-sink kestrel_speaker\n"
                                    "set-default-source kestrel_mic\n")
                         .arg(socket(), micFifo())
                         .toLocal8Bit());
        config.close();
        qputenv("PULSE_SERVER", "unix:" + socket().toLocal8Bit());
        m_running = start();
    }

    ~PrivateSoundServer()
    {
        stop();
        qputenv("PULSE_SERVER", m_oldServer);
    }

    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    /// It came up and answers.
    bool running() const { return m_running; }
    /// The pipe its microphone reads; 16 kHz mono 16-bit, at the pace of real time.
    QString micFifo() const { return m_dir.filePath(QStringLiteral("mic.fifo")); }

    /// Ends the daemon, as a crash or `pulseaudio -k` does, and starts a new one
    /// in its place. True when the new one answers.
    bool restart()
    {
        stop();
        m_running = start();
        return m_running;
    }

    void stop()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.kill();
        m_daemon.waitForFinished(10000);
        m_running = false;
    }

private:
    QString socket() const { return m_dir.filePath(QStringLiteral("pulse/native")); }

    bool start()
    {
        // The pipe source makes its pipe itself and refuses one that is left over.
        QFile::remove(micFifo());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.filePath(QStringLiteral("pulse")));
        env.insert(QStringLiteral("PULSE_STATE_PATH"), m_dir.filePath(QStringLiteral("state")));
        m_daemon.setProcessEnvironment(env);
        m_daemon.setStandardOutputFile(QProcess::nullDevice());
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        m_daemon.start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disallow-exit"),
                        QStringLiteral("--system=false"), QStringLiteral("--use-pid-file=no"),
                        QStringLiteral("-F"), m_dir.filePath(QStringLiteral("default.pa"))});
        if (!m_daemon.waitForStarted(10000))
            return false;
        return QTest::qWaitFor([] { return !pactl({QStringLiteral("info")}).isEmpty(); }, 10000);
    }

    QTemporaryDir m_dir;
    QByteArray m_oldServer;
    QProcess m_daemon;
    bool m_running = false;
};

} // namespace kestrel::test

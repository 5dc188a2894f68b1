#pragma once

#include "speech_platform/espeak/StreamOutput.h"

#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace kestrel {

/// Plays on an output that is opened, driven and closed on a thread of its own.
///
/// Qt's PulseAudio backend waits without a limit for a new playback stream to
/// become ready, and a sound server that has stopped answering never makes it
/// so: opened on the window's thread, that froze the whole program for good.
/// Here the open and everything after it run on the output's thread, which
/// passes the audio on and reports how far it has been heard every few
/// milliseconds. Until the open is done nothing counts as heard. An open that is
/// not done within the time given makes this output failed, so the voice
/// carries the stream on elsewhere; when it comes back, its thread closes it.
///
/// Threading: the methods are called on one thread (the user-interface thread);
/// the opener, and every call of the output it makes, run on the output's thread.
class ThreadedOutput final : public StreamOutput
{
public:
    /// Makes the output; runs on the output's thread and may block for as long
    /// as it likes. A null output counts as one that failed.
    using Opener = std::function<std::unique_ptr<StreamOutput>()>;

    /// How long an open may take: a PulseAudio null sink can take two seconds to
    /// start a stream, a Bluetooth headset changing its profile a few more.
    static constexpr std::chrono::milliseconds kOpenTimeout{5000};
    /// Opens given up on that may be waiting at the same time; beyond that no new
    /// open is tried, since each holds a thread until the server answers.
    static constexpr int kMostStuckOpens = 3;

    ThreadedOutput(const AudioFormatInfo &format, Opener open,
                   std::chrono::milliseconds openTimeout = kOpenTimeout);
    /// Returns at once; the output is closed on its thread.
    ~ThreadedOutput() override;

    void write(const QByteArray &bytes) override;
    void service() override;
    void stop() override;
    qint64 processedUSecs() override;
    bool finished() override;
    bool failed() const override;
    QByteArray takeUnsent() override;

    /// Opens given up on that have not come back yet, in this process.
    static int stuckOpens();
    /// Waits until every output's thread has closed its output and ended, but
    /// for those caught in an open; false if some are still at work at the end.
    static bool waitForClosed(std::chrono::milliseconds timeout);

private:
    struct Shared;
    class Driver;

    std::shared_ptr<Shared> m_shared;
    QElapsedTimer m_since;
    std::chrono::milliseconds m_openTimeout;
    bool m_timedOut = false;
    bool m_stopped = false;
};

} // namespace kestrel

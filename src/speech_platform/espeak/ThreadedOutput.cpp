#include "speech_platform/espeak/ThreadedOutput.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrel {
namespace {

// How often the output's thread passes audio on and reads how far it has got;
// the voice releases its events at the same pace.
constexpr int kDriveMs = 10;

std::atomic_int g_stuckOpens{0};
std::atomic_int g_runningThreads{0};

} // namespace

/// What the two threads share, under the mutex.
struct ThreadedOutput::Shared
{
    std::mutex mutex;
    // From the owner.
    QByteArray incoming;
    bool endOfData = false;
    bool stopRequested = false;
    bool closing = false;
    bool abandoned = false; ///< given up on while opening; counted in g_stuckOpens
    // From the output's thread.
    bool opened = false; ///< the open came back
    bool failed = false;
    bool finished = false;
    qint64 processedUSecs = 0;
    QByteArray unsent; ///< taken back from an output that broke off
};

/// Runs on the output's thread: opens the output, then drives it until the
/// owner lets it go or it can play no more.
class ThreadedOutput::Driver
{
public:
    Driver(std::shared_ptr<Shared> shared, Opener open) : m_shared(std::move(shared)), m_open(std::move(open))
    {
    }

    void run()
    {
        std::unique_ptr<StreamOutput> output = m_open();
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->opened = true;
            if (m_shared->abandoned)
                --g_stuckOpens;
            if (!output || output->failed())
                m_shared->failed = true;
            if (m_shared->failed || m_shared->closing || m_shared->abandoned || m_shared->stopRequested)
                return; // the output is closed here, on its own thread
        }
        QEventLoop loop;
        QTimer tick;
        tick.setInterval(kDriveMs);
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (!drive(*output))
                loop.quit();
        });
        if (!drive(*output))
            return;
        tick.start();
        loop.exec();
    }

private:
    /// One round; false once there is nothing more to do.
    bool drive(StreamOutput &output)
    {
        QByteArray bytes;
        bool end = false;
        {
            std::lock_guard lock(m_shared->mutex);
            if (m_shared->closing)
                return false;
            if (m_shared->stopRequested) {
                output.stop();
                return false;
            }
            bytes = std::exchange(m_shared->incoming, {});
            end = m_shared->endOfData;
        }
        if (!bytes.isEmpty())
            output.write(bytes);
        if (end)
            output.endOfData();
        output.service();
        const qint64 heard = output.processedUSecs();
        const bool done = output.finished();
        const bool broke = output.failed();
        QByteArray back = broke ? output.takeUnsent() : QByteArray();
        std::lock_guard lock(m_shared->mutex);
        m_shared->processedUSecs = heard;
        m_shared->finished = done;
        m_shared->failed = broke;
        // Older than anything still incoming, so it goes first.
        m_shared->unsent.append(back);
        return !broke;
    }

    std::shared_ptr<Shared> m_shared;
    Opener m_open;
};

ThreadedOutput::ThreadedOutput(const AudioFormatInfo &format, Opener open,
                               std::chrono::milliseconds openTimeout)
    : StreamOutput(format), m_shared(std::make_shared<Shared>()), m_openTimeout(openTimeout)
{
    m_since.start();
    if (g_stuckOpens.load() >= kMostStuckOpens) {
        // The server has not answered the last few opens; another one would
        // only wait with them.
        m_timedOut = true;
        return;
    }
    ++g_runningThreads;
    QThread *thread = QThread::create([shared = m_shared, open = std::move(open)] {
        Driver(shared, open).run();
        --g_runningThreads;
    });
    thread->setObjectName(QStringLiteral("kestrel-voice-output"));
    // Never waited for: one still caught in an open at the end of the program is
    // left to the end of the process.
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

ThreadedOutput::~ThreadedOutput()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->closing = true;
    if (!m_shared->opened && !m_shared->abandoned && !m_timedOut) {
        m_shared->abandoned = true;
        ++g_stuckOpens;
    }
}

void ThreadedOutput::write(const QByteArray &bytes)
{
    m_writtenBytes += bytes.size();
    std::lock_guard lock(m_shared->mutex);
    m_shared->incoming.append(bytes);
}

void ThreadedOutput::service()
{
    std::lock_guard lock(m_shared->mutex);
    if (m_endOfData)
        m_shared->endOfData = true;
    if (m_timedOut || m_shared->opened || m_since.elapsed() < m_openTimeout.count())
        return;
    m_timedOut = true;
    m_shared->abandoned = true;
    ++g_stuckOpens;
}

void ThreadedOutput::stop()
{
    m_stopped = true;
    std::lock_guard lock(m_shared->mutex);
    m_shared->stopRequested = true;
}

qint64 ThreadedOutput::processedUSecs()
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->processedUSecs;
}

bool ThreadedOutput::finished()
{
    if (m_stopped)
        return true;
    std::lock_guard lock(m_shared->mutex);
    if (m_endOfData)
        m_shared->endOfData = true;
    return m_shared->finished;
}

bool ThreadedOutput::failed() const
{
    if (m_timedOut)
        return true;
    std::lock_guard lock(m_shared->mutex);
    return m_shared->failed;
}

QByteArray ThreadedOutput::takeUnsent()
{
    std::lock_guard lock(m_shared->mutex);
    QByteArray unsent = std::exchange(m_shared->unsent, {});
    unsent.append(std::exchange(m_shared->incoming, {}));
    m_writtenBytes -= unsent.size();
    return unsent;
}

int ThreadedOutput::stuckOpens()
{
    return g_stuckOpens.load();
}

bool ThreadedOutput::waitForClosed(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (g_runningThreads.load() > g_stuckOpens.load()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace kestrel

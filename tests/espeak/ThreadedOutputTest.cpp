// An output driven on a thread of its own: an open that never comes back (a
// stalled sound server) must not hold the caller, and nothing may be lost or
// played twice on the way between the threads.

#include "speech_platform/espeak/ThreadedOutput.h"
#include "speech_platform/AudioFormats.h"

#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

using namespace kestrel;
using namespace std::chrono_literals;

namespace {

/// What a FakeOutput saw, readable from the test's thread.
struct OutputLog
{
    std::mutex mutex;
    QByteArray played;
    QByteArray unsentToGive; ///< what it hands back once broken
    std::atomic<qint64> heardUSecs{0};
    std::atomic_bool broken{false};
    std::atomic_bool stopped{false};
    std::atomic_bool destroyed{false};
    std::atomic_bool touchedElsewhere{false}; ///< called on another thread than it was made on
    std::atomic_int opens{0};

    QByteArray playedSoFar()
    {
        std::lock_guard lock(mutex);
        return played;
    }
};

class FakeOutput final : public StreamOutput
{
public:
    FakeOutput(const AudioFormatInfo &format, std::shared_ptr<OutputLog> log)
        : StreamOutput(format), m_log(std::move(log)), m_home(std::this_thread::get_id())
    {
    }
    ~FakeOutput() override
    {
        note();
        m_log->destroyed = true;
    }

    void write(const QByteArray &bytes) override
    {
        note();
        m_writtenBytes += bytes.size();
        std::lock_guard lock(m_log->mutex);
        m_log->played.append(bytes);
    }
    void service() override { note(); }
    void stop() override
    {
        note();
        m_log->stopped = true;
    }
    qint64 processedUSecs() override
    {
        note();
        return m_log->heardUSecs;
    }
    bool finished() override
    {
        note();
        return m_endOfData && m_log->heardUSecs >= writtenUSecs();
    }
    bool failed() const override { return m_log->broken; }
    QByteArray takeUnsent() override
    {
        note();
        std::lock_guard lock(m_log->mutex);
        m_writtenBytes -= m_log->unsentToGive.size();
        return std::exchange(m_log->unsentToGive, {});
    }

private:
    void note() const
    {
        if (std::this_thread::get_id() != m_home)
            m_log->touchedElsewhere = true;
    }

    std::shared_ptr<OutputLog> m_log;
    std::thread::id m_home;
};

const AudioFormatInfo &format()
{
    return *AudioFormats::byCode(22); // 22 kHz 16-bit mono: 44 bytes a millisecond
}

/// Opens a FakeOutput once `gate` is released (at once without a gate).
ThreadedOutput::Opener opener(std::shared_ptr<OutputLog> log, std::shared_future<void> gate = {})
{
    return [log, gate]() -> std::unique_ptr<StreamOutput> {
        ++log->opens;
        if (gate.valid())
            gate.wait();
        return std::make_unique<FakeOutput>(format(), log);
    };
}

bool waitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor([&] { return condition(); }, 10000);
}

TEST(ThreadedOutputTest, AudioWrittenWhileOpeningIsPlayedInOrderOnTheOutputsOwnThread)
{
    auto log = std::make_shared<OutputLog>();
    std::promise<void> open;
    ThreadedOutput output(format(), opener(log, open.get_future().share()));
    output.write("first ");
    output.service();
    EXPECT_EQ(output.processedUSecs(), 0);
    EXPECT_FALSE(output.failed());
    open.set_value();
    output.write("second ");
    output.write("third");
    output.endOfData();
    ASSERT_TRUE(waitFor([&] {
        output.service();
        return log->playedSoFar() == "first second third";
    }));
    EXPECT_FALSE(output.finished()) << "finished before a sample was heard";

    log->heardUSecs = output.writtenUSecs();
    ASSERT_TRUE(waitFor([&] { return output.finished(); }));
    EXPECT_EQ(output.processedUSecs(), output.writtenUSecs());
    EXPECT_FALSE(output.failed());
    EXPECT_FALSE(log->touchedElsewhere);
    EXPECT_EQ(log->opens, 1);
}

TEST(ThreadedOutputTest, AnOpenThatDoesNotComeBackFailsWithoutHoldingTheCallerAndIsClosedWhenItDoes)
{
    auto log = std::make_shared<OutputLog>();
    std::promise<void> open;
    const int stuckBefore = ThreadedOutput::stuckOpens();
    {
        ThreadedOutput output(format(), opener(log, open.get_future().share()), 50ms);
        output.write("never played");
        ASSERT_TRUE(waitFor([&] {
            output.service();
            return output.failed();
        }));
        EXPECT_EQ(ThreadedOutput::stuckOpens(), stuckBefore + 1);
        EXPECT_EQ(output.takeUnsent().toStdString(), "never played");
        EXPECT_EQ(output.writtenBytes(), 0);
    }
    open.set_value();
    ASSERT_TRUE(waitFor([&] { return log->destroyed.load(); }));
    EXPECT_TRUE(log->playedSoFar().isEmpty());
    EXPECT_FALSE(log->touchedElsewhere) << "the late output was closed on another thread";
    EXPECT_EQ(ThreadedOutput::stuckOpens(), stuckBefore);
}

TEST(ThreadedOutputTest, AnOutputThatCannotPlayHandsBackEverythingNotPlayedInOrder)
{
    struct Case
    {
        const char *name;
        bool openedBroken; ///< it fails as it opens, or part way
    };
    for (const Case &c : {Case{"broken at once", true}, Case{"broken part way", false}}) {
        SCOPED_TRACE(c.name);
        auto log = std::make_shared<OutputLog>();
        log->broken = c.openedBroken;
        std::promise<void> open;
        ThreadedOutput output(format(), opener(log, open.get_future().share()));
        output.write("heard held back ");
        open.set_value();
        if (!c.openedBroken) {
            // Like a sink whose device went away with part of the audio still
            // waiting to be handed to it.
            ASSERT_TRUE(waitFor([&] { return log->playedSoFar() == "heard held back "; }));
            {
                std::lock_guard lock(log->mutex);
                log->unsentToGive = "held back ";
            }
            log->broken = true;
        }
        ASSERT_TRUE(waitFor([&] {
            output.service();
            return output.failed();
        }));
        output.write("late");
        EXPECT_EQ(output.takeUnsent().toStdString(),
                  c.openedBroken ? "heard held back late" : "held back late");
        EXPECT_EQ(output.writtenBytes(), c.openedBroken ? 0 : qint64(sizeof("heard ") - 1));
        EXPECT_TRUE(waitFor([&] { return log->destroyed.load(); }));
        EXPECT_FALSE(log->touchedElsewhere);
    }
}

TEST(ThreadedOutputTest, StopEndsAtOnceAndStopsTheOutputOnItsThread)
{
    auto log = std::make_shared<OutputLog>();
    ThreadedOutput output(format(), opener(log));
    output.write("some sound");
    ASSERT_TRUE(waitFor([&] { return log->playedSoFar() == "some sound"; }));
    output.stop();
    EXPECT_TRUE(output.finished());
    ASSERT_TRUE(waitFor([&] { return log->destroyed.load(); }));
    EXPECT_TRUE(log->stopped);
    EXPECT_FALSE(log->touchedElsewhere);
}

TEST(ThreadedOutputTest, OpensStopBeingTriedWhileTooManyHaveNotComeBack)
{
    std::promise<void> release;
    const std::shared_future<void> gate = release.get_future().share();
    auto stuckLog = std::make_shared<OutputLog>();
    const int room = ThreadedOutput::kMostStuckOpens - ThreadedOutput::stuckOpens();
    ASSERT_GT(room, 0);
    for (int i = 0; i < room; ++i) {
        ThreadedOutput hanging(format(), opener(stuckLog, gate));
        ASSERT_TRUE(waitFor([&] { return stuckLog->opens == i + 1; }));
    } // each given up on as it goes
    EXPECT_EQ(ThreadedOutput::stuckOpens(), ThreadedOutput::kMostStuckOpens);

    auto log = std::make_shared<OutputLog>();
    {
        ThreadedOutput refused(format(), opener(log));
        EXPECT_TRUE(refused.failed());
        refused.write("x");
        EXPECT_EQ(refused.takeUnsent().toStdString(), "x");
    }
    QTest::qWait(50);
    EXPECT_EQ(log->opens, 0) << "an open was tried behind those still waiting";

    release.set_value();
    ASSERT_TRUE(waitFor([&] { return ThreadedOutput::stuckOpens() == 0; }));
    {
        ThreadedOutput again(format(), opener(log));
        again.write("y");
        EXPECT_TRUE(waitFor([&] { return log->playedSoFar() == "y"; }))
            << "no open tried once the others came back";
    }
    EXPECT_TRUE(ThreadedOutput::waitForClosed(5s));
    EXPECT_TRUE(log->destroyed);
}

} // namespace

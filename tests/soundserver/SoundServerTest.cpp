// The program's own connections to the test session's sound server: what a
// stream that cannot be made says, that sound goes out and comes in at the
// server's pace, and that the server's defaults are followed across a restart.
#include "speech_platform/soundserver/PulseStream.h"
#include "speech_platform/soundserver/SoundServerDefaults.h"
#include "support/Pactl.h"
#include "support/PrivateSoundServer.h"
#include "support/PulseSession.h"

#include <QByteArray>
#include <QTest>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace kestrel {
namespace {

using namespace std::chrono_literals;
using Direction = PulseStream::Direction;
using State = PulseStream::State;

using test::kNoPulseSession;
using test::pulseSessionRuns;

const PulseStream::Format kMono16k{16000, 1, false};

State settled(const PulseStream &stream)
{
    (void)QTest::qWaitFor([&] { return stream.state() != State::Connecting; }, 5000);
    return stream.state();
}

TEST(PulseStreamTest, AStreamThatCannotBeMadeFailsAndSaysWhy)
{
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    const struct
    {
        const char *name;
        Direction direction;
        const char *device;
        PulseStream::Format format;
        const char *server; ///< PULSE_SERVER for the case; null keeps the session's
    } cases[] = {
        {"a sink that is not there", Direction::Playback, "kestrel_no_such_sink", kMono16k, nullptr},
        {"a source that is not there", Direction::Record, "kestrel_no_such_source", kMono16k, nullptr},
        {"a rate no device plays", Direction::Playback, "", {10000000, 1, false}, nullptr},
        {"no channels", Direction::Record, "", {16000, 0, false}, nullptr},
        {"no server", Direction::Playback, "", kMono16k, "unix:/nonexistent/kestrel/native"},
    };
    const QByteArray session = qgetenv("PULSE_SERVER");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.server)
            qputenv("PULSE_SERVER", c.server);
        {
            PulseStream stream(c.direction, c.device, c.format, 50ms);
            EXPECT_EQ(settled(stream), State::Failed);
            EXPECT_FALSE(stream.error().isEmpty());
            // Nothing is taken or reported by a failed stream.
            const QByteArray audio(3200, '\0');
            EXPECT_EQ(stream.write(audio.constData(), audio.size()), 0);
            EXPECT_EQ(stream.playedUSecs(), 0);
            EXPECT_TRUE(stream.takeRecorded().isEmpty());
        }
        qputenv("PULSE_SERVER", session);
    }
}

TEST(PulseStreamTest, PlaybackIsTimedByTheServerAndAShortStreamDrains)
{
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    // Shorter than the server's buffer: it only plays once told no more comes.
    PulseStream stream(Direction::Playback, "kestrel_speaker", kMono16k, 200ms);
    ASSERT_EQ(settled(stream), State::Ready) << qPrintable(stream.error());
    const QByteArray audio(16000 / 10 * 2 * 1 + 1, '\0'); // 100 ms and one stray byte
    qint64 sent = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            sent += stream.write(audio.constData() + sent, audio.size() - sent);
            return audio.size() - sent < 2;
        },
        5000));
    EXPECT_EQ(sent, audio.size() - 1) << "whole frames only";
    EXPECT_FALSE(stream.drained());
    stream.drain();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stream.drained(); }, 10000)) << "the stream never played out";
    // The server's last timing report may trail the end by a few tens of
    // milliseconds; it never runs past what was written.
    EXPECT_GE(stream.playedUSecs(), 50000);
    EXPECT_LE(stream.playedUSecs(), 100000);
    EXPECT_EQ(stream.write(audio.constData(), 2), 0) << "nothing more after the drain";
}

TEST(PulseStreamTest, RecordingDeliversWhatTheSourceIsFed)
{
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    PulseStream stream(Direction::Record, "kestrel_mic", kMono16k, 50ms);
    ASSERT_EQ(settled(stream), State::Ready) << qPrintable(stream.error());
    // Half a second of a steady level, at the pace of real time.
    const QString fifo = QString::fromLocal8Bit(qgetenv("KESTREL_PULSE_DIR")) + QStringLiteral("/mic.fifo");
    std::thread feeder([fifo] {
        const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY);
        if (fd < 0)
            return;
        const std::vector<int16_t> chunk(1600, 1234); // 100 ms
        for (int i = 0; i < 5; ++i) {
            if (::write(fd, chunk.data(), chunk.size() * 2) < 0)
                break;
            std::this_thread::sleep_for(100ms);
        }
        ::close(fd);
    });
    QByteArray recorded;
    (void)QTest::qWaitFor(
        [&] {
            recorded += stream.takeRecorded();
            return recorded.size() >= 16000;
        },
        5000);
    feeder.join();
    recorded += stream.takeRecorded();
    EXPECT_EQ(stream.state(), State::Ready);
    const auto *samples = reinterpret_cast<const int16_t *>(recorded.constData());
    const auto fed = std::count(samples, samples + recorded.size() / 2, int16_t(1234));
    EXPECT_GE(fed, 7200) << "of 8000 samples fed";
}

// A restarted server is one the program knows again: the default devices a
// user chooses after it (a headset) are followed, and it is asked whether it
// answers, as before.
TEST(SoundServerDefaultsTest, TheDefaultsAreFollowedAgainAfterTheServerRestarts)
{
    if (!pulseSessionRuns())
        GTEST_SKIP() << kNoPulseSession;
    test::PrivateSoundServer server;
    ASSERT_TRUE(server.running()) << "pulseaudio did not start";
    SoundServerDefaults defaults;
    EXPECT_EQ(defaults.defaultSink(), QByteArray("kestrel_speaker"));
    EXPECT_EQ(defaults.defaultSource(), QByteArray("kestrel_mic"));

    ASSERT_TRUE(server.restart()) << "pulseaudio did not start again";
    ASSERT_FALSE(test::pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                              QStringLiteral("sink_name=kestrel_headset")})
                     .isEmpty());
    test::pactl({QStringLiteral("set-default-sink"), QStringLiteral("kestrel_headset")});
    ASSERT_EQ(test::pactl({QStringLiteral("get-default-sink")}), QStringLiteral("kestrel_headset"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return defaults.defaultSink() == "kestrel_headset"; }, 10000))
        << "the default output is still \"" << defaults.defaultSink().toStdString() << "\"";
    EXPECT_EQ(defaults.defaultSource(), QByteArray("kestrel_mic"));
    EXPECT_FALSE(defaults.silent(SoundServerDefaults::kAnswerTime));
}

} // namespace
} // namespace kestrel

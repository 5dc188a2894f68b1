#include "app/TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

using Handler = void (*)(int);

Handler currentHandler(int signalNumber)
{
    struct sigaction now
    {
    };
    sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
}

// A shutdown, a logout or a closed terminal must reach the window as a request
// to end, not kill the process before it saved; and the handlers go with the
// object.
TEST(TerminationSignals, EachEndingSignalArrivesOnTheWindowThreadInsteadOfKilling)
{
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        const Handler before = currentHandler(signalNumber);
        {
            TerminationSignals signals;
            QSignalSpy received(&signals, &TerminationSignals::received);
            ASSERT_EQ(std::raise(signalNumber), 0);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }));
            ASSERT_EQ(received.size(), 1);
            EXPECT_EQ(received.first().first().toInt(), signalNumber);

            // Two before the loop runs: both are told, neither is lost.
            std::raise(signalNumber);
            std::raise(SIGTERM);
            ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 3; }));
            EXPECT_EQ(received.at(2).first().toInt(), SIGTERM);
        }
        EXPECT_EQ(currentHandler(signalNumber), before);
    }
}

// Started with nohup, the program must survive the terminal closing, and so
// must what it starts.
TEST(TerminationSignals, ASignalIgnoredBeforehandStaysIgnored)
{
    const Handler before = std::signal(SIGHUP, SIG_IGN);
    {
        TerminationSignals signals;
        QSignalSpy received(&signals, &TerminationSignals::received);
        EXPECT_EQ(currentHandler(SIGHUP), SIG_IGN);
        ASSERT_EQ(std::raise(SIGHUP), 0);
        std::raise(SIGTERM); // told, and after the hang-up had its chance
        ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }));
        ASSERT_EQ(received.size(), 1);
        EXPECT_EQ(received.first().first().toInt(), SIGTERM);
    }
    EXPECT_EQ(currentHandler(SIGHUP), SIG_IGN);
    std::signal(SIGHUP, before);
}

} // namespace
} // namespace kestrel

#include "app/TerminationSignals.h"

#include "common/Failure.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestrel {
namespace {

constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

// Reached from the handler, which cannot be given any context.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[kSignals.size()];

void onSignal(int signalNumber)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds an unread request to end; losing this one is fine.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

Failure systemFailure(const char *what)
{
    return Failure(QStringLiteral("Cannot watch for the signal to end: %1 failed (%2).")
                       .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    Q_ASSERT(g_pipe[0] < 0);
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw systemFailure("pipe2");
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        // Ignored on purpose (started with nohup, or in the background by a
        // shell): stays ignored, for this program and those it starts.
        if (::sigaction(kSignals[i], nullptr, &g_previous[i]) == 0 && g_previous[i].sa_handler == SIG_IGN)
            continue;
        if (::sigaction(kSignals[i], &action, &g_previous[i]) != 0) {
            const Failure failure = systemFailure("sigaction");
            for (std::size_t j = 0; j < i; ++j)
                ::sigaction(kSignals[j], &g_previous[j], nullptr);
            ::close(g_pipe[0]);
            ::close(g_pipe[1]);
            g_pipe[0] = g_pipe[1] = -1;
            throw failure;
        }
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::readPipe()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace kestrel

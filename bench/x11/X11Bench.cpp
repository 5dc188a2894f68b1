// Prints figures for the X11 backend; not a test. Run under an X display with an
// EWMH window manager (scripts/desktop-session.sh: kestrel_start_x).
//
//   kestrel_x11_bench [characters]
//
// Typing throughput counts characters per second from the start of the call until
// the target window holds the whole text; xdotool types the same text into the same
// window in the same run. Activation latency is the time activateWindow takes until
// the window manager reports the window active.
#include "TargetProcess.h"

#include "common/QtEventWait.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Desktop.h"
#include "desktop/x11/X11Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using kestrel::test::TargetProcess;

namespace {

struct Figures
{
    double seconds = 0;
    int received = 0;
    bool whole = false;
};

/// Waits until the target reports `length` characters (or gives up after 30 s:
/// a typist that loses characters never gets there).
void awaitLength(TargetProcess &target, int length)
{
    const QString wanted = QStringLiteral("LEN %1").arg(length);
    target.waitForLine([&](const QString &line) { return line == wanted; }, 30000);
}

/// Waits until the window manager has framed and shown the window.
bool awaitShown(kestrel::x11::X11Connection &connection, unsigned long window)
{
    QElapsedTimer clock;
    clock.start();
    while (connection.firstItem(window, "WM_STATE", connection.atom("WM_STATE")) != 1u) {
        if (clock.elapsed() > 20000)
            return false;
        QThread::msleep(10);
    }
    return true;
}

Figures measure(TargetProcess &target, const QString &text, const std::function<void()> &type)
{
    target.clearText();
    QElapsedTimer clock;
    clock.start();
    type();
    awaitLength(target, static_cast<int>(text.size()));
    Figures figures;
    figures.seconds = clock.nsecsElapsed() / 1e9;
    const QString got = target.text();
    figures.received = static_cast<int>(got.size());
    figures.whole = got == text;
    return figures;
}

void report(const char *who, const QString &text, const Figures &f)
{
    if (f.whole) {
        std::printf("  %-36s %5lld chars  %7.3f s  %7.0f chars/s\n", who, static_cast<long long>(text.size()),
                    f.seconds, text.size() / f.seconds);
    } else {
        std::printf("  %-36s %5lld chars  the window got %d characters, not the text typed\n", who,
                    static_cast<long long>(text.size()), f.received);
    }
}

void typeWithXdotool(const QString &text, const QString &delay)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("type"), QStringLiteral("--delay"), delay, QStringLiteral("--"), text});
    xdotool.waitForFinished(300000);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int length = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    kestrel::QtEventWait wait;
    kestrel::X11Desktop desktop(wait);

    TargetProcess target(QStringLiteral("kestrel bench target"));
    TargetProcess other(QStringLiteral("kestrel bench other"));
    if (!target.waitReady() || !other.waitReady()) {
        std::fprintf(stderr, "the target windows did not come up\n");
        return 1;
    }
    kestrel::x11::X11Connection connection;
    if (!awaitShown(connection, target.window()) || !awaitShown(connection, other.window())) {
        std::fprintf(stderr, "the window manager did not show the target windows\n");
        return 1;
    }

    QString ascii;
    while (ascii.size() < length)
        ascii += QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    ascii.truncate(length);
    QString accented;
    while (accented.size() < length / 4)
        accented += QStringLiteral("café Ünïcödé ß € Ж ŵ ");
    accented.truncate(length / 4);

    desktop.activateWindow(target.window());
    // A fresh Qt window sets up its input handling on its first key; that start-up
    // is not what is measured here.
    desktop.typeText(QStringLiteral("w"));
    awaitLength(target, 1);
    std::printf("Typing into a Qt window (ping barrier: %s), spare keycodes: %zu\n",
                desktop.answersPing(target.window()) ? "yes" : "no", desktop.spareKeycodes().size());
    report("X11Desktop::typeText, ASCII", ascii, measure(target, ascii, [&] { desktop.typeText(ascii); }));
    report("X11Desktop::typeText, non-ASCII", accented,
           measure(target, accented, [&] { desktop.typeText(accented); }));
    report("xdotool type --delay 0, ASCII", ascii,
           measure(target, ascii, [&] { typeWithXdotool(ascii, QStringLiteral("0")); }));
    report("xdotool type --delay 0, non-ASCII", accented,
           measure(target, accented, [&] { typeWithXdotool(accented, QStringLiteral("0")); }));
    const QString shortAscii = ascii.left(200);
    report("xdotool type (default 12 ms), ASCII", shortAscii,
           measure(target, shortAscii, [&] { typeWithXdotool(shortAscii, QStringLiteral("12")); }));

    std::vector<double> activation;
    for (int i = 0; i < 40; ++i) {
        const unsigned long window = i % 2 ? target.window() : other.window();
        QElapsedTimer clock;
        clock.start();
        desktop.activateWindow(window);
        activation.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("Activation (until _NET_ACTIVE_WINDOW names it), 40 runs: median %.2f ms, max %.2f ms\n",
                median(activation), *std::max_element(activation.begin(), activation.end()));

    kestrel::x11::X11Windows windows(connection, wait);
    std::vector<double> pings;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer clock;
        clock.start();
        windows.waitUntilProcessed(target.window());
        pings.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("Processed barrier (two _NET_WM_PING round trips), 200 runs: median %.3f ms, max %.3f ms\n",
                median(pings), *std::max_element(pings.begin(), pings.end()));
    return 0;
}
